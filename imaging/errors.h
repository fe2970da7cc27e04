#pragma once
// Errors of the photo code. Each ends the user's action with its message.

#include <stdexcept>
#include <string>

namespace imaging {

// A fatal libjpeg error; the message is "JPEG error #<libjpeg message code>".
class EJPEG : public std::runtime_error {
 public:
  explicit EJPEG(int code);
  int code() const { return code_; }

 private:
  int code_;
};

// A photo whose decoded raster would not fit in memory.
class RasterTooLarge : public std::runtime_error {
 public:
  RasterTooLarge(int width, int height);
};

// A file that could not be read or written; the message names the file and the reason.
class FileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace imaging
