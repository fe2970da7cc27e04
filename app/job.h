#pragma once
// A job of the window: its input taken by value, its work on a worker
// thread, and a result value that the window's thread applies in one place.
// Nothing here knows of widgets.

#include <atomic>
#include <stop_token>
#include <string>

enum class JobStatus { Done, Failed, Cancelled };

template <typename T>
struct JobResult {
  JobStatus status = JobStatus::Failed;
  T value{};            // meaningful when Done
  std::string warning;  // something to tell about a result that is there all the same
  std::string message;  // why it failed, for the user
};

// What a job's work sees of the runner: the stop it must heed, and where
// to report its rows and its warning. Used by the job's own thread only.
class JobContext {
 public:
  JobContext(std::stop_token stop, std::atomic<int>& done, std::atomic<int>& total)
      : stop_(std::move(stop)), done_(done), total_(total) {}

  const std::stop_token& stop() const { return stop_; }
  void Progress(int done, int total) const {
    total_.store(total, std::memory_order_relaxed);
    done_.store(done, std::memory_order_relaxed);
  }
  void Warn(std::string text) { warning_ = std::move(text); }
  const std::string& warning() const { return warning_; }

 private:
  std::stop_token stop_;
  std::atomic<int>& done_;
  std::atomic<int>& total_;
  std::string warning_;
};
