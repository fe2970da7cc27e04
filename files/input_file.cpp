#include "prosvitek/files/input_file.h"

#include "prosvitek/files/errors.h"
#include "prosvitek/files/system_text.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace files {

std::string SystemReason(int err) {
  char buffer[256];
  return ::strerror_r(err, buffer, sizeof buffer);  // the GNU form: gives the text
}

Fd::~Fd() {
  if (fd_ >= 0) ::close(fd_);
}

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
  if (ownsFd_ && fd_ >= 0) ::close(fd_);
}

InputFile::InputFile(InputFile&& other) noexcept
    : path_(std::move(other.path_)),
      fd_(std::exchange(other.fd_, -1)),
      ownsFd_(std::exchange(other.ownsFd_, false)),
      memory_(std::exchange(other.memory_, nullptr)),
      start_(std::exchange(other.start_, 0)),
      size_(std::exchange(other.size_, 0)),
      modified_(other.modified_) {}

InputFile& InputFile::operator=(InputFile&& other) noexcept {
  if (this != &other) {
    if (ownsFd_ && fd_ >= 0) ::close(fd_);
    path_ = std::move(other.path_);
    fd_ = std::exchange(other.fd_, -1);
    ownsFd_ = std::exchange(other.ownsFd_, false);
    memory_ = std::exchange(other.memory_, nullptr);
    start_ = std::exchange(other.start_, 0);
    size_ = std::exchange(other.size_, 0);
    modified_ = other.modified_;
  }
  return *this;
}

InputFile InputFile::Part(std::uint64_t offset, std::uint64_t size) const {
  InputFile part;
  part.path_ = path_;
  part.fd_ = fd_;
  part.memory_ = memory_;
  part.modified_ = modified_;
  offset = std::min(offset, size_);
  part.start_ = start_ + offset;
  part.size_ = std::min(size, size_ - offset);
  return part;
}

InputFile InputFile::FromMemory(std::span<const std::uint8_t> bytes, std::string name) {
  InputFile file;
  file.path_ = std::move(name);
  file.memory_ = bytes.data();
  file.size_ = bytes.size();
  return file;
}

std::size_t InputFile::ReadAt(std::uint64_t offset, std::uint8_t* buffer, std::size_t count) const {
  if (offset >= size_ || count == 0) return 0;  // an empty read may come with no buffer at all
  count = static_cast<std::size_t>(std::min<std::uint64_t>(count, size_ - offset));
  if (memory_ != nullptr) {
    std::memcpy(buffer, memory_ + start_ + offset, count);
    return count;
  }
  offset += start_;
  std::size_t done = 0;
  while (done < count) {
    const ssize_t n = ::pread(fd_, buffer + done, count - done, static_cast<off_t>(offset + done));
    if (n > 0) {
      done += static_cast<std::size_t>(n);
    } else if (n == 0) {
      break;  // the file shrank since it was opened
    } else if (const int err = errno; err != EINTR) {
      throw FileError("Soubor nelze číst: " + path_ + " (" + SystemReason(err) + ")", {err, std::generic_category()});
    }
  }
  return done;
}

Bytes InputFile::Read(std::uint64_t offset, std::size_t count) const {
  if (offset >= size_) return {};
  Bytes bytes(static_cast<std::size_t>(std::min<std::uint64_t>(count, size_ - offset)));
  bytes.resize(ReadAt(offset, bytes.data(), bytes.size()));
  return bytes;
}

InputFile OpenInputFile(const std::string& path) {
  // Without O_NONBLOCK, opening a FIFO waits for a writer that may never come.
  const auto failure = [&](const char* what, int code, const std::string& reason = {}) {
    return FileError(std::string(what) + path + " (" + (reason.empty() ? SystemReason(code) : reason) + ")",
                     {code, std::generic_category()});
  };
  Fd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (fd.get() < 0) throw failure("Soubor nelze otevřít: ", errno);
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0) throw failure("Soubor nelze číst: ", errno);
  if (!S_ISREG(st.st_mode)) throw failure("Soubor nelze otevřít: ", S_ISDIR(st.st_mode) ? EISDIR : EINVAL, KindOf(st.st_mode));
  InputFile file;
  file.path_ = path;
  file.size_ = static_cast<std::uint64_t>(st.st_size);
  file.modified_ = std::chrono::system_clock::time_point(std::chrono::duration_cast<std::chrono::system_clock::duration>(
      std::chrono::seconds(st.st_mtim.tv_sec) + std::chrono::nanoseconds(st.st_mtim.tv_nsec)));
  file.fd_ = fd.release();
  file.ownsFd_ = true;
  return file;
}

Bytes ReadWholeFile(const std::string& path) {
  const InputFile file = OpenInputFile(path);
  if (file.size() > std::numeric_limits<std::size_t>::max() / 2) throw FileError("Soubor je příliš velký: " + path);
  return file.Read(0, static_cast<std::size_t>(file.size()));
}

}  // namespace files
