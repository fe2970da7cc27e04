#pragma once
// Writing results without ever leaving a half-written or destroyed file behind.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include <sys/stat.h>

namespace files {

// Writes bytes to path without ever leaving a half-written or destroyed file,
// through AtomicFile. Gives the warning of Commit, if any. Throws FileError.
std::optional<std::string> WriteFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes);

class PendingRegistration;

// A file written in pieces that appears under its name only when complete: the
// bytes go to a temporary file in the target's folder, unnamed where the file
// system allows it (so that a dying process cannot leave it behind), which
// takes the target's place on Commit after it was written and flushed
// completely. Destroyed without Commit, it leaves the target as it was.
//
// What the target is decides the way:
// - a symbolic link is opened through, so the kernel may refuse it (a link
//   planted in a sticky folder); the file it names is replaced and the link
//   stays. A link to nothing is refused, so it cannot make us create a file
//   elsewhere;
// - an existing file keeps its owner, permissions, ACLs and extended
//   attributes; where the replacement cannot be given them, or the file has
//   other hard links, the finished content is written over the file itself;
// - standard output ("-", /dev/stdout, /dev/fd/N), any file we already hold
//   open for appending (a log that standard output is appended to), a FIFO and
//   a character device (a pipe, /dev/null, a terminal) are written into as a
//   stream: no temporary file, nothing replaced (see WritesInPlace);
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
  // the new name survives a crash; throws FileError when the target was not
  // replaced. When the folder cannot be synced the file is saved all the
  // same, and the warning saying so is given back.
  std::optional<std::string> Commit();

  // True when the bytes go straight into the target as a stream: a reader
  // there sees them as they come, and sees a partial stream when the write
  // fails.
  bool WritesInPlace() const { return stream_; }

 private:
  void Open();
  void Abandon() noexcept;
  void OpenStream(int descriptor);
  void OpenInPlace();
  void OpenExisting(const struct stat& file);
  void CreateTemporary();
  void CreateNamedTemporary();
  void CarryOver(const struct stat& file);
  void Place();
  void Overwrite();
  int LinkUnnamed(const char* name) const;
  [[noreturn]] void Fail(int err);
  [[noreturn]] void Refuse(const std::string& reason);

  std::string target_;     // as given, for messages
  int folder_ = -1;        // the folder of the file finally replaced or created
  std::string name_;       // that file's name in folder_
  std::string temporary_;  // a named temporary file's name in folder_, once it may exist
  int fd_ = -1;            // the temporary file, or the stream
  int existing_ = -1;      // the file replaced, opened for writing through the given path
  bool unnamed_ = false;   // fd_ is a file without a name yet
  bool stream_ = false;
  bool overwrite_ = false;  // the content goes over the existing file at Commit
  bool committed_ = false;
  std::unique_ptr<PendingRegistration> pending_;
};

// Removes the temporary files of writes still in progress, for a process
// that is ending: from the call on, no further temporary file gets a name.
// Safe to call from a signal handler, and waits (briefly) for writes that are
// naming a file on other threads, so that an interrupted program leaves
// nothing behind.
void RemovePendingTemporaryFiles();

}  // namespace files
