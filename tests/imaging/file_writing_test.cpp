// Writing result files: what each kind of target gets, what is refused, and
// what an interrupting signal leaves.

#include "imaging/errors.h"
#include "files/input_file.h"
#include "files/atomic_file.h"
#include "jpeg_fixtures.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace imaging {
namespace {

namespace fs = std::filesystem;

class WriteTarget : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("prosvitek-write-" + std::to_string(::getpid()) + "-" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  // Names of temporary files left anywhere under the test's folder.
  std::vector<std::string> Leftovers() const {
    std::vector<std::string> found;
    for (const auto& e : fs::recursive_directory_iterator(dir_))
      if (e.path().filename().string().starts_with(".")) found.push_back(e.path().string());
    return found;
  }

  fs::path dir_;
};

mode_t Umask() {
  const mode_t m = ::umask(0);
  ::umask(m);
  return m;
}

TEST_F(WriteTarget, FollowsLinksAndReplacesTheFileTheyName) {
  struct Case {
    const char* what;
    std::function<std::string()> link;  // makes the link and the file it ends at; returns the link
    std::string file;                   // the file the link ends at
  };
  fs::create_directories(dir_ / "real");
  const std::vector<Case> cases = {
      {"relative",
       [&] {
         fs::create_symlink("real/a.jpg", dir_ / "a.jpg");
         return Path("a.jpg");
       },
       Path("real/a.jpg")},
      {"absolute",
       [&] {
         fs::create_symlink(dir_ / "real/b.jpg", dir_ / "b.jpg");
         return Path("b.jpg");
       },
       Path("real/b.jpg")},
      {"chain, relative to each link's folder",
       [&] {
         fs::create_symlink("real/c1.jpg", dir_ / "c.jpg");
         fs::create_symlink("../real/c2.jpg", dir_ / "real/c1.jpg");
         fs::create_symlink("c3.jpg", dir_ / "real/c2.jpg");
         return Path("c.jpg");
       },
       Path("real/c3.jpg")},
  };
  for (const Case& c : cases) {
    const std::string link = c.link();
    fixtures::WriteFile(c.file, Bytes{1});
    ::chmod(c.file.c_str(), 0640);
    files::WriteFileAtomically(link, Bytes{7, 8, 9});
    EXPECT_TRUE(fs::is_symlink(link)) << c.what;
    EXPECT_EQ(files::ReadWholeFile(c.file), (Bytes{7, 8, 9})) << c.what;
    EXPECT_EQ(fs::status(c.file).permissions() & fs::perms::all, fs::perms(0640)) << c.what;
  }
  EXPECT_EQ(Leftovers(), std::vector<std::string>());
}

// Pipes and devices cannot be replaced by a file: the bytes go into them.
TEST_F(WriteTarget, WritesIntoPipesAndDevicesInPlace) {
  const Bytes bytes(100000, 0x5A);  // more than a pipe holds at once
  ASSERT_EQ(::mkfifo(Path("fifo").c_str(), 0600), 0);
  auto received = std::make_shared<Bytes>();
  std::thread reader([received, fifo = Path("fifo")] {
    const int fd = ::open(fifo.c_str(), O_RDONLY);
    std::uint8_t chunk[4096];
    for (ssize_t n; (n = ::read(fd, chunk, sizeof chunk)) > 0;) received->insert(received->end(), chunk, chunk + n);
    ::close(fd);
  });
  {
    files::AtomicFile fifo(Path("fifo"));
    EXPECT_TRUE(fifo.WritesInPlace());
    fifo.Write(bytes);
    fifo.Commit();
  }
  if (!fs::is_fifo(Path("fifo"))) {
    reader.detach();  // it waits for a writer that never comes
    FAIL() << "the FIFO was replaced";
  }
  reader.join();
  EXPECT_EQ(*received, bytes);

  // Root may replace a device node; everyone else meets /dev/null itself.
  std::string device = "/dev/null";
  if (::geteuid() == 0) {
    device = Path("null");
    ASSERT_EQ(::mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 3)), 0) << std::strerror(errno);
  }
  files::WriteFileAtomically(device, bytes);
  EXPECT_TRUE(fs::is_character_file(device));
  EXPECT_EQ(Leftovers(), std::vector<std::string>());
}

TEST_F(WriteTarget, RefusesTargetsItMustNotReplace) {
  struct Case {
    const char* what;
    std::function<std::string()> make;  // returns the target
    bool asOtherUser = false;           // root writes as nobody, who may not write the file
  };
  const std::vector<Case> cases = {
      {"link to nothing",
       [&] {
         fs::create_symlink("missing.jpg", dir_ / "dangling");
         return Path("dangling");
       }},
      {"folder",
       [&] {
         fs::create_directories(dir_ / "folder.jpg");
         return Path("folder.jpg");
       }},
      {"socket",
       [&] {
         const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
         sockaddr_un addr{};
         addr.sun_family = AF_UNIX;
         Path("sock").copy(addr.sun_path, sizeof addr.sun_path - 1);
         EXPECT_EQ(::bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
         ::close(s);
         return Path("sock");
       }},
      {"read-only file in a writable folder",
       [&] {
         fixtures::WriteFile(Path("ro.jpg"), Bytes{1, 2, 3});
         ::chmod(Path("ro.jpg").c_str(), ::geteuid() == 0 ? 0644 : 0444);
         ::chmod(dir_.c_str(), 0777);
         return Path("ro.jpg");
       },
       true},
  };
  for (const Case& c : cases) {
    const std::string target = c.make();
    struct stat before {};
    ASSERT_EQ(::lstat(target.c_str(), &before), 0) << c.what;
    const pid_t child = ::fork();
    if (child == 0) {
      if (c.asOtherUser && ::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(3);
      try {
        files::WriteFileAtomically(target, Bytes{9});
      } catch (const FileError&) {
        ::_exit(0);
      }
      ::_exit(1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << c.what << ": not refused, status " << status;
    struct stat after {};
    ASSERT_EQ(::lstat(target.c_str(), &after), 0) << c.what;
    EXPECT_EQ(after.st_ino, before.st_ino) << c.what;
    EXPECT_EQ(after.st_mode, before.st_mode) << c.what;
  }
  EXPECT_FALSE(fs::exists(dir_ / "missing.jpg"));
  EXPECT_EQ(files::ReadWholeFile(Path("ro.jpg")), (Bytes{1, 2, 3}));
  EXPECT_EQ(Leftovers(), std::vector<std::string>());
}

TEST_F(WriteTarget, EveryNameLengthAndTheUsualPermissions) {
  for (std::size_t length : {248, 255}) {  // 248 and up failed with names built from the target's
    const std::string target = Path(std::string(length, 'n'));
    files::WriteFileAtomically(target, Bytes{1, 2});
    EXPECT_EQ(files::ReadWholeFile(target), (Bytes{1, 2})) << length;
    EXPECT_EQ(fs::status(target).permissions() & fs::perms::all, fs::perms(0666 & ~Umask())) << length;
  }
  EXPECT_EQ(Leftovers(), std::vector<std::string>());
}

// The registry the signal handler reads holds every write in flight, however many.
TEST_F(WriteTarget, SignalCleanupReachesEveryWriteInFlight) {
  std::vector<std::unique_ptr<files::AtomicFile>> files;
  for (int i = 0; i < 150; ++i) {
    files.push_back(std::make_unique<files::AtomicFile>(Path(std::to_string(i) + ".jpg")));
    files.back()->Write(Bytes{1, 2, 3});
  }
  EXPECT_EQ(Leftovers().size(), 150u);
  files::RemovePendingTemporaryFiles();
  EXPECT_EQ(Leftovers(), std::vector<std::string>());
  files.clear();
  EXPECT_TRUE(fs::is_empty(dir_));
}

}  // namespace
}  // namespace imaging
