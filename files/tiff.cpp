#include "prosvitek/files/tiff.h"

#include <limits>

namespace files {

std::size_t TiffTypeSize(std::uint16_t type) {
  switch (type) {
    case 1: case 2: case 6: case 7: return 1;   // BYTE, ASCII, SBYTE, UNDEFINED
    case 3: case 8: return 2;                    // SHORT, SSHORT
    case 4: case 9: case 11: case 13: return 4;  // LONG, SLONG, FLOAT, IFD
    case 5: case 10: case 12: case 16: case 17: case 18: return 8;  // RATIONALs, DOUBLE, LONG8, SLONG8, IFD8
    default: return 0;
  }
}

std::uint64_t TiffUnsigned(const std::uint8_t* bytes, std::size_t size, bool bigEndian) {
  std::uint64_t value = 0;
  for (std::size_t i = 0; i < size; ++i) {
    const std::uint8_t b = bigEndian ? bytes[i] : bytes[size - 1 - i];
    value = value << 8 | b;
  }
  return value;
}

std::optional<TiffHeader> ParseTiffHeader(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < 8) return std::nullopt;
  TiffHeader header;
  if (bytes[0] == 'M' && bytes[1] == 'M') header.bigEndian = true;
  else if (!(bytes[0] == 'I' && bytes[1] == 'I')) return std::nullopt;
  header.magic = static_cast<std::uint16_t>(TiffUnsigned(&bytes[2], 2, header.bigEndian));
  // "IIRO"/"MMOR", and "IIRS" of some older Olympus raws.
  const bool olympusRaw = (bytes[2] == 'R' && bytes[3] == 'O') || (bytes[2] == 'O' && bytes[3] == 'R') ||
                          (bytes[0] == 'I' && bytes[2] == 'R' && bytes[3] == 'S');
  if (header.magic == 43) {
    // BigTIFF: offset size 8, a zero, then the first directory's 8-byte offset.
    if (bytes.size() < 16 || TiffUnsigned(&bytes[4], 2, header.bigEndian) != 8 ||
        TiffUnsigned(&bytes[6], 2, header.bigEndian) != 0)
      return std::nullopt;
    header.bigTiff = true;
    header.firstDirectory = TiffUnsigned(&bytes[8], 8, header.bigEndian);
    return header;
  }
  if (header.magic != 42 && header.magic != 0x55 && !olympusRaw) return std::nullopt;
  header.firstDirectory = TiffUnsigned(&bytes[4], 4, header.bigEndian);
  return header;
}

std::uint64_t TiffEntry::ByteCount() const {
  const std::uint64_t size = TiffTypeSize(type);
  if (size != 0 && count > std::numeric_limits<std::uint64_t>::max() / size) return std::numeric_limits<std::uint64_t>::max();
  return size * count;
}

std::optional<TiffDirectory> ReadTiffDirectory(const InputFile& source, std::uint64_t base, const TiffHeader& header,
                                               std::uint64_t offset, std::size_t maxEntries) {
  const std::size_t countSize = header.bigTiff ? 8 : 2;
  const std::size_t entrySize = header.bigTiff ? 20 : 12;
  const std::size_t fieldSize = header.bigTiff ? 8 : 4;  // of a count, an offset, an inline value
  if (offset > std::numeric_limits<std::uint64_t>::max() - base) return std::nullopt;
  std::uint8_t countBytes[8];
  if (source.ReadAt(base + offset, countBytes, countSize) != countSize) return std::nullopt;
  const std::uint64_t count = TiffUnsigned(countBytes, countSize, header.bigEndian);

  TiffDirectory directory;
  directory.offset = offset;
  const std::uint64_t wanted = std::min<std::uint64_t>(count, maxEntries);
  const Bytes table = source.Read(base + offset + countSize, static_cast<std::size_t>(wanted * entrySize + fieldSize));
  const std::size_t whole = table.size() / entrySize;
  directory.truncated = whole < count;
  directory.entries.reserve(std::min<std::size_t>(whole, static_cast<std::size_t>(wanted)));
  for (std::size_t i = 0; i < wanted && (i + 1) * entrySize <= table.size(); ++i) {
    const std::uint8_t* e = &table[i * entrySize];
    TiffEntry entry;
    entry.tag = static_cast<std::uint16_t>(TiffUnsigned(e, 2, header.bigEndian));
    entry.type = static_cast<std::uint16_t>(TiffUnsigned(e + 2, 2, header.bigEndian));
    entry.count = TiffUnsigned(e + 4, fieldSize, header.bigEndian);
    const std::uint64_t valueField = offset + countSize + i * entrySize + 4 + fieldSize;
    entry.inlineValue = entry.ByteCount() <= fieldSize;
    entry.valueOffset = entry.inlineValue ? valueField : TiffUnsigned(e + 4 + fieldSize, fieldSize, header.bigEndian);
    directory.entries.push_back(entry);
  }
  if (!directory.truncated && count <= maxEntries && table.size() >= count * entrySize + fieldSize)
    directory.next = TiffUnsigned(&table[count * entrySize], fieldSize, header.bigEndian);
  return directory;
}

std::optional<std::uint64_t> TiffEntryNumber(const InputFile& source, std::uint64_t base, const TiffHeader& header,
                                             const TiffEntry& entry) {
  switch (entry.type) {
    case kTiffByte: case kTiffShort: case kTiffLong: case kTiffIfd: case kTiffLong8: case kTiffIfd8: break;
    default: return std::nullopt;
  }
  if (entry.count < 1) return std::nullopt;
  const std::size_t size = TiffTypeSize(entry.type);
  std::uint8_t bytes[8];
  if (entry.valueOffset > std::numeric_limits<std::uint64_t>::max() - base ||
      source.ReadAt(base + entry.valueOffset, bytes, size) != size)
    return std::nullopt;
  return TiffUnsigned(bytes, size, header.bigEndian);
}

}  // namespace files
