// The copy rule and the bounds of the 16- and 32-bit reads.

#include "exif/bytes.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "exif/end_ind.h"
#include "reader_support.h"

namespace {

using exiftest::ByteText;

TEST(CopyBytes, FollowsTheOneCopyRule) {
  struct Case {
    int64_t pos, count;
    std::string expected;
  };
  const std::string abc = "abcdef";
  const Case cases[] = {
      {2, 3, "bcd"},        {0, 3, "abc"},  // below 1 counts as 1, the count is kept
      {INT64_MIN, 2, "ab"}, {6, 1, "f"},   {7, 1, ""},     {INT64_MAX, 1, ""},
      {1, -1, ""},          {1, 0, ""},    {5, 100, "ef"}, {1, INT64_MAX, abc},
  };
  for (const Case& c : cases) EXPECT_EQ(exif::detail::CopyBytes(abc, c.pos, c.count), c.expected) << c.pos;
  EXPECT_EQ(exif::detail::CopyBytes("", 1, 3), "");
  EXPECT_EQ(exif::detail::CopyBytes(std::string("a\0b", 3), 2, 2), std::string("\0b", 2));
}

TEST(SpanInside, RejectsSpansThatAWrappedSumWouldLetThrough) {
  EXPECT_TRUE(exif::detail::SpanInside(10, 7, 4));
  EXPECT_FALSE(exif::detail::SpanInside(10, 8, 4));
  EXPECT_FALSE(exif::detail::SpanInside(10, 0, 2));
  EXPECT_FALSE(exif::detail::SpanInside(10, INT64_MAX, 4));
  EXPECT_FALSE(exif::detail::SpanInside(10, 2, INT64_MAX));
}

TEST(EndIndReads, FollowTheByteOrderAndGiveZeroOutsideTheBlock) {
  struct Case {
    bool bigEndian;
    int64_t pos;
    uint16_t u16;
    int32_t i32;
  };
  const std::string bytes = ByteText({0x12, 0x34, 0xFF, 0xFF, 0xFF, 0xFF});
  const Case cases[] = {
      {true, 1, 0x1234, 0x1234FFFF},
      {false, 1, 0x3412, static_cast<int32_t>(0xFFFF3412u)},
      {true, 3, 0xFFFF, -1},
      {false, 3, 0xFFFF, -1},
      {true, 5, 0xFFFF, 0},
      {true, 6, 0, 0},  // partly outside
      {true, 0, 0, 0},
      {false, INT64_MAX, 0, 0},
      {false, INT64_MIN, 0, 0},
  };
  for (const Case& c : cases) {
    exif::detail::tEndInd block;
    block.SetDataBlock(exif::detail::ByteString(bytes));
    block.BigEndian = c.bigEndian;
    EXPECT_EQ(block.ReadUInt16(c.pos), c.u16) << c.pos << " " << c.bigEndian;
    EXPECT_EQ(block.ReadInt32(c.pos), c.i32) << c.pos << " " << c.bigEndian;
  }
}

}  // namespace
