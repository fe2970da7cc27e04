#pragma once
// The file layer's one error: a file that could not be read or written.

#include <stdexcept>
#include <string>
#include <system_error>

namespace files {

// The message names the file and the reason, in the user's words; code() is
// the system's reason when there is one (ENOENT, EACCES, EISDIR; EINVAL for
// a FIFO, a device or a socket), so that a caller can word it its own way.
class FileError : public std::runtime_error {
 public:
  explicit FileError(const std::string& what, std::error_code code = {}) : std::runtime_error(what), code_(code) {}
  std::error_code code() const { return code_; }

 private:
  std::error_code code_;
};

}  // namespace files
