#pragma once
// Writing results without ever leaving a half-written or destroyed file behind.

#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace files {

// Writes bytes to path without ever leaving a half-written or destroyed file,
// through AtomicFile. Throws FileError.
void WriteFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes);

class PendingRegistration;

// A file written in pieces that appears under its name only when complete: the
// bytes go to a temporary file in the target's folder, which replaces the
// target on Commit after it was written and flushed completely. Destroyed
// without Commit, it removes the temporary file and leaves the target as it was.
//
// What the target is decides the way:
// - a symbolic link is followed, and the file it names is replaced (the link
//   stays); a link to nothing is refused, so a planted link cannot make us
//   create a file elsewhere;
// - a FIFO or a character device (a pipe, /dev/null, a terminal) is written
//   straight into: no temporary file, no rename (see WritesInPlace);
// - a folder or any other kind of file is refused, as is an existing file the
//   user may not write (as cp refuses it, even where the folder is writable).
class AtomicFile {
 public:
  // Checks the target and creates the temporary file; throws FileError. For a
  // FIFO this waits, as any writer does, until a reader opens it.
  explicit AtomicFile(std::string target);
  ~AtomicFile();
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  // Throws FileError; the file is then abandoned.
  void Write(std::span<const std::uint8_t> bytes);
  // Syncs and puts the file in the target's place, then syncs the folder so
  // the new name survives a crash; throws FileError.
  void Commit();

  // True when the bytes go straight into the target (a FIFO or a character
  // device): a reader there sees them as they come, and sees a partial
  // stream when the write fails.
  bool WritesInPlace() const { return inPlace_; }

 private:
  struct Existing;  // what an existing target passes on to its replacement
  void Open();
  void Abandon() noexcept;
  void OpenInPlace();
  void ResolveFolderAndName();
  void CreateTemporary(const Existing* replaced);
  [[noreturn]] void Fail(int err);
  [[noreturn]] void Refuse(const std::string& reason);

  std::string target_;     // as given, for messages
  int folder_ = -1;        // the folder of the file finally replaced or created
  std::string name_;       // that file's name in folder_
  std::string temporary_;  // the temporary file's name in folder_, once it may exist
  int fd_ = -1;
  bool inPlace_ = false;
  bool committed_ = false;
  std::unique_ptr<PendingRegistration> pending_;
};

// Removes the temporary files of writes still in progress. Safe to call from
// a signal handler, so that an interrupted program leaves nothing behind.
void RemovePendingTemporaryFiles();

}  // namespace files
