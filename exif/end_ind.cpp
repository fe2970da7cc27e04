#include "end_ind.h"

namespace exif::detail {

uint16_t tEndInd::ReadUInt16(int64_t pos) const {
  if (!Holds(pos, 2)) return 0;
  const unsigned first = DataBlock.At(pos);
  const unsigned second = DataBlock.At(pos + 1);
  return static_cast<uint16_t>(BigEndian ? (first << 8) | second : (second << 8) | first);
}

int32_t tEndInd::ReadInt32(int64_t pos) const {
  if (!Holds(pos, 4)) return 0;
  uint32_t value = 0;
  for (int i = 0; i < 4; ++i) {
    const uint32_t byte = DataBlock.At(BigEndian ? pos + i : pos + 3 - i);
    value = (value << 8) | byte;
  }
  // Two's complement reinterpretation is well defined since C++20.
  return static_cast<int32_t>(value);
}

}  // namespace exif::detail
