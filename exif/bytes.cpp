#include "bytes.h"

#include <algorithm>
#include <cstdlib>
#include <new>

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

ByteString::ByteString(std::string bytes) {
  auto owned = std::make_shared<const std::string>(std::move(bytes));
  view_ = *owned;
  owner_ = std::move(owned);
}

ByteString ByteString::Zeros(int64_t length, char*& fill) {
  const auto size = static_cast<size_t>(std::max<int64_t>(length, 0));
  // calloc hands large blocks out as fresh zero pages, touched only where written.
  char* bytes = static_cast<char*>(std::calloc(size == 0 ? 1 : size, 1));
  if (bytes == nullptr) throw std::bad_alloc();
  ByteString zeros;
  zeros.owner_ = std::shared_ptr<const void>(bytes, [](const void* p) { std::free(const_cast<void*>(p)); });
  zeros.view_ = std::string_view(bytes, size);
  fill = bytes;
  return zeros;
}

}  // namespace exif::detail
