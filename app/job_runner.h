#pragma once
// Runs the window's jobs one at a time on a worker thread. A job's result
// is applied on the runner's (the window's) thread, and only when it is
// still the newest: starting another job or cancelling raises the
// generation, and a result of an older one is dropped unseen. Every
// exception of the work, whatever its type, ends as a failed result.

#include "job.h"

#include <QObject>

#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>

// The user's reading of a job's failure.
std::string FailureText(const std::exception_ptr& failure);

class JobRunner : public QObject {
  Q_OBJECT

 public:
  explicit JobRunner(QObject* parent = nullptr);
  ~JobRunner() override;  // stops a running job and waits for it

  // Whether a job runs or its result waits to be applied.
  bool Busy() const { return busy_; }
  unsigned Generation() const;
  // The running job's rows done and rows in all (0 of 0 before it reports).
  std::pair<int, int> Progress() const { return {done_.load(), total_.load()}; }

  // Starts `work` on the worker thread; `apply` gets its result later on
  // this thread. Refused (false) while another job is busy.
  template <typename T>
  bool Run(std::function<T(JobContext&)> work, std::function<void(JobResult<T>&&)> apply) {
    if (busy_) return false;
    auto result = std::make_shared<JobResult<T>>();
    Launch(
        [work = std::move(work), result](JobContext& context) {
          result->value = work(context);
          result->status = JobStatus::Done;
        },
        [result](JobStatus status, std::string message, std::string warning) {
          if (status != JobStatus::Done) result->status = status;
          result->message = std::move(message);
          result->warning = std::move(warning);
        },
        [result, apply = std::move(apply)] { apply(std::move(*result)); });
    return true;
  }

  // Stops the running job and waits for it; its result is never applied.
  void Cancel();

 private:
  Q_INVOKABLE void Collect();
  void Launch(std::function<void(JobContext&)> work,
              std::function<void(JobStatus, std::string message, std::string warning)> settle,
              std::function<void()> apply);

  std::jthread worker_;
  bool busy_ = false;
  std::function<void()> apply_;
  std::atomic<int> done_{0};
  std::atomic<int> total_{0};
  // Shared with the worker.
  mutable std::mutex lock_;
  unsigned generation_ = 0;
  unsigned finished_ = 0;  // the generation of the job that has ended, 0 for none
};
