// prosvitek-cli exif: hostile values cannot drive the terminal or forge lines, JSON stays valid
// and bounded, and files that cannot be read say why.

#include "exif_builder.h"
#include "run_cli.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>

#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using exiftest::Order;
using exiftest::TiffBuilder;
using testsupport::RunCli;

class ExifCli : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("prosvitek-exif-cli-" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string Write(const std::string& name, const std::string& bytes) {
    std::ofstream(dir_ / name, std::ios::binary) << bytes;
    return (dir_ / name).string();
  }
  fs::path dir_;
};

// A photo whose texts carry terminal commands, C1 controls and line breaks that would forge
// a trace line, and a comment longer than any text the JSON keeps.
std::string HostilePhoto(std::size_t commentLength = 0) {
  TiffBuilder t(Order::Intel);
  std::string comment = std::string("ASCII\0\0\0", 8) + "Hi \x1b]0;owned\x07\r\nInjected = fake";
  comment += std::string(commentLength, 'c');
  const uint32_t exifIfd = t.Ifd({t.Undefined(0x9286, comment), t.Raw(0x9C9B, 1, 8, std::string("\x1b\0[\0" "1\0m\0", 8))});
  t.SetFirstIfd(t.Ifd({t.Ascii(0x010F, "Evil\x9b" "31m"), t.Ascii(0x0110, "M\x1b[2J"), t.Long(0x8769, {exifIfd})}));
  return exiftest::Jpeg({exiftest::ExifSegment(t.Bytes())});
}

bool HasControls(const std::string& text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if ((c < 0x20 && c != '\n' && c != '\t') || c == 0x7F) return true;  // tabs part the tag list
    if (c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) < 0xA0) return true;  // C1
  }
  return false;
}

TEST_F(ExifCli, ValuesCannotSendTerminalCommandsOrForgeLines) {
  const std::string photo = Write("evil.jpg", HostilePhoto());
  for (const char* view : {"--trace", "--tags", "--summary", "--makernote"}) {
    const auto r = RunCli({"exif", view, photo});
    EXPECT_EQ(r.status, 0) << view << r.err;
    EXPECT_FALSE(HasControls(r.out)) << view << "\n" << r.out;
    EXPECT_EQ(r.out.find("\nInjected = fake"), std::string::npos) << view;
  }
  const auto trace = RunCli({"exif", "--trace", photo});
  EXPECT_NE(trace.out.find("User Comment = Hi \\x1B]0;owned\\x07\\r\\nInjected = fake\n"), std::string::npos)
      << trace.out;
  EXPECT_NE(trace.out.find("Title = \\x1B[1m\n"), std::string::npos) << trace.out;
  const auto tags = RunCli({"exif", "--tags", photo});
  EXPECT_NE(tags.out.find("Make\tEvil\\x9B31m\n"), std::string::npos) << tags.out;
  // JSON keeps the texts as they are, escaped by JSON itself.
  const auto json = nlohmann::json::parse(RunCli({"exif", "--json", photo}).out);
  bool found = false;
  for (const auto& tag : json["tags"]) found |= tag["text"] == "Hi \x1b]0;owned\x07\r\nInjected = fake";
  EXPECT_TRUE(found);
}

TEST_F(ExifCli, JsonStreamsEveryFileAndCapsLongTexts) {
  const std::string big = Write("big.jpg", HostilePhoto(20000));
  const std::string plain = Write("plain.jpg", exiftest::Jpeg({exiftest::CommentSegment("hi")}));
  const auto r = RunCli({"exif", "--json", big, plain, big});
  const auto all = nlohmann::json::parse(r.out);
  ASSERT_TRUE(all.is_array());
  ASSERT_EQ(all.size(), 3u);
  EXPECT_EQ(all[1]["hasExif"], false);
  for (const auto& tag : all[0]["tags"]) {
    EXPECT_LE(tag["text"].get<std::string>().size(), 4096u + 3) << tag["name"];
  }
  EXPECT_LT(r.out.size(), 60000u);
  EXPECT_TRUE(nlohmann::json::parse(RunCli({"exif", "--json", plain}).out).is_object());
}

// Each file that gives nothing says why in Czech; a FIFO is refused at once, not waited on.
TEST_F(ExifCli, FilesThatCannotBeReadSayWhy) {
  fs::create_directory(dir_ / "folder.jpg");
  ASSERT_EQ(::mkfifo((dir_ / "pipe.jpg").c_str(), 0600), 0);
  const std::string locked = Write("locked.jpg", HostilePhoto());
  ::chmod(locked.c_str(), 0);
  struct Case {
    std::string file;
    const char* reason;
  };
  std::vector<Case> cases = {{(dir_ / "nonexist.jpg").string(), "soubor neexistuje"},
                             {(dir_ / "folder.jpg").string(), "je to složka, ne soubor"},
                             {(dir_ / "pipe.jpg").string(), "není to obyčejný soubor"},
                             {Write("text.jpg", "plain text"), "Not a file with EXIF (unknown kind)"}};
  if (::geteuid() != 0) cases.push_back({locked, "soubor nelze číst: chybí oprávnění"});  // root reads anyway
  for (const Case& c : cases) {
    const auto r = RunCli({"exif", c.file});
    EXPECT_EQ(r.status, 1) << c.file;
    EXPECT_EQ(r.err, c.file + ": " + c.reason + "\n");
  }
}

}  // namespace
