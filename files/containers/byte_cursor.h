#pragma once
// Numbers read one after another from a few bytes already in memory (a box's
// table, a record's header); a read past the end gives 0 and marks the
// cursor failed instead of touching anything outside.

#include <cstddef>
#include <cstdint>
#include <span>

namespace files {

class ByteCursor {
 public:
  explicit ByteCursor(std::span<const std::uint8_t> bytes, bool bigEndian = true) : bytes_(bytes), bigEndian_(bigEndian) {}

  // A number of `size` bytes (0 to 8; 0 gives 0).
  std::uint64_t Number(std::size_t size) {
    if (size > bytes_.size() - at_ || size > 8) {
      failed_ = true;
      at_ = bytes_.size();
      return 0;
    }
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < size; ++i) {
      const std::uint8_t b = bytes_[at_ + (bigEndian_ ? i : size - 1 - i)];
      value = value << 8 | b;
    }
    at_ += size;
    return value;
  }
  void Skip(std::size_t count) {
    if (count > bytes_.size() - at_) {
      failed_ = true;
      at_ = bytes_.size();
    } else {
      at_ += count;
    }
  }
  bool Failed() const { return failed_; }
  std::size_t Offset() const { return at_; }

 private:
  std::span<const std::uint8_t> bytes_;
  bool bigEndian_;
  std::size_t at_ = 0;
  bool failed_ = false;
};

}  // namespace files
