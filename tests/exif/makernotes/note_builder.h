#pragma once
// Builds maker notes and the EXIF data that carries them: the maker's directory after its
// identifier, with long values after the table, and an EXIF block whose maker note sits at a
// fixed TIFF offset so that a note can hold offsets into the EXIF data.

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "exif_builder.h"

namespace notetest {

using exiftest::Field;
using exiftest::Order;
using exiftest::TiffBuilder;

// TIFF offset of the maker note's first byte in every built EXIF block.
inline constexpr uint32_t kNoteOffset = 0x200;
// Its 1-based position in a JPEG EXIF block (the TIFF header starts at 9).
inline constexpr int64_t kNotePos = 9 + kNoteOffset;

// `prefix`, then the entry count (or `declaredCount`), the entries and a zero link; values
// longer than 4 bytes follow, each at offset `origin` + its 0-based place in the note.
inline std::string MakerDirectory(Order order, const std::string& prefix,
                                  const std::vector<Field>& fields, uint32_t origin,
                                  std::optional<uint16_t> declaredCount = std::nullopt) {
  using exiftest::U16;
  using exiftest::U32;
  const auto tableEnd = static_cast<uint32_t>(prefix.size() + 2 + 12 * fields.size() + 4);
  std::string table =
      prefix + U16(order, declaredCount.value_or(static_cast<uint16_t>(fields.size())));
  std::string data;
  for (const Field& f : fields) {
    table += U16(order, f.tag) + U16(order, f.type) + U32(order, f.count);
    if (f.offset) {
      table += U32(order, *f.offset);
    } else if (f.value.size() <= 4) {
      table += f.value + std::string(4 - f.value.size(), '\0');
    } else {
      table += U32(order, origin + tableEnd + static_cast<uint32_t>(data.size()));
      data += f.value;
    }
  }
  return table + U32(order, 0) + data;
}

// A field described apart from byte order. Kinds: 'S' SHORT, 'L' LONG, 'R' RATIONAL (numbers
// in pairs), 'A' ASCII (text), 'U' UNDEFINED (text), 'O' any type with its last four bytes
// as given (numbers: type, count, offset).
struct Value {
  uint16_t tag;
  char kind;
  std::vector<uint32_t> numbers = {};
  std::string text = {};
};

inline std::vector<Field> Fields(Order order, const std::vector<Value>& values) {
  const TiffBuilder t(order);
  std::vector<Field> fields;
  for (const Value& v : values) {
    const auto count = static_cast<uint32_t>(v.numbers.size());
    std::string bytes;
    switch (v.kind) {
      case 'S':
        for (uint32_t n : v.numbers) bytes += exiftest::U16(order, static_cast<uint16_t>(n));
        fields.push_back(t.Raw(v.tag, 3, count, bytes));
        break;
      case 'L':
      case 'R':
        for (uint32_t n : v.numbers) bytes += exiftest::U32(order, n);
        fields.push_back(
            t.Raw(v.tag, v.kind == 'L' ? 4 : 5, v.kind == 'L' ? count : count / 2, bytes));
        break;
      case 'A':
        fields.push_back(t.Ascii(v.tag, v.text));
        break;
      case 'U':
        fields.push_back(t.Undefined(v.tag, v.text));
        break;
      default:
        fields.push_back(t.AtOffset(v.tag, static_cast<uint16_t>(v.numbers.at(0)), v.numbers.at(1),
                                    v.numbers.at(2)));
    }
  }
  return fields;
}

// Where a note keeps its directory and whence its offsets count.
enum class Layout {
  Plain,      // the prefix, then the directory; offsets from the EXIF data's TIFF header
  Fuji,       // "FUJIFILM", the directory's offset, the directory; Intel order, offsets from 0
  NikonTiff,  // "Nikon", version 2.10, two zero bytes, a TIFF header of its own and the
              // directory after it; offsets from that header
};

inline std::string BuildNote(Layout layout, Order order, const std::string& prefix,
                             const std::vector<Value>& values,
                             std::optional<uint16_t> declaredCount = std::nullopt) {
  switch (layout) {
    case Layout::Fuji:
      return MakerDirectory(Order::Intel, "FUJIFILM" + exiftest::U32(Order::Intel, 12),
                            Fields(Order::Intel, values), 0, declaredCount);
    case Layout::NikonTiff: {
      const std::string header = exiftest::U16(order, order == Order::Motorola ? 0x4D4D : 0x4949) +
                                 exiftest::U16(order, 42) + exiftest::U32(order, 8);
      return std::string("Nikon\0\x02\x10\0\0", 10) +
             MakerDirectory(order, header, Fields(order, values), 0);
    }
    default:
      return MakerDirectory(order, prefix, Fields(order, values), kNoteOffset, declaredCount);
  }
}

struct Camera {
  Camera(std::string theMake, std::string theModel = "Model",
         std::optional<std::string> theExifVersion = std::nullopt)
      : make(std::move(theMake)), model(std::move(theModel)), exifVersion(std::move(theExifVersion)) {}

  std::string make;
  std::string model;
  std::optional<std::string> exifVersion;  // the raw ExifVersion bytes, when the tag is there
  std::optional<uint16_t> iso;              // ISOSpeedRatings, when the tag is there
};

// IFD0 with Make, Model and the EXIF pointer; the EXIF directory with ISOSpeedRatings and
// ExifVersion when the camera has them, the maker note at kNoteOffset and ExifImageWidth 640
// after it, so that a test sees the walk go on.
// `after` follows the note.
inline std::string ExifWithNote(Order order, const Camera& camera, const std::string& note,
                                const std::string& after = {}) {
  TiffBuilder tiff(order);
  const uint32_t ifd0 = tiff.Ifd(
      {tiff.Ascii(0x010F, camera.make), tiff.Ascii(0x0110, camera.model), tiff.Long(0x8769, {0})});
  std::vector<Field> exifFields;
  if (camera.iso) exifFields.push_back(tiff.Short(0x8827, {*camera.iso}));
  if (camera.exifVersion) exifFields.push_back(tiff.Undefined(0x9000, *camera.exifVersion));
  exifFields.push_back(tiff.AtOffset(0x927C, 7, static_cast<uint32_t>(note.size()), kNoteOffset));
  exifFields.push_back(tiff.Long(0xA002, {640}));
  const uint32_t exifIfd = tiff.Ifd(exifFields);
  tiff.PatchU32(TiffBuilder::ValueFieldOf(ifd0, 2), exifIfd);
  if (tiff.Here() > kNoteOffset) throw std::length_error("directories overrun the note's place");
  tiff.PadTo(kNoteOffset);
  tiff.Append(note);
  tiff.Append(after);
  return tiff.Bytes();
}

}  // namespace notetest
