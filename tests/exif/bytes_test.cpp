// The copy rule and the bounds of the 16- and 32-bit reads.

#include "exif/bytes.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "exif/end_ind.h"
#include "reader_support.h"

namespace {

using exif::ByteString;
using exif::CopyBytes;
using exiftest::ByteText;

struct CopyCase {
  const char* what;
  std::string source;
  int64_t pos;
  int64_t count;
  std::string expected;
};

TEST(CopyBytes, FollowsTheOneCopyRule) {
  const std::string abc = "abcdef";
  const CopyCase cases[] = {
      {"empty source", "", 1, 3, ""},
      {"plain copy", abc, 2, 3, "bcd"},
      {"position 0 counts as 1, count kept", abc, 0, 3, "abc"},
      {"negative position counts as 1", abc, -5, 2, "ab"},
      {"most negative position", abc, INT64_MIN, 2, "ab"},
      {"last byte", abc, 6, 1, "f"},
      {"position past the end", abc, 7, 1, ""},
      {"huge position", abc, INT64_MAX, 1, ""},
      {"negative count", abc, 1, -1, ""},
      {"zero count", abc, 1, 0, ""},
      {"count cut at the end", abc, 5, 100, "ef"},
      {"huge count cut at the end", abc, 1, INT64_MAX, abc},
      {"zero bytes are bytes", std::string("a\0b", 3), 2, 2, std::string("\0b", 2)},
  };
  for (const CopyCase& c : cases) {
    EXPECT_EQ(CopyBytes(c.source, c.pos, c.count), c.expected) << c.what;
  }
}

TEST(SpanInside, RejectsSpansThatAWrappedSumWouldLetThrough) {
  EXPECT_TRUE(exif::SpanInside(10, 1, 10));
  EXPECT_TRUE(exif::SpanInside(10, 7, 4));
  EXPECT_FALSE(exif::SpanInside(10, 8, 4));
  EXPECT_FALSE(exif::SpanInside(10, 0, 2));
  EXPECT_FALSE(exif::SpanInside(10, 1, -1));
  EXPECT_FALSE(exif::SpanInside(10, INT64_MAX, 4));
  EXPECT_FALSE(exif::SpanInside(10, 2, INT64_MAX));
  EXPECT_FALSE(exif::SpanInside(0, 1, 1));
  EXPECT_TRUE(exif::SpanInside(0, 1, 0));  // nothing to read is never outside
}

TEST(ByteString, CopiesShareTheirBytes) {
  const ByteString original(std::string("Exif\0\0", 6));
  const ByteString copy = original;  // NOLINT(performance-unnecessary-copy-initialization)
  EXPECT_EQ(copy.View().data(), original.View().data());
  EXPECT_EQ(copy.Length(), 6);
  EXPECT_EQ(copy.Copy(5, 2), std::string(2, '\0'));
  EXPECT_TRUE(ByteString().Empty());
  EXPECT_EQ(ByteString().Copy(1, 1), "");
}

exif::tEndInd Block(const std::string& bytes, bool bigEndian) {
  exif::tEndInd block;
  block.SetDataBlock(ByteString(bytes));
  block.BigEndian = bigEndian;
  return block;
}

TEST(EndIndReads, SixteenBitsFollowTheByteOrder) {
  EXPECT_EQ(Block(ByteText({0x00, 0x12, 0x34}), true).ReadUInt16(2), 0x1234);
  EXPECT_EQ(Block(ByteText({0x00, 0x12, 0x34}), false).ReadUInt16(2), 0x3412);
  EXPECT_EQ(Block(ByteText({0xFF, 0xFE}), true).ReadUInt16(1), 65534);
}

TEST(EndIndReads, ThirtyTwoBitsAreSignedInBothOrders) {
  const std::string allOnes = ByteText({0xFF, 0xFF, 0xFF, 0xFF});
  EXPECT_EQ(Block(allOnes, true).ReadInt32(1), -1);
  EXPECT_EQ(Block(allOnes, false).ReadInt32(1), -1);
  const std::string counting = ByteText({0x01, 0x02, 0x03, 0x84});
  EXPECT_EQ(Block(counting, true).ReadInt32(1), 0x01020384);
  EXPECT_EQ(Block(counting, false).ReadInt32(1), static_cast<int32_t>(0x84030201u));
  EXPECT_LT(Block(counting, false).ReadInt32(1), 0);
}

TEST(EndIndReads, ReadsReachingOutsideTheBlockGiveZero) {
  const exif::tEndInd block = Block(ByteText({0x11, 0x22, 0x33, 0x44, 0x55}), true);
  const int64_t outside[] = {0, -1, 5, 6, INT64_MAX, INT64_MIN};
  for (int64_t pos : outside) EXPECT_EQ(block.ReadUInt16(pos), 0) << pos;
  const int64_t outside32[] = {0, -3, 3, 5, INT64_MAX - 1, INT64_MIN};
  for (int64_t pos : outside32) EXPECT_EQ(block.ReadInt32(pos), 0) << pos;
  EXPECT_EQ(block.ReadUInt16(4), 0x4455);
  EXPECT_EQ(block.ReadInt32(2), 0x22334455);
  EXPECT_EQ(exif::tEndInd().ReadInt32(1), 0);
}

TEST(EndIndReads, SetDataBlockSharesTheBytes) {
  const ByteString bytes(ByteText({1, 2, 3}));
  exif::tEndInd block;
  block.SetDataBlock(bytes);
  EXPECT_EQ(block.GetDataBlock().View().data(), bytes.View().data());
}

}  // namespace
