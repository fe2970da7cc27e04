// The segment walk under both rules, and the metadata carrier that picks a
// saved photo's segments from it (with a renewed thumbnail too), on a file in memory.

#include "prosvitek/files/input_file.h"
#include "prosvitek/files/jpeg_segments.h"
#include "prosvitek/imaging/metadata.h"

#include <cstddef>
#include <cstdint>
#include <exception>
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
  // Keeping metadata with the thumbnail made anew: the EXIF thumbnail's
  // layout is patched, and the photo is decoded small for it.
  imaging::CarryRequest request;
  request.keepMetadata = true;
  request.settingsAt = [](int, int) { return imaging::BrightenSettings{}; };
  request.limits.memoryBudget = std::uint64_t{64} << 20;
  try {
    volatile std::size_t sink = imaging::SegmentsToCarry(file, request).size();
    (void)sink;
  } catch (const std::exception&) {
    // a photo that does not decode fails the save as it fails every pass
  }
  return 0;
}
