#include "prosvitek/files/line_log.h"

#include "prosvitek/files/errors.h"

#include <cerrno>
#include <system_error>

#include <fcntl.h>
#include <unistd.h>

namespace files {

LineLog::LineLog(const std::string& path, std::string what) : path_(path), what_(std::move(what)) {
  if (path == "-") {
    fd_ = STDOUT_FILENO;
    return;
  }
  fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NOCTTY, 0666);
  if (fd_ < 0)
    throw FileError(path + ": " + what_ + " nelze otevřít (" + std::error_code(errno, std::generic_category()).message() +
                    ")");
  owned_ = true;
}

LineLog::~LineLog() {
  if (owned_) ::close(fd_);
}

std::optional<std::string> LineLog::Append(const std::string& line) {
  std::size_t written = 0;
  while (written < line.size()) {
    const ssize_t n = ::write(fd_, line.data() + written, line.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0)
      return path_ + ": " + what_ + " nelze zapsat (" +
             std::error_code(n < 0 ? errno : ENOSPC, std::generic_category()).message() + ")";
    written += static_cast<std::size_t>(n);
  }
  return std::nullopt;
}

}  // namespace files
