#pragma once
// Read-only byte streams for the container scan: a file, or bytes already in memory. A read
// near the end delivers fewer bytes without failing.

#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>

namespace exif::detail {

class ByteStream {
 public:
  virtual ~ByteStream() = default;
  // Reads up to `count` bytes into `buffer`; returns how many were read (0 at the end).
  virtual int64_t Read(char* buffer, int64_t count) = 0;
  // How many bytes are left, when the stream knows; -1 otherwise.
  virtual int64_t Remaining() const { return -1; }
  // Reads up to `count` bytes from byte `offset` of the whole stream, wherever the stream
  // stands; how many were read, or -1 when the stream cannot read out of order.
  virtual int64_t ReadAt(int64_t offset, char* buffer, int64_t count) const {
    (void)offset, (void)buffer, (void)count;
    return -1;
  }
};

class MemoryByteStream : public ByteStream {
 public:
  // The bytes must outlive the stream.
  explicit MemoryByteStream(std::string_view bytes) : bytes_(bytes) {}
  int64_t Read(char* buffer, int64_t count) override;
  int64_t Remaining() const override { return static_cast<int64_t>(bytes_.size() - position_); }
  int64_t ReadAt(int64_t offset, char* buffer, int64_t count) const override;

 private:
  std::string_view bytes_;
  size_t position_ = 0;
};

// A file that cannot be read, and why.
class FileOpenError : public std::runtime_error {
 public:
  FileOpenError(const std::string& what, std::error_code code)
      : std::runtime_error(what), code_(code) {}
  std::error_code Code() const { return code_; }

 private:
  std::error_code code_;
};

class FileByteStream : public ByteStream {
 public:
  // Opens the file for reading without waiting on it; throws FileOpenError when it cannot be
  // opened or is not a regular file (a FIFO or a device would block or never end).
  explicit FileByteStream(const std::string& path);
  ~FileByteStream() override;
  FileByteStream(const FileByteStream&) = delete;
  FileByteStream& operator=(const FileByteStream&) = delete;
  int64_t Read(char* buffer, int64_t count) override;
  int64_t Remaining() const override { return std::max<int64_t>(size_ - consumed_, 0); }
  int64_t ReadAt(int64_t offset, char* buffer, int64_t count) const override;

 private:
  int fd_ = -1;
  int64_t size_ = 0;      // the file's size when opened
  int64_t consumed_ = 0;  // bytes handed out
  std::string buffer_;  // read ahead, so that marker scans byte by byte stay cheap
  size_t position_ = 0;
};

// Up to `count` bytes (fewer at the end of the stream); memory grows only with bytes read.
std::string ReadBytes(ByteStream& stream, int64_t count);
// The same bytes appended to `bytes`, without a copy of their own.
void AppendBytes(ByteStream& stream, int64_t count, std::string& bytes);

// The next byte, or -1 at the end of the stream.
int ReadByte(ByteStream& stream);

}  // namespace exif::detail
