#pragma once
// Small text helpers: file size, counting, stripping and splitting texts.
// Texts are byte strings; positions count from 1 where they are mentioned.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace text {

// Elements hold at most 255 characters; longer texts keep their first 255.
class Tparsedstring {
 public:
  static constexpr std::size_t kMaxLength = 255;

  explicit Tparsedstring(std::size_t count = 0) : items_(count) {}
  std::size_t Count() const { return items_.size(); }
  const std::string& operator[](std::size_t i) const { return items_.at(i); }
  void Set(std::size_t i, const std::string& value) { items_.at(i) = value.substr(0, kMaxLength); }
  // The element at i, or fallback when the array is shorter.
  const std::string& ValueOr(std::size_t i, const std::string& fallback) const {
    return i < items_.size() ? items_[i] : fallback;
  }

 private:
  std::vector<std::string> items_;
};

// The file could not be sized; the message names the file and the reason.
class FileSizeError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Size of the named file in bytes. Needs read access only, so read-only
// files and media work. Throws FileSizeError.
std::int64_t FileSizeOf(const std::string& fileName);

// Number of positions of text holding ch.
int CountChar(const std::string& text, char ch);

// Everything after the last ch; empty when ch does not occur.
std::string StripThroughLast(const std::string& text, char ch);

// The pieces between occurrences of delimiter. A text without the delimiter
// gives one empty element. Otherwise the text is first trimmed of leading
// and trailing characters up to code 32, and the pieces are not trimmed.
Tparsedstring SplitText(char delimiter, const std::string& text);

}  // namespace text
