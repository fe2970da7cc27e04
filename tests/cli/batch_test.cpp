// Batches of many photos: the list parser, where results go, and whole
// batches that meet bad lists, kills and a second run.

#include "cli/batch.h"

#include "jpeg_fixtures.h"
#include "run_cli.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <map>
#include <random>
#include <sstream>
#include <thread>

#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using testsupport::RunCli;

// A list entry as the test expects it: a name, or "!" and part of the problem.
std::vector<std::string> Parsed(const std::string& list, char separator) {
  std::istringstream in(list);
  std::vector<std::string> shown;
  for (const cli::ListEntry& e : cli::ReadPathList(in, separator)) {
    EXPECT_EQ(e.number, shown.size() + 1);
    shown.push_back(e.problem.empty() ? e.path : "!" + e.problem);
  }
  return shown;
}

TEST(PathList, TakesNamesAsTheyAreAndMarksWhatIsNoName) {
  using namespace std::string_literals;
  const std::string longName(5000, 'a');
  struct Case {
    std::string list;
    char separator;
    std::vector<std::string> expected;
  };
  const std::vector<Case> cases = {
      {"a.jpg\nb c.jpg\n", '\n', {"a.jpg", "b c.jpg"}},
      {"a.jpg\nlast", '\n', {"a.jpg", "last"}},
      {"", '\n', {}},
      {" lead\n-dash.jpg\n'q\"\\.jpg\n\xff\xfe.jpg\n", '\n', {" lead", "-dash.jpg", "'q\"\\.jpg", "\xff\xfe.jpg"}},
      {"a\n\nb\n", '\n', {"a", "!prázdný řádek", "b"}},
      {"a\0b\0"s, '\n', {"!název obsahuje znak NUL (seznam oddělený znaky NUL se čte s volbou -0)"}},
      {"two\nlines.jpg\0c d.jpg\0"s, '\0', {"!název obsahuje konec řádku", "c d.jpg"}},
      {"x\0\0y"s, '\0', {"x", "!prázdný název", "y"}},
      {longName + "\nok\n", '\n', {"!název je delší než 4096 bajtů", "ok"}},
  };
  for (const Case& c : cases) EXPECT_EQ(Parsed(c.list, c.separator), c.expected) << c.list;
}

TEST(TreeOutput, KeepsTheFoldersBelowTheRoot) {
  const std::string cwd = fs::current_path().string();
  struct Case {
    std::string input, root;
    std::optional<std::string> expected;
  };
  const Case cases[] = {
      {"arch/2019/a.jpg", "arch", "out/2019/a.jpg"},
      {"arch/2019/a.jpg", "./arch/", "out/2019/a.jpg"},
      {"arch/x/../a.jpg", "arch", "out/a.jpg"},
      {cwd + "/arch/a.jpg", "arch", "out/a.jpg"},
      {"/a.jpg", "/", "out/a.jpg"},
      {"archive/a.jpg", "arch", std::nullopt},  // a longer name is not below
      {"arch/../b.jpg", "arch", std::nullopt},
      {"arch", "arch", std::nullopt},
      {"/elsewhere/a.jpg", "arch", std::nullopt},
  };
  for (const Case& c : cases)
    EXPECT_EQ(cli::TreeOutput(c.input, c.root, "out"), c.expected) << c.input << " in " << c.root;
}

// Every line parses back as one JSON object, whatever the names and texts hold.
TEST(ReportLine, ParsesBackWithWhatHappened) {
  cli::BrightenOptions options;
  options.threshold = 77;
  imaging::BrightenSettings used;
  used.threshold = 120;
  used.darkestLuminance = 9;
  const cli::PhotoRecord done{"a b.jpg", "out/a b.jpg", cli::PhotoStatus::Done, "Premature end", {}, used, 42};
  const cli::PhotoRecord failed{"\xff\xfe.jpg", "", cli::PhotoStatus::Failed, {}, "line\none \x01", {}, 0};
  const std::string doneLine = cli::ReportLine(done, options), failedLine = cli::ReportLine(failed, options);
  for (const std::string& line : {doneLine, failedLine}) {
    EXPECT_EQ(std::count(line.begin(), line.end(), '\n'), 1) << line;
    EXPECT_EQ(line.back(), '\n');
  }
  const auto d = nlohmann::json::parse(doneLine), f = nlohmann::json::parse(failedLine);
  EXPECT_EQ(d["input"], "a b.jpg");
  EXPECT_EQ(d["status"], "done");
  EXPECT_EQ(d["settings"]["threshold"], 120);  // as brightened, not as typed
  EXPECT_EQ(d["settings"]["darkestLuminance"], 9);
  EXPECT_EQ(d["warning"], "Premature end");
  EXPECT_TRUE(d["error"].is_null());
  EXPECT_EQ(d["milliseconds"], 42);
  EXPECT_EQ(f["status"], "failed");
  EXPECT_EQ(f["settings"]["threshold"], 77);
  EXPECT_EQ(f["error"], "line\none \x01");
  EXPECT_EQ(f["inputHex"], "fffe2e6a7067");  // the name's bytes, which are not UTF-8
  EXPECT_FALSE(d.contains("inputHex"));
}

class Batch : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = fixtures::FreshTestFolder("prosvitek-batch"); }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  std::string Photo(const std::string& name, int shade = 0, int width = 96, int height = 64) {
    const fs::path p = dir_ / name;
    fs::create_directories(p.parent_path());
    const imaging::Raster raster = fixtures::MakeRaster(width, height, [=](int x, int y) {
      return imaging::MakeColour((x * 3 + shade) & 255, (y + shade) & 255, (x ^ y) & 255);
    });
    fixtures::WriteFile(p.string(), imaging::EncodeJpeg(raster, 90, false));
    return p.string();
  }
  std::string List(const std::string& name, const std::vector<std::string>& paths, char separator = '\n') {
    std::string text;
    for (const std::string& p : paths) text += p + separator;
    fixtures::WriteFile(Path(name), imaging::Bytes(text.begin(), text.end()));
    return Path(name);
  }
  // Every line of a report, parsed (a line that is not JSON fails the test).
  std::vector<nlohmann::json> ReportLines(const std::string& name) const {
    std::vector<nlohmann::json> lines;
    std::istringstream in(testsupport::Slurp(dir_ / name));
    for (std::string line; std::getline(in, line);) lines.push_back(nlohmann::json::parse(line));
    return lines;
  }

  fs::path dir_;
};

std::vector<std::string> Refusals(const cli::BatchPlan& plan) {
  std::vector<std::string> r;
  for (const cli::BatchJob& j : plan.jobs) r.push_back(j.refusal);
  return r;
}

TEST_F(Batch, PlanRefusesRepeatsAndFindsClashesBeforeWork) {
  const std::string a = Photo("a/x.jpg", 1), b = Photo("b/x.jpg", 2);
  fs::create_symlink(a, dir_ / "link.jpg");
  auto entries = [](const std::vector<std::string>& paths) {
    std::vector<cli::ListEntry> e;
    for (const std::string& p : paths) e.push_back({p, {}, 0});
    return e;
  };
  const std::string out = Path("out");
  // Flat names: two photos of one name clash; the folders kept, they do not.
  const cli::BatchPlan flat = cli::PlanBatch(entries({a, b}), out, std::nullopt);
  EXPECT_EQ(flat.clashes, std::vector<std::size_t>{1});
  const cli::BatchPlan tree = cli::PlanBatch(entries({a, b}), out, dir_.string());
  EXPECT_TRUE(tree.clashes.empty());
  EXPECT_EQ(tree.jobs[0].output, out + "/a/x.jpg");
  EXPECT_EQ(tree.jobs[1].output, out + "/b/x.jpg");
  // One photo by other names is done once, whatever the spelling, and causes no clash.
  const cli::BatchPlan repeats =
      cli::PlanBatch(entries({a, Path("a/../a/x.jpg"), Path("link.jpg"), a}), out, std::nullopt);
  EXPECT_TRUE(repeats.clashes.empty());
  const auto refused = Refusals(repeats);
  EXPECT_EQ(refused[0], "");
  for (std::size_t i = 1; i < refused.size(); ++i) EXPECT_NE(refused[i].find("podruhé"), std::string::npos) << i;
  // A result that would replace an input, and names that are no file names.
  const cli::BatchPlan over = cli::PlanBatch(entries({a, Path("a/."), Path("a/..")}), Path("a"), std::nullopt);
  EXPECT_NE(over.jobs[0].refusal.find("přepsal vstupní fotku"), std::string::npos);
  EXPECT_EQ(over.jobs[1].refusal, "není název souboru");
  EXPECT_EQ(over.jobs[2].refusal, "není název souboru");
  EXPECT_TRUE(over.clashes.empty());
}

// Every kind of bad entry gets a line on stderr and one in the report; the
// good photos are done all the same and the status says something failed.
TEST_F(Batch, BadEntriesAreToldAndTheBatchGoesOn) {
  const std::string good = Photo("arch/good.jpg", 5), other = Photo("arch/sub/other.jpg", 9);
  fs::create_directories(dir_ / "arch/folder.jpg");
  const std::string outside = Photo("elsewhere.jpg", 7);
  struct Case {
    std::vector<std::string> list;
    std::vector<std::string> extra;  // options beside the list
    char separator;
    std::string says;    // on stderr
    std::string reason;  // in the report's error
  };
  const std::vector<Case> cases = {
      {{good, Path("arch/missing.jpg"), other}, {}, '\n', "arch/missing.jpg: Soubor nelze otevřít", "nelze otevřít"},
      {{good, Path("arch/folder.jpg"), other}, {}, '\n', "folder.jpg: Soubor nelze otevřít", "je to složka"},
      {{good, other, good}, {}, '\n', good + ": fotka je v dávce podruhé", "podruhé"},
      {{good, "", other}, {}, '\n', "list:2: prázdný řádek", "list:2: prázdný řádek"},
      {{good, Path("arch/new\nline.jpg"), other}, {"-0"}, '\0', "list:2: název obsahuje konec řádku", "konec řádku"},
      {{good, outside, other}, {"--tree", Path("arch")}, '\n', outside + ": neleží ve složce", "neleží ve složce"},
  };
  for (const Case& c : cases) {
    fs::remove_all(dir_ / "out");
    fs::remove(Path("r.jsonl"));
    std::vector<std::string> args = {"brighten",      "-j",           "2",
                                     "--out-dir",     Path("out"),    "--report",
                                     Path("r.jsonl"), "--files-from", List("list", c.list, c.separator)};
    args.insert(args.end(), c.extra.begin(), c.extra.end());
    const auto r = RunCli(args);
    EXPECT_EQ(r.status, 1) << c.says << "\n" << r.err;
    EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("hotovo: 2, selhalo: 1"), std::string::npos) << r.err;
    std::size_t done = 0, failed = 0;
    for (const nlohmann::json& line : ReportLines("r.jsonl")) {
      done += line["status"] == "done";
      if (line["status"] == "failed") {
        ++failed;
        EXPECT_NE(line["error"].get<std::string>().find(c.reason), std::string::npos) << line;
      }
    }
    EXPECT_EQ(done, 2u) << c.says;
    EXPECT_EQ(failed, 1u) << c.says;
  }
  // Lists that give no photos at all, or cannot be read.
  EXPECT_EQ(RunCli({"brighten", "--out-dir", Path("out"), "-0", good}).status, 2);
  EXPECT_EQ(RunCli({"brighten", "--tree", dir_.string(), "-o", Path("o.jpg"), good}).status, 2);
  const auto unreadable = RunCli({"brighten", "--out-dir", Path("out"), "--files-from", Path("arch")});
  EXPECT_EQ(unreadable.status, 1);
  EXPECT_NE(unreadable.err.find("seznam nelze číst"), std::string::npos) << unreadable.err;
}

// A batch killed at a random moment and run again with --skip-existing ends
// with the files of one uninterrupted run: none missing, none half-written,
// and by the report none done twice.
TEST_F(Batch, KilledAndResumedBatchesEqualOneRun) {
  std::vector<std::string> photos;
  for (int i = 0; i < 40; ++i)
    photos.push_back(Photo("arch/" + std::to_string(i % 4) + "/p" + std::to_string(i) + ".jpg", 6 * i, 320, 240));
  const std::string list = List("list", photos);
  auto batch = [&](const std::string& out, bool resume) {
    std::vector<std::string> args = {"brighten",          "-j",      "2",      "--files-from", list,
                                     "--out-dir",         Path(out), "--tree", Path("arch"),   "--report",
                                     Path(out + ".jsonl")};
    if (resume) args.push_back("--skip-existing");
    return args;
  };
  const auto started = std::chrono::steady_clock::now();
  ASSERT_EQ(RunCli(batch("whole", false)).status, 0);
  const auto took = std::chrono::steady_clock::now() - started;

  auto outputs = [&](const std::string& out) {
    std::map<std::string, imaging::Bytes> files;
    for (const auto& e : fs::recursive_directory_iterator(dir_ / out))
      if (e.is_regular_file())
        files[fs::relative(e.path(), dir_ / out).string()] = files::ReadWholeFile(e.path().string());
    return files;
  };
  const auto whole = outputs("whole");
  ASSERT_EQ(whole.size(), photos.size());

  std::mt19937 random(std::random_device{}());
  const int signals[] = {SIGKILL, SIGTERM, SIGINT, SIGKILL, SIGHUP};
  for (int trial = 0; trial < 5; ++trial) {
    const std::string out = "run" + std::to_string(trial);
    const auto moment = std::chrono::duration_cast<std::chrono::microseconds>(took) *
                        std::uniform_real_distribution<>(0.1, 0.9)(random);
    const std::string what =
        out + " killed by " + strsignal(signals[trial]) + " after " + std::to_string(moment.count()) + " µs";
    const pid_t pid = testsupport::StartCli(batch(out, false), Path(out + ".out"), Path(out + ".err"));
    std::this_thread::sleep_for(moment);
    ::kill(pid, signals[trial]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    const std::size_t firstLines = ReportLines(out + ".jsonl").size();
    const auto second = RunCli(batch(out, true));
    ASSERT_EQ(second.status, 0) << what << "\n" << second.err;

    // A kill that leaves no handler running may leave a temporary file; it never has a result's name.
    auto got = outputs(out);
    std::erase_if(got, [&](const auto& file) {
      const bool temporary = fs::path(file.first).filename().string().starts_with(".");
      EXPECT_TRUE(!temporary || signals[trial] == SIGKILL) << what << ": " << file.first;
      return temporary;
    });
    EXPECT_TRUE(got == whole) << what;
    // The second run names every photo once, done or skipped as already whole.
    const std::vector<nlohmann::json> lines = ReportLines(out + ".jsonl");
    std::map<std::string, int> doneTimes, secondRun;
    for (std::size_t i = 0; i < lines.size(); ++i) {
      const std::string input = lines[i]["input"];
      doneTimes[input] += lines[i]["status"] == "done";
      secondRun[input] += i >= firstLines;
      EXPECT_NE(lines[i]["status"], "failed") << what << ": " << lines[i];
      EXPECT_EQ(lines[i]["settings"]["quality"], 85) << lines[i];
    }
    for (const std::string& p : photos) {
      EXPECT_LE(doneTimes[p], 1) << what << ": " << p;  // none if killed between its rename and its line
      EXPECT_EQ(secondRun[p], 1) << what << ": " << p;
    }
  }
}

}  // namespace
