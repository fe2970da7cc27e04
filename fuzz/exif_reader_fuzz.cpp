// The EXIF reader on a whole file's bytes, through the same entry point as
// ProcessFile. The last byte picks the file name, and with it the JPEG or
// TIFF path; the bytes before it are the file. (A JPEG file's own last byte,
// 0xD9, picks a JPEG name, so plain photos make good seeds.)

#include "exif/container.h"
#include "exif/summary.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

std::string DateForFuzzing(std::chrono::system_clock::time_point) { return "01.01.2004"; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  static const char* const kNames[] = {"photo.jpg", "photo.JPEG", "scan.tif", "scan.TIFF", "raw.nef", "x.bin"};
  const std::string name = kNames[data[size - 1] % 6];
  const std::string_view bytes(reinterpret_cast<const char*>(data), size - 1);
  exif::TimgData reader(exif::kBuildAll);
  if (reader.ProcessBytes(name, bytes) && reader.HasExif() && reader.ExifInfo) {
    const exif::TImageInfo& info = *reader.ExifInfo;
    volatile std::size_t sink = exif::SummaryText(info, DateForFuzzing).size() + info.TraceText.size() +
                                info.MakerNoteTraceText.size();
    for (const exif::TTagEntry& t : info.StoredTags()) sink = sink + t.Text.size() + t.Raw.size();
    (void)sink;
  }
  return 0;
}
