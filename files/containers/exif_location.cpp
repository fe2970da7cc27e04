#include "prosvitek/files/containers/exif_location.h"

#include <cstring>

namespace files {

namespace {

bool TiffHeaderAt(std::span<const std::uint8_t> head, std::size_t at) {
  if (head.size() < at + 4) return false;
  const std::uint8_t* h = head.data() + at;
  return (h[0] == 'I' && h[1] == 'I' && h[2] == 42 && h[3] == 0) ||
         (h[0] == 'M' && h[1] == 'M' && h[2] == 0 && h[3] == 42);
}

constexpr std::size_t kPayloadProbe = 16;

}  // namespace

ExifLocation ExifLocation::InFile(std::uint64_t offset, std::uint64_t length, ExifBlockRole role) {
  ExifLocation location{ExifFound::Found, {}, {}, {}};
  location.blocks.push_back({role, offset, length, false, {}});
  return location;
}

ExifLocation ExifLocation::InMemory(Bytes bytes) {
  ExifLocation location{ExifFound::Found, {}, {}, {}};
  const std::uint64_t length = bytes.size();
  location.blocks.push_back({ExifBlockRole::Tiff, 0, length, true, std::move(bytes)});
  return location;
}

std::optional<std::size_t> TiffStartInPayload(std::span<const std::uint8_t> head) {
  if (TiffHeaderAt(head, 0)) return 0;
  // "Exif" and two bytes (writers differ in the second zero).
  if (head.size() >= 6 && std::memcmp(head.data(), "Exif", 4) == 0 && TiffHeaderAt(head, 6)) return 6;
  return std::nullopt;
}

std::uint64_t BigEndianAt(const std::uint8_t* bytes, std::size_t size) {
  std::uint64_t value = 0;
  for (std::size_t i = 0; i < size; ++i) value = value << 8 | bytes[i];
  return value;
}

std::uint64_t LittleEndianAt(const std::uint8_t* bytes, std::size_t size) {
  std::uint64_t value = 0;
  for (std::size_t i = size; i > 0; --i) value = value << 8 | bytes[i - 1];
  return value;
}

ExifLocation TiffAfterHeaderOffset(const InputFile& file, std::uint64_t offset, std::uint64_t length) {
  std::uint8_t count[4];
  if (length < 4 || file.ReadAt(offset, count, 4) != 4) return ExifLocation::Damaged("EXIF payload cut short");
  const std::uint64_t skip = 4 + BigEndianAt(count, 4);
  if (skip >= length) return ExifLocation::Damaged("EXIF header offset past the payload's end");
  std::uint8_t head[kPayloadProbe];
  const std::size_t n = file.ReadAt(offset + skip, head, sizeof head);
  // Some writers count the "Exif\0\0" in, some leave it for the reader to pass.
  const auto start = TiffStartInPayload({head, n});
  if (!start) return ExifLocation::Damaged("no TIFF header in the EXIF payload");
  return ExifLocation::InFile(offset + skip + *start, length - skip - *start);
}

ExifLocation TiffAfterHeaderOffset(Bytes payload) {
  if (payload.size() < 4) return ExifLocation::Damaged("EXIF payload cut short");
  const std::uint64_t skip = 4 + BigEndianAt(payload.data(), 4);
  if (skip >= payload.size()) return ExifLocation::Damaged("EXIF header offset past the payload's end");
  const auto start = TiffStartInPayload(std::span<const std::uint8_t>(payload).subspan(static_cast<std::size_t>(skip)));
  if (!start) return ExifLocation::Damaged("no TIFF header in the EXIF payload");
  payload.erase(payload.begin(), payload.begin() + static_cast<std::ptrdiff_t>(skip + *start));
  return ExifLocation::InMemory(std::move(payload));
}

}  // namespace files
