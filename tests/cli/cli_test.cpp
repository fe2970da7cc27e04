#include "reference.h"
#include "prosvitek/imaging/analysis.h"
#include "prosvitek/imaging/brighten.h"
#include "jpeg_fixtures.h"
#include "run_cli.h"
#include "samples.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <csignal>

#include <sys/stat.h>
#include <filesystem>
#include <map>
#include <cstring>
#include <set>
#include <utility>
#include <vector>

namespace {

namespace fs = std::filesystem;
using testsupport::RunCli;

class Cli : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = fixtures::FreshTestFolder("prosvitek-cli"); }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Photo(const std::string& name, int shade = 0, bool progressive = false) {
    const fs::path p = dir_ / name;
    fixtures::WriteFile(p.string(), imaging::EncodeJpeg(fixtures::MakeRaster(96, 64, [shade](int x, int y) {
                                                          return imaging::MakeColour((x * 2 + shade) & 255, y * 3,
                                                                                     (x + y) / 2);
                                                        }), 90, progressive));
    return p.string();
  }
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }

  fs::path dir_;
};

bool OneLine(const std::string& s) { return !s.empty() && std::count(s.begin(), s.end(), '\n') == 1; }

TEST_F(Cli, UsageErrorsExitWithTwoAndOneLine) {
  const std::string photo = Photo("a.jpg");
  struct Case {
    std::vector<std::string> args;
    std::string says = {};  // part of the message, where it is ours
  };
  const std::vector<Case> cases = {
      {{"brighten", "--frobnicate", "-o", Path("o.jpg"), photo}},
      {{"brighten", "--strength", "151", "-o", Path("o.jpg"), photo}, "--strength: 151 je mimo rozsah 1 až 150"},
      {{"brighten", "--strength", "0", "-o", Path("o.jpg"), photo}, "mimo rozsah"},
      {{"brighten", "--boost", "21", "-o", Path("o.jpg"), photo}, "mimo rozsah 0 až 20"},
      {{"brighten", "--quality", "101", "-o", Path("o.jpg"), photo}, "mimo rozsah 1 až 100"},
      {{"brighten", "--quality", "abc", "-o", Path("o.jpg"), photo}, "--quality: „abc“ není celé číslo"},
      {{"brighten", "--quality", "0x50", "-o", Path("o.jpg"), photo}, "není celé číslo"},
      {{"brighten", "--quality", "99999999999999999999", "-o", Path("o.jpg"), photo}, "mimo rozsah"},
      {{"brighten", "--threshold", "1e3", "-o", Path("o.jpg"), photo}, "není celé číslo"},
      {{"brighten", "-j", "", "-o", Path("o.jpg"), photo}, "není celé číslo"},
      {{"brighten", "-o", "", photo}, "-o: prázdný název souboru"},
      {{"brighten", "--out-dir", "", photo}, "--out-dir: prázdný název složky"},
      {{"brighten", photo}},
      {{"brighten", "-o", photo, photo}},
      {{"brighten", "-o", Path("o.jpg"), photo, photo}},
      {{"brighten", "-o", Path("o.jpg"), "--out-dir", Path("d"), photo}},
      {{"exif", "--trace", "--tags", photo}},
      {{"analyse"}},
      {{}},
  };
  for (const auto& [args, says] : cases) {
    const auto r = RunCli(args);
    std::string joined;
    for (const auto& a : args) joined += a + " ";
    EXPECT_EQ(r.status, 2) << joined;
    EXPECT_TRUE(OneLine(r.err)) << joined << "\n" << r.err;
    EXPECT_NE(r.err.find(says), std::string::npos) << joined << "\n" << r.err;
    EXPECT_FALSE(fs::exists(Path("o.jpg"))) << joined;
  }
  EXPECT_EQ(RunCli({"--help"}).status, 0);
  EXPECT_EQ(RunCli({"brighten", "--help"}).status, 0);
  EXPECT_NE(RunCli({"--version"}).out.find("prosvitek-cli"), std::string::npos);
}

TEST_F(Cli, AnalyseJsonMatchesTheLibrary) {
  const std::string photo = Photo("a.jpg", 40);
  const auto r = RunCli({"analyse", "--json", photo});
  ASSERT_EQ(r.status, 0) << r.err;
  const auto j = nlohmann::json::parse(r.out);
  const imaging::PhotoAnalysis a = imaging::AnalysePhoto(fixtures::DecodeFile(photo));
  const imaging::ThresholdRange t = imaging::PrimeThreshold(a);
  EXPECT_EQ(j["width"], 96);
  EXPECT_EQ(j["height"], 64);
  EXPECT_EQ(j["minLuminance"], a.MinLuminance);
  EXPECT_EQ(j["maxLuminance"], a.MaxLuminance);
  EXPECT_EQ(j["minPixel"]["colour"], a.MinPixel.Colour);
  EXPECT_EQ(j["maxPixel"]["x"], a.MaxPixel.X);
  EXPECT_EQ(j["threshold"]["min"], t.minimum);
  EXPECT_EQ(j["threshold"]["max"], t.maximum);
  EXPECT_EQ(j["threshold"]["value"], t.value);
  EXPECT_EQ(j["histogram"].get<std::vector<int>>(), std::vector<int>(a.histogram.begin(), a.histogram.end()));
  const auto text = RunCli({"analyse", photo});
  EXPECT_EQ(text.status, 0);
  EXPECT_NE(text.out.find("96x64"), std::string::npos);
  const auto broken = RunCli({"analyse", Path("missing.jpg")});
  EXPECT_EQ(broken.status, 1);
  EXPECT_NE(broken.err.find("missing.jpg"), std::string::npos);
}

TEST_F(Cli, BrightenWritesWhatTheLibraryRendersWithTheWindowsDefaults) {
  for (bool progressive : {false, true}) {
    const std::string photo = Photo("p.jpg", 10, progressive);
    const auto r = RunCli({"brighten", "--shift", "--threshold", "999", "--quality", "77", "-o", Path("o.jpg"), photo});
    ASSERT_EQ(r.status, 0) << r.err;
    const imaging::PhotoAnalysis a = imaging::AnalysePhoto(fixtures::DecodeFile(photo));
    imaging::BrightenSettings s;
    s.shiftMode = true;
    s.threshold = a.MaxLuminance;  // 999 clamped into the photo's range
    s.darkestLuminance = a.MinLuminance;
    EXPECT_EQ(files::ReadWholeFile(Path("o.jpg")),
              fixtures::ReferenceRender(photo, imaging::ExponentFor(15), [&](int, int) { return s; }, 77));
    EXPECT_EQ(imaging::ReadJpegHeader(files::ReadWholeFile(Path("o.jpg"))).progressive, progressive);
    EXPECT_NE(r.err.find("hotovo: 1, selhalo: 0"), std::string::npos);
  }
}

TEST_F(Cli, BatchGoesOnPastABrokenPhoto) {
  const std::string good1 = Photo("one.jpg", 1), good2 = Photo("two.jpg", 2);
  fixtures::WriteFile(Path("bad.jpg"), {'G', 'I', 'F', '8'});
  const auto r = RunCli({"brighten", "-j", "2", "--out-dir", Path("out/deep"), good1, Path("bad.jpg"), good2});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(fs::exists(dir_ / "out/deep/one.jpg"));
  EXPECT_TRUE(fs::exists(dir_ / "out/deep/two.jpg"));
  EXPECT_FALSE(fs::exists(dir_ / "out/deep/bad.jpg"));
  EXPECT_NE(r.err.find("bad.jpg: Soubor není fotka JPEG ani jiný známý obrázek."), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("\n  JPEG error #53"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("hotovo: 2, selhalo: 1"), std::string::npos) << r.err;
  // No temporary files left behind.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_ / "out/deep"), fs::directory_iterator()), 2);
}

// Any whole number is a threshold: beyond nine digits it counts as nine nines, whatever
// its size, and never overflows the brightening maths (a photo whose threshold range is a
// single value takes a typed threshold as it is, as the window does).
TEST_F(Cli, ThresholdsOfAnySizeAreClampedIn64Bits) {
  const std::string photo = Path("two.jpg");
  bool singleValue = false;  // a range of one value lets the typed threshold through unclamped
  for (int grey = 100; grey < 140 && !singleValue; ++grey) {
    fixtures::WriteFile(photo, imaging::EncodeJpeg(fixtures::MakeRaster(64, 16, [grey](int x, int) {
                                                     const int g = x < 32 ? grey : grey + 1;
                                                     return imaging::MakeColour(g, g, g);
                                                   }), 100, false));
    const imaging::PhotoAnalysis a = imaging::AnalysePhoto(imaging::DecodeJpeg(files::ReadWholeFile(photo)));
    singleValue = a.MaxLuminance == a.MinLuminance + 1;
  }
  ASSERT_TRUE(singleValue);
  auto brighten = [&](const std::string& threshold, const std::string& out) {
    const auto r = RunCli({"brighten", "--shift", "--threshold=" + threshold, "-o", Path(out), photo});
    EXPECT_EQ(r.status, 0) << threshold << ": " << r.err;
    return files::ReadWholeFile(Path(out));
  };
  const std::pair<const char*, const char*> same[] = {
      {"-2147483648", "-999999999"},
      {"-99999999999999999999999", "-999999999"},
      {"99999999999999999999999", "999999999"},
      {"0100", "100"},
  };
  for (const auto& [typed, clamped] : same) EXPECT_EQ(brighten(typed, "a.jpg"), brighten(clamped, "b.jpg")) << typed;
}

// A folder that cannot be made fails the run (1), it is not a usage error (2).
TEST_F(Cli, OutDirThatCannotBeMadeFailsTheRun) {
  const std::string photo = Photo("a.jpg");
  const auto r = RunCli({"brighten", "--out-dir", (fs::path(photo) / "sub").string(), photo});
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_NE(r.err.find("složku nelze vytvořit"), std::string::npos) << r.err;
  EXPECT_TRUE(OneLine(r.err)) << r.err;
}

// A FIFO, a folder or a device among the photos is refused at once with a
// reason; the others are done and the batch ends.
TEST_F(Cli, NonRegularInputsAreRefusedWithoutWaiting) {
  const std::string good = Photo("good.jpg", 4);
  ASSERT_EQ(::mkfifo(Path("fifo.jpg").c_str(), 0600), 0);
  fs::create_directories(dir_ / "folder.jpg");
  const auto r = RunCli({"brighten", "-j", "2", "--out-dir", Path("out"), Path("fifo.jpg"), good, Path("folder.jpg")});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(fs::exists(dir_ / "out" / "good.jpg"));
  EXPECT_NE(r.err.find(Path("fifo.jpg") + ": Soubor nelze otevřít"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("FIFO"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("složka"), std::string::npos) << r.err;
  for (const std::string& input : {Path("fifo.jpg"), std::string("/dev/zero")}) {
    const auto a = RunCli({"analyse", input});
    EXPECT_EQ(a.status, 1) << input;
    EXPECT_TRUE(OneLine(a.err)) << a.err;
  }
}

// A photo whose data ends early is brightened as far as it decodes; the
// user is told, and the exit status says so.
TEST_F(Cli, DamagedPhotoIsProcessedAndReported) {
  imaging::Bytes bytes = imaging::EncodeJpeg(fixtures::MakeRaster(300, 200, [](int x, int y) {
                                               const unsigned h = static_cast<unsigned>(x * 7919 + y * 104729) * 2654435761u;
                                               return imaging::MakeColour(h & 255, (h >> 8) & 255, (h >> 16) & 255);
                                             }), 90, false);
  bytes.resize(bytes.size() / 2);
  fixtures::WriteFile(Path("cut.jpg"), bytes);
  const auto r = RunCli({"brighten", "-o", Path("o.jpg"), Path("cut.jpg")});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(fs::exists(Path("o.jpg")));
  EXPECT_NE(r.err.find(Path("cut.jpg") + ": varování: Fotka je neúplná: chybí "), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("\n  Premature end of JPEG file"), std::string::npos) << r.err;
  const auto a = RunCli({"analyse", Path("cut.jpg")});
  EXPECT_EQ(a.status, 1);
  EXPECT_NE(a.out.find("rozlišení: 300x200"), std::string::npos);
  EXPECT_NE(a.err.find("varování"), std::string::npos) << a.err;
  EXPECT_EQ(RunCli({"brighten", "-o", Path("o2.jpg"), Photo("whole.jpg")}).status, 0);
}

TEST_F(Cli, MemoryBudgetIsAnOption) {
  const std::string small = Photo("small.jpg");  // 96 x 64: 18 432 samples
  fixtures::WriteFile(Path("big.jpg"), imaging::EncodeJpeg(fixtures::MakeRaster(1000, 600, [](int x, int) {
                                                             return imaging::MakeColour(x & 255, 0, 0);
                                                           }), 90, false));  // 1.7 MiB of samples
  const auto refused = RunCli({"brighten", "--max-memory", "1", "-o", Path("o.jpg"), Path("big.jpg")});
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find("příliš velká"), std::string::npos) << refused.err;
  EXPECT_FALSE(fs::exists(Path("o.jpg")));
  EXPECT_EQ(RunCli({"analyse", "--max-memory", "1", Path("big.jpg")}).status, 1);
  EXPECT_EQ(RunCli({"brighten", "--max-memory", "1", "-o", Path("o.jpg"), small}).status, 0);
  EXPECT_EQ(RunCli({"brighten", "--max-memory", "0", "-o", Path("o.jpg"), small}).status, 2);
}

// -j 1 runs one photo at a time on one thread, -j 3 three photos at once
// on one thread each, -j 6 the same three on two threads each; the files are the same.
using CliThreads = Cli;

TEST_F(CliThreads, BatchWritesTheSameFilesWhateverTheJobs) {
  auto nameOf = [](int i) { return std::to_string(i).append(".jpg"); };
  std::vector<std::string> photos;
  for (int i = 0; i < 3; ++i) photos.push_back(Photo(nameOf(i), 30 * i, i % 2 == 1));
  for (const char* jobs : {"1", "3", "6"}) {
    std::vector<std::string> args = {"brighten", "-j", jobs, "--out-dir", Path(std::string("out") + jobs)};
    args.insert(args.end(), photos.begin(), photos.end());
    ASSERT_EQ(RunCli(args).status, 0) << jobs;
  }
  for (int i = 0; i < 3; ++i) {
    const std::string name = nameOf(i);
    const imaging::Bytes one = files::ReadWholeFile((dir_ / "out1" / name).string());
    EXPECT_EQ(files::ReadWholeFile((dir_ / "out3" / name).string()), one) << name;
    EXPECT_EQ(files::ReadWholeFile((dir_ / "out6" / name).string()), one) << name;
  }
}

// The plain row loops and the vector ones write the same files.
TEST_F(Cli, PlainAndVectorLoopsWriteTheSameFiles) {
  const std::string photo = Photo("p.jpg", 70, true);
  for (const bool shift : {false, true}) {
    auto run = [&](const std::string& out, const std::vector<std::string>& env) {
      std::vector<std::string> args = {"brighten", "--boost", "9", "-o", out, photo};
      if (shift) args.insert(args.begin() + 1, "--shift");
      const auto r = RunCli(args, PROSVITEK_CLI, env);
      EXPECT_EQ(r.status, 0) << r.err;
      return files::ReadWholeFile(out);
    };
    EXPECT_EQ(run(Path("vector.jpg"), {}), run(Path("plain.jpg"), {"PROSVITEK_NO_SIMD=1"})) << "shift " << shift;
  }
}

TEST_F(Cli, OutDirNeverOverwritesInputsOrEarlierOutputs) {
  const std::string photo = Photo("same.jpg", 3);
  fs::create_directories(dir_ / "sub");
  const std::string twin = (dir_ / "sub" / "same.jpg").string();
  fixtures::WriteFile(twin, files::ReadWholeFile(photo));
  const auto before = files::ReadWholeFile(photo);
  const auto r = RunCli({"brighten", "--out-dir", dir_.string(), photo, twin});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(files::ReadWholeFile(photo), before);  // its own output would be itself
  EXPECT_NE(r.err.find("same.jpg"), std::string::npos);
}

TEST_F(Cli, ExifJsonIsValidForEveryFile) {
  const std::string photo = Photo("plain.jpg");
  const auto one = RunCli({"exif", "--json", photo});
  const auto j = nlohmann::json::parse(one.out);
  ASSERT_TRUE(j.is_object());
  EXPECT_EQ(j["hasExif"], false);
  for (const char* key : {"file", "processed", "errorText", "make", "model", "dateTime", "width", "height", "flash",
                          "summary", "tags", "trace", "makerNoteTrace"})
    EXPECT_TRUE(j.contains(key)) << key;

  std::vector<std::string> args = {"exif", "--json"};
  std::vector<std::string> files;
  for (const fs::path& f : testsupport::InputFilesUnder(testsupport::SamplesDir())) files.push_back(f.string());
  files.push_back(photo);
  args.insert(args.end(), files.begin(), files.end());
  const auto all = RunCli(args);
  const auto arr = nlohmann::json::parse(all.out);  // throws on invalid JSON or UTF-8
  ASSERT_TRUE(arr.is_array());
  EXPECT_EQ(arr.size(), files.size());
}

// Every sample photo, broken ones included: each is brightened or refused with its name and a
// reason, and nothing is written but the outputs (no temporary files, no touched inputs).
TEST_F(Cli, BrightenOnEverySampleWritesOnlyTheOutputs) {
  if (!fs::exists(testsupport::SamplesDir())) GTEST_SKIP() << "no sample photos here";
  auto snapshot = [] {  // size and time of every file in the samples folder
    std::map<std::string, std::pair<std::uintmax_t, fs::file_time_type>> files;
    for (const auto& e : fs::recursive_directory_iterator(testsupport::SamplesDir()))
      if (e.is_regular_file()) files[e.path().string()] = {e.file_size(), e.last_write_time()};
    return files;
  };
  const auto before = snapshot();
  std::vector<std::string> files;
  for (const fs::path& f : testsupport::InputFilesUnder(testsupport::SamplesDir())) files.push_back(f.string());
  std::vector<std::string> args = {"brighten", "-j", "2", "--out-dir", Path("out")};
  args.insert(args.end(), files.begin(), files.end());
  const auto r = RunCli(args);
  EXPECT_TRUE(r.status == 0 || r.status == 1) << r.err;

  std::set<std::string> names;
  for (const std::string& f : files) names.insert(fs::path(f).filename().string());
  std::size_t written = 0;
  for (const auto& e : fs::directory_iterator(dir_ / "out")) {
    EXPECT_GT(e.file_size(), 0u) << e.path();
    EXPECT_TRUE(names.count(e.path().filename().string())) << "stray file " << e.path();
    ++written;
  }
  const std::string summary = "hotovo: " + std::to_string(written) +
                              ", selhalo: " + std::to_string(files.size() - written);
  EXPECT_NE(r.err.find(summary), std::string::npos) << r.err;
  for (const std::string& f : files) {
    if (!fs::exists(dir_ / "out" / fs::path(f).filename())) {
      EXPECT_NE(r.err.find(f + ": "), std::string::npos) << "no reason given for " << f;
    }
  }

  EXPECT_EQ(snapshot(), before) << "the samples folder changed";
}

// A batch stopped by a signal while writing leaves no temporary file and no partial photo:
// each output is whole or absent. A signal ignored at the start (nohup) stays ignored. The
// batch is stopped at an exact moment of a write, the signal sent, then the batch resumed;
// with unnamed temporary files and with named ones (file systems without unnamed files).
TEST_F(Cli, SignalsDuringAWriteLeaveOnlyWholePhotos) {
  struct Case {
    const char* pause;  // see pause_preload.c
    int signal;
    bool ignoredAtStart;
    std::size_t outputs;  // whole photos left
  };
  const Case cases[] = {
      {"create:1", SIGTERM, false, 0},  // the first temporary file was just created
      {"create:2", SIGHUP, false, 1},   // the first photo is in place
      {"commit:2", SIGINT, false, 1},   // the second photo is written, not yet in place
      {"commit:1", SIGHUP, true, 3},    // as under nohup: the batch goes on
      {"create:3", SIGINT, true, 3},    // as a shell's background job
  };
  std::vector<std::string> photos;
  for (int i = 0; i < 3; ++i) photos.push_back(Photo(std::to_string(i) + ".jpg", i));
  auto isTemporary = [](const fs::path& p) { return p.filename().string().starts_with("."); };
  for (const bool named : {false, true})
    for (const Case& c : cases) {
      const std::string what = std::string(c.pause) + " " + strsignal(c.signal) + (named ? ", named" : ", unnamed");
      fs::remove_all(dir_ / "out");
      std::vector<std::string> args = {"brighten", "-j", "1", "--out-dir", Path("out")};
      args.insert(args.end(), photos.begin(), photos.end());
      testsupport::ChildSetup setup;
      setup.environment = {"LD_PRELOAD=" PROSVITEK_PAUSE_PRELOAD, std::string("PROSVITEK_PAUSE=") + c.pause,
                           // the sanitizers' runtime wants to be loaded first; the preload is plain
                           "ASAN_OPTIONS=verify_asan_link_order=0:detect_leaks=0"};
      if (named) setup.environment.push_back("PROSVITEK_NO_TMPFILE=1");
      if (c.ignoredAtStart) setup.ignoredSignals = {c.signal};
      const pid_t pid = testsupport::StartCli(args, Path("cli.out"), Path("cli.err"), PROSVITEK_CLI, setup);
      int status = 0;
      ASSERT_EQ(::waitpid(pid, &status, WUNTRACED), pid) << what;
      ASSERT_TRUE(WIFSTOPPED(status)) << what << ": never paused; " << testsupport::Slurp(Path("cli.err"));
      std::size_t temporary = 0;
      for (const auto& e : fs::directory_iterator(dir_ / "out")) temporary += isTemporary(e.path());
      EXPECT_EQ(temporary, named ? 1u : 0u) << what << ": an unnamed file shows, or the pause is not inside a write";
      ::kill(pid, c.signal);
      ::kill(pid, SIGCONT);
      ASSERT_EQ(::waitpid(pid, &status, 0), pid) << what;
      if (c.ignoredAtStart) {
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << what << ": status " << status;
      } else {
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == c.signal) << what << ": status " << status;
      }
      std::size_t files = 0, whole = 0;
      for (const auto& e : fs::directory_iterator(dir_ / "out")) {
        ++files;
        EXPECT_FALSE(isTemporary(e.path())) << what << ": temporary file left: " << e.path();
        const imaging::Bytes out = files::ReadWholeFile(e.path().string());
        whole += out.size() >= 2 && out[out.size() - 2] == 0xFF && out.back() == 0xD9;
      }
      EXPECT_EQ(files, c.outputs) << what;
      EXPECT_EQ(whole, c.outputs) << what;
    }
}

}  // namespace
