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

// Reads a whole file; throws FileError with a readable reason.
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
