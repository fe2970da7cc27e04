// Hostile directory structures: every fixture names the fault it guards against. Each must
// end quietly, within the block, in bounded time and memory.

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "exif/byte_stream.h"
#include "exif/container.h"
#include "exif/ifd_walk.h"
#include "exif/settings.h"
#include "reader_support.h"

namespace {

using exif::TImageInfo;
using exif::TimgData;
using exiftest::ExifSegment;
using exiftest::Field;
using exiftest::Info;
using exiftest::Jpeg;
using exiftest::JpegPos;
using exiftest::Order;
using exiftest::ReadJpegExif;
using exiftest::ScopedSetting;
using exiftest::TiffBuilder;

// Scans a JPEG holding `tiff` without ProcessBytes, so that ErrorText keeps what the header
// check and the walk set.
std::unique_ptr<TimgData> ScanOnly(const std::string& tiff) {
  auto reader = std::make_unique<TimgData>();
  const std::string jpeg = Jpeg({ExifSegment(tiff)});
  exif::MemoryByteStream stream(jpeg);
  reader->ScanJpegSections(stream);
  return reader;
}

size_t Count(const std::string& text, const std::string& part) {
  size_t found = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++found;
  return found;
}

TEST(WalkGuards, APointerBackToAnAncestorIsNotFollowed) {
  // Fault: the EXIF directory points back at the first one, which would recurse forever.
  TiffBuilder tiff(Order::Motorola);
  const uint32_t ifd0 = tiff.Ifd({tiff.Ascii(0x010F, "Loop"), tiff.Long(0x8769, {0})});
  const uint32_t exifIfd = tiff.Ifd({tiff.Long(0x8769, {ifd0}), tiff.Short(0x8827, {100})});
  tiff.PatchU32(TiffBuilder::ValueFieldOf(ifd0, 1), exifIfd);
  const auto reader = ReadJpegExif(tiff.Bytes());
  const std::string& trace = Info(reader).TraceText;
  EXPECT_EQ(Count(trace, "Make = Loop"), 1u);
  EXPECT_EQ(Count(trace, "ISOSpeed Ratings = 100"), 1u);
  EXPECT_EQ(reader->ErrorText, "<none>");
}

TEST(WalkGuards, ADirectoryPointingAtItselfIsWalkedOnce) {
  // Fault: a sub-directory pointer holding its own directory's offset.
  TiffBuilder tiff(Order::Intel);
  tiff.Ifd({tiff.Long(0x014A, {8}), tiff.Short(0x0112, {1})});
  const auto reader = ReadJpegExif(tiff.Bytes());
  EXPECT_EQ(Info(reader).TraceText, "\r\nSub IFDs = 8\r\nOrientation = Normal");
}

TEST(WalkGuards, ManyPointersAtOneDirectoryWalkItOnce) {
  // Fault: fan-out, where every entry points at the same large directory, multiplying work.
  TiffBuilder tiff(Order::Intel);
  const uint32_t shared = tiff.Ifd({tiff.Ascii(0x8298, "shared")});
  std::vector<Field> pointers;
  for (int i = 0; i < 100; ++i) pointers.push_back(tiff.Long(0x014A, {shared}));
  tiff.SetFirstIfd(tiff.Ifd(pointers));
  const auto reader = ReadJpegExif(tiff.Bytes());
  EXPECT_EQ(Count(Info(reader).TraceText, "Copyright = shared"), 1u);
}

TEST(WalkGuards, NestingStopsAtTheDepthLimit) {
  // Fault: a chain of directories deeper than any camera writes, exhausting the stack.
  TiffBuilder tiff(Order::Motorola);
  constexpr uint32_t kChain = 40;
  std::vector<uint32_t> dirs;
  for (uint32_t i = 0; i < kChain; ++i) {
    dirs.push_back(tiff.Ifd({tiff.Long(0x0100, {i}), tiff.Long(0x8769, {0})}));
  }
  for (uint32_t i = 0; i + 1 < kChain; ++i) {
    tiff.PatchU32(TiffBuilder::ValueFieldOf(dirs[i], 1), dirs[i + 1]);
  }
  tiff.SetFirstIfd(dirs[0]);
  const auto reader = ReadJpegExif(tiff.Bytes());
  EXPECT_EQ(Info(reader).PixelWidth, exif::kMaxDirectoryDepth - 1);
}

TEST(WalkGuards, AnEntryTableRunningOffTheBlockEndsThatDirectoryQuietly) {
  // Fault: the count promises ten entries where the block holds two; the size check passes
  // because the table starts near the end of a large enough block.
  TiffBuilder tiff(Order::Intel);
  tiff.PadTo(208);
  const uint32_t ifd = tiff.Ifd({tiff.Short(0x0112, {1}), tiff.Short(0x0128, {2})}, 0, 10);
  tiff.SetFirstIfd(ifd);
  const auto scanned = ScanOnly(tiff.Bytes());
  EXPECT_EQ(scanned->ErrorText, "");
  EXPECT_EQ(Info(scanned).TraceText, "\r\nOrientation = Normal\r\nResolution Unit = Inch");
}

TEST(WalkGuards, AnOversizedDirectoryIsRefusedAndItsParentGoesOn) {
  // Fault: an entry count far larger than the block; the directory contributes nothing.
  TiffBuilder tiff(Order::Motorola);
  const uint32_t bad = tiff.Ifd({tiff.Short(0x8827, {100})}, 0, 0xFFFF);
  tiff.SetFirstIfd(tiff.Ifd(
      {tiff.Ascii(0x010F, "Make"), tiff.Long(0x8769, {bad}), tiff.Ascii(0x0110, "Model")}));
  const auto scanned = ScanOnly(tiff.Bytes());
  EXPECT_EQ(scanned->ErrorText, "Illegally sized directory");
  const TImageInfo& info = Info(scanned);
  EXPECT_EQ(info.MakeText, "Make");
  EXPECT_EQ(info.ModelText, "Model");
  EXPECT_EQ(info.FindStoredTag("ISOSpeedRatings"), -1);
  // A read that succeeds as a whole reports no error.
  EXPECT_EQ(ReadJpegExif(tiff.Bytes())->ErrorText, "<none>");
}

TEST(WalkGuards, AnOversizedFirstDirectoryAddsNothing) {
  // Fault: the first directory's count alone exceeds the block.
  TiffBuilder tiff(Order::Intel);
  tiff.Ifd({tiff.Short(0x0112, {1})}, 0, 0x8000);
  const auto scanned = ScanOnly(tiff.Bytes());
  EXPECT_EQ(scanned->ErrorText, "Illegally sized directory");
  EXPECT_EQ(Info(scanned).TagCount, 0);
}

TEST(WalkGuards, OverflowingCountsNeverBecomeHugeCopies) {
  // Fault: count x size beyond 32 bits, which wraps to 0 or to a negative byte count, and
  // counts whose bytes would run far past the block.
  TiffBuilder tiff(Order::Intel);
  const uint32_t ifd = tiff.Ifd({
      tiff.AtOffset(0x0111, 4, 0x40000000, 8),           // 2^32 bytes: wraps to 0, skipped
      tiff.AtOffset(0x0117, 4, 0x20000000, 8),           // 2^31 bytes: negative, read inline
      tiff.AtOffset(0x0102, 3, 0xFFFFFFFF, 8),           // count -1: negative, read inline
      tiff.AtOffset(0x0201, 1, 0x7FFFFFFF, 8),           // cut at the end of the block
      tiff.AtOffset(0x0202, 7, 0x7FFFFFFF, 0x7FFFFFF0),  // starts beyond the block
  });
  const auto reader = ReadJpegExif(tiff.Bytes());
  const TImageInfo& info = Info(reader);
  EXPECT_EQ(info.FindStoredTag("StripOffsets"), -1);
  for (const char* name : {"StripByteCounts", "BitsPerSample"}) {
    const auto& entry = info.Tags[static_cast<size_t>(info.FindStoredTag(name))];
    EXPECT_EQ(entry.RawSize, 0) << name;
    EXPECT_EQ(entry.Text, "") << name;
  }
  EXPECT_EQ(info.Tags[static_cast<size_t>(info.FindStoredTag("StripByteCounts"))].RawPos,
            JpegPos(TiffBuilder::ValueFieldOf(ifd, 1)));
  const auto& cut = info.Tags[static_cast<size_t>(info.FindStoredTag("JPEGInterchangeFormat"))];
  EXPECT_EQ(cut.RawSize, info.DataBlock.Length() - JpegPos(8) + 1);
  EXPECT_EQ(
      info.Tags[static_cast<size_t>(info.FindStoredTag("JPEGInterchangeFormatLength"))].RawSize, 0);
}

TEST(WalkGuards, PointersAndOffsetsOutsideTheBlockLeadNowhere) {
  // Fault: directory and value offsets beyond the block, negative ones, and a pointer whose
  // own value lies outside.
  TiffBuilder tiff(Order::Motorola);
  tiff.Ifd({
      tiff.Long(0x8769, {0x7FFFFFF0}),
      tiff.Long(0x8825, {0xFFFFFF00}),
      tiff.AtOffset(0xA005, 4, 2, 0x7FFFFFF0),  // the pointer's own 8 bytes lie outside
      tiff.AtOffset(0x010E, 2, 20, 0x7FFFFFF0),
      tiff.Short(0x0112, {1}),
  });
  const auto scanned = ScanOnly(tiff.Bytes());
  EXPECT_EQ(scanned->ErrorText, "");
  const TImageInfo& info = Info(scanned);
  EXPECT_EQ(info.StoredTagText("ImageDescription"), "");
  EXPECT_EQ(info.StoredTagText("Orientation"), "Normal");
  EXPECT_EQ(info.TagCount, 5);
}

TEST(WalkGuards, AFirstDirectoryOffsetOutsideTheBlockReadsNothing) {
  // Fault: the header's first-directory offset points before the block or far past it.
  for (uint32_t offset : {0xFFFFFF00u, 0x7FFFFFFFu, 0x80000000u}) {
    TiffBuilder tiff(Order::Intel, offset);
    tiff.Ifd({tiff.Short(0x0112, {1})});
    const auto reader = ReadJpegExif(tiff.Bytes());
    EXPECT_EQ(Info(reader).TagCount, 0) << offset;
  }
}

TEST(WalkGuards, OverlappingDirectoriesStopAtTheEntryBudget) {
  // Fault: every entry points at a directory that starts one entry further on, so each of
  // thousands of distinct directories re-reads the rest of the table: quadratic work.
  constexpr uint32_t kEntries = 5000;
  TiffBuilder tiff(Order::Motorola);
  std::vector<Field> entries;
  for (uint32_t j = 0; j < kEntries; ++j) entries.push_back(tiff.Long(0x014A, {8 + 12 * (j + 1)}));
  tiff.Ifd(entries);
  const auto started = std::chrono::steady_clock::now();
  const auto reader = ReadJpegExif(tiff.Bytes());
  const auto elapsed = std::chrono::steady_clock::now() - started;
  const TImageInfo& info = Info(reader);
  EXPECT_LE(info.TagCount, exif::kMaxEntriesPerWalk);
  EXPECT_GT(info.TagCount, static_cast<int32_t>(kEntries));  // more than one directory was walked
  EXPECT_LT(elapsed, std::chrono::seconds(10));
}

TEST(WalkGuards, LargeValuesStopAtTheCopyBudget) {
  // Fault: thousands of entries each naming most of a 256000-byte TIFF block as their value.
  constexpr uint32_t kEntries = 2000;
  TiffBuilder tiff(Order::Intel);
  std::vector<Field> entries;
  for (uint32_t j = 0; j < kEntries; ++j) entries.push_back(tiff.AtOffset(0x9C9C, 7, 250000, 8));
  tiff.Ifd(entries);
  tiff.PadTo(256008);
  exif::TimgData reader;
  ASSERT_TRUE(reader.ProcessBytes("big.tif", tiff.Bytes()));
  const TImageInfo& info = *reader.ExifInfo;
  int64_t copied = 0;
  for (const auto& entry : info.StoredTags()) copied += entry.RawSize;
  EXPECT_LT(info.TagCount, 100);
  EXPECT_LE(copied, exif::kMaxValueBytesPerWalk);
}

}  // namespace
