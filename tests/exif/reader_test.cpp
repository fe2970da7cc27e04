// The reader's public face: how a read ended, told by a status rather than by its text.

#include "prosvitek/exif/reader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "exif_builder.h"

namespace {

using exiftest::Order;
using exiftest::TiffBuilder;
namespace fs = std::filesystem;

TEST(ReaderStatus, SaysHowEachReadEnded) {
  TiffBuilder t(Order::Intel);
  t.SetFirstIfd(t.Ifd({t.Ascii(0x010F, "Maker")}));
  const std::string good = exiftest::Jpeg({exiftest::ExifSegment(t.Bytes())});
  const std::string badOffset("II*\0\0\xFF\xFF\xFF", 8);  // the first directory far past the end
  const fs::path dir = fs::path(::testing::TempDir()) / "reader_status";
  fs::create_directories(dir / "folder.jpg");
  const struct {
    const char* what;
    std::string bytes;  // written to a file unless `name` names what is already there
    const char* name;
    exif::ReadStatus status;
  } cases[] = {
      {"an EXIF photo", good, "good.jpg", exif::ReadStatus::Read},
      {"a comment is metadata", exiftest::Jpeg({exiftest::Segment(0xFE, "hi")}), "comment.jpg", exif::ReadStatus::Read},
      {"no metadata segment", exiftest::Jpeg({}), "plain.jpg", exif::ReadStatus::NoExif},
      {"a PNG without EXIF", "\x89PNG\r\n\x1A\n", "a.png", exif::ReadStatus::NoExif},
      {"a TIFF whose first directory is nowhere", badOffset, "bad.tif", exif::ReadStatus::Damaged},
      {"no such file", "", "missing.jpg", exif::ReadStatus::Missing},
      {"a folder", "", "folder.jpg", exif::ReadStatus::CannotOpen},
  };
  for (const auto& c : cases) {
    const fs::path path = dir / c.name;
    if (!c.bytes.empty()) std::ofstream(path, std::ios::binary) << c.bytes;
    exif::Reader reader;
    EXPECT_EQ(reader.ProcessFile(path.string()), c.status == exif::ReadStatus::Read) << c.what;
    EXPECT_EQ(reader.Status(), c.status) << c.what << ": " << reader.ErrorText();
    if (c.status == exif::ReadStatus::Read && reader.HasExif()) {
      EXPECT_FALSE(reader.GetSummary()->Failed()) << c.what;
    }
  }
}

}  // namespace
