#pragma once
// Builds TIFF structures and JPEG files byte by byte for tests: well-formed ones, and the
// malformed ones a hostile file could hold (loops, tables off the end, wrapped counts).
//
//   TiffBuilder tiff(Order::Motorola);
//   const uint32_t exifIfd = ...;                       // directories are laid out in call order
//   tiff.Ifd({tiff.Ascii(0x010F, "Canon"), tiff.Long(0x8769, {exifIfd})});
//   std::string jpeg = Jpeg({ExifSegment(tiff.Bytes())});

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace exiftest {

enum class Order { Intel, Motorola };

inline std::string U16(Order order, uint16_t value) {
  const char high = static_cast<char>(value >> 8);
  const char low = static_cast<char>(value & 0xFF);
  return order == Order::Motorola ? std::string{high, low} : std::string{low, high};
}

inline std::string U32(Order order, uint32_t value) {
  const std::string high = U16(order, static_cast<uint16_t>(value >> 16));
  const std::string low = U16(order, static_cast<uint16_t>(value & 0xFFFF));
  return order == Order::Motorola ? high + low : low + high;
}

// One directory entry before layout.
struct Field {
  uint16_t tag = 0;
  uint16_t type = 0;
  uint32_t count = 0;
  std::string value;  // bytes in file order: up to 4 inline, longer ones placed after the directory
  std::optional<uint32_t> offset;  // when set, the entry's last four bytes hold exactly this
};

class TiffBuilder {
 public:
  // Writes the 8-byte header; the first directory's offset can be set later with SetFirstIfd.
  explicit TiffBuilder(Order order, uint32_t firstIfd = 8)
      : order_(order),
        bytes_(U16(order, order == Order::Motorola ? 0x4D4D : 0x4949) + U16(order, 42) +
               U32(order, firstIfd)) {}

  Order order() const { return order_; }
  const std::string& Bytes() const { return bytes_; }
  // TIFF offset of the next byte written.
  uint32_t Here() const { return static_cast<uint32_t>(bytes_.size()); }

  // Field makers; numbers are written in the builder's byte order.
  Field Raw(uint16_t tag, uint16_t type, uint32_t count, std::string value) const {
    return Field{tag, type, count, std::move(value), std::nullopt};
  }
  Field AtOffset(uint16_t tag, uint16_t type, uint32_t count, uint32_t offset) const {
    return Field{tag, type, count, {}, offset};
  }
  Field Byte(uint16_t tag, std::initializer_list<uint8_t> values) const {
    std::string value;
    for (uint8_t v : values) value += static_cast<char>(v);
    return Raw(tag, 1, static_cast<uint32_t>(values.size()), value);
  }
  // ASCII with its closing zero byte counted.
  Field Ascii(uint16_t tag, std::string_view text) const {
    std::string value(text);
    value += '\0';
    return Raw(tag, 2, static_cast<uint32_t>(value.size()), value);
  }
  Field Short(uint16_t tag, std::initializer_list<uint16_t> values, uint16_t type = 3) const {
    std::string value;
    for (uint16_t v : values) value += U16(order_, v);
    return Raw(tag, type, static_cast<uint32_t>(values.size()), value);
  }
  Field Long(uint16_t tag, std::initializer_list<uint32_t> values, uint16_t type = 4) const {
    std::string value;
    for (uint32_t v : values) value += U32(order_, v);
    return Raw(tag, type, static_cast<uint32_t>(values.size()), value);
  }
  Field Rational(uint16_t tag, std::initializer_list<std::pair<int32_t, int32_t>> values,
                 uint16_t type = 5) const {
    std::string value;
    for (const auto& [n, d] : values) {
      value += U32(order_, static_cast<uint32_t>(n));
      value += U32(order_, static_cast<uint32_t>(d));
    }
    return Raw(tag, type, static_cast<uint32_t>(values.size()), value);
  }
  Field Undefined(uint16_t tag, std::string_view bytes) const {
    return Raw(tag, 7, static_cast<uint32_t>(bytes.size()), std::string(bytes));
  }

  // Writes a directory at the current end, its long values right after it; returns its
  // offset. `declaredCount` overrides the entry count written (to describe more entries
  // than there are).
  uint32_t Ifd(const std::vector<Field>& fields, uint32_t next = 0,
               std::optional<uint16_t> declaredCount = std::nullopt) {
    const uint32_t start = Here();
    uint32_t dataOffset = start + 2 + 12 * static_cast<uint32_t>(fields.size()) + 4;
    std::string table = U16(order_, declaredCount.value_or(static_cast<uint16_t>(fields.size())));
    std::string data;
    for (const Field& f : fields) {
      table += U16(order_, f.tag) + U16(order_, f.type) + U32(order_, f.count);
      if (f.offset) {
        table += U32(order_, *f.offset);
      } else if (f.value.size() <= 4) {
        table += f.value + std::string(4 - f.value.size(), '\0');
      } else {
        table += U32(order_, dataOffset + static_cast<uint32_t>(data.size()));
        data += f.value;
        if (data.size() % 2 != 0) data += '\0';  // values start on word boundaries
      }
    }
    table += U32(order_, next);
    bytes_ += table + data;
    return start;
  }

  // TIFF offset of the last four bytes of entry `index` of the directory at `ifd`.
  static uint32_t ValueFieldOf(uint32_t ifd, uint32_t index) { return ifd + 2 + 12 * index + 8; }

  void Append(std::string_view bytes) { bytes_ += bytes; }
  void PadTo(uint32_t offset) {
    if (offset > Here()) bytes_.append(offset - Here(), '\0');
  }
  void PatchU32(uint32_t offset, uint32_t value) {
    if (offset + 4 > bytes_.size()) throw std::out_of_range("patch beyond the built bytes");
    bytes_.replace(offset, 4, U32(order_, value));
  }
  void SetFirstIfd(uint32_t offset) { PatchU32(4, offset); }

 private:
  Order order_;
  std::string bytes_;
};

// A JPEG segment: 0xFF, the marker, the stored length (body + 2, high byte first), the body.
inline std::string Segment(uint8_t marker, std::string_view body) {
  const size_t length = body.size() + 2;
  std::string segment{'\xFF', static_cast<char>(marker), static_cast<char>(length >> 8),
                      static_cast<char>(length & 0xFF)};
  return segment + std::string(body);
}

// An APP1 segment holding "Exif", two zero bytes and the TIFF structure.
inline std::string ExifSegment(std::string_view tiff) {
  return Segment(0xE1, std::string("Exif\0\0", 6) + std::string(tiff));
}

inline std::string CommentSegment(std::string_view text) { return Segment(0xFE, text); }

// Start of image, the segments, then a start of scan, some entropy-coded bytes and the end.
inline std::string Jpeg(const std::vector<std::string>& segments, bool withScan = true) {
  std::string jpeg = "\xFF\xD8";
  for (const std::string& s : segments) jpeg += s;
  if (withScan) {
    jpeg += Segment(0xDA, std::string("\x01\x01\x00\x00\x3F\x00", 6));
    jpeg += std::string("\x12\x34\xFF\x00\x56", 5) + "\xFF\xD9";
  }
  return jpeg;
}

}  // namespace exiftest
