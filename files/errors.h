#pragma once
// The file layer's one error: a file that could not be read or written.

#include <stdexcept>
#include <string>

namespace files {

// The message names the file and the reason, in the user's words.
class FileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace files
