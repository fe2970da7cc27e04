#include "imaging/file_io.h"

#include "imaging/errors.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace imaging {

namespace {

std::string Reason(int err) { return std::strerror(err); }

class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  int release() {
    int f = fd_;
    fd_ = -1;
    return f;
  }

 private:
  int fd_;
};

}  // namespace

Bytes ReadWholeFile(const std::string& path) {
  Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) throw FileError("Soubor nelze otevřít: " + path + " (" + Reason(errno) + ")");
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0) throw FileError("Soubor nelze číst: " + path + " (" + Reason(errno) + ")");
  if (!S_ISREG(st.st_mode)) throw FileError("Není to obyčejný soubor: " + path);
  Bytes bytes;
  bytes.reserve(static_cast<std::size_t>(st.st_size));
  std::uint8_t chunk[65536];
  for (;;) {
    const ssize_t n = ::read(fd.get(), chunk, sizeof chunk);
    if (n < 0) {
      if (errno == EINTR) continue;
      throw FileError("Soubor nelze číst: " + path + " (" + Reason(errno) + ")");
    }
    if (n == 0) break;
    bytes.insert(bytes.end(), chunk, chunk + n);
  }
  return bytes;
}

namespace {

// The process's file creation mask, read once: reading it means setting it,
// which must not race with other threads writing files.
mode_t CreationMask() {
  static const mode_t mask = [] {
    const mode_t m = ::umask(0);
    ::umask(m);
    return m;
  }();
  return mask;
}

// Temporary files being written, so that a signal handler can remove them:
// fixed slots of plain characters, touched by the handler with unlink only.
// A slot is claimed, then filled, then marked ready, so the handler never
// reads a path while it is being copied (a half-copied one could name
// another file).
constexpr int kPendingSlots = 64;
enum PendingState : int { kFree, kFilling, kReady };
struct PendingFile {
  std::atomic<int> state{kFree};
  char path[4096];
};
PendingFile g_pending[kPendingSlots];

}  // namespace

// Registers a temporary file for removal by an interrupting signal.
class PendingRegistration {
 public:
  explicit PendingRegistration(const std::string& path) {
    if (path.size() >= sizeof g_pending[0].path) return;
    for (int i = 0; i < kPendingSlots; ++i) {
      PendingFile& p = g_pending[i];
      int expected = kFree;
      if (!p.state.compare_exchange_strong(expected, kFilling)) continue;
      std::memcpy(p.path, path.c_str(), path.size() + 1);
      p.state.store(kReady);
      slot_ = i;
      return;
    }
  }
  ~PendingRegistration() {
    if (slot_ >= 0) g_pending[slot_].state.store(kFree);
  }
  PendingRegistration(const PendingRegistration&) = delete;
  PendingRegistration& operator=(const PendingRegistration&) = delete;

 private:
  int slot_ = -1;
};

void RemovePendingTemporaryFiles() {
  for (PendingFile& p : g_pending)
    if (p.state.load() == kReady) ::unlink(p.path);
}

AtomicFile::AtomicFile(std::string target) : target_(std::move(target)) {
  namespace fs = std::filesystem;
  const fs::path path(target_);
  fs::path folder = path.parent_path();
  if (folder.empty()) folder = ".";
  temporary_ = (folder / ("." + path.filename().string() + ".XXXXXX")).string();
  const mode_t mask = CreationMask();
  fd_ = ::mkstemp(temporary_.data());
  if (fd_ < 0) throw FileError("Soubor nelze uložit: " + target_ + " (" + Reason(errno) + ")");
  pending_ = std::make_unique<PendingRegistration>(temporary_);
  // Keep the replaced file's permissions; a new file gets the usual 0666 & ~umask.
  struct stat st {};
  ::fchmod(fd_, ::stat(target_.c_str(), &st) == 0 ? (st.st_mode & 07777) : (0666 & ~mask));
}

AtomicFile::~AtomicFile() {
  if (fd_ >= 0) ::close(fd_);
  if (!committed_) ::unlink(temporary_.c_str());
}

void AtomicFile::Fail(int err) {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  throw FileError("Soubor nelze uložit: " + target_ + " (" + Reason(err) + ")");
}

void AtomicFile::Write(std::span<const std::uint8_t> bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      Fail(errno);
    }
    done += static_cast<std::size_t>(n);
  }
}

void AtomicFile::Commit() {
  if (::fsync(fd_) != 0) Fail(errno);
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) Fail(errno);
  if (::rename(temporary_.c_str(), target_.c_str()) != 0) Fail(errno);
  committed_ = true;
}

void WriteFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes) {
  AtomicFile file(path);
  file.Write(bytes);
  file.Commit();
}

}  // namespace imaging
