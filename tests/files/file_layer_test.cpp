// The file layer's rules, once: the JPEG segment walk under its strict and lenient rules, the
// TIFF header and directory reading (classic in both byte orders, BigTIFF, cut short), and the
// kind of a file told by its first bytes.

#include <gtest/gtest.h>

#include <span>
#include <string>
#include <vector>

#include "container_builder.h"
#include "prosvitek/files/file_kind.h"
#include "prosvitek/files/input_file.h"
#include "prosvitek/files/jpeg_segments.h"
#include "prosvitek/files/tiff.h"

namespace {

using namespace doortest;

files::InputFile Memory(const std::string& bytes) {
  return files::InputFile::FromMemory(std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
}

TEST(SegmentWalk, StrictAndLenientRules) {
  struct Case {
    const char* what;
    std::string bytes;
    bool strict;
    std::vector<int> markers;
    files::WalkEnd end;
  };
  using E = files::WalkEnd;
  const std::string sos("\xFF\xDA\x00\x02", 4);
  const Case cases[] = {
      {"segments up to the scan", std::string("\xFF\xD8\xFF\xE0\x00\x04\xAB\xCD", 8) + sos, true, {0xE0, 0xDA}, E::Running},
      {"fill bytes before a marker", std::string("\xFF\xD8\xFF\xFF\xFF\xE1\x00\x02", 8) + sos, true, {0xE1, 0xDA}, E::Running},
      {"no 0xFF where a marker stands: strict stops", std::string("\xFF\xD8\x12\x00\x04\xAA\xBB", 7) + sos, true, {}, E::NotAMarker},
      {"no 0xFF where a marker stands: lenient takes the byte", std::string("\xFF\xD8\x12\x00\x04\xAA\xBB", 7) + sos, false,
       {0x12, 0xDA}, E::Running},
      {"a restart marker: strict passes over it", std::string("\xFF\xD8\xFF\xD0\xFF\xE1\x00\x02", 8) + sos, true, {0xE1, 0xDA},
       E::Running},
      {"a restart marker: lenient reads a length after it", std::string("\xFF\xD8\xFF\xD0\xFF\xE1\x00\x02", 8) + sos, false,
       {0xD0}, E::EndOfFile},
      {"end of image stands alone only when strict", std::string("\xFF\xD8\xFF\xD9", 4), true, {0xD9}, E::EndOfFile},
      {"end of image with nothing after, lenient", std::string("\xFF\xD8\xFF\xD9", 4), false, {}, E::EndOfFile},
      {"a length below two", std::string("\xFF\xD8\xFF\xE1\x00\x01", 6), false, {}, E::BadLength},
      {"the file ends inside a length", std::string("\xFF\xD8\xFF\xE1\x00", 5), true, {}, E::EndOfFile},
      {"no start of image", std::string("\x00\xD8\xFF\xE1\x00\x02", 6), false, {}, E::NotJpeg},
  };
  for (const Case& c : cases) {
    const files::InputFile file = Memory(c.bytes);
    files::JpegSegmentWalker walker(file, files::WalkRules{c.strict});
    std::vector<int> markers;
    while (const auto segment = walker.Next()) {
      markers.push_back(segment->marker);
      if (segment->marker == files::kMarkerSos) break;
    }
    EXPECT_EQ(markers, c.markers) << c.what;
    EXPECT_EQ(walker.End(), c.end) << c.what;
  }
}

TEST(SegmentWalk, ExifNeedsItsWholeSixByteHeader) {
  const auto kind = [](std::string body) {
    return files::IdentifySegment(files::kMarkerApp1, std::span(reinterpret_cast<const uint8_t*>(body.data()), body.size()));
  };
  EXPECT_EQ(kind(std::string("Exif\0\0II", 8)), files::SegmentKind::Exif);
  EXPECT_EQ(kind(std::string("Exif\0\xFFII", 8)), files::SegmentKind::Exif);  // a writer's odd second byte
  EXPECT_EQ(kind(std::string("Exif\0", 5)), files::SegmentKind::Other);
  EXPECT_EQ(kind("http://ns.adobe.com/xap/1.0/" + std::string(1, '\0')), files::SegmentKind::Xmp);
}

TEST(TiffStructure, HeadersOfEveryVariant) {
  struct Case {
    std::string bytes;
    bool valid;
    bool bigEndian = false, bigTiff = false;
    uint64_t first = 0;
  };
  const Case cases[] = {
      {CanonTiff(Order::Intel), true, false, false, 8},
      {CanonTiff(Order::Motorola), true, true, false, 8},
      {BigTiff(Order::Intel), true, false, true, 16},
      {BigTiff(Order::Motorola), true, true, true, 16},
      {std::string("IIRO\x08\0\0\0", 8), true, false, false, 8},  // Olympus raw
      {std::string("MMOR\0\0\0\x08", 8), true, true, false, 8},
      {std::string("IIU\0\x08\0\0\0", 8), true, false, false, 8},  // Panasonic raw
      {std::string("II*\0\x08\0\0", 7), false},                     // cut short
      {std::string("II+\0\x04\0\0\0\x10\0\0\0\0\0\0\0", 16), false},  // BigTIFF with 4-byte offsets
      {std::string("XX*\0\x08\0\0\0", 8), false},
      {std::string("II\x2B\0\x08\0\0\0", 8), false},  // BigTIFF cut short
  };
  for (const Case& c : cases) {
    const auto header = files::ParseTiffHeader(std::span(reinterpret_cast<const uint8_t*>(c.bytes.data()), c.bytes.size()));
    ASSERT_EQ(header.has_value(), c.valid) << c.bytes.substr(0, 4);
    if (!header) continue;
    EXPECT_EQ(header->bigEndian, c.bigEndian);
    EXPECT_EQ(header->bigTiff, c.bigTiff);
    EXPECT_EQ(header->firstDirectory, c.first);
  }
}

TEST(TiffStructure, DirectoriesInBothOrdersBigAndCutShort) {
  for (Order order : {Order::Intel, Order::Motorola}) {
    for (const std::string& tiff : {CanonTiff(order), BigTiff(order)}) {
      const files::InputFile file = Memory(tiff);
      uint8_t head[16];
      const auto header = files::ParseTiffHeader({head, file.ReadAt(0, head, 16)});
      ASSERT_TRUE(header);
      const auto directory = files::ReadTiffDirectory(file, 0, *header, header->firstDirectory);
      ASSERT_TRUE(directory);
      ASSERT_EQ(directory->entries.size(), header->bigTiff ? 3u : 2u);
      EXPECT_FALSE(directory->truncated);
      EXPECT_EQ(directory->entries[0].tag, 0x010F);
      EXPECT_EQ(directory->entries[0].count, 6u);
      EXPECT_EQ(file.Read(directory->entries[0].valueOffset, 5), files::Bytes({'C', 'a', 'n', 'o', 'n'}));
      EXPECT_EQ(directory->entries[0].inlineValue, header->bigTiff);  // 6 bytes fit only in 8
      // Cut inside the second entry: the first is whole, the directory says it was cut.
      const size_t entrySize = header->bigTiff ? 20 : 12;
      const std::string cut = tiff.substr(0, header->firstDirectory + (header->bigTiff ? 8 : 2) + entrySize + 3);
      const files::InputFile cutFile = Memory(cut);
      const auto partial = files::ReadTiffDirectory(cutFile, 0, *header, header->firstDirectory);
      ASSERT_TRUE(partial);
      EXPECT_EQ(partial->entries.size(), 1u);
      EXPECT_TRUE(partial->truncated);
      EXPECT_FALSE(files::ReadTiffDirectory(cutFile, 0, *header, cut.size()));  // no count at all
    }
  }
}

TEST(FileKinds, ToldByTheFirstBytes) {
  using K = files::FileKind;
  const std::pair<std::string, K> cases[] = {
      {std::string("\xFF\xD8\xFF\xE1", 4), K::Jpeg},
      {std::string("\xFF\xD8\x00", 3), K::Jpeg},  // a damaged byte after the start of image
      {CanonTiff(), K::Tiff},
      {BigTiff(Order::Motorola), K::BigTiff},
      {Heic(CanonTiff()), K::Heif},
      {Cr3({}), K::CanonCr3},
      {Box("ftyp", std::string("mif1\0\0\0\0mif1avif", 16)), K::Avif},
      {Png({}), K::Png},
      {WebP({}), K::WebP},
      {JpegXl(""), K::JpegXl},
      {Raf(""), K::FujifilmRaf},
      {Mrw(""), K::MinoltaMrw},
      {Crw(), K::CanonCrw},
      {"GIF89a", K::Gif},
      {"plain text", K::Unknown},
      {"", K::Unknown},
  };
  for (const auto& [bytes, kind] : cases) {
    EXPECT_EQ(files::DetectFileKind(Memory(bytes)), kind) << files::FileKindName(kind);
  }
}

}  // namespace
