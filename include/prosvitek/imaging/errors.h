#pragma once
// Errors of the photo code. Each ends the user's action with its message;
// PhotoErrorText turns any of them into what the window and the command line
// tell the user.

#include "prosvitek/files/errors.h"
#include "prosvitek/files/file_kind.h"

#include <cstdint>
#include <exception>
#include <stdexcept>
#include <string>

namespace imaging {

// What the reader knew besides libjpeg's code when a photo failed.
struct JpegFailureContext {
  int parameter = 0;       // libjpeg's first number in the message: the SOF type, the precision
  bool dataEnded = false;  // the file's data had ended before the failure
  files::FileKind kind = files::FileKind::Unknown;  // what the file's first bytes show
};

// A fatal libjpeg error: "JPEG error #<libjpeg message code>", followed by
// libjpeg's own explanation when there is one ("JPEG error #53: Not a JPEG
// file: starts with 0x89 0x50").
class EJPEG : public std::runtime_error {
 public:
  explicit EJPEG(int code, const std::string& explanation = {}, const JpegFailureContext& context = {});
  int code() const { return code_; }
  const JpegFailureContext& context() const { return context_; }
  void SetFileKind(files::FileKind kind) { context_.kind = kind; }

 private:
  int code_;
  JpegFailureContext context_;
};

// A photo the program refuses to decode because it would need more memory
// or work than allowed: a raster too large to allocate, a photo beyond the
// memory budget, or a progressive file with an absurd number of scans.
class PhotoTooLarge : public std::runtime_error {
 public:
  enum class Reason { Memory, Scans };
  explicit PhotoTooLarge(const std::string& message, Reason reason = Reason::Memory)
      : std::runtime_error(message), reason_(reason) {}
  // A raster that would not fit in memory.
  PhotoTooLarge(int width, int height);
  // A photo needing `needed` bytes where `budget` are allowed.
  PhotoTooLarge(int width, int height, std::uint64_t needed, std::uint64_t budget);
  Reason reason() const { return reason_; }

 private:
  Reason reason_ = Reason::Memory;
};
using RasterTooLarge = PhotoTooLarge;

// A pass stopped on request (the window closing, the user cancelling).
class Cancelled : public std::runtime_error {
 public:
  Cancelled() : std::runtime_error("Zrušeno.") {}
};

// A file that could not be read or written; the message names the file and the reason.
using files::FileError;

// What the user is told when opening, measuring or saving a photo failed: a
// first line in Czech saying what happened and what to do, then, after a
// line break, the library's own text when it adds anything. Errors whose
// message is already the user's (files, cancelling) come out unchanged.
std::string PhotoErrorText(const std::exception& error);
// The same for whatever is being thrown (call it inside a catch block).
std::string PhotoErrorText(std::exception_ptr error);

// What the user is told about a photo that was processed with libjpeg's
// complaint `warning` (empty: nothing to tell) and of whose `height` rows
// only `decodedRows` held data: a Czech first line, then libjpeg's text.
std::string PhotoWarningText(const std::string& warning, int decodedRows, int height);

}  // namespace imaging
