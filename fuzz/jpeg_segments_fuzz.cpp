// The segment walk under both rules, and the metadata carrier that picks a
// saved photo's segments from it, on a file in memory.

#include "files/input_file.h"
#include "files/jpeg_segments.h"
#include "imaging/metadata.h"

#include <cstddef>
#include <cstdint>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> bytes(data, size);
  const files::InputFile file = files::InputFile::FromMemory(bytes, "fuzz.jpg");
  for (bool strict : {true, false}) {
    files::JpegSegmentWalker walker(file, files::WalkRules{strict});
    std::size_t seen = 0;
    while (const auto segment = walker.Next()) {
      seen += walker.Body(*segment, 64).size() + static_cast<std::size_t>(walker.Kind(*segment));
      if (segment->marker == files::kMarkerSos) break;
    }
    volatile std::size_t sink = seen;
    (void)sink;
  }
  for (bool keep : {false, true}) {
    volatile std::size_t sink = imaging::SegmentsToCarry(bytes, keep).size();
    (void)sink;
  }
  return 0;
}
