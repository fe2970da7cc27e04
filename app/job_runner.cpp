#include "job_runner.h"

#include "prosvitek/imaging/errors.h"

std::string FailureText(const std::exception_ptr& failure) {
  // Photo errors say in Czech what happened and what to do, with the
  // library's text below; any other exception still ends as a message.
  return imaging::PhotoErrorText(failure);
}

JobRunner::JobRunner(QObject* parent) : QObject(parent) {}

JobRunner::~JobRunner() { Cancel(); }

unsigned JobRunner::Generation() const {
  std::lock_guard lock(lock_);
  return generation_;
}

void JobRunner::Launch(std::function<void(JobContext&)> work,
                       std::function<void(JobStatus, std::string, std::string)> settle, std::function<void()> apply) {
  if (worker_.joinable()) worker_.join();
  unsigned generation = 0;
  {
    std::lock_guard lock(lock_);
    generation = ++generation_;
    finished_ = 0;
  }
  busy_ = true;
  apply_ = std::move(apply);
  done_ = 0;
  total_ = 0;
  worker_ = std::jthread([this, generation, work = std::move(work), settle = std::move(settle)](std::stop_token stop) {
    JobContext context(stop, done_, total_);
    JobStatus status = JobStatus::Done;
    std::string message;
    try {
      work(context);
    } catch (...) {
      // A stop shows as whatever the interrupted call threw; it is no failure.
      status = stop.stop_requested() ? JobStatus::Cancelled : JobStatus::Failed;
      if (status == JobStatus::Failed) message = FailureText(std::current_exception());
    }
    settle(status, std::move(message), context.warning());
    {
      std::lock_guard lock(lock_);
      finished_ = generation;
    }
    // Only the word that something ended crosses to the window's thread; the
    // result itself is taken there after the join.
    QMetaObject::invokeMethod(this, "Collect", Qt::QueuedConnection);
  });
}

void JobRunner::Collect() {
  {
    std::lock_guard lock(lock_);
    if (finished_ == 0 || finished_ != generation_) return;  // a cancelled job's late word
    finished_ = 0;
  }
  worker_.join();
  busy_ = false;
  const std::function<void()> apply = std::move(apply_);
  apply_ = nullptr;
  if (apply) apply();
}

void JobRunner::Cancel() {
  if (worker_.joinable()) {
    worker_.request_stop();
    worker_.join();
  }
  {
    std::lock_guard lock(lock_);
    ++generation_;
    finished_ = 0;
  }
  busy_ = false;
  apply_ = nullptr;
}
