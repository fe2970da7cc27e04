// The session and its job runner under misuse, meant to run under
// ThreadSanitizer too: every call a window could make while a job runs.

#include "app/job_runner.h"
#include "app/native_path.h"
#include "app/photo_session.h"

#include "prosvitek/files/input_file.h"
#include "jpeg_fixtures.h"
#include "reference.h"

#include <QTest>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using imaging::MakeColour;

TEST(JobRunnerThreads, EveryExceptionEndsAsAFailedResult) {
  struct Case {
    const char* what;
    std::function<int(JobContext&)> work;
    JobStatus status;
    const char* message;
  } cases[] = {
      {"value", [](JobContext&) { return 7; }, JobStatus::Done, ""},
      {"std", [](JobContext&) -> int { throw std::runtime_error("rozbité"); }, JobStatus::Failed, "rozbité"},
      {"memory", [](JobContext&) -> int { throw std::bad_alloc(); }, JobStatus::Failed,
       "Na fotku nestačí paměť počítače. Zavřete jiné programy, nebo fotku zmenšete jiným programem."},
      {"not std", [](JobContext&) -> int { throw 42; }, JobStatus::Failed, "Neznámá chyba."},
  };
  JobRunner runner;
  for (const Case& c : cases) {
    std::optional<JobResult<int>> got;
    ASSERT_TRUE(runner.Run<int>(c.work, [&](JobResult<int>&& r) { got = std::move(r); }));
    ASSERT_TRUE(QTest::qWaitFor([&] { return got.has_value(); }, 10000)) << c.what;
    EXPECT_EQ(got->status, c.status) << c.what;
    EXPECT_EQ(got->message, c.message) << c.what;
    if (c.status == JobStatus::Done) {
      EXPECT_EQ(got->value, 7);
    }
    EXPECT_FALSE(runner.Busy());
  }
}

// A cancelled job's result never arrives, not even one already finished and
// on its way; a second job is refused while one is busy.
TEST(JobRunnerThreads, OnlyTheNewestJobsResultIsApplied) {
  JobRunner runner;
  std::atomic<bool> finished{false};
  int applied = 0;
  ASSERT_TRUE(runner.Run<int>([&](JobContext&) { return finished = true, 1; }, [&](JobResult<int>&&) { ++applied; }));
  EXPECT_FALSE(runner.Run<int>([](JobContext&) { return 2; }, [&](JobResult<int>&&) { applied += 10; }));
  while (!finished) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  runner.Cancel();  // its word is already queued
  ASSERT_TRUE(runner.Run<int>(
      [](JobContext& context) {
        while (!context.stop().stop_requested()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return 3;
      },
      [&](JobResult<int>&&) { applied += 100; }));
  runner.Cancel();
  std::optional<int> last;
  ASSERT_TRUE(runner.Run<int>([](JobContext&) { return 4; }, [&](JobResult<int>&& r) { last = r.value; }));
  ASSERT_TRUE(QTest::qWaitFor([&] { return last.has_value(); }, 10000));
  EXPECT_EQ(*last, 4);
  EXPECT_EQ(applied, 0);
}

class SessionThreads : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fixtures::FreshTestFolder("prosvitek-session");
    photo_ = (dir_ / "photo.jpg").string();
    // Large enough that a job is still running when the test acts.
    fixtures::WriteFile(photo_,
                        imaging::EncodeJpeg(fixtures::MakeRaster(1600, 1200,
                                                                 [](int x, int y) {
                                                                   const unsigned h =
                                                                       static_cast<unsigned>(x * 7919 + y * 104729) *
                                                                       2654435761u;
                                                                   return MakeColour(h & 255, (h >> 8) & 127, x % 90);
                                                                 }),
                                            95, false));
    QObject::connect(&session_, &PhotoSession::opened, [this] { ++opened_; });
    QObject::connect(&session_, &PhotoSession::rendered, [this] { ++rendered_; });
    QObject::connect(&session_, &PhotoSession::written,
                     [this](const QString& target, qulonglong, const QString&) { written_ << target; });
    QObject::connect(&session_, &PhotoSession::failed, [this](const QString& m) { failed_ << m; });
  }
  void TearDown() override { fs::remove_all(dir_); }

  QString Q(const std::string& p) const { return PathFromNative(p); }
  void Idle() {
    ASSERT_TRUE(QTest::qWaitFor([&] { return !session_.Busy(); }, 60000));
  }
  void OpenPhoto() {
    ASSERT_TRUE(session_.Open(Q(photo_)));
    Idle();
    ASSERT_EQ(opened_, 1);
  }
  void Rendered(int quality = 85) {
    ASSERT_TRUE(session_.Render(imaging::ExponentFor(15), quality));
    Idle();
    ASSERT_EQ(rendered_, 1);
  }
  std::size_t FilesInDir() const {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()));
  }

  fs::path dir_;
  std::string photo_;
  PhotoSession session_;
  int opened_ = 0, rendered_ = 0;
  QStringList written_, failed_;
};

// Discard() and a change of the controls while the write runs reach nothing
// the write uses: it is refused, and the file is the rendered one.
TEST_F(SessionThreads, DiscardDuringAWriteIsRefusedAndTheWriteCompletes) {
  OpenPhoto();
  session_.SetControls({40, 120, 5, false});
  Rendered(70);
  const std::string target = (dir_ / "out.jpg").string();
  for (const int quality : {70, 60}) {  // the result as encoded, and encoded again on the way
    ASSERT_TRUE(session_.Write(Q(target), quality));
    EXPECT_FALSE(session_.Discard());
    session_.SetControls({150, 200, 20, true});
    Idle();
    EXPECT_EQ(written_.size(), 1);
    EXPECT_TRUE(failed_.isEmpty()) << failed_.join("; ").toStdString();
    const imaging::BrightenSettings used = imaging::SettingsFor({40, 120, 5, false}, session_.Analysis().MinLuminance);
    EXPECT_EQ(files::ReadWholeFile(target),
              fixtures::ReferenceRender(
                  photo_, imaging::ExponentFor(15), [&](int, int) { return used; }, quality))
        << "quality " << quality;
    EXPECT_FALSE(session_.Saving());
    if (quality == 70) {
      written_.clear();
      session_.SetControls({40, 120, 5, false});
      rendered_ = 0;
      Rendered(70);
      ASSERT_TRUE(session_.Reencode(50));
    }
  }
}

// No second open while a save is under way, at any of its steps; the photo
// on screen stays the one being saved.
TEST_F(SessionThreads, SecondOpenDuringASaveIsRefused) {
  OpenPhoto();
  const std::string other = (dir_ / "other.jpg").string();
  fs::copy_file(photo_, other);
  ASSERT_TRUE(session_.Render(imaging::ExponentFor(15), 85));
  EXPECT_FALSE(session_.Open(Q(other)));  // rendering
  Idle();
  EXPECT_FALSE(session_.Open(Q(other)));  // waiting for a name
  ASSERT_TRUE(session_.Write(Q((dir_ / "out.jpg").string()), 60));
  EXPECT_FALSE(session_.Open(Q(other)));  // writing
  EXPECT_FALSE(session_.Render(imaging::ExponentFor(15), 85));
  Idle();
  EXPECT_EQ(written_.size(), 1);
  EXPECT_EQ(session_.Path(), Q(photo_));
  EXPECT_EQ(opened_, 1);
  EXPECT_TRUE(session_.Open(Q(other)));  // once saved
  Idle();
  EXPECT_EQ(opened_, 2);
}

// Closing the window during each job: the job stops, no signal follows, and
// nothing is left in the folder (no result, no temporary file).
TEST_F(SessionThreads, CancelDuringEachJobLeavesNothing) {
  enum class Job { Open, Render, Encode, Write };
  for (const Job job : {Job::Open, Job::Render, Job::Encode, Job::Write}) {
    SCOPED_TRACE(static_cast<int>(job));
    opened_ = rendered_ = 0;
    written_.clear();
    if (job != Job::Open) {
      OpenPhoto();
      opened_ = 0;
    }
    if (job == Job::Encode || job == Job::Write) Rendered();
    rendered_ = 0;
    switch (job) {
      case Job::Open:
        ASSERT_TRUE(session_.Open(Q(photo_)));
        break;
      case Job::Render:
        ASSERT_TRUE(session_.Render(imaging::ExponentFor(15), 85));
        break;
      case Job::Encode:
        ASSERT_TRUE(session_.Reencode(40));
        break;
      case Job::Write:
        ASSERT_TRUE(session_.Write(Q((dir_ / "out.jpg").string()), 40));
        break;  // encodes on the way
    }
    EXPECT_TRUE(session_.Busy());
    session_.Cancel();
    EXPECT_FALSE(session_.Busy());
    EXPECT_FALSE(session_.Saving());
    QTest::qWait(50);  // a word already on its way must not arrive
    EXPECT_EQ(opened_ + rendered_ + written_.size() + failed_.size(), 0);
    EXPECT_EQ(FilesInDir(), 1u);
  }
}

}  // namespace
