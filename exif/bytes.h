#pragma once
// Byte strings: blocks of file bytes with 1-based positions, and the one copy rule.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace exif::detail {

// Copies `count` bytes from 1-based position `pos`. Every copy in the reader goes through here:
// an empty source or a negative count gives nothing, a position below 1 counts as 1 (the count
// is kept), a position past the last byte gives nothing, and a count past the end is cut there.
std::string CopyBytes(std::string_view source, int64_t pos, int64_t count);

// True when the `count` bytes from 1-based `pos` lie wholly inside a block of `size` bytes.
// All arguments are 64-bit so that no sum of file offsets can wrap.
bool SpanInside(int64_t size, int64_t pos, int64_t count);

// A reference-counted, immutable byte string; copies share the bytes.
class ByteString {
 public:
  ByteString() = default;
  explicit ByteString(std::string bytes);
  // `length` zero bytes that the caller fills in through `fill` before sharing the string;
  // pages never filled cost no memory.
  static ByteString Zeros(int64_t length, char*& fill);

  std::string_view View() const { return view_; }
  int64_t Length() const { return static_cast<int64_t>(view_.size()); }
  bool Empty() const { return Length() == 0; }
  // The copy rule applied to this string.
  std::string Copy(int64_t pos, int64_t count) const { return CopyBytes(View(), pos, count); }
  // True when the `count` bytes from 1-based `pos` lie wholly inside the string.
  bool Holds(int64_t pos, int64_t count) const { return SpanInside(Length(), pos, count); }
  // Byte at 1-based `pos`; the caller has checked the position with Holds.
  uint8_t At(int64_t pos) const {
    return static_cast<uint8_t>(View()[static_cast<size_t>(pos - 1)]);
  }

 private:
  std::shared_ptr<const void> owner_;
  std::string_view view_;
};

}  // namespace exif::detail
