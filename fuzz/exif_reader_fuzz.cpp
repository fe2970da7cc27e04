// The EXIF reader on a whole file's bytes, through the public reader's entry point as the
// window and the command line use it. The last byte picks the file name, and with it the
// JPEG or TIFF path; the bytes before it are the file. (A JPEG file's own last byte, 0xD9,
// picks a JPEG name, so plain photos make good seeds.)

#include "prosvitek/exif/reader.h"

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
  exif::Reader reader;
  if (reader.ProcessBytes(name, bytes) && reader.HasExif()) {
    const std::optional<exif::ExifData> info = reader.Exif();
    const std::optional<exif::Summary> summary = reader.GetSummary();
    volatile std::size_t sink = (summary ? exif::SummaryText(*summary, DateForFuzzing).size() : 0) +
                                (info ? info->Trace().size() + info->MakerNoteTrace().size() : 0);
    if (info)
      for (const exif::TagView& t : info->Tags()) sink = sink + t.text.size() + t.name.size();
    (void)sink;
  }
  return 0;
}
