#include "imaging/file_io.h"

#include "imaging/errors.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <limits>
#include <utility>

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

namespace {

// What a non-regular file is, for the refusal.
std::string KindOf(mode_t mode) {
  if (S_ISDIR(mode)) return "je to složka";
  if (S_ISFIFO(mode)) return "je to roura (FIFO)";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "je to zařízení";
  if (S_ISSOCK(mode)) return "je to soket";
  return "není to obyčejný soubor";
}

}  // namespace

InputFile::~InputFile() {
  if (fd_ >= 0) ::close(fd_);
}

InputFile::InputFile(InputFile&& other) noexcept
    : path_(std::move(other.path_)), fd_(std::exchange(other.fd_, -1)), size_(other.size_) {}

InputFile& InputFile::operator=(InputFile&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    path_ = std::move(other.path_);
    fd_ = std::exchange(other.fd_, -1);
    size_ = other.size_;
  }
  return *this;
}

std::size_t InputFile::ReadAt(std::uint64_t offset, std::uint8_t* buffer, std::size_t count) const {
  if (offset >= size_) return 0;
  count = static_cast<std::size_t>(std::min<std::uint64_t>(count, size_ - offset));
  for (;;) {
    const ssize_t n = ::pread(fd_, buffer, count, static_cast<off_t>(offset));
    if (n >= 0) return static_cast<std::size_t>(n);
    if (errno != EINTR) throw FileError("Soubor nelze číst: " + path_ + " (" + Reason(errno) + ")");
  }
}

InputFile OpenInputFile(const std::string& path) {
  // Without O_NONBLOCK, opening a FIFO waits for a writer that may never come.
  Fd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (fd.get() < 0) throw FileError("Soubor nelze otevřít: " + path + " (" + Reason(errno) + ")");
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0) throw FileError("Soubor nelze číst: " + path + " (" + Reason(errno) + ")");
  if (!S_ISREG(st.st_mode)) throw FileError("Soubor nelze otevřít: " + path + " (" + KindOf(st.st_mode) + ")");
  InputFile file;
  file.path_ = path;
  file.size_ = static_cast<std::uint64_t>(st.st_size);
  file.fd_ = fd.release();
  return file;
}

Bytes ReadWholeFile(const std::string& path) {
  const InputFile file = OpenInputFile(path);
  if (file.size() > std::numeric_limits<std::size_t>::max() / 2) throw FileError("Soubor je příliš velký: " + path);
  Bytes bytes(static_cast<std::size_t>(file.size()));
  std::size_t done = 0;
  while (done < bytes.size()) {
    const std::size_t n = file.ReadAt(done, bytes.data() + done, bytes.size() - done);
    if (n == 0) break;  // the file shrank since it was opened
    done += n;
  }
  bytes.resize(done);
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
