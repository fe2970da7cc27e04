#include "prosvitek/text/fce_import_so.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <sys/stat.h>
#include <unistd.h>

namespace text {
namespace {

using namespace std::string_literals;

std::vector<std::string> Items(const Tparsedstring& p) {
  std::vector<std::string> v;
  for (std::size_t i = 0; i < p.Count(); ++i) v.push_back(p[i]);
  return v;
}

TEST(StripThroughLast, KeepsWhatFollowsTheLastOccurrence) {
  EXPECT_EQ(StripThroughLast("Exposure Time: 1/60", ':'), " 1/60");
  EXPECT_EQ(StripThroughLast("12:30:45", ':'), "45");
  EXPECT_EQ(StripThroughLast("abc", ':'), "");
  EXPECT_EQ(StripThroughLast("abc:", ':'), "");
  EXPECT_EQ(StripThroughLast("", ':'), "");
}

TEST(SplitText, PiecesTrimmingAndTheSingleEmptyElement) {
  using V = std::vector<std::string>;
  EXPECT_EQ(Items(SplitText(',', "a,b,,c")), (V{"a", "b", "", "c"}));
  EXPECT_EQ(Items(SplitText(',', "a,b,")), (V{"a", "b", ""}));
  EXPECT_EQ(Items(SplitText(',', "abc")), (V{""}));  // no delimiter: one empty element
  EXPECT_EQ(Items(SplitText(',', "")), (V{""}));
  // The final line break is counted but trimmed away before splitting.
  EXPECT_EQ(Items(SplitText('\r', "one\r\ntwo\r\nthree\r\n")), (V{"one", "\ntwo", "\nthree", ""}));
  EXPECT_EQ(Items(SplitText(',', "  a , b\t")), (V{"a ", " b"}));
}

TEST(SplitText, LongPiecesKeepTheirFirst255Characters) {
  const std::string piece(300, 'x');
  const Tparsedstring p = SplitText(',', piece + ",end");
  ASSERT_EQ(p.Count(), 2u);
  EXPECT_EQ(p[0], std::string(255, 'x'));
  EXPECT_EQ(p[1], "end");
  EXPECT_EQ(p.ValueOr(7, "fallback"), "fallback");
}

TEST(CountChar, CountsBytes) {
  EXPECT_EQ(CountChar("", 'a'), 0);
  EXPECT_EQ(CountChar("a\0a"s, 'a'), 2);
  EXPECT_EQ(CountChar("\r\n\r\n", '\r'), 2);
}

TEST(FileSizeOf, SizesWithoutWriteAccessAndReportsMissingFiles) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / ("prosvitek-text-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const fs::path empty = dir / "empty.jpg", ro = dir / "readonly.jpg";
  std::ofstream(empty).close();
  std::ofstream(ro) << std::string(1234567, 'x');
  ::chmod(ro.c_str(), 0444);
  EXPECT_EQ(FileSizeOf(empty.string()), 0);
  EXPECT_EQ(FileSizeOf(ro.string()), 1234567);
  try {
    FileSizeOf((dir / "missing.jpg").string());
    FAIL();
  } catch (const FileSizeError& e) {
    EXPECT_NE(std::string(e.what()).find("missing.jpg"), std::string::npos);
  }
  fs::remove_all(dir);
}

}  // namespace
}  // namespace text
