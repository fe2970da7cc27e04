#pragma once
// A small classic TIFF structure built in memory, for the doors whose EXIF
// values do not lie in a TIFF structure the walk reads as it is: the
// records of a Canon CRW, the 8-byte directories of a BigTIFF.

#include "prosvitek/files/input_file.h"

#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

namespace files {

struct BuiltField {
  std::uint16_t tag = 0;
  std::uint16_t type = 0;
  std::uint32_t count = 0;
  Bytes value;  // count x the type's size, in the structure's byte order
  // For a value that holds offsets of its own (a maker note's directory):
  // called with the value and the offset it is given, before it is written.
  std::function<void(Bytes& value, std::uint32_t offset)> placed;
};

struct BuiltLink;

struct BuiltDirectory {
  std::vector<BuiltField> fields;
  // Pointer tags (ExifOffset, GPSInfo...) and the directories they lead to.
  std::vector<BuiltLink> links;
};

struct BuiltLink {
  std::uint16_t tag = 0;
  BuiltDirectory directory;
};

// The header, then each directory with its long values after its table and
// the directories it links to after them; entries sorted by tag.
Bytes BuildTiff(const BuiltDirectory& ifd0, bool bigEndian);

// A number of `size` bytes in the given byte order.
void AppendNumber(Bytes& out, std::uint64_t value, std::size_t size, bool bigEndian);

}  // namespace files
