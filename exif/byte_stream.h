#pragma once
// Read-only byte streams for the container scan: a file, or bytes already in memory. A read
// near the end delivers fewer bytes without failing.

#include <cstdint>
#include <fstream>
#include <string>
#include <string_view>

namespace exif {

class ByteStream {
 public:
  virtual ~ByteStream() = default;
  // Reads up to `count` bytes into `buffer`; returns how many were read (0 at the end).
  virtual int64_t Read(char* buffer, int64_t count) = 0;
};

class MemoryByteStream : public ByteStream {
 public:
  // The bytes must outlive the stream.
  explicit MemoryByteStream(std::string_view bytes) : bytes_(bytes) {}
  int64_t Read(char* buffer, int64_t count) override;

 private:
  std::string_view bytes_;
  size_t position_ = 0;
};

class FileByteStream : public ByteStream {
 public:
  // Opens the file for reading; throws std::runtime_error when it cannot be opened.
  explicit FileByteStream(const std::string& path);
  int64_t Read(char* buffer, int64_t count) override;

 private:
  std::ifstream file_;
};

// Up to `count` bytes (fewer at the end of the stream); memory grows only with bytes read.
std::string ReadBytes(ByteStream& stream, int64_t count);

// The next byte, or -1 at the end of the stream.
int ReadByte(ByteStream& stream);

}  // namespace exif
