#pragma once
// Reading photo files: the one way the program's readers get at a file's bytes.

#include <chrono>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace files {

using Bytes = std::vector<std::uint8_t>;

// A file opened for reading, or bytes already in memory read the same way.
// Only regular files are opened, without ever blocking (a FIFO or a device
// is refused before anything is read), and the size is taken once, at the
// open; reads never go past it.
class InputFile {
 public:
  InputFile() = default;
  ~InputFile();
  InputFile(InputFile&& other) noexcept;
  InputFile& operator=(InputFile&& other) noexcept;
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  // Bytes held by the caller, read as a file named `name`; they must outlive
  // the object.
  static InputFile FromMemory(std::span<const std::uint8_t> bytes, std::string name = "<paměť>");

  const std::string& path() const { return path_; }
  std::uint64_t size() const { return size_; }
  // The last change, as the file system had it at the open; unset in memory.
  std::chrono::system_clock::time_point modified() const { return modified_; }
  // `size` bytes from `offset` (cut at the end) read as a file of their own,
  // through this one, which must outlive it: a container's embedded block
  // read with the same readers as a whole file.
  InputFile Part(std::uint64_t offset, std::uint64_t size) const;
  // Reads up to `count` bytes from `offset` (never past size()); gives the
  // number read, fewer only at the end. Safe from several threads at once.
  // Throws FileError.
  std::size_t ReadAt(std::uint64_t offset, std::uint8_t* buffer, std::size_t count) const;
  // Up to `count` bytes from `offset`, fewer at the end.
  Bytes Read(std::uint64_t offset, std::size_t count) const;

 private:
  friend InputFile OpenInputFile(const std::string& path);
  std::string path_;
  int fd_ = -1;
  bool ownsFd_ = false;  // a Part reads through its whole file's descriptor
  const std::uint8_t* memory_ = nullptr;
  std::uint64_t start_ = 0;  // of a Part, in the whole file
  std::uint64_t size_ = 0;
  std::chrono::system_clock::time_point modified_{};
};

// Opens a file; throws FileError naming the file and the reason (missing,
// unreadable, a folder, a FIFO, a device...), with the system's code.
InputFile OpenInputFile(const std::string& path);

// Reads a whole (regular) file; throws FileError with a readable reason.
Bytes ReadWholeFile(const std::string& path);

}  // namespace files
