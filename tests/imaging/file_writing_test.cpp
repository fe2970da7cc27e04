// Writing result files: what each kind of target gets, what is refused, what
// a replaced file keeps, and what an interrupting signal leaves; and reading
// that stops when asked.

#include "prosvitek/imaging/errors.h"
#include "prosvitek/files/input_file.h"
#include "prosvitek/files/atomic_file.h"
#include "prosvitek/files/write_target.h"
#include "jpeg_fixtures.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fstream>
#include <iostream>
#include <filesystem>
#include <chrono>
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
#include <sys/xattr.h>
#include <unistd.h>

namespace imaging {
namespace {

namespace fs = std::filesystem;

class WriteTarget : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = fixtures::FreshTestFolder("prosvitek-write"); }
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
      {"an open file's /proc entry, open for reading only",  // was followed as text and replaced
       [&] {
         fixtures::WriteFile(Path("held.jpg"), Bytes{4, 5});
         static const int held = ::open(Path("held.jpg").c_str(), O_RDONLY | O_CLOEXEC);
         return "/proc/self/fd/" + std::to_string(held);
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
  EXPECT_EQ(files::ReadWholeFile(Path("held.jpg")), (Bytes{4, 5}));
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

// Writes in flight have no name until they are complete, so a process killed
// at any moment, by any signal, leaves nothing behind; however many there are.
TEST_F(WriteTarget, WritesInFlightHaveNoName) {
  std::vector<std::unique_ptr<files::AtomicFile>> files;
  for (int i = 0; i < 150; ++i) {
    files.push_back(std::make_unique<files::AtomicFile>(Path(std::to_string(i) + ".jpg")));
    files.back()->Write(Bytes{1, 2, 3});
  }
  EXPECT_TRUE(fs::is_empty(dir_));
  for (auto& file : files) EXPECT_EQ(file->Commit(), std::nullopt);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 150);
  EXPECT_EQ(Leftovers(), std::vector<std::string>());
}

// A link is opened through before what it names is replaced, so the kernel's
// refusals hold: a link another user planted in a sticky folder (which root
// must not follow where fs.protected_symlinks is set) and a running program.
TEST_F(WriteTarget, KernelDecidesWhetherALinkIsFollowed) {
  struct Case {
    const char* what;
    // Makes the victim and a link to it, named in `target`; gives why the case cannot run here, if it cannot.
    std::function<std::string(std::string& target)> make;
  };
  fs::create_directories(dir_ / "etc");
  const std::string victim = Path("etc/victim");
  pid_t running = -1;
  const std::vector<Case> cases = {
      {"link planted by another user in a sticky folder",
       [&](std::string& target) -> std::string {
         std::ifstream setting("/proc/sys/fs/protected_symlinks");
         int protectedLinks = 0;
         setting >> protectedLinks;
         if (::geteuid() != 0 || protectedLinks != 1) return "needs root and fs.protected_symlinks=1";
         fs::create_directories(dir_ / "sticky");
         ::chmod(Path("sticky").c_str(), 01777);
         fixtures::WriteFile(victim, Bytes{1, 2, 3});
         target = Path("sticky/out.jpg");
         fs::create_symlink(victim, target);
         return ::lchown(target.c_str(), 65534, 65534) == 0 ? "" : "cannot give the link away";
       }},
      {"link to a running program",
       [&](std::string& target) -> std::string {
         fs::copy_file("/bin/sleep", victim, fs::copy_options::overwrite_existing);
         target = Path("out.jpg");
         fs::create_symlink(victim, target);
         running = ::fork();
         if (running == 0) {
           ::execl(victim.c_str(), "sleep", "30", nullptr);
           ::_exit(127);
         }
         for (int i = 0; i < 200; ++i) {  // until the program runs from the file
           const int fd = ::open(victim.c_str(), O_WRONLY | O_CLOEXEC);
           if (fd < 0) return errno == ETXTBSY ? "" : std::strerror(errno);
           ::close(fd);
           ::usleep(10000);
         }
         return "this kernel lets a running program be written";
       }},
  };
  int ran = 0;
  for (const Case& c : cases) {
    std::string target;
    const std::string skip = c.make(target);
    if (skip.empty()) {
      ++ran;
      const Bytes before = files::ReadWholeFile(victim);
      EXPECT_THROW(files::WriteFileAtomically(target, Bytes{9}), FileError) << c.what;
      EXPECT_EQ(files::ReadWholeFile(victim), before) << c.what;
    } else {
      std::cout << c.what << ": not run (" << skip << ")\n";
    }
    if (running > 0) {
      ::kill(running, SIGKILL);
      ::waitpid(running, nullptr, 0);
      running = -1;
    }
    if (!target.empty()) fs::remove(target);
    fs::remove(victim);
  }
  EXPECT_EQ(Leftovers(), std::vector<std::string>());
  if (ran == 0) GTEST_SKIP() << "no case can run here";
}

// The binary form of a POSIX access ACL, as system.posix_acl_access holds it.
std::string AccessAcl(std::initializer_list<std::array<std::uint32_t, 3>> entries) {  // tag, permissions, id
  std::string acl;
  auto put = [&](std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) acl += static_cast<char>((value >> (8 * i)) & 0xFF);
  };
  put(2, 4);  // version
  for (const auto& [tag, permissions, id] : entries) {
    put(tag, 2);
    put(permissions, 2);
    put(id, 4);
  }
  return acl;
}

std::string Attribute(const std::string& path, const char* name) {
  std::string value(256, '\0');
  const ssize_t n = ::getxattr(path.c_str(), name, value.data(), value.size());
  value.resize(n < 0 ? 0 : static_cast<std::size_t>(n));
  return value;
}

// A replaced file keeps what belongs to it, as cp keeps it: its extended
// attributes, an ACL entry giving another user write access (both were lost
// with the rename), and its other hard links (which kept the old content).
TEST_F(WriteTarget, ReplacedFileKeepsWhatBelongsToIt) {
  constexpr std::uint32_t kNobody = 65534, kAnyone = 0xFFFFFFFF;
  const std::string acl = AccessAcl({{0x01, 6, kAnyone}, {0x02, 6, kNobody}, {0x04, 4, kAnyone}, {0x10, 6, kAnyone},
                                     {0x20, 4, kAnyone}});
  struct Case {
    const char* what;
    const char* attribute;  // set on the target beforehand, or none
    std::string value;
    bool hardLink = false;
  };
  const Case cases[] = {
      {"extended attribute", "user.prosvitek.note", "kept"},
      {"ACL giving another user write access", "system.posix_acl_access", acl},
      {"second hard link", nullptr, {}, true},
  };
  for (const Case& c : cases) {
    const std::string target = Path("photo.jpg"), twin = Path("twin.jpg");
    fs::remove(target);
    fs::remove(twin);
    fixtures::WriteFile(target, Bytes{1, 2, 3});
    if (c.attribute && ::setxattr(target.c_str(), c.attribute, c.value.data(), c.value.size(), 0) != 0) {
      ADD_FAILURE() << c.what << ": the file system refuses it here: " << std::strerror(errno);
      continue;
    }
    if (c.hardLink) fs::create_hard_link(target, twin);
    const std::string before = c.attribute ? Attribute(target, c.attribute) : "";
    const auto mode = fs::status(target).permissions();
    files::WriteFileAtomically(target, Bytes{7, 8});
    EXPECT_EQ(files::ReadWholeFile(target), (Bytes{7, 8})) << c.what;
    EXPECT_EQ(fs::status(target).permissions(), mode) << c.what;
    if (c.attribute) {
      EXPECT_EQ(Attribute(target, c.attribute), before) << c.what;
    }
    if (c.hardLink) {
      EXPECT_TRUE(fs::equivalent(target, twin)) << c.what;
      EXPECT_EQ(files::ReadWholeFile(twin), (Bytes{7, 8})) << c.what;
    }
  }
  EXPECT_EQ(Leftovers(), std::vector<std::string>());
}

// A file we hold open for appending (standard output appended to a log, and
// the names /proc gives such a descriptor) is written into at its end, never
// replaced: replacing it lost the log.
TEST_F(WriteTarget, FilesOpenForAppendingAreWrittenIntoAsAStream) {
  const std::string log = Path("log.txt");
  fixtures::WriteFile(log, Bytes{'l', 'o', 'g', '\n'});
  const int fd = ::open(log.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  struct stat before {};
  ASSERT_EQ(::stat(log.c_str(), &before), 0);
  Bytes expected = files::ReadWholeFile(log);
  for (const std::string& target : {"/dev/fd/" + std::to_string(fd), "/proc/self/fd/" + std::to_string(fd), log}) {
    files::AtomicFile file(target);
    EXPECT_TRUE(file.WritesInPlace()) << target;
    file.Write(Bytes{0xFF, 0xD8});
    file.Commit();
    expected.insert(expected.end(), {0xFF, 0xD8});
    struct stat st {};
    ASSERT_EQ(::stat(log.c_str(), &st), 0);
    EXPECT_EQ(st.st_ino, before.st_ino) << target;
    EXPECT_EQ(files::ReadWholeFile(log), expected) << target;
  }
  ::close(fd);
  EXPECT_EQ(Leftovers(), std::vector<std::string>());
}

// Two paths reaching one file, through a link or "..", have one identity,
// whether the file exists yet or not.
TEST_F(WriteTarget, PathsToOneFileHaveOneIdentity) {
  fs::create_directories(dir_ / "sub");
  fixtures::WriteFile(Path("b.jpg"), Bytes{1});
  fs::create_symlink("b.jpg", dir_ / "a.jpg");
  const std::pair<std::string, std::string> same[] = {
      {Path("a.jpg"), Path("b.jpg")},
      {Path("sub/../b.jpg"), Path("b.jpg")},
      {Path("sub/../new.jpg"), Path("new.jpg")},
  };
  for (const auto& [a, b] : same) EXPECT_TRUE(files::SameTarget(a, b)) << a << " " << b;
  EXPECT_FALSE(files::SameTarget(Path("new.jpg"), Path("sub/new.jpg")));
  EXPECT_FALSE(files::SameTarget(Path("a.jpg"), Path("new.jpg")));
}

// A photo whose first marker follows 256 MiB of padding (a sparse file):
// libjpeg reads through padding without calling the progress monitor, so a
// stop asked for must be seen where the bytes are read, or closing the window
// waits for the whole file.
TEST_F(WriteTarget, ReadingStopsWhenAskedInsidePadding) {
  const Bytes photo = EncodeJpeg(fixtures::MakeRaster(16, 16, [](int x, int) { return MakeColour(x, 0, 0); }), 80,
                                 false);
  const std::string path = Path("padded.jpg");
  {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(photo.data()), 2);  // SOI
    out.seekp(std::streamoff{256} << 20);
    out.write(reinterpret_cast<const char*>(photo.data()) + 2, static_cast<std::streamsize>(photo.size() - 2));
  }
  const files::InputFile file = files::OpenInputFile(path);
  std::stop_source stop;
  stop.request_stop();
  const auto start = std::chrono::steady_clock::now();
  EXPECT_THROW(JpegReader(file, DecodeLimits{}, stop.get_token()), Cancelled);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100));
}

}  // namespace
}  // namespace imaging
