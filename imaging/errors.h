#pragma once
// Errors of the photo code. Each ends the user's action with its message.

#include "files/errors.h"

#include <cstdint>
#include <stdexcept>
#include <string>

namespace imaging {

// A fatal libjpeg error: "JPEG error #<libjpeg message code>", followed by
// libjpeg's own explanation when there is one ("JPEG error #53: Not a JPEG
// file: starts with 0x89 0x50").
class EJPEG : public std::runtime_error {
 public:
  explicit EJPEG(int code, const std::string& explanation = {});
  int code() const { return code_; }

 private:
  int code_;
};

// A photo the program refuses to decode because it would need more memory
// or work than allowed: a raster too large to allocate, a photo beyond the
// memory budget, or a progressive file with an absurd number of scans.
class PhotoTooLarge : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
  // A raster that would not fit in memory.
  PhotoTooLarge(int width, int height);
  // A photo needing `needed` bytes where `budget` are allowed.
  PhotoTooLarge(int width, int height, std::uint64_t needed, std::uint64_t budget);
};
using RasterTooLarge = PhotoTooLarge;

// A pass stopped on request (the window closing, the user cancelling).
class Cancelled : public std::runtime_error {
 public:
  Cancelled() : std::runtime_error("Zrušeno.") {}
};

// A file that could not be read or written; the message names the file and the reason.
using files::FileError;

}  // namespace imaging
