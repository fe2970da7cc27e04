#include "exif/byte_stream.h"

#include <algorithm>
#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace exif::detail {

int64_t MemoryByteStream::Read(char* buffer, int64_t count) {
  if (count <= 0) return 0;
  const size_t taken = std::min(static_cast<size_t>(count), bytes_.size() - position_);
  bytes_.copy(buffer, taken, position_);
  position_ += taken;
  return static_cast<int64_t>(taken);
}

int64_t MemoryByteStream::ReadAt(int64_t offset, char* buffer, int64_t count) const {
  if (offset < 0 || count <= 0 || offset >= static_cast<int64_t>(bytes_.size())) return 0;
  return static_cast<int64_t>(bytes_.copy(buffer, static_cast<size_t>(count), static_cast<size_t>(offset)));
}

int64_t FileByteStream::ReadAt(int64_t offset, char* buffer, int64_t count) const {
  int64_t done = 0;
  while (done < count) {
    const ssize_t got = ::pread(fd_, buffer + done, static_cast<size_t>(count - done), offset + done);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    done += static_cast<int64_t>(got);
  }
  return done;
}

FileByteStream::FileByteStream(const std::string& path) {
  fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd_ < 0) throw FileOpenError("cannot open " + path, {errno, std::generic_category()});
  struct stat info {};
  if (::fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode)) {
    const int error = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
    ::close(fd_);
    fd_ = -1;
    throw FileOpenError("not a regular file: " + path, {error, std::generic_category()});
  }
  size_ = info.st_size;
}

FileByteStream::~FileByteStream() {
  if (fd_ >= 0) ::close(fd_);
}

int64_t FileByteStream::Read(char* buffer, int64_t count) {
  constexpr size_t kReadAhead = 16 * 1024;
  int64_t done = 0;
  while (done < count) {
    if (position_ == buffer_.size()) {
      // Large requests go straight to the caller's buffer; small ones through ours.
      if (count - done >= static_cast<int64_t>(kReadAhead)) {
        const ssize_t got = ::read(fd_, buffer + done, static_cast<size_t>(count - done));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        done += static_cast<int64_t>(got);
        continue;
      }
      buffer_.resize(kReadAhead);
      const ssize_t got = ::read(fd_, buffer_.data(), kReadAhead);
      if (got < 0 && errno == EINTR) continue;
      buffer_.resize(got > 0 ? static_cast<size_t>(got) : 0);
      position_ = 0;
      if (got <= 0) break;
    }
    const size_t taken = std::min(buffer_.size() - position_, static_cast<size_t>(count - done));
    buffer_.copy(buffer + done, taken, position_);
    position_ += taken;
    done += static_cast<int64_t>(taken);
  }
  consumed_ += done;
  return done;
}

std::string ReadBytes(ByteStream& stream, int64_t count) {
  std::string bytes;
  AppendBytes(stream, count, bytes);
  return bytes;
}

void AppendBytes(ByteStream& stream, int64_t count, std::string& bytes) {
  constexpr int64_t kChunk = 64 * 1024;
  // A stream that knows its length is read in one go, into one allocation.
  if (const int64_t left = stream.Remaining(); left >= 0 && count > kChunk) {
    const size_t before = bytes.size();
    bytes.resize(before + static_cast<size_t>(std::min(count, left)));
    const int64_t got = stream.Read(bytes.data() + before, static_cast<int64_t>(bytes.size() - before));
    bytes.resize(before + static_cast<size_t>(std::max<int64_t>(got, 0)));
    if (got < count && stream.Remaining() <= 0) return;
    count -= got;
  }
  while (count > 0) {
    const int64_t wanted = std::min(count, kChunk);
    const size_t before = bytes.size();
    bytes.resize(before + static_cast<size_t>(wanted));
    const int64_t got = stream.Read(bytes.data() + before, wanted);
    bytes.resize(before + static_cast<size_t>(std::max<int64_t>(got, 0)));
    if (got < wanted) break;
    count -= got;
  }
}

int ReadByte(ByteStream& stream) {
  char byte = 0;
  return stream.Read(&byte, 1) == 1 ? static_cast<unsigned char>(byte) : -1;
}

}  // namespace exif::detail
