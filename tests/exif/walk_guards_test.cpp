// Hostile directory structures: each fixture names the fault it guards against, and each must
// end quietly, inside the block, in bounded time and memory.

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "exif/container.h"
#include "exif/ifd_walk.h"
#include "reader_support.h"

namespace {

using exif::detail::TImageInfo;
using exif::detail::TimgData;
using exiftest::Field;
using exiftest::Info;
using exiftest::JpegPos;
using exiftest::Order;
using exiftest::ReadJpegExif;
using exiftest::ScanOnly;
using exiftest::TiffBuilder;

size_t Count(const std::string& text, const std::string& part) {
  size_t found = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++found;
  return found;
}

TEST(WalkGuards, PointerCyclesAndFanOutWalkEachDirectoryOnce) {
  struct Case {
    const char* fault;
    std::function<void(TiffBuilder&)> layout;
  };
  const Case cases[] = {
      {"the EXIF directory points back at the first one",
       [](TiffBuilder& t) {
         const uint32_t ifd0 = t.Ifd({t.Ascii(0x8298, "once"), t.Long(0x8769, {0})});
         const uint32_t exifIfd = t.Ifd({t.Long(0x8769, {ifd0})});
         t.PatchU32(TiffBuilder::ValueFieldOf(ifd0, 1), exifIfd);
       }},
      {"a sub-directory pointer holding its own directory's offset",
       [](TiffBuilder& t) {
         t.Ifd({t.Long(0x014A, {8}), t.Ascii(0x8298, "once")});
       }},
      {"a hundred pointers at one directory",
       [](TiffBuilder& t) {
         const uint32_t shared = t.Ifd({t.Ascii(0x8298, "once")});
         t.SetFirstIfd(t.Ifd(std::vector<Field>(100, t.Long(0x014A, {shared}))));
       }},
  };
  for (const Case& c : cases) {
    TiffBuilder tiff(Order::Motorola);
    c.layout(tiff);
    const auto reader = ReadJpegExif(tiff.Bytes());
    EXPECT_EQ(Count(Info(reader).TraceText, "Copyright = once"), 1u) << c.fault;
  }
}

TEST(WalkGuards, NestingStopsAtTheDepthLimit) {
  // Fault: a chain of directories deeper than any camera writes, exhausting the stack.
  TiffBuilder tiff(Order::Motorola);
  std::vector<uint32_t> dirs;
  for (uint32_t i = 0; i < 40; ++i)
    dirs.push_back(tiff.Ifd({tiff.Long(0x0100, {i}), tiff.Long(0x8769, {0})}));
  for (size_t i = 0; i + 1 < dirs.size(); ++i)
    tiff.PatchU32(TiffBuilder::ValueFieldOf(dirs[i], 1), dirs[i + 1]);
  const auto reader = ReadJpegExif(tiff.Bytes());
  EXPECT_EQ(Info(reader).PixelWidth, exif::detail::kMaxDirectoryDepth - 1);
}

TEST(WalkGuards, AnEntryTableRunningOffTheBlockEndsThatDirectoryQuietly) {
  // Fault: the count promises ten entries where the block holds two; the size check passes
  // because the table starts near the end of a block large enough for ten.
  TiffBuilder tiff(Order::Intel);
  tiff.PadTo(208);
  tiff.SetFirstIfd(tiff.Ifd({tiff.Short(0x0112, {1}), tiff.Short(0x0128, {2})}, 0, 10));
  const auto scanned = ScanOnly(tiff.Bytes());
  EXPECT_EQ(scanned->ErrorText, "");
  EXPECT_EQ(Info(scanned).TraceText, "\r\nOrientation = Normal\r\nResolution Unit = Inch");
}

TEST(WalkGuards, AnOversizedDirectoryIsRefusedAndItsParentGoesOn) {
  // Fault: an entry count far beyond the block; that directory contributes nothing.
  TiffBuilder tiff(Order::Motorola);
  const uint32_t bad = tiff.Ifd({tiff.Short(0x8827, {100})}, 0, 0xFFFF);
  tiff.SetFirstIfd(tiff.Ifd(
      {tiff.Ascii(0x010F, "Make"), tiff.Long(0x8769, {bad}), tiff.Ascii(0x0110, "Model")}));
  const auto scanned = ScanOnly(tiff.Bytes());
  EXPECT_EQ(scanned->ErrorText, "Illegally sized directory");
  EXPECT_EQ(Info(scanned).ModelText, "Model");
  EXPECT_EQ(Info(scanned).FindStoredTag("ISOSpeedRatings"), -1);
  EXPECT_EQ(ReadJpegExif(tiff.Bytes())->ErrorText, "<none>");  // the whole read succeeded
}

TEST(WalkGuards, OverflowingCountsNeverBecomeHugeCopies) {
  // Fault: count x size beyond 32 bits, wrapping to 0 or negative, and counts running far
  // past the block.
  TiffBuilder tiff(Order::Intel);
  const uint32_t ifd = tiff.Ifd({
      tiff.AtOffset(0x0111, 4, 0x40000000, 8),           // 2^32 bytes wrap to 0: skipped
      tiff.AtOffset(0x0117, 4, 0x20000000, 8),           // 2^31 bytes: negative, read inline
      tiff.AtOffset(0x0102, 3, 0xFFFFFFFF, 8),           // count -1: negative, read inline
      tiff.AtOffset(0x0201, 1, 0x7FFFFFFF, 8),           // cut at the end of the block
      tiff.AtOffset(0x0202, 7, 0x7FFFFFFF, 0x7FFFFFF0),  // starts beyond the block
  });
  const auto reader = ReadJpegExif(tiff.Bytes());
  const TImageInfo& info = Info(reader);
  const auto stored = [&](const char* name) { return info.Tags[info.FindStoredTag(name)]; };
  EXPECT_EQ(info.FindStoredTag("StripOffsets"), -1);
  EXPECT_EQ(stored("StripByteCounts").RawSize, 0);
  EXPECT_EQ(stored("StripByteCounts").RawPos, JpegPos(TiffBuilder::ValueFieldOf(ifd, 1)));
  EXPECT_EQ(stored("BitsPerSample").RawSize, 0);
  EXPECT_EQ(stored("JPEGInterchangeFormat").RawSize, info.DataBlock.Length() - JpegPos(8) + 1);
  EXPECT_EQ(stored("JPEGInterchangeFormatLength").RawSize, 0);
}

TEST(WalkGuards, PointersAndOffsetsOutsideTheBlockLeadNowhere) {
  // Fault: directory and value offsets past the block or before it, and a pointer whose own
  // value lies outside.
  TiffBuilder tiff(Order::Motorola);
  tiff.Ifd({tiff.Long(0x8769, {0x7FFFFFF0}), tiff.Long(0x8825, {0xFFFFFF00}),
            tiff.AtOffset(0xA005, 4, 2, 0x7FFFFFF0), tiff.AtOffset(0x010E, 2, 20, 0x7FFFFFF0),
            tiff.Short(0x0112, {1})});
  const auto scanned = ScanOnly(tiff.Bytes());
  EXPECT_EQ(scanned->ErrorText, "");
  EXPECT_EQ(Info(scanned).TagCount, 5);
  EXPECT_EQ(Info(scanned).StoredTagText("ImageDescription"), "");
  for (uint32_t firstIfd : {0xFFFFFF00u, 0x7FFFFFFFu, 0x80000000u}) {
    TiffBuilder outside(Order::Intel, firstIfd);
    outside.Ifd({outside.Short(0x0112, {1})});
    const auto reader = ReadJpegExif(outside.Bytes());
    EXPECT_EQ(Info(reader).TagCount, 0) << firstIfd;
  }
}

TEST(WalkGuards, OverlappingDirectoriesStopAtTheEntryBudget) {
  // Fault: each entry points at a directory starting one entry further on, so thousands of
  // distinct directories each re-read the rest of the table: quadratic work.
  TiffBuilder tiff(Order::Motorola);
  std::vector<Field> entries;
  for (uint32_t j = 1; j <= 5000; ++j) entries.push_back(tiff.Long(0x014A, {8 + 12 * j}));
  tiff.Ifd(entries);
  const auto started = std::chrono::steady_clock::now();
  const auto reader = ReadJpegExif(tiff.Bytes());
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
  EXPECT_GT(Info(reader).TagCount, 5000);  // more than one directory was walked
  EXPECT_LE(Info(reader).TagCount, exif::detail::kMaxEntriesPerWalk);
}

TEST(WalkGuards, LargeValuesStopAtTheCopyBudget) {
  // Fault: thousands of entries each naming most of a 256000-byte TIFF block as their value.
  TiffBuilder tiff(Order::Intel);
  tiff.Ifd(std::vector<Field>(2000, tiff.AtOffset(0x9C9C, 7, 250000, 8)));
  tiff.PadTo(256008);
  TimgData reader;
  ASSERT_TRUE(reader.ProcessBytes("big.tif", tiff.Bytes()));
  int64_t copied = 0;
  for (const auto& entry : reader.ExifInfo->StoredTags()) copied += entry.RawSize;
  EXPECT_LT(reader.ExifInfo->TagCount, 100);
  EXPECT_LE(copied, exif::detail::kMaxValueBytesPerWalk);
}

}  // namespace
