// The summary and the trace of whatever was read, under every combination of the reader's
// options (decoders on or off, trace detail, the summary-only reader's) and build modes, chosen
// by the last byte; the bytes before it are the file.

#include "exif/container.h"
#include "exif/summary.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

std::string DateForFuzzing(std::chrono::system_clock::time_point) { return "2004-03-28"; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  namespace ed = exif::detail;
  if (size < 2) return 0;
  const std::uint8_t flags = data[size - 1];
  static const std::int32_t kModes[] = {ed::kBuildAll, ed::kBuildTextOnly, ed::kBuildStoreOnly, 0};
  exif::ReaderOptions options;
  options.useTagDecoders = (flags & 1) != 0;
  options.traceDetailLevel = (flags >> 1) & 3;
  if ((flags & 0x80) != 0) {
    // As exif::SummaryOnly(): a maker note is read only for an ISO speed the EXIF data lacks.
    options.traces = false;
    options.makerNotes = false;
  }
  ed::TimgData reader(kModes[(flags >> 3) & 3], options);
  reader.TraceRequest = (flags >> 5) & 1;
  const std::string name = (flags & 0x40) ? "scan.tif" : "photo.jpg";
  const std::string_view bytes(reinterpret_cast<const char*>(data), size - 1);
  reader.ProcessBytes(name, bytes);
  if (reader.ExifInfo) {
    const ed::TImageInfo& info = *reader.ExifInfo;
    volatile std::size_t sink = ed::SummaryText(info, DateForFuzzing).size();
    sink = sink + info.StoredTagText("ExposureTime").size() + info.StoredTagText("FNumber").size();
    sink = sink + static_cast<std::size_t>(info.FindStoredTag("ISOSpeedRatings") + 1);
    (void)sink;
  }
  return 0;
}
