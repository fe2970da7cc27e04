#include "exif/byte_stream.h"

#include <algorithm>
#include <stdexcept>

namespace exif {

int64_t MemoryByteStream::Read(char* buffer, int64_t count) {
  if (count <= 0) return 0;
  const size_t taken = std::min(static_cast<size_t>(count), bytes_.size() - position_);
  bytes_.copy(buffer, taken, position_);
  position_ += taken;
  return static_cast<int64_t>(taken);
}

FileByteStream::FileByteStream(const std::string& path) : file_(path, std::ios::binary) {
  if (!file_.is_open()) throw std::runtime_error("cannot open " + path);
}

int64_t FileByteStream::Read(char* buffer, int64_t count) {
  if (count <= 0 || !file_) return 0;
  file_.read(buffer, static_cast<std::streamsize>(count));
  return static_cast<int64_t>(file_.gcount());
}

std::string ReadBytes(ByteStream& stream, int64_t count) {
  constexpr int64_t kChunk = 64 * 1024;
  std::string bytes;
  while (count > 0) {
    const int64_t wanted = std::min(count, kChunk);
    const size_t before = bytes.size();
    bytes.resize(before + static_cast<size_t>(wanted));
    const int64_t got = stream.Read(bytes.data() + before, wanted);
    bytes.resize(before + static_cast<size_t>(std::max<int64_t>(got, 0)));
    if (got < wanted) break;
    count -= got;
  }
  return bytes;
}

int ReadByte(ByteStream& stream) {
  char byte = 0;
  return stream.Read(&byte, 1) == 1 ? static_cast<unsigned char>(byte) : -1;
}

}  // namespace exif
