#pragma once
// The base of the reader's objects: a byte block with its byte order and 16- and 32-bit reads.

#include <cstdint>

#include "bytes.h"

namespace exif::detail {

class tEndInd {
 public:
  // True for Motorola order ("MM", most significant byte first), false for Intel order ("II").
  bool BigEndian = false;
  // The block that ReadUInt16 and ReadInt32 read; positions are 1-based.
  ByteString DataBlock;

  // Replaces DataBlock; the bytes are shared, not copied.
  void SetDataBlock(ByteString block) { DataBlock = std::move(block); }
  const ByteString& GetDataBlock() const { return DataBlock; }

  // True when the `count` bytes from 1-based `pos` lie inside DataBlock.
  bool Holds(int64_t pos, int64_t count) const { return DataBlock.Holds(pos, count); }

  // The 16-bit number at pos..pos+1 in the block's byte order; 0 unless both bytes are inside.
  uint16_t ReadUInt16(int64_t pos) const;
  // The 32-bit pattern at pos..pos+3 as a signed number; 0 unless all four bytes are inside.
  int32_t ReadInt32(int64_t pos) const;
};

}  // namespace exif::detail
