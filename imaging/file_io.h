#pragma once
// Reading photo files and writing results without ever leaving a half-written
// or destroyed file behind.

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace imaging {

using Bytes = std::vector<std::uint8_t>;

// A photo file opened for reading: only regular files are opened, without
// ever blocking (a FIFO or a device is refused before anything is read), and
// the size is taken once, at the open; reads never go past it.
class InputFile {
 public:
  InputFile() = default;
  ~InputFile();
  InputFile(InputFile&& other) noexcept;
  InputFile& operator=(InputFile&& other) noexcept;
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  const std::string& path() const { return path_; }
  std::uint64_t size() const { return size_; }
  // Reads up to `count` bytes from `offset` (never past size()); gives the
  // number read, 0 at the end. Safe from several threads at once. Throws FileError.
  std::size_t ReadAt(std::uint64_t offset, std::uint8_t* buffer, std::size_t count) const;

 private:
  friend InputFile OpenInputFile(const std::string& path);
  std::string path_;
  int fd_ = -1;
  std::uint64_t size_ = 0;
};

// Opens a photo file; throws FileError naming the file and the reason
// (missing, unreadable, a folder, a FIFO, a device...).
InputFile OpenInputFile(const std::string& path);

// Reads a whole (regular) file; throws FileError with a readable reason.
Bytes ReadWholeFile(const std::string& path);

// Writes bytes to path without ever leaving a half-written or destroyed file:
// the bytes go to a temporary file in the target's folder, which replaces the
// target only after it was written and flushed completely. Throws FileError.
void WriteFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes);

class PendingRegistration;

// A file written in pieces that appears under its name only when complete: the
// bytes go to a temporary file in the target's folder, which replaces the
// target on Commit after it was written and flushed completely. Destroyed
// without Commit, it removes the temporary file and leaves the target as it was.
class AtomicFile {
 public:
  // Creates the temporary file; throws FileError.
  explicit AtomicFile(std::string target);
  ~AtomicFile();
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  // Throws FileError; the file is then abandoned.
  void Write(std::span<const std::uint8_t> bytes);
  // Syncs and puts the file in the target's place; throws FileError.
  void Commit();

 private:
  [[noreturn]] void Fail(int err);

  std::string target_;
  std::string temporary_;
  int fd_ = -1;
  bool committed_ = false;
  std::unique_ptr<PendingRegistration> pending_;
};

// Removes the temporary files of writes still in progress. Safe to call from
// a signal handler, so that an interrupted program leaves nothing behind.
void RemovePendingTemporaryFiles();

}  // namespace imaging
