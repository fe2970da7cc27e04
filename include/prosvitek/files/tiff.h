#pragma once
// The one reader of TIFF structure: the header (byte order, classic or
// BigTIFF) and directories of entries, every offset checked against the
// bytes at hand. What the entries mean is left to the caller.

#include "prosvitek/files/input_file.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace files {

// Field types, and their sizes in bytes (0 for an unknown type).
inline constexpr std::uint16_t kTiffByte = 1, kTiffAscii = 2, kTiffShort = 3, kTiffLong = 4, kTiffRational = 5,
                               kTiffUndefined = 7, kTiffSLong = 9, kTiffSRational = 10, kTiffIfd = 13,
                               kTiffLong8 = 16, kTiffIfd8 = 18;
std::size_t TiffTypeSize(std::uint16_t type);

struct TiffHeader {
  bool bigEndian = false;
  bool bigTiff = false;           // 8-byte counts and offsets
  std::uint16_t magic = 42;       // 42, 43 (BigTIFF), or a raw variant's (0x55, "RO")
  std::uint64_t firstDirectory = 0;
  std::size_t HeaderBytes() const { return bigTiff ? 16 : 8; }
};

// The header at the start of `bytes` (the byte-order mark first); nullopt
// unless it is "II" or "MM" with a magic number a TIFF-based file uses:
// 42, 43 with 8-byte offsets, 0x55 (Panasonic raw) or "RO"/"RS" (Olympus raw).
std::optional<TiffHeader> ParseTiffHeader(std::span<const std::uint8_t> bytes);

// A number of `size` bytes (1, 2, 4 or 8) in the header's byte order.
std::uint64_t TiffUnsigned(const std::uint8_t* bytes, std::size_t size, bool bigEndian);

struct TiffEntry {
  std::uint16_t tag = 0;
  std::uint16_t type = 0;
  std::uint64_t count = 0;
  // Where the value lies, counted from the TIFF block's start: inside the
  // entry when it fits there, otherwise where the entry's offset points.
  std::uint64_t valueOffset = 0;
  bool inlineValue = false;
  // count x type size; 0 for an unknown type; saturates instead of wrapping.
  std::uint64_t ByteCount() const;
};

struct TiffDirectory {
  std::uint64_t offset = 0;  // of the entry count
  std::vector<TiffEntry> entries;  // those wholly inside the block, in order
  std::uint64_t next = 0;          // the next directory's offset; 0 for none
  bool truncated = false;          // the block ended inside the directory
};

// Reads the directory at `offset` of the TIFF block that starts at `base`
// in `source`; nullopt when not even its entry count lies inside. At most
// `maxEntries` entries are taken.
std::optional<TiffDirectory> ReadTiffDirectory(const InputFile& source, std::uint64_t base, const TiffHeader& header,
                                               std::uint64_t offset, std::size_t maxEntries = 4096);

// The first component of an entry's value as an unsigned number (BYTE,
// SHORT, LONG, LONG8, IFD, IFD8); nullopt for other types or a value
// outside the block.
std::optional<std::uint64_t> TiffEntryNumber(const InputFile& source, std::uint64_t base, const TiffHeader& header,
                                             const TiffEntry& entry);

}  // namespace files
