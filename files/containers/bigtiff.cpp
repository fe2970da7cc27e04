#include "containers/bigtiff.h"

#include "prosvitek/files/tiff.h"
#include "tiff_build.h"

#include <algorithm>
#include <set>

namespace files {

namespace {

constexpr std::uint16_t kPointerTags[] = {0x8769, 0x8825, 0xA005, 0x014A};
constexpr int kDeepest = 4;
constexpr std::uint64_t kMostValueBytes = 1 << 20;  // one value
constexpr std::uint16_t kSLong8 = 17;

struct Conversion {
  const InputFile& file;
  const TiffHeader& header;
  std::set<std::uint64_t> seen;  // a directory pointed at twice is built once
  std::uint64_t bytesLeft = kMostExifBytes;
};

// The value of `entry` as a classic field; nothing when it cannot be one.
std::optional<BuiltField> Field(Conversion& c, const TiffEntry& entry) {
  const std::uint64_t size = entry.ByteCount();
  if (TiffTypeSize(entry.type) == 0 || size > kMostValueBytes || size > c.bytesLeft || entry.count > UINT32_MAX) return std::nullopt;
  c.bytesLeft -= size;
  Bytes value = c.file.Read(entry.valueOffset, static_cast<std::size_t>(size));
  if (value.size() != size) return std::nullopt;
  BuiltField field{entry.tag, entry.type, static_cast<std::uint32_t>(entry.count), {}, {}};
  if (entry.type != kTiffLong8 && entry.type != kSLong8 && entry.type != kTiffIfd8) {
    field.value = std::move(value);
    return field;
  }
  // 8-byte numbers: narrowed when every one fits.
  field.type = entry.type == kSLong8 ? std::uint16_t{9} : kTiffLong;
  for (std::size_t i = 0; i < value.size(); i += 8) {
    const std::uint64_t n = TiffUnsigned(&value[i], 8, c.header.bigEndian);
    const bool fits = entry.type == kSLong8 ? (n + 0x80000000u) <= UINT32_MAX : n <= UINT32_MAX;
    if (!fits) return std::nullopt;
    AppendNumber(field.value, n, 4, c.header.bigEndian);
  }
  return field;
}

BuiltDirectory Convert(Conversion& c, std::uint64_t offset, int depth) {
  BuiltDirectory built;
  if (!c.seen.insert(offset).second) return built;
  const auto directory = ReadTiffDirectory(c.file, 0, c.header, offset);
  if (!directory) return built;
  for (const TiffEntry& entry : directory->entries) {
    if (std::find(std::begin(kPointerTags), std::end(kPointerTags), entry.tag) != std::end(kPointerTags)) {
      const auto child = TiffEntryNumber(c.file, 0, c.header, entry);  // the first of a list
      if (child && depth < kDeepest) built.links.push_back({entry.tag, Convert(c, *child, depth + 1)});
      continue;
    }
    if (auto field = Field(c, entry)) built.fields.push_back(std::move(*field));
  }
  return built;
}

}  // namespace

ExifLocation FindBigTiffExif(const InputFile& file) {
  std::uint8_t head[16];
  const std::size_t n = file.ReadAt(0, head, sizeof head);
  const auto header = ParseTiffHeader({head, n});
  if (!header || !header->bigTiff) return ExifLocation::Damaged("BigTIFF header cut short");
  if (!ReadTiffDirectory(file, 0, *header, header->firstDirectory)) return ExifLocation::Damaged("the first directory lies outside the file");
  Conversion conversion{file, *header, {}};
  const BuiltDirectory ifd0 = Convert(conversion, header->firstDirectory, 0);
  return ExifLocation::InMemory(BuildTiff(ifd0, header->bigEndian));
}

}  // namespace files
