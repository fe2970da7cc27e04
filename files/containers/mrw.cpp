#include "containers/mrw.h"

#include <algorithm>
#include <cstring>

namespace files {

namespace {

constexpr int kMostRecords = 64;

}  // namespace

ExifLocation FindMrwExif(const InputFile& file) {
  std::uint8_t head[8];
  if (file.ReadAt(0, head, 8) != 8) return ExifLocation::Damaged("MRW header cut short");
  // The records end where the image data starts.
  const std::uint64_t end = std::min<std::uint64_t>(8 + BigEndianAt(head + 4, 4), file.size());
  std::uint64_t at = 8;
  for (int records = 0; at + 8 <= end && records < kMostRecords; ++records) {
    std::uint8_t record[8];
    if (file.ReadAt(at, record, 8) != 8) break;
    const std::uint64_t length = BigEndianAt(record + 4, 4);
    if (length > end - at - 8) return ExifLocation::Damaged("record runs past the end of the header");
    if (std::memcmp(record, "\0TTW", 4) == 0) return ExifLocation::InFile(at + 8, length);
    at += 8 + length;
  }
  return ExifLocation::Missing();
}

}  // namespace files
