// The maker-note pass: recognising the maker, each maker's layout, the directory reader's
// values, trace and store, and hostile notes.

#include "exif/makernotes/maker_note.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "exif/container.h"
#include "exif/field_types.h"
#include "exif/ifd_walk.h"
#include "exif/image_info.h"
#include "note_builder.h"
#include "reader_support.h"

namespace {

using exif::detail::TImageInfo;
using exif::detail::TimgData;
using exif::detail::TTagEntry;
using exiftest::Info;
using exiftest::Order;
using exiftest::ReadJpegExif;
using exiftest::ScanOnly;
using notetest::BuildNote;
using notetest::Camera;
using notetest::ExifWithNote;
using notetest::kNoteOffset;
using notetest::Layout;
using notetest::Value;

const Order kOrders[] = {Order::Intel, Order::Motorola};
using Entries = std::vector<std::pair<std::string, std::string>>;

std::string Plain(Order order, const std::vector<Value>& values, const std::string& prefix = "") {
  return BuildNote(Layout::Plain, order, prefix, values);
}

std::unique_ptr<TimgData> ReadTiffFile(const std::string& tiff) {
  auto reader = std::make_unique<TimgData>();
  reader->ProcessBytes("photo.tif", tiff);
  return reader;
}

// Name and text of every entry the pass stored (Id 1), in store order.
Entries MakerEntries(const TImageInfo& info) {
  Entries entries;
  for (const TTagEntry& entry : info.StoredTags()) {
    if (entry.Id == 1) entries.emplace_back(entry.Name, entry.Text);
  }
  return entries;
}

const TTagEntry& Stored(const TImageInfo& info, const char* name) {
  return info.Tags.at(static_cast<size_t>(info.FindStoredTag(name)));
}

// The walk went on after the note in the block's own byte order, from the block again.
void ExpectWalkRestored(const TimgData& reader, Order order, const std::string& what) {
  const TImageInfo& info = *reader.ExifInfo;
  EXPECT_EQ(info.PixelWidth, 640) << what;
  EXPECT_EQ(info.BigEndian, order == Order::Motorola) << what;
  EXPECT_EQ(info.DataBlock.View(), reader.ExifSection->Data.View()) << what;
}

struct NoteCase {
  const char* make;
  Layout layout;
  std::string prefix;
  std::vector<Value> values;
  std::string trace;
};

TEST(MakerNote, ReadsEachMakersDirectoryWithItsLayoutInBothByteOrders) {
  const std::string eight("\0\1\0", 3);  // completes a five-letter maker identifier
  const NoteCase cases[] = {
      {"OLYMPUS OPTICAL CO.,LTD",
       Layout::Plain,
       "OLYMP" + eight,
       {{0x0201, 'S', {3}}, {0x0209, 'A', {}, "C960Z,D460Z"}},
       "\r\nJpegQual = SHQ\r\nCamera ID = \"C960Z,D460Z\""},
      {"CASIO",
       Layout::Plain,
       "",
       {{0x0002, 'S', {3}}, {0x000A, 'L', {65537}}, {0x0030, 'A', {}, "QV-3000EX"}},
       "\r\nQuality = Fine\r\nDigitalZoom = 2X Digital Zoom\r\nUnknown 0x0030 = \"QV-3000EX\""},
      {"FUJIFILM",
       Layout::Fuji,
       "",
       {{0x1001, 'S', {3}}, {0x1031, 'S', {256}}, {0x1000, 'A', {}, "NORMAL "}},
       "\r\nSharpness = Normal\r\nPictureMode = Aperture prior AE\r\nQuality = \"NORMAL \""},
      {"Canon",
       Layout::Plain,
       "",
       {{0x0006, 'A', {}, "IMG:JPEG file"}, {0x0008, 'L', {1010163}}},
       "\r\nImageType = \"IMG:JPEG file\"\r\nImageNumber = 1010163"},
      {"SEIKO EPSON CORP.",
       Layout::Plain,
       "EPSON" + eight,
       {{0x0200, 'S', {0, 1, 2}}, {0x020A, 'A', {}, "a comment"}},
       "\r\nSpecial Mode = 0, 1, 2\r\nComments = \"a comment\""},
      {"SANYO Electric Co.,Ltd.",
       Layout::Plain,
       "SANYO" + eight,
       {{0x0201, 'S', {262}}, {0x0204, 'R', {0, 100}}},
       "\r\nJpegQuality = 262\r\nDigiZoom = 0/100"},
      {"Minolta Co., Ltd.",
       Layout::Plain,
       "",
       {{0x0000, 'U', {}, "MLT0"}, {0x0E00, 'U', {}, "PrintIM0100"}},
       "\r\nModelID = \"MLT0\"\r\nPIMdata = \"PrintIM0100\""},
      {"KONICA MINOLTA", Layout::Plain, "", {{0x0000, 'U', {}, "MLT0"}}, "\r\nModelID = \"MLT0\""},
      {"NIKON CORPORATION",
       Layout::NikonTiff,
       "",  // with ExifVersion 0220
       {{0x0002, 'S', {0, 200}}, {0x0004, 'A', {}, "FINE   "}},
       "\r\nISO Speed = 0, 200\r\nQuality = \"FINE   \""},
      {"SONY",
       Layout::Plain,
       std::string("SONY DSC \0\0\0", 12),
       {{0xB026, 'L', {1}}, {0xB041, 'S', {7}}, {0x9050, 'U', {}, "\x01\x7F\x33\x90\x11"}},
       "\r\nImageStabilization = On\r\nExposureMode = Aperture-priority AE"
       "\r\nTag9050 = (enciphered, not deciphered)"},
      {"SONY", Layout::Plain, "", {{0x0102, 'L', {2}}}, "\r\nQuality = Fine"},  // no header
      {"Panasonic",
       Layout::Plain,
       std::string("Panasonic\0\0\0", 12),
       {{0x0001, 'S', {2}}, {0x001A, 'S', {2}}, {0x0051, 'A', {}, "LUMIX G VARIO"}},
       "\r\nImageQuality = High\r\nImageStabilization = On, Optical\r\nLensType = \"LUMIX G VARIO\""},
      {"PENTAX Corporation",  // no byte order of its own: the EXIF data's
       Layout::Plain,
       std::string("AOC\0  ", 6),
       {{0x0008, 'S', {2}}, {0x0229, 'A', {}, "1234567"}},
       "\r\nQuality = Best\r\nSerialNumber = \"1234567\""},
  };
  for (Order order : kOrders) {
    for (const NoteCase& c : cases) {
      const std::string note = BuildNote(c.layout, order, c.prefix, c.values);
      const auto reader = ReadJpegExif(ExifWithNote(order, {c.make, "Model", "0220"}, note));
      EXPECT_TRUE(Info(reader).MakerNoteRead) << c.make;
      EXPECT_EQ(Info(reader).MakerNoteTraceText, c.trace) << c.make;
      EXPECT_EQ(reader->ErrorText, "<none>") << c.make;
      ExpectWalkRestored(*reader, order, c.make);
    }
  }
  // Other makes are not read and leave no trace.
  for (const char* make : {"KODAK", "PENTAX Corporation", "NIKKON", "Cano", ""}) {
    const std::string note = Plain(Order::Intel, {{0x0006, 'A', {}, "IMG:JPEG file"}});
    const auto reader = ReadJpegExif(ExifWithNote(Order::Intel, {make}, note));
    EXPECT_FALSE(Info(reader).MakerNoteRead) << make;
    EXPECT_EQ(Info(reader).MakerNoteTraceText, "") << make;
    EXPECT_TRUE(MakerEntries(Info(reader)).empty()) << make;
  }
}

// Notes with a header of their own take their byte order (and, for Olympus and Nikon, the base
// of their offsets) from it, whatever the order of the EXIF data around them.
TEST(MakerNote, NotesWithTheirOwnHeaderReadInEitherByteOrder) {
  using exiftest::U16;
  using exiftest::U32;
  const std::vector<Value> values = {{0x0201, 'S', {3}}, {0x0209, 'A', {}, "E-1 camera"}};
  for (Order exifOrder : kOrders) {
    for (Order noteOrder : kOrders) {
      const std::string mark = noteOrder == Order::Motorola ? "MM" : "II";
      // Olympus: "OLYMPUS", a zero, the mark and a version; offsets from the note's start.
      const std::string olympus =
          notetest::MakerDirectory(noteOrder, std::string("OLYMPUS\0", 8) + mark + std::string("\x03\0", 2),
                                   notetest::Fields(noteOrder, values), 0);
      // Nikon: "Nikon", a zero, version 2.10, two zeros, a TIFF header; offsets from that header.
      const std::string nikon = BuildNote(Layout::NikonTiff, noteOrder, "",
                                          {{0x0002, 'S', {0, 400}}, {0x0004, 'A', {}, "FINE   "}});
      // Apple: "Apple iOS", a zero, a version, the mark; Pentax: "PENTAX ", a zero, the mark;
      // Pentax: "AOC", a zero, the mark. The first two count offsets from the note's start.
      const std::vector<Value> apple = {{0x000A, 'L', {3}}, {0x000B, 'A', {}, "burst-uuid"}};
      const std::vector<Value> pentax = {{0x000D, 'S', {16}}, {0x0229, 'A', {}, "4711 serial"}};
      const auto own = [&](const std::string& prefix, const std::vector<Value>& v, uint32_t origin) {
        return notetest::MakerDirectory(noteOrder, prefix, notetest::Fields(noteOrder, v), origin);
      };
      const std::pair<Camera, std::string> notes[] = {
          {{"OLYMPUS CORPORATION"}, olympus},
          {{"NIKON CORPORATION", "D70", "0210"}, nikon},
          {{"Apple"}, own(std::string("Apple iOS\0\0\x01", 12) + mark, apple, 0)},
          {{"RICOH IMAGING COMPANY, LTD."}, own(std::string("PENTAX \0", 8) + mark, pentax, 0)},
          {{"PENTAX"}, own(std::string("AOC\0", 4) + mark, pentax, kNoteOffset)}};
      const std::string pentaxTrace = "\r\nFocusMode = AF-S (Focus-priority)\r\nSerialNumber = \"4711 serial\"";
      const std::string traces[] = {"\r\nJpegQual = SHQ\r\nCamera ID = \"E-1 camera\"",
                                    "\r\nISO Speed = 0, 400\r\nQuality = \"FINE   \"",
                                    "\r\nHDRImageType = HDR Image\r\nBurstUUID = \"burst-uuid\"", pentaxTrace,
                                    pentaxTrace};
      for (size_t i = 0; i < std::size(notes); ++i) {
        const auto reader = ReadJpegExif(ExifWithNote(exifOrder, notes[i].first, notes[i].second));
        EXPECT_EQ(Info(reader).MakerNoteTraceText, traces[i]) << notes[i].first.make;
        ExpectWalkRestored(*reader, exifOrder, notes[i].first.make);
      }
    }
    // Casio's second layout: "QVC" and three zeros, then its directory with its own table;
    // offsets from the EXIF data's header, numbers in the EXIF data's order.
    const std::string casio = Plain(exifOrder,
                                    {{0x0008, 'S', {2}}, {0x0014, 'S', {64}}, {0x3006, 'A', {}, "San Jose"},
                                     {0x3002, 'S', {3}}, {0x001D, 'R', {63, 10}}},
                                    std::string("QVC\0\0\0", 6));
    const auto reader = ReadJpegExif(ExifWithNote(exifOrder, {"CASIO COMPUTER CO.,LTD"}, casio));
    EXPECT_EQ(Info(reader).MakerNoteTraceText,
              "\r\nQualityMode = Fine\r\nISO = 64\r\nHometownCity = \"San Jose\"\r\nQuality = Fine"
              "\r\nFocalLength = 63/10");
  }
}

// With the newer table the two entries are "ISO Speed" and "Quality", with the older one
// "FamilyID" and "ColorMode"; the long value shows that the start and shift fit. The note's
// own header decides, whatever the ExifVersion, the model or the kind of file say.
TEST(MakerNote, ChoosesTheNikonLayoutByTheNotesHeader) {
  struct Case {
    const char* what;
    Camera camera;
    bool tiffFile;
    bool newer;
  };
  const Case cases[] = {
      {"0220 with a note beginning Nikon", {"NIKON CORPORATION", "NIKON D70", "0220"}, false, true},
      {"0210 and a note beginning Nikon", {"NIKON", "E950", "0210"}, false, false},
      {"a prefix of 0210 is smaller", {"NIKON", "E950", "021"}, false, false},
      {"0210 and more is greater", {"NIKON", "E950", std::string("0210\0", 5)}, false, true},
      {"1 sorts after 0210", {"NIKON", "E950", "1"}, false, true},
      {"no ExifVersion, a D model from a TIFF file", {"NIKON", "NIKON D100"}, true, true},
      {"no ExifVersion, the D model from a JPEG file", {"NIKON", "NIKON D100"}, false, false},
      {"no ExifVersion, no blank: the first letter", {"NIKON", "D1X"}, true, true},
      {"no ExifVersion, nothing after the blank", {"NIKON", "NIKON "}, true, false},
      {"no ExifVersion, an E model from a TIFF file", {"NIKON", "NIKON E950"}, true, false},
      {"an ExifVersion not above 0210 and a D model", {"NIKON", "NIKON D1", "0200"}, true, false},
  };
  const std::vector<Value> values = {{0x0002, 'A', {}, "08.00"}, {0x0004, 'S', {1}}};
  for (Order order : kOrders) {
    for (const Case& c : cases) {
      // The newer note begins with "Nikon" too; the older one has no TIFF header of its own.
      const std::string note = c.newer ? BuildNote(Layout::NikonTiff, order, "", values)
                                       : Plain(order, values, std::string("Nikon\0\1\0", 8));
      const std::string tiff = ExifWithNote(order, c.camera, note);
      const auto reader = c.tiffFile ? ReadTiffFile(tiff) : ReadJpegExif(tiff);
      EXPECT_EQ(Info(reader).MakerNoteTraceText,
                c.newer ? "\r\nISO Speed = \"08.00\"\r\nQuality = 1"
                        : "\r\nFamilyID = \"08.00\"\r\nColorMode = Color")
          << c.what;
    }
  }
  // Without "Nikon" at its start an older note is read with the newer table at byte 0.
  const auto reader = ReadJpegExif(
      ExifWithNote(Order::Intel, {"NIKON", "E775", "0210"}, Plain(Order::Intel, values)));
  EXPECT_EQ(Info(reader).MakerNoteTraceText, "\r\nISO Speed = \"08.00\"\r\nQuality = 1");
}

TEST(MakerNote, SkipsSkipRecordsTracesUnknownTagsAndStoresTheRest) {
  struct Case {
    NoteCase note;
    Entries stored;
  };
  const Case cases[] = {
      {{"Canon",
        Layout::Plain,
        "",
        {{0x0000, 'S', {7}},
         {0x0002, 'S', {1, 2}},
         {0x0777, 'S', {5}},
         {0x0009, 'A', {}, "Owner"},
         {0x0008, 'L', {42}}},
        "\r\nUnknown 0x0777 = 5\r\nOwnerName = \"Owner\"\r\nImageNumber = 42"},
       {{"OwnerName", "\"Owner\""}, {"ImageNumber", "42"}}},
      {{"SEIKO",
        Layout::Plain,
        std::string("SEIKO\0\1\0", 8),
        {{0x0F00, 'S', {1}}, {0x0203, 'S', {1}}, {0x020B, 'S', {640}}},
        "\r\nWidth = 640"},
       {{"Width", "640"}}},
      {{"Canon", Layout::Plain, "", {}, ""}, {}},  // no entries
      {{"FUJIFILM", Layout::Fuji, "", {{0x0000, 'U', {}, "0130"}}, "\r\nVersion = \"0130\""},
       {}},  // the store refuses tag 0
  };
  for (const Case& c : cases) {
    const std::string note = BuildNote(c.note.layout, Order::Intel, c.note.prefix, c.note.values);
    const auto reader = ReadJpegExif(ExifWithNote(Order::Intel, {c.note.make}, note));
    EXPECT_TRUE(Info(reader).MakerNoteRead) << c.note.trace;
    EXPECT_EQ(Info(reader).MakerNoteTraceText, c.note.trace);
    EXPECT_EQ(MakerEntries(Info(reader)), c.stored) << c.note.trace;
  }
  // A stored entry is the record with Id 1, the field type and the value text and bytes.
  const std::string note = BuildNote(Layout::NikonTiff, Order::Motorola, "",
                                     {{0x0084, 'R', {18, 1, 70, 1, 35, 10, 45, 10}}});
  const auto reader = ReadJpegExif(ExifWithNote(Order::Motorola, {"NIKON", "D70", "0221"}, note));
  EXPECT_EQ(Info(reader).MakerNoteTraceText, "\r\nLens information = 18.0-70.0(mm)  F3.5-F4.5");
  const TTagEntry& lens = Stored(Info(reader), "LensInformation");
  EXPECT_EQ(std::tie(lens.Id, lens.Tag, lens.DataType, lens.RawPos, lens.RawSize),
            std::make_tuple(1, 0x0084, 5, 0, 0));
  EXPECT_EQ(lens.Description, "Lens information");
  EXPECT_EQ(lens.Text, "18/1, 70/1, 35/10, 45/10");
  EXPECT_EQ(lens.Raw, note.substr(note.size() - 32));
}

TEST(MakerNote, CanonArraysGiveFieldLinesAndComputedEntries) {
  // The arrays are read from their own numbers, all twelve; the custom functions from the text
  // of eight, so the ninth is never seen and the eighth, the last, gives no line.
  const std::vector<Value> values = {
      {0x0001, 'S', {16, 1, 0, 3, 16, 1, 0, 2, 0, 0, 1, 5}},
      {0x0004, 'S', {0, 0, 0, 0, 0, 0, 0, 1, 7}},
      {0x000F, 'S', {20, 514, 256, 1792, 1793, 1794, 4096, 769, 770}}};
  for (Order order : kOrders) {
    const auto reader = ReadJpegExif(ExifWithNote(order, {"Canon"}, Plain(order, values)));
    const TImageInfo& info = Info(reader);
    EXPECT_EQ(
        info.MakerNoteTraceText,
        "\r\nMacro mode = Macro\r\nSelf Timer = 0\r\nCompression Rate = Fine"
        "\r\nFlash Mode = External flash\r\nDrive Mode = Continuous\r\nFocus Mode = AI Focus"
        "\r\nImage Size = Medium\r\nEasy Shoot = Night\r\nExposureInfo1 = 16, 1, 0, 3, 16, 1, 0, 2"
        "\r\nAuto ISO = 100\r\nWhite balance = Sunny\r\nExposureInfo2 = 0, 0, 0, 0, 0, 0, 0, 1"
        "\r\nShutter AE Lock Button = AF/AF lock\r\nNoise Reduction =  Off"
        "\r\nAEB Sequence = 0 - + / Enabled\r\nAEB Sequence = 0 - + / Disabled"
        "\r\nAEB Sequence = - 0 + / Enabled"
        "\r\nCustomFunctions = 20, 514, 256, 1792, 1793, 1794, 4096, 769");
    const Entries stored = {{"Macro mode", "Macro"},
                            {"Self Timer", "0"},
                            {"Compression Rate", "Fine"},
                            {"Flash Mode", "External flash"},
                            {"Drive Mode", "Continuous"},
                            {"Focus Mode", "AI Focus"},
                            {"Image Size", "Medium"},
                            {"Easy Shoot", "Night"},
                            {"ExposureInfo1", "16, 1, 0, 3, 16, 1, 0, 2"},
                            {"Auto ISO", "100"},
                            {"White balance", "Sunny"},
                            {"ExposureInfo2", "0, 0, 0, 0, 0, 0, 0, 1"},
                            {"Shutter AE Lock Button", "AF/AF lock"},
                            {"Noise Reduction", " Off"},
                            {"AEB Sequence", "0 - + / Enabled"},
                            {"AEB Sequence", "0 - + / Disabled"},
                            {"AEB Sequence", "- 0 + / Enabled"},
                            {"CustomFunctions", "20, 514, 256, 1792, 1793, 1794, 4096, 769"}};
    EXPECT_EQ(MakerEntries(info), stored);
    const TTagEntry& computed = Stored(info, "Self Timer");
    EXPECT_EQ(std::tie(computed.Tag, computed.DataType, computed.Raw),
              std::make_tuple(0, 2, std::string("0")));
  }
}

// Without an ISO speed in the EXIF data the summary shows the one the maker note states, in
// either byte order, and a reader that reads only for the summary reads the note for that
// alone.
TEST(MakerNote, TheSummaryTakesTheIsoTheNoteStates) {
  std::vector<uint32_t> settings(17, 0);  // Canon camera settings; the ISO at index 16
  const auto withIso = [&](uint32_t code) {
    std::vector<uint32_t> numbers = settings;
    numbers[16] = code;
    return Value{0x0001, 'S', numbers};
  };
  const auto shotInfo = [](uint32_t adjustment, uint32_t base) {
    return Value{0x0004, 'S', {0, adjustment, base}};
  };
  struct Case {
    const char* what;
    std::string make;
    Layout layout;
    std::string prefix;
    std::vector<Value> values;
    std::string iso;
    std::optional<uint16_t> exifIso = std::nullopt;
  };
  const Case cases[] = {
      {"Nikon: the second number", "NIKON", Layout::NikonTiff, "", {{0x0002, 'S', {0, 400}}}, "400"},
      {"Nikon: 0 is no speed", "NIKON", Layout::Plain, "", {{0x0002, 'S', {0, 0}}}, ""},
      {"Casio: the number", "CASIO", Layout::Plain, "", {{0x0014, 'S', {64}}}, "64"},
      {"Casio QVC: an older model's code", "CASIO", Layout::Plain, std::string("QVC\0\0\0", 6),
       {{0x0014, 'S', {4}}}, "64"},
      {"Casio QVC: the newer tag wins", "CASIO", Layout::Plain, std::string("QVC\0\0\0", 6),
       {{0x0014, 'S', {4}}, {0x3014, 'S', {200}}}, "200"},
      {"Canon: a code of the settings", "Canon", Layout::Plain, "", {withIso(17), shotInfo(0, 192)}, "100"},
      {"Canon: the speed itself", "Canon", Layout::Plain, "", {withIso(0x4000 | 250)}, "250"},
      {"Canon: automatic, base x adjustment", "Canon", Layout::Plain, "", {withIso(15), shotInfo(0, 140)},
       "65"},
      {"Canon: half the base", "Canon", Layout::Plain, "", {withIso(0), shotInfo(0xFFE0, 160)}, "50"},
      {"Canon: no base", "Canon", Layout::Plain, "", {withIso(0), shotInfo(0, 0)}, ""},
      {"the EXIF data's own speed wins", "Canon", Layout::Plain, "", {withIso(17)}, "400", 400},
  };
  for (Order order : kOrders) {
    for (const Case& c : cases) {
      Camera camera(c.make);
      camera.iso = c.exifIso;
      const std::string note = BuildNote(c.layout, order, c.prefix, c.values);
      const std::string jpeg = exiftest::Jpeg({exiftest::ExifSegment(ExifWithNote(order, camera, note))});
      exif::Reader full;
      exif::Reader brief(exif::SummaryOnly());
      ASSERT_TRUE(full.ProcessBytes("a.jpg", jpeg) && brief.ProcessBytes("a.jpg", jpeg)) << c.what;
      EXPECT_EQ(full.GetSummary()->iso, c.iso) << c.what;
      EXPECT_EQ(brief.GetSummary()->iso, c.iso) << c.what;
      exif::detail::TimgData briefData(exif::detail::kBuildAll, exif::SummaryOnly());
      ASSERT_TRUE(briefData.ProcessBytes("a.jpg", jpeg)) << c.what;
      EXPECT_EQ(briefData.ExifInfo->MakerNoteRead, !c.exifIso) << c.what;
      EXPECT_TRUE(MakerEntries(*briefData.ExifInfo).empty()) << c.what << ": read for the ISO alone";
    }
  }
}

TEST(MakerNote, TracesInTheFourFormsAndFollowsTheSettings) {
  // The array lies after the table at note position 31; the text inline at 23.
  const std::string tiff = ExifWithNote(
      Order::Motorola, {"Canon"},
      Plain(Order::Motorola, {{0x0004, 'S', {0, 0, 0, 0, 0, 0, 0, 1}}, {0x0009, 'A', {}, "Tom"}}));
  const std::string array = "\r\nExposureInfo2 = 0, 0, 0, 0, 0, 0, 0, 1";
  struct Case {
    int32_t level;
    bool decoders;
    std::string trace;
  };
  const Case cases[] = {
      {0, true, "\r\nAuto ISO = 100\r\nWhite balance = Sunny" + array + "\r\nOwnerName = \"Tom\""},
      {1, true,
       "\r\ntag[$0004]: ExposureInfo2 =  [size: 16] [raw: 00 00 00 00 00 00 00 00 00 00 00 00 "
       "00 00 00 01 ] [start: 31]\r\nAuto ISO = 100\r\nWhite balance = Sunny"
       "\r\ntag[$0009]: OwnerName = \"Tom\" [size: 4] [raw: 54 6F 6D 00 ] [start: 23]"},
      {0, false, array + "\r\nOwnerName = \"Tom\""},
  };
  for (const Case& c : cases) {
    exif::ReaderOptions options = exiftest::Detailed(c.level);
    options.useTagDecoders = c.decoders;
    const auto reader = ReadJpegExif(tiff, exif::detail::kBuildAll, options);
    EXPECT_EQ(Info(reader).MakerNoteTraceText, c.trace) << c.level << c.decoders;
  }
  // Build mode 2 does nothing for the entries; mode 4 builds no Make text, so no maker.
  const auto textOnly = ReadJpegExif(tiff, exif::detail::kBuildTextOnly);
  EXPECT_TRUE(Info(textOnly).MakerNoteRead);
  EXPECT_EQ(Info(textOnly).MakerNoteTraceText, "");
  const auto storeOnly = ReadJpegExif(tiff, exif::detail::kBuildStoreOnly);
  EXPECT_FALSE(Info(storeOnly).MakerNoteRead);
}

// A note moved inside the EXIF data (a photo re-saved by software that did not correct the
// note's offsets) is re-based so that its values lie after its table again; a note whose
// values fit no base shows none of them and says why. Values may run on past a note the
// camera counted short, and come from the bytes after it.
TEST(MakerNote, MovedNotesAreReBasedAndInconsistentOnesWithheld) {
  const std::vector<Value> values = {{0x0006, 'A', {}, "IMG:JPEG file"}, {0x0007, 'A', {}, "Firmware 1.0"},
                                     {0x0009, 'A', {}, "Tom Rowan"}};
  const std::string expected =
      "\r\nImageType = \"IMG:JPEG file\"\r\nFirmwareVersion = \"Firmware 1.0\"\r\nOwnerName = \"Tom Rowan\"";
  // The note's values begin right after its table of 3 entries and its link: note byte 42.
  const auto moved = [&](Order order, int32_t by) {
    std::string note = Plain(order, values);
    exiftest::TiffBuilder t(order);
    for (uint32_t entry = 0; entry < 3; ++entry) {  // all three lie away from their entries
      const size_t field = 2 + 12 * entry + 8;
      const uint32_t offset = static_cast<uint32_t>(exif::detail::RawToInteger(
          note.substr(field, 4), order == Order::Motorola));
      note.replace(field, 4, exiftest::U32(order, static_cast<uint32_t>(static_cast<int32_t>(offset) + by)));
    }
    return note;
  };
  struct Case {
    const char* what;
    int32_t by;  // how far the offsets point from where the values are
    std::string trace;
  };
  const Case cases[] = {
      {"in place", 0, expected},
      {"moved back", -300, expected},
      {"moved on", 4000, expected},
      {"moved a little", 6, expected},
      {"moved a little back", -6, expected},
  };
  for (Order order : kOrders) {
    for (bool tiffFile : {false, true}) {
      for (const Case& c : cases) {
        const std::string tiff = ExifWithNote(order, {"Canon"}, moved(order, c.by));
        const auto reader = tiffFile ? ReadTiffFile(tiff) : ReadJpegExif(tiff);
        EXPECT_EQ(Info(reader).MakerNoteTraceText, c.trace) << c.what << (tiffFile ? " (TIFF)" : "");
        EXPECT_EQ(MakerEntries(Info(reader)).size(), 3u) << c.what;
      }
    }
    // Two values whose offsets disagree: no base places both, nothing is shown.
    std::string note = Plain(order, values);
    note.replace(2 + 12 + 8, 4, exiftest::U32(order, 0x100000));
    note.replace(2 + 8, 4, exiftest::U32(order, 0x200000));
    const auto reader = ReadJpegExif(ExifWithNote(order, {"Canon"}, note));
    EXPECT_EQ(Info(reader).MakerNoteTraceText, exif::detail::kWithheldLine);
    EXPECT_TRUE(MakerEntries(Info(reader)).empty());
    EXPECT_EQ(reader->ErrorText, "<none>");
  }
  // A note counted 4 bytes short: its last value runs on into the bytes after it.
  const std::string full = Plain(Order::Intel, {{0x0009, 'A', {}, "Sarah Clifton"}});
  const std::string tiff = ExifWithNote(Order::Intel, {"Canon"}, full);
  std::string shortNote = tiff;
  const size_t countAt = tiff.find(exiftest::U32(Order::Intel, static_cast<uint32_t>(full.size())));
  shortNote.replace(countAt, 4, exiftest::U32(Order::Intel, static_cast<uint32_t>(full.size() - 4)));
  const auto reader = ReadJpegExif(shortNote);
  EXPECT_EQ(Info(reader).MakerNoteTraceText, "\r\nOwnerName = \"Sarah Clifton\"");
}

struct HostileCase {
  const char* fault;
  NoteCase note;
  std::optional<uint16_t> declaredCount = std::nullopt;
  std::string error = {};   // ErrorText after the pass, "" when none
  bool prefixOnly = false;  // the note is the prefix and nothing else
};

TEST(MakerNoteGuards, HostileNotesStayInsideTheirBytesAndTheWalkGoesOn) {
  const std::string pastEnd =
      "Error Detected = Maker note directory runs past the end of the maker note";
  const HostileCase cases[] = {
      {"an entry count past the end of the note",
       {"Canon", Layout::Plain, "", {{0x0008, 'L', {7}}}, "\r\nImageNumber = 7"},
       1000,
       pastEnd},
      {"a count past the end in a Fujifilm note keeps the block's byte order",
       {"FUJIFILM", Layout::Fuji, "", {{0x1001, 'S', {3}}}, "\r\nSharpness = Normal"},
       2,
       pastEnd},
      {"a directory start past the end of the note",
       {"FUJIFILM", Layout::Plain, std::string("FUJIFILM\x0C\0\0\0", 12), {}, ""},
       {},
       "Error Detected = Maker note too short for its directory",
       true},
      {"offsets past the block",
       {"Canon",
        Layout::Plain,
        "",
        {{0x0006, 'O', {2, 16, 0x7FFFFFFF}}, {0x0007, 'O', {7, 16, 0x7FFFFE00}}},
        std::string(exif::detail::kWithheldLine)}},
      {"counts whose byte size overflows 32 bits",
       {"Canon",
        Layout::Plain,
        "",
        {{0x0006, 'O', {2, 0x7FFFFFFF, 0x7FFFFFF0}}, {0x0007, 'O', {12, 0x20000001, 0x7FFFFFF0}}},
        "\r\nImageType = \"\"\r\nFirmwareVersion = "}},
      {"a negative count",
       {"Canon", Layout::Plain, "", {{0x0008, 'O', {3, 0xFFFFFFFF, 1}}}, "\r\nImageNumber = "}},
      {"type codes above 13",
       {"Canon",
        Layout::Plain,
        "",
        {{0x0008, 'O', {14, 4, 0x61626364}}, {0x0009, 'O', {0xFFFF, 1000, 8}}},
        "\r\nImageNumber = 0\r\nOwnerName = 0"}},
  };
  for (Order order : kOrders) {
    for (const HostileCase& c : cases) {
      const NoteCase& n = c.note;
      const std::string note =
          c.prefixOnly ? n.prefix : BuildNote(n.layout, order, n.prefix, n.values, c.declaredCount);
      const auto reader = ScanOnly(ExifWithNote(order, {n.make}, note));
      EXPECT_EQ(Info(reader).MakerNoteTraceText, n.trace) << c.fault;
      EXPECT_EQ(reader->ErrorText, c.error) << c.fault;
      ExpectWalkRestored(*reader, order, c.fault);
    }
  }
  // An offset that wraps negative points before the note, where no value may lie.
  const auto reader = ReadJpegExif(ExifWithNote(
      Order::Intel, {"Canon"}, Plain(Order::Intel, {{0x0007, 'O', {7, 16, 0xFFFFFFF0}}})));
  EXPECT_EQ(Info(reader).MakerNoteTraceText, exif::detail::kWithheldLine);
}

TEST(MakerNoteGuards, AnErrorEndsTheDirectoryAndKeepsWhatWasRead) {
  static const std::vector<TTagEntry> table = [] {
    std::vector<TTagEntry> rows(2);
    rows[0].Tag = 1;
    rows[0].Description = "Boom";
    rows[0].Decoder = [](const std::string&) -> std::string {
      throw std::runtime_error("bad value");
    };
    rows[1].Tag = 2;
    rows[1].Name = rows[1].Description = "Fine";
    return rows;
  }();
  TimgData owner;
  owner.DataBlock = exif::detail::ByteString("the EXIF block");
  TImageInfo info(&owner, exif::detail::kBuildAll);
  info.SetDataBlock(owner.DataBlock);
  info.MakerNoteData =
      exif::detail::ByteString(Plain(Order::Intel, {{2, 'S', {1}}, {1, 'S', {1}}, {2, 'S', {3}}}));
  exif::detail::ReadMakerDirectory(info, {table, 0, 1, false});
  EXPECT_EQ(info.MakerNoteTraceText, "\r\nFine = 1");
  EXPECT_EQ(owner.ErrorText, "Error Detected = bad value");
  EXPECT_EQ(MakerEntries(info), (Entries{{"Fine", "1"}}));
  EXPECT_EQ(info.DataBlock.View(), "the EXIF block");
}

// Sixty MakerNote tags at one note of 4000 entries spend the walk's limits instead of each
// reading the note in full.
TEST(MakerNoteGuards, ManyMakerNoteTagsShareTheWalksLimits) {
  constexpr uint32_t kFarNote = 1024;  // behind a first directory of 61 entries
  exiftest::TiffBuilder t(Order::Intel);
  const std::string note =
      notetest::MakerDirectory(Order::Intel, "", std::vector(4000, t.Long(0x0008, {7})), 0);
  std::vector ifd0(60, t.AtOffset(0x927C, 7, static_cast<uint32_t>(note.size()), kFarNote));
  ifd0.insert(ifd0.begin(), t.Ascii(0x010F, "Canon"));
  t.Ifd(ifd0);
  t.PadTo(kFarNote);
  t.Append(note);
  const auto reader = ReadJpegExif(t.Bytes());
  EXPECT_TRUE(Info(reader).MakerNoteRead);
  EXPECT_LE(Info(reader).TagCount, exif::detail::kMaxEntriesPerWalk);
}

// Canon notes: a footer (a byte-order mark and the offset the note was written at) places a
// moved note exactly, even one whose values do not follow its table; a note in the other byte
// order than the EXIF data is read in its own; one bogus offset, 0 or far outside, moves
// none of the others.
TEST(MakerNote, CanonNotesAreFoundByTheirFooterTheirOrderAndTheirOtherValues) {
  const std::vector<Value> values = {{0x0006, 'A', {}, "IMG:JPEG file"},
                                     {0x0007, 'A', {}, "Firmware 1.0"},
                                     {0x0009, 'A', {}, "Tom Rowan"}};
  const std::string expected =
      "\r\nImageType = \"IMG:JPEG file\"\r\nFirmwareVersion = \"Firmware 1.0\"\r\nOwnerName = "
      "\"Tom Rowan\"";
  constexpr uint32_t kGap = 8;  // between the table's link and the first value, and after the last
  for (Order exifOrder : kOrders) {
    for (Order noteOrder : kOrders) {
      for (const int32_t by : {0, -300, 4000}) {
        // Written at kNoteOffset + by: the offsets are `by` off where the note now lies.
        const uint32_t written = kNoteOffset + static_cast<uint32_t>(by);
        const std::string table = notetest::MakerDirectory(
            noteOrder, "", notetest::Fields(noteOrder, values), written + kGap);
        const size_t tableEnd = 2 + 12 * values.size() + 4;
        std::string note = table.substr(0, tableEnd) + std::string(kGap, '\0') +
                           table.substr(tableEnd) + std::string(kGap, '\0');
        note += noteOrder == Order::Intel ? std::string("II\x2A\0", 4) : std::string("MM\0\x2A", 4);
        note += exiftest::U32(noteOrder, written);
        const auto reader = ReadJpegExif(ExifWithNote(exifOrder, {"Canon"}, note));
        EXPECT_EQ(Info(reader).MakerNoteTraceText, expected) << "footer, moved by " << by;
      }
      // No footer, the other byte order.
      const auto swapped =
          ReadJpegExif(ExifWithNote(exifOrder, {"Canon"}, Plain(noteOrder, values)));
      EXPECT_EQ(Info(swapped).MakerNoteTraceText, expected)
          << "note order differs: " << (exifOrder != noteOrder);
    }
    // A moved note without a footer, its values followed by padding, with one bogus offset.
    for (const uint32_t bogus : {0u, 0x7FFFFF00u}) {
      std::vector<Value> withBogus = {{0x0008, 'O', {4, 2, bogus}}};
      withBogus.insert(withBogus.end(), values.begin(), values.end());
      std::string note = Plain(exifOrder, withBogus) + std::string(kGap, '\0');
      for (uint32_t entry = 1; entry <= values.size(); ++entry) {
        const size_t field = 2 + 12 * entry + 8;
        const auto offset = static_cast<uint32_t>(
            exif::detail::RawToInteger(note.substr(field, 4), exifOrder == Order::Motorola));
        note.replace(field, 4, exiftest::U32(exifOrder, offset - 300));
      }
      const auto reader = ReadJpegExif(ExifWithNote(exifOrder, {"Canon"}, note));
      EXPECT_TRUE(Info(reader).MakerNoteTraceText.ends_with(expected))
          << bogus << Info(reader).MakerNoteTraceText;
    }
  }
}

TEST(MakerNote, NikonPictureControlGivesItsSettings) {
  std::string control = "0100" + std::string("STANDARD") + std::string(12, ' ') +
                        std::string("VIVID") + std::string(15, '\0') + std::string(4, '\0');
  control += exiftest::ByteText({0, 0x80, 0x83, 0x00, 0xFF, 0x7E, 0x80, 0xFF, 0x81, 0xFF});
  const std::string expected =
      "\r\nPicture Control Version = 0100\r\nPicture Control Name = STANDARD\r\nPicture Control "
      "Base = VIVID"
      "\r\nPicture Control Adjust = Default Settings\r\nPicture Control Quick Adjust = "
      "Normal\r\nSharpness = +3"
      "\r\nContrast = Auto\r\nBrightness = n/a\r\nSaturation = -2\r\nHue Adjustment = Normal"
      "\r\nFilter Effect = n/a\r\nToning Effect = Sepia\r\nToning Saturation = n/a"
      "\r\nPicture Control Data = \"0100STANDARD            VIVID\""
      // A RATIONAL of 2^31 and more reads unsigned here too.
      "\r\nLens information = 16.0-70.0(mm)  F3.5-F4.5";
  for (Order order : kOrders) {
    const std::string note =
        BuildNote(Layout::NikonTiff, order, "",
                  {{0x0023, 'U', {}, control},
                   {0x0084, 'R', {0x80000000u, 0x8000000u, 70, 1, 35, 10, 45, 10}}});
    const auto reader =
        ReadJpegExif(ExifWithNote(order, {"NIKON CORPORATION", "D90", "0221"}, note));
    EXPECT_EQ(Info(reader).MakerNoteTraceText, expected);
    EXPECT_EQ(Info(reader).StoredTagText("Toning Effect"), "Sepia");
  }
}

// The newer Olympus notes keep quality, lens and focus in directories their entries point at,
// by an IFD-typed offset or as an UNDEFINED value holding the directory.
TEST(MakerNote, OlympusTypeTwoNotesFollowTheirSubDirectories) {
  constexpr uint32_t kMain = 12;  // after "OLYMPUS", a zero, the mark and a version
  constexpr uint32_t kAfterMain = kMain + 2 + 12 * 4 + 4;  // four entries and the link
  for (Order order : kOrders) {
    const std::string equipment = notetest::MakerDirectory(
        order, "",
        notetest::Fields(order,
                         {{0x0101, 'A', {}, "143008611"}, {0x0203, 'A', {}, "14-54mm F2.8-3.5"}}),
        kAfterMain);
    const auto settingsAt = static_cast<uint32_t>(kAfterMain + equipment.size());
    const std::string settings = notetest::MakerDirectory(
        order, "", notetest::Fields(order, {{0x0301, 'S', {0}}, {0x0603, 'S', {3}}}), settingsAt);
    const auto focusAt = static_cast<uint32_t>(settingsAt + settings.size());
    const std::string focus = notetest::MakerDirectory(
        order, "", notetest::Fields(order, {{0x0305, 'R', {705, 1, 0, 1}}}), focusAt);
    const std::vector<Value> main = {
        {0x0201, 'S', {3}},
        {0x2010, 'O', {13, 1, kAfterMain}},
        {0x2020, 'O', {7, static_cast<uint32_t>(settings.size()), settingsAt}},
        {0x2050, 'L', {focusAt}}};
    const std::string mark = order == Order::Motorola ? "MM" : "II";
    const std::string note =
        notetest::MakerDirectory(order,
                                 std::string("OLYMPUS\0", 8) + mark + std::string("\x03\0", 2),
                                 notetest::Fields(order, main), 0) +
        equipment + settings + focus;
    const auto reader = ReadJpegExif(ExifWithNote(order, {"OLYMPUS CORPORATION", "E-1"}, note));
    EXPECT_EQ(
        Info(reader).MakerNoteTraceText,
        "\r\nJpegQual = SHQ\r\nSerial Number = \"143008611\"\r\nLens Model = \"14-54mm F2.8-3.5\""
        "\r\nFocus Mode = Single AF\r\nImage Quality 2 = SHQ\r\nFocus Distance = 0.705 m");
  }
}

}  // namespace
