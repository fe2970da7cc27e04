#include "containers/iso_boxes.h"

#include "prosvitek/files/containers/exif_location.h"

#include <algorithm>
#include <cstring>

namespace files {

BoxReader::BoxReader(const InputFile& file, std::uint64_t begin, std::uint64_t end, BoxBudget& budget)
    : file_(file), at_(begin), end_(std::min(end, file.size())), budget_(budget) {}

BoxReader::BoxReader(const InputFile& file, const Box& box, BoxBudget& budget, std::uint64_t skip)
    : BoxReader(file, box.DataOffset() + std::min(skip, box.DataSize()), box.offset + box.size, budget) {}

std::optional<Box> BoxReader::Next() {
  if (!problem_.empty() || at_ >= end_) return std::nullopt;
  if (--budget_.boxes < 0) {
    problem_ = "too many boxes";
    return std::nullopt;
  }
  std::uint8_t header[32];
  const std::size_t got = file_.ReadAt(at_, header, static_cast<std::size_t>(std::min<std::uint64_t>(sizeof header, end_ - at_)));
  if (got < 8) {
    problem_ = "box header cut short";
    return std::nullopt;
  }
  Box box;
  box.offset = at_;
  box.type = static_cast<std::uint32_t>(BigEndianAt(header + 4, 4));
  const std::uint64_t size32 = BigEndianAt(header, 4);
  box.headerSize = 8;
  if (size32 == 1) {
    if (got < 16) {
      problem_ = "box header cut short";
      return std::nullopt;
    }
    box.size = BigEndianAt(header + 8, 8);
    box.headerSize = 16;
  } else {
    box.size = size32 == 0 ? end_ - at_ : size32;
  }
  if (box.type == FourCc("uuid")) {
    if (got < box.headerSize + 16) {
      problem_ = "box header cut short";
      return std::nullopt;
    }
    std::memcpy(box.uuid.data(), header + box.headerSize, 16);
    box.headerSize += 16;
  }
  if (box.size < box.headerSize) {
    problem_ = "box smaller than its header";
    return std::nullopt;
  }
  if (box.size > end_ - at_) {
    problem_ = "box runs past the end of its container";
    return std::nullopt;
  }
  at_ += box.size;
  return box;
}

}  // namespace files
