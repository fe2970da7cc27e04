// What brighten writes where, and what it tells the terminal, where an attack
// found the write path open.

#include "reference.h"
#include "jpeg_fixtures.h"
#include "run_cli.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <sys/wait.h>

namespace {

namespace fs = std::filesystem;
using testsupport::RunCli;

class WritePath : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = fixtures::FreshTestFolder("prosvitek-write-path"); }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  std::string Photo(const std::string& name, int shade = 0, int width = 96, int height = 64,
                    const std::vector<imaging::JpegSegment>& segments = {}) {
    fs::create_directories((dir_ / name).parent_path());
    fixtures::WriteFile(Path(name), imaging::EncodeJpeg(fixtures::MakeRaster(width, height, [shade](int x, int y) {
                                                          return imaging::MakeColour((x + shade) & 255, y & 255, 60);
                                                        }), 90, false, segments));
    return Path(name);
  }
  // The names of temporary files left in a folder.
  static std::vector<std::string> Leftovers(const fs::path& folder) {
    std::vector<std::string> found;
    for (const auto& e : fs::directory_iterator(folder))
      if (e.path().filename().string().starts_with(".")) found.push_back(e.path().string());
    return found;
  }
  static bool Whole(const imaging::Bytes& jpeg) {
    return jpeg.size() > 4 && jpeg[0] == 0xFF && jpeg[1] == 0xD8 && jpeg[jpeg.size() - 2] == 0xFF &&
           jpeg.back() == 0xD9;
  }

  fs::path dir_;
};

ino_t Inode(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

// Standard output appended to a log: -o -, /dev/stdout and /dev/fd/1 add the
// photo at the log's end; following /proc/self/fd/1 to the log's name
// replaced the whole log.
TEST_F(WritePath, StandardOutputAppendedToALogIsWrittenInto) {
  const std::string photo = Photo("p.jpg");
  ASSERT_EQ(RunCli({"brighten", "-o", Path("reference.jpg"), photo}).status, 0);
  const imaging::Bytes reference = files::ReadWholeFile(Path("reference.jpg"));
  for (const std::string target : {"-", "/dev/stdout", "/dev/fd/1"}) {
    const std::string log = Path("log.txt");
    fixtures::WriteFile(log, {'l', 'o', 'g', '\n'});
    const ino_t inode = Inode(log);
    testsupport::ChildSetup setup;
    setup.appendOutput = true;
    const pid_t pid = testsupport::StartCli({"brighten", "-o", target, photo}, log, Path("err.txt"), PROSVITEK_CLI, setup);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << target << ": " << testsupport::Slurp(Path("err.txt"));
    imaging::Bytes expected = {'l', 'o', 'g', '\n'};
    expected.insert(expected.end(), reference.begin(), reference.end());
    EXPECT_EQ(files::ReadWholeFile(log), expected) << target;
    EXPECT_EQ(Inode(log), inode) << target << ": the log was replaced";
  }
  EXPECT_EQ(Leftovers(dir_), std::vector<std::string>());
}

// Two outputs that are one file through a link inside --out-dir: one result
// would be lost while both were reported done.
TEST_F(WritePath, OutputsReachingOneFileAreRefused) {
  const std::string a = Photo("x/a.jpg", 1), b = Photo("y/b.jpg", 2);
  fs::create_directories(dir_ / "out");
  fixtures::WriteFile(Path("out/b.jpg"), files::ReadWholeFile(b));
  fs::create_symlink("b.jpg", dir_ / "out/a.jpg");
  const auto r = RunCli({"brighten", "-j", "2", "--out-dir", Path("out"), a, b});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find(b + ": výstup vede do stejného souboru jako výstup fotky " + a), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("hotovo: 1, selhalo: 1"), std::string::npos) << r.err;
}

// The segments --keep-metadata carries are held through the whole save: they
// count in --max-memory (a photo with 64 MiB of them took 64 MiB per job
// whatever the budget).
TEST_F(WritePath, CarriedMetadataCountsInTheMemoryBudget) {
  std::vector<imaging::JpegSegment> xmp;
  const std::string id = "http://ns.adobe.com/xap/1.0/";
  for (int i = 0; i < 48; ++i) {  // 2.9 MB
    imaging::JpegSegment segment{0xE1, std::vector<std::uint8_t>(id.begin(), id.end())};
    segment.body.push_back(0);
    segment.body.resize(60000, 'x');
    xmp.push_back(std::move(segment));
  }
  const std::string photo = Photo("p.jpg", 0, 96, 64, xmp);
  struct Case {
    bool keep;
    const char* megabytes;
    int status;
  };
  const Case cases[] = {{true, "2", 1}, {true, "8", 0}, {false, "2", 0}};
  for (const Case& c : cases) {
    const std::string what = std::string(c.keep ? "kept, " : "not kept, ") + c.megabytes + " MiB";
    fs::remove(Path("o.jpg"));
    std::vector<std::string> args = {"brighten", "--max-memory", c.megabytes, "-o", Path("o.jpg"), photo};
    if (c.keep) args.insert(args.begin() + 1, "--keep-metadata");
    const auto r = RunCli(args);
    EXPECT_EQ(r.status, c.status) << what << ": " << r.err;
    EXPECT_EQ(fs::exists(Path("o.jpg")), c.status == 0) << what;
    if (c.status != 0) {
      EXPECT_NE(r.err.find("Metadata fotky"), std::string::npos) << what << ": " << r.err;
    }
  }
}

// A file name's control characters (ESC, BEL, CR) could retitle the terminal
// or fake a line; every command shows them escaped, as exif does.
TEST_F(WritePath, FileNamesReachTheTerminalEscaped) {
  const std::string name = Path("evil\x1b]0;owned\x07\rfake.jpg");
  fixtures::WriteFile(name, {'G', 'I', 'F', '8'});
  const std::vector<std::vector<std::string>> commands = {
      {"analyse", name},
      {"brighten", "--out-dir", Path("out"), name},
      {"brighten", "-o", Path("o.jpg"), name},
      {"brighten", "-o", name, name},
  };
  for (const auto& args : commands) {
    const auto r = RunCli(args);
    EXPECT_NE(r.status, 0) << args[0];
    EXPECT_EQ(r.err.find_first_of("\x1b\x07\r"), std::string::npos) << args[0] << ": " << r.err;
    EXPECT_NE(r.err.find("evil\\x1B]0;owned\\x07\\rfake.jpg"), std::string::npos) << args[0] << ": " << r.err;
  }
}

// The folder cannot be synced after the rename: the photo is saved (the
// target was replaced), so it is a warning, not a failed save.
TEST_F(WritePath, FolderSyncFailureIsAWarningOnASavedFile) {
  const std::string photo = Photo("p.jpg");
  fixtures::WriteFile(Path("o.jpg"), {1, 2, 3});
  const auto r = RunCli({"brighten", "-o", Path("o.jpg"), photo}, PROSVITEK_CLI,
                        {"LD_PRELOAD=" PROSVITEK_PAUSE_PRELOAD, "PROSVITEK_FAIL_FOLDER_SYNC=1",
                         "ASAN_OPTIONS=verify_asan_link_order=0:detect_leaks=0"});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(Whole(files::ReadWholeFile(Path("o.jpg"))));
  EXPECT_NE(r.err.find(photo + ": varování: Soubor " + Path("o.jpg") + " je uložen"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("hotovo: 1, selhalo: 0"), std::string::npos) << r.err;
}

// SIGTERM in the middle of a batch of many jobs: a worker went on creating a
// temporary file after the handler had removed the others, and it stayed.
// Removing is made slow, so that workers go on while the handler runs, on
// every run; half of the outputs exist already, so replacing is interrupted too.
TEST_F(WritePath, SignalDuringABigBatchLeavesNoTemporaryFiles) {
  std::vector<std::string> photos;
  for (int i = 0; i < 32; ++i) photos.push_back(Photo("in/" + std::to_string(i) + ".jpg", i));
  const imaging::Bytes old = files::ReadWholeFile(photos.front());
  for (const char* jobs : {"8", "32"})
    for (const bool named : {false, true})
      for (int run = 0; run < 3; ++run) {
        const std::string what = std::string("-j ") + jobs + (named ? ", named" : ", unnamed") + ", run " +
                                 std::to_string(run);
        fs::remove_all(dir_ / "out");
        fs::create_directories(dir_ / "out");
        for (int i = 0; i < 32; i += 2) fixtures::WriteFile(Path("out/" + std::to_string(i) + ".jpg"), old);
        std::vector<std::string> args = {"brighten", "-j", jobs, "--out-dir", Path("out")};
        args.insert(args.end(), photos.begin(), photos.end());
        testsupport::ChildSetup setup;
        setup.environment = {"LD_PRELOAD=" PROSVITEK_PAUSE_PRELOAD,
                             "PROSVITEK_PAUSE=create:" + std::to_string(2 + 5 * run),
                             "PROSVITEK_SLOW_REMOVE=1", "ASAN_OPTIONS=verify_asan_link_order=0:detect_leaks=0"};
        if (named) setup.environment.push_back("PROSVITEK_NO_TMPFILE=1");
        const pid_t pid = testsupport::StartCli(args, Path("cli.out"), Path("cli.err"), PROSVITEK_CLI, setup);
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, WUNTRACED), pid) << what;
        ASSERT_TRUE(WIFSTOPPED(status)) << what << ": never paused; " << testsupport::Slurp(Path("cli.err"));
        ::kill(pid, SIGTERM);
        ::kill(pid, SIGCONT);
        ASSERT_EQ(::waitpid(pid, &status, 0), pid) << what;
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << what << ": status " << status;
        EXPECT_EQ(Leftovers(dir_ / "out"), std::vector<std::string>()) << what;
        for (const auto& e : fs::directory_iterator(dir_ / "out"))
          EXPECT_TRUE(Whole(files::ReadWholeFile(e.path().string()))) << what << ": " << e.path();
      }
}

}  // namespace
