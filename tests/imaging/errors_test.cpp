#include "prosvitek/imaging/errors.h"

#include "prosvitek/imaging/jpeg_codec.h"
#include "jpeg_fixtures.h"

#include <gtest/gtest.h>

#include <new>
#include <string>

namespace imaging {
namespace {

using namespace std::string_literals;

Bytes ToBytes(const std::string& s) { return Bytes(s.begin(), s.end()); }

// The file with the byte at the frame header's marker, plus `at`, set to `value`.
Bytes WithFrameByte(Bytes jpeg, std::size_t at, std::uint8_t value) {
  for (std::size_t i = 2; i + 1 < jpeg.size(); ++i)
    if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0) {
      jpeg[i + at] = value;
      return jpeg;
    }
  throw std::runtime_error("no frame header");
}

// The text the user gets when a photo made of these bytes is opened.
std::string TextFor(const Bytes& file) {
  try {
    JpegReader reader(file);
    reader.Start();
    std::vector<std::uint8_t> row(3 * static_cast<std::size_t>(reader.Header().width));
    std::uint8_t* rows[] = {row.data()};
    while (reader.ReadRows(rows, 1) == 1) {
    }
    return "opened";
  } catch (const std::exception& e) {
    return PhotoErrorText(e);
  }
}

// Each failure gets a Czech first line saying what happened and what to do;
// libjpeg's own text follows on the second line.
TEST(PhotoErrorText, SaysWhatHappenedAndWhatToDo) {
  const Bytes photo = EncodeJpeg(fixtures::MakeRaster(32, 16, [](int x, int) { return MakeColour(x, 50, 90); }), 90, false);
  const std::string zeros(24, '\0');
  const struct {
    const char* what;
    Bytes file;
    std::string firstLine;  // a part of it
    std::string libjpeg;    // the start of the second line
  } cases[] = {
      {"PNG", ToBytes("\x89PNG\r\n\x1A\n"s + zeros), "ale obrázek PNG.", "JPEG error #53: Not a JPEG file"},
      {"GIF", ToBytes("GIF89a"s + zeros), "ale obrázek GIF.", "JPEG error #53"},
      {"BMP", ToBytes("BM"s + zeros), "ale obrázek BMP.", "JPEG error #53"},
      {"WebP", ToBytes("RIFF\0\0\0\0WEBPVP8 "s + zeros), "ale obrázek WebP.", "JPEG error #53"},
      {"HEIC", ToBytes("\0\0\0\x18" "ftypheic\0\0\0\0mif1heic"s + zeros), "ale obrázek HEIC.", "JPEG error #53"},
      {"TIFF", ToBytes("II*\0\x08\0\0\0"s + zeros), "obrázek TIFF (nebo surová fotka", "JPEG error #53"},
      {"raw", ToBytes("\0\0\0\x18" "ftypcrx \0\0\0\x01" "crx isom"s + zeros), "surová fotka z fotoaparátu (raw, Canon CR3)", "JPEG error #53"},
      {"unknown", ToBytes("plain text, no picture"s), "ani jiný známý obrázek", "JPEG error #53"},
      {"empty", {}, "Soubor je prázdný", "JPEG error #42"},
      {"cut in its header", Bytes(photo.begin(), photo.begin() + 100), "Fotka je neúplná", "JPEG error #"},
      {"damaged table", WithFrameByte(photo, 10, 7), "Fotka je poškozená", "JPEG error #"},  // a component sampled 0 x 7
      {"12-bit", WithFrameByte(photo, 4, 12), "Fotka je 12bitový JPEG", "JPEG error #"},
      {"lossless", WithFrameByte(photo, 1, 0xC3), "bezeztrátový (lossless) JPEG", "JPEG error #"},
      {"hierarchical", WithFrameByte(photo, 1, 0xC5), "hierarchický JPEG", "JPEG error #"},
  };
  for (const auto& c : cases) {
    const std::string text = TextFor(c.file);
    const std::size_t newline = text.find('\n');
    ASSERT_NE(newline, std::string::npos) << c.what << ": " << text;
    EXPECT_NE(text.substr(0, newline).find(c.firstLine), std::string::npos) << c.what << ": " << text;
    EXPECT_EQ(text.substr(newline + 1, c.libjpeg.size()), c.libjpeg) << c.what << ": " << text;
  }
  EXPECT_EQ(TextFor(photo), "opened");

  // Too large, of either kind, and the ones whose text is the user's already.
  const Bytes huge = fixtures::WithFrameSize(photo, 60000, 60000);
  const Bytes scans = fixtures::ColourJpeg(fixtures::MakeRaster(16, 16, [](int, int) { return 0u; }), 2, 2, kMaxScans + 5);
  const struct {
    const char* what;
    std::string text;
    std::string firstLine;
  } others[] = {
      {"beyond the budget", TextFor(huge), "příliš velká pro povolenou paměť"},
      {"too many scans", TextFor(scans), "neobvykle mnoha průchody"},
      {"out of memory", PhotoErrorText(std::bad_alloc()), "nestačí paměť počítače"},
      {"a file", PhotoErrorText(FileError("Soubor nelze otevřít: x.jpg (není)")), "Soubor nelze otevřít: x.jpg (není)"},
      {"not a standard exception", PhotoErrorText(std::make_exception_ptr(42)), "Neznámá chyba."},
  };
  for (const auto& o : others)
    EXPECT_NE(o.text.substr(0, o.text.find('\n')).find(o.firstLine), std::string::npos) << o.what << ": " << o.text;
}

TEST(PhotoWarningText, SaysHowMuchIsMissing) {
  EXPECT_EQ(PhotoWarningText("Premature end of JPEG file", 600, 900),
            "Fotka je neúplná: chybí 33 % (dolních 300 z 900 řádků), na jejich místě je šedá plocha.\n"
            "Premature end of JPEG file");
  const struct {
    std::string warning;
    int decoded;
    std::string start;
  } cases[] = {
      {"Premature end of JPEG file", 899, "Fotka je neúplná: chybí 1 % (dolních 1 z 900"},
      {"Corrupt JPEG data", 900, "Fotka je mírně poškozená"},
      {"", 900, ""},
  };
  for (const auto& c : cases) EXPECT_EQ(PhotoWarningText(c.warning, c.decoded, 900).rfind(c.start, 0), 0u) << c.start;
  EXPECT_EQ(PhotoWarningText("", 900, 900), "");
}

}  // namespace
}  // namespace imaging
