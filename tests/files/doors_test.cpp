// The container doors, through the EXIF reader: each container built around a TIFF structure
// gives its make and model; one without EXIF says what it is; one cut short anywhere gives a
// status, never a half-read block taken as whole.

#include <brotli/encode.h>
#include <gtest/gtest.h>
#include <zlib.h>

#include <string>
#include <vector>

#include "container_builder.h"
#include "exif/container.h"

namespace {

using namespace doortest;
using exif::detail::TimgData;

std::string Deflated(const std::string& text) {
  uLongf size = compressBound(static_cast<uLong>(text.size()));
  std::string out(size, '\0');
  compress(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(text.data()),
           static_cast<uLong>(text.size()));
  out.resize(size);
  return out;
}

std::string Brotli(const std::string& bytes) {
  size_t size = BrotliEncoderMaxCompressedSize(bytes.size());
  std::string out(size, '\0');
  BrotliEncoderCompress(5, 22, BROTLI_MODE_GENERIC, bytes.size(), reinterpret_cast<const uint8_t*>(bytes.data()), &size,
                        reinterpret_cast<uint8_t*>(out.data()));
  out.resize(size);
  return out;
}

struct DoorCase {
  const char* what;
  std::string file;
  bool cutsAreDamage;  // every shorter file is refused (the block comes last and is checked whole)
  const char* size = "0 x 0";  // from the container when the EXIF data has none (the canvas, never a preview)
};

TEST(Doors, EachContainerHandsItsExifToTheWalk) {
  const std::string tiff = CanonTiff(), mm = CanonTiff(Order::Motorola);
  const std::string exifPayload = std::string("Exif\0\0", 6) + tiff;
  const DoorCase cases[] = {
      {"HEIC", Heic(tiff), true, "4000 x 3000"},
      {"HEIC, mdat of size 0 (to the end)", Heic(mm, true, true), true, "4000 x 3000"},
      {"HEIC, meta of size 1 (64-bit size)", Heic(tiff, true, false, true), true, "4000 x 3000"},
      {"CR3", Cr3({{"CMT1", mm}}), true},
      {"JPEG XL", JpegXl(Be32(0) + tiff), true},
      {"JPEG XL, Brotli", JpegXl("Exif" + Brotli(Be32(0) + tiff), "brob"), true},
      {"PNG eXIf", Png({PngChunk("eXIf", tiff)}), false, "640 x 480"},
      {"PNG eXIf with Exif\\0\\0", Png({PngChunk("eXIf", exifPayload)}), false, "640 x 480"},
      {"PNG tEXt raw profile",
       Png({PngChunk("tEXt", std::string("Raw profile type exif\0", 22) + RawProfile(exifPayload))}), false,
       "640 x 480"},
      {"PNG zTXt raw profile",
       Png({PngChunk("zTXt", std::string("Raw profile type APP1\0\0", 23) + Deflated(RawProfile(exifPayload)))}), false,
       "640 x 480"},
      {"WebP", WebP({RiffChunk("EXIF", tiff)}), true, "1024 x 768"},
      {"WebP with Exif\\0\\0", WebP({RiffChunk("EXIF", exifPayload)}), true, "1024 x 768"},
      {"RAF",
       Raf(exiftest::Jpeg(
           {exiftest::ExifSegment(mm), exiftest::Segment(0xC0, std::string("\x08\x00\x78\x00\xA0\x03", 6))})),
       false},
      {"MRW", Mrw(mm), true},
      {"BigTIFF, Intel", BigTiff(Order::Intel), false},
      {"BigTIFF, Motorola", BigTiff(Order::Motorola), false},
  };
  for (const DoorCase& c : cases) {
    TimgData reader;
    ASSERT_TRUE(reader.ProcessBytes("photo", c.file)) << c.what << ": " << reader.ErrorText;
    EXPECT_EQ(reader.ExifInfo->MakeText, "Canon") << c.what;
    EXPECT_EQ(reader.ExifInfo->ModelText, "EOS R5") << c.what;
    EXPECT_EQ(std::to_string(reader.ExifInfo->PixelWidth) + " x " + std::to_string(reader.ExifInfo->PixelHeight),
              c.size)
        << c.what;
    // Cut at every byte: a status always; for containers whose block comes last, a refusal.
    for (size_t cut = 0; cut < c.file.size(); ++cut) {
      TimgData cutReader;
      const bool read = cutReader.ProcessBytes("photo", c.file.substr(0, cut));
      EXPECT_FALSE(cutReader.ErrorText.empty()) << c.what << " cut at " << cut;
      if (c.cutsAreDamage) {
        EXPECT_FALSE(read && cutReader.ExifInfo->ModelText == "EOS R5") << c.what << " cut at " << cut;
      }
    }
  }
}

TEST(Doors, ContainersWithoutExifSayWhatTheyAre) {
  const std::string tiff = CanonTiff();
  const std::pair<std::string, const char*> cases[] = {
      {Heic(tiff, false), "Not a file with EXIF (HEIC without EXIF)"},
      {Cr3({}), "Not a file with EXIF (Canon CR3 without EXIF)"},
      {JpegXl("", "xml "), "Not a file with EXIF (JPEG XL without EXIF)"},
      {std::string("\xFF\x0A\x10\x20", 4), "Not a file with EXIF (JPEG XL without EXIF)"},  // bare codestream
      {Png({PngChunk("tEXt", std::string("Comment\0hello", 13))}), "Not a file with EXIF (PNG without EXIF)"},
      {WebP({RiffChunk("ICCP", "profile")}), "Not a file with EXIF (WebP without EXIF)"},
      {Mrw(tiff).substr(0, 24), "Not a file with EXIF (Minolta MRW without EXIF)"},
      {JpegXl("Exif" + std::string("not brotli at all"), "brob"),
       "Damaged JPEG XL file (the compressed Exif box does not decompress)"},
      {Heic(tiff).replace(24, 4, Be32(0xFFFF)), "Damaged HEIC file (box runs past the end of its container)"},
      {Crw(6), "Damaged Canon CRW file (heaps nested too deep)"},
  };
  for (const auto& [file, status] : cases) {
    TimgData reader;
    EXPECT_FALSE(reader.ProcessBytes("photo", file)) << status;
    EXPECT_EQ(reader.ErrorText, status);
  }
}

// CRW holds no EXIF block: make, model and the time of the shot come from its records.
TEST(Doors, CanonCrwRecordsReadAsExif) {
  for (int depth : {1, 3}) {
    TimgData reader;
    ASSERT_TRUE(reader.ProcessBytes("photo.crw", Crw(depth))) << reader.ErrorText;
    EXPECT_EQ(reader.ExifInfo->MakeText, "Canon");
    EXPECT_EQ(reader.ExifInfo->ModelText, "Canon EOS D30");
    EXPECT_EQ(reader.ExifInfo->DateTimeText, "2001:09:09 01:46:40");
  }
}

// A CR3 keeps IFD0, the EXIF directory, Canon's note and GPS apart, each a TIFF structure of
// its own; all four are read into one store.
TEST(Doors, CanonCr3ReadsItsFourStructures) {
  exiftest::TiffBuilder exif(Order::Intel), note(Order::Intel), gps(Order::Motorola);
  exif.Ifd({exif.Rational(0x829A, {{1, 250}}), exif.Short(0x8827, {400})});
  note.Ifd({note.Ascii(0x0006, "CR3:Raw image")});
  gps.Ifd({gps.Ascii(0x0001, "N")});
  TimgData reader;
  ASSERT_TRUE(reader.ProcessBytes("a.cr3", Cr3({{"CMT1", CanonTiff()}, {"CMT2", exif.Bytes()}, {"CMT3", note.Bytes()},
                                                {"CMT4", gps.Bytes()}})));
  const auto& info = *reader.ExifInfo;
  EXPECT_EQ(info.ModelText, "EOS R5");
  EXPECT_EQ(info.StoredTagText("ExposureTime"), "1/250 sec");
  EXPECT_EQ(info.StoredTagText("ISOSpeedRatings"), "400");
  EXPECT_EQ(info.StoredTagText("GPSLatitudeRef"), "North");
  EXPECT_TRUE(info.MakerNoteRead);
  EXPECT_NE(info.MakerNoteTraceText.find("ImageType = \"CR3:Raw image\""), std::string::npos) << info.MakerNoteTraceText;
}

// A raw file's size is its full-resolution image's: not IFD0's preview before it, nor a
// thumbnail after it; when no directory says which is full, the largest.
TEST(Doors, ARawFileTakesItsSizeFromTheFullImage) {
  for (Order order : {Order::Intel, Order::Motorola}) {
    for (bool marked : {true, false}) {
      exiftest::TiffBuilder t(order);
      const uint32_t raw = t.Ifd({t.Long(0x00FE, {marked ? 0u : 1u}), t.Long(0x0100, {6000}), t.Long(0x0101, {4000})});
      const uint32_t small = t.Ifd({t.Long(0x00FE, {1}), t.Long(0x0100, {7000}), t.Long(0x0101, {5000})});
      const uint32_t thumb = t.Ifd({t.Long(0x00FE, {1}), t.Short(0x0100, {160}), t.Short(0x0101, {120})});
      t.SetFirstIfd(t.Ifd({t.Long(0x00FE, {1}), t.Short(0x0100, {256}), t.Short(0x0101, {171}),
                           t.Ascii(0x010F, "Canon"), t.Long(0x014A, {raw, small})},
                          thumb));
      TimgData reader;
      ASSERT_TRUE(reader.ProcessBytes("a.dng", t.Bytes()));
      EXPECT_EQ(reader.ExifInfo->PixelWidth, marked ? 6000 : 7000);
      EXPECT_EQ(reader.ExifInfo->PixelHeight, marked ? 4000 : 5000);
    }
  }
}

}  // namespace
