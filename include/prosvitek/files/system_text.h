#pragma once
// Small helpers over the system's calls, shared by reading and writing.

#include <string>

namespace files {

// The system's text for an errno value; safe on any thread (strerror is not).
std::string SystemReason(int err);

// A descriptor closed when it goes out of scope unless released.
class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  ~Fd();
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  Fd(Fd&& other) noexcept : fd_(other.release()) {}
  Fd& operator=(Fd&& other) noexcept {
    if (this != &other) {
      Fd old(fd_);
      fd_ = other.release();
    }
    return *this;
  }
  int get() const { return fd_; }
  int release() {
    const int f = fd_;
    fd_ = -1;
    return f;
  }

 private:
  int fd_;
};

}  // namespace files
