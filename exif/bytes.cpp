#include "exif/bytes.h"

#include <algorithm>

namespace exif::detail {

std::string CopyBytes(std::string_view source, int64_t pos, int64_t count) {
  const auto size = static_cast<int64_t>(source.size());
  if (size == 0 || count < 0) return {};
  pos = std::max<int64_t>(pos, 1);
  if (pos > size) return {};
  const int64_t available = size - pos + 1;
  const int64_t taken = std::min(count, available);
  return std::string(source.substr(static_cast<size_t>(pos - 1), static_cast<size_t>(taken)));
}

bool SpanInside(int64_t size, int64_t pos, int64_t count) {
  // Written so that nothing is added to a position read from a file.
  return pos >= 1 && count >= 0 && count <= size && pos - 1 <= size - count;
}

ByteString::ByteString(std::string bytes)
    : bytes_(std::make_shared<const std::string>(std::move(bytes))) {}

std::string_view ByteString::View() const {
  return bytes_ ? std::string_view(*bytes_) : std::string_view();
}

int64_t ByteString::Length() const { return static_cast<int64_t>(View().size()); }

}  // namespace exif::detail
