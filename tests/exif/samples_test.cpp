// The real photos beside the project: what the reader takes from each agrees with the
// reference metadata dump stored next to it (FILE.exiftool-n.json, numeric values).

#include "samples.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "exif/bytes.h"
#include "exif/container.h"
#include "exif/printf_format.h"

namespace {

using nlohmann::json;

// Files whose reading legitimately differs from the reference dump, and why.
struct Difference {
  const char* file;
  const char* why;
};

const Difference kDifferences[] = {
    {"nikon_d70s_jpeg_data_nef_extension_mm.nef",
     "JPEG data under a .nef name: the extension makes it a TIFF read, and JPEG bytes have no "
     "TIFF byte-order mark, so nothing is read"},
    {"fax_sample_ii.tif",
     "the first directory is taken to follow the 8-byte header; this file keeps it elsewhere"},
    {"notiff_arbitro_mm.tiff",
     "the first directory is taken to follow the 8-byte header; this file keeps it elsewhere"},
    {"epson_perfection_v800_scanner_mm.tiff",
     "the first directory is taken to follow the 8-byte header, where this scanner put its EXIF "
     "directory; the main directory with Make and Model is elsewhere and not read"},
};

const Difference* DifferenceFor(const std::string& file) {
  for (const Difference& d : kDifferences) {
    if (file == d.file) return &d;
  }
  return nullptr;
}

json LoadReference(const std::filesystem::path& photo) {
  std::ifstream in(photo.string() + ".exiftool-n.json");
  return json::parse(in).at(0);
}

std::optional<json> Value(const json& reference, std::initializer_list<const char*> keys) {
  for (const char* key : keys) {
    if (reference.contains(key)) return reference.at(key);
  }
  return std::nullopt;
}

std::string TextOf(const json& value) {
  return value.is_string() ? value.get<std::string>() : value.dump();
}

// The reader shows an ASCII value without its last byte only, so zero padding written by a
// camera shows as "." and blank padding stays; the dump trims both.
::testing::AssertionResult ShownAs(const std::string& shown, const std::optional<json>& value,
                                   size_t cut) {
  const std::string expected =
      value ? exif::CopyBytes(TextOf(*value), 1, static_cast<int64_t>(cut)) : "";
  const bool padded = shown.compare(0, expected.size(), expected) == 0 &&
                      shown.find_first_not_of(". ", expected.size()) == std::string::npos;
  if (shown.size() <= cut && padded) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "shown [" << shown << "], expected [" << expected << "]";
}

double FractionValue(const std::string& text) {
  const size_t slash = text.find('/');
  if (slash == std::string::npos) return std::stod(text);
  return std::stod(text.substr(0, slash)) / std::stod(text.substr(slash + 1));
}

class Samples : public ::testing::TestWithParam<const char*> {};

TEST_P(Samples, AgreeWithTheReferenceDump) {
  const std::filesystem::path photo = testsupport::Sample(GetParam());
  REQUIRE_SAMPLE(photo);
  const json reference = LoadReference(photo);
  exif::TimgData reader;
  const bool read = reader.ProcessFile(photo.string());

  if (const Difference* difference = DifferenceFor(GetParam())) {
    RecordProperty("difference", difference->why);
    // Whatever was read, nothing of the main directory was.
    if (reader.ExifInfo) {
      EXPECT_EQ(reader.ExifInfo->MakeText, "") << difference->why;
    }
    return;
  }
  const auto make = Value(reference, {"IFD0:Make"});
  const auto model = Value(reference, {"IFD0:Model"});
  const auto date = Value(reference, {"ExifIFD:DateTimeOriginal", "IFD0:ModifyDate"});
  const auto width = Value(reference, {"ExifIFD:ExifImageWidth", "IFD0:ImageWidth"});
  const auto height = Value(reference, {"ExifIFD:ExifImageHeight", "IFD0:ImageHeight"});
  const auto exposure = Value(reference, {"IFD0:ExposureTime", "ExifIFD:ExposureTime"});
  const auto fNumber = Value(reference, {"IFD0:FNumber", "ExifIFD:FNumber"});
  const auto iso = Value(reference, {"ExifIFD:ISO"});
  const bool hasExif = reference.value("File:ExifByteOrder", "") != "";

  if (!hasExif) {
    // A file without an EXIF block may still hold other metadata (a comment, IPTC, or an XMP
    // APP1 segment, which is taken as the EXIF segment and yields no tags).
    if (reader.ExifInfo) {
      EXPECT_EQ(reader.ExifInfo->TagCount, 0);
    }
    return;
  }
  ASSERT_TRUE(read) << reader.ErrorText;
  EXPECT_EQ(reader.ErrorText, "<none>");
  ASSERT_TRUE(reader.HasExif());
  const exif::TImageInfo& info = *reader.ExifInfo;

  EXPECT_TRUE(ShownAs(info.MakeText, make, 32));
  EXPECT_TRUE(ShownAs(info.ModelText, model, 40));
  EXPECT_TRUE(ShownAs(info.DateTimeText, date, 20));
  EXPECT_EQ(info.PixelWidth, width ? width->get<int>() : 0);
  EXPECT_EQ(info.PixelHeight, height ? height->get<int>() : 0);

  const std::string exposureText = info.StoredTagText("ExposureTime");
  if (exposure) {
    ASSERT_GT(exposureText.size(), 4u);
    ASSERT_EQ(exposureText.substr(exposureText.size() - 4), " sec");
    EXPECT_NEAR(FractionValue(exposureText.substr(0, exposureText.size() - 4)),
                exposure->get<double>(), exposure->get<double>() * 1e-9);
  } else {
    EXPECT_EQ(exposureText, "");
  }
  const std::string fNumberText = info.StoredTagText("FNumber");
  EXPECT_EQ(fNumberText, fNumber ? exif::FormatText("F%0.1f", {fNumber->get<double>()}) : "");
  // The reader joins components with ", ", the dump with " ".
  std::string isoText;
  for (char c : info.StoredTagText("ISOSpeedRatings")) {
    if (c != ',') isoText += c;
  }
  EXPECT_EQ(isoText, iso ? TextOf(*iso) : "");
}

struct Outcome {
  const char* file;
  bool read;
  bool hasExif;
  const char* errorText;
  const char* why;
};

TEST(SampleContainers, FilesWithoutAnExifBlockEndAsTheRulesSay) {
  const Outcome outcomes[] = {
      {"noexif_jfif_only.jpg", false, false, "Not an EXIF file", "no metadata segment"},
      {"olympus_d320l_jfif_no_exif.jpg", false, false, "Not an EXIF file", "no metadata segment"},
      {"noexif_photoshop_iptc_icc.jpg", true, false, "<none>", "an IPTC segment is metadata"},
      {"noexif_xmp_only.jpg", true, true, "<none>",
       "the first APP1 segment is taken as the EXIF segment even when it holds XMP"},
      {"fuzzed_bad_markers_cmyk.jpg", true, false, "<none>",
       "the damaged byte after the start of image is taken as a comment marker whose length "
       "runs to the end of the file"},
      {"nikon_d70s_jpeg_data_nef_extension_mm.nef", false, false, "Not an EXIF file",
       "read as TIFF by its extension, and JPEG bytes have no TIFF byte-order mark"},
      {"synthetic/empty.jpg", false, false, "Not an EXIF file", "no start of image"},
      {"synthetic/notajpeg.jpg", false, false, "Not an EXIF file", "PNG bytes"},
      {"synthetic/one_pixel_1x1.jpg", false, false, "Not an EXIF file", "JFIF only"},
  };
  for (const Outcome& o : outcomes) {
    const std::filesystem::path photo = testsupport::Sample(o.file);
    if (!std::filesystem::exists(photo)) continue;
    exif::TimgData reader;
    EXPECT_EQ(reader.ProcessFile(photo.string()), o.read) << o.file << ": " << o.why;
    EXPECT_EQ(reader.HasExif(), o.hasExif) << o.file << ": " << o.why;
    EXPECT_EQ(reader.ErrorText, o.errorText) << o.file << ": " << o.why;
  }
}

TEST(SampleContainers, TheTraceOfARealPhotoHasOneLinePerEntry) {
  const std::filesystem::path photo = testsupport::Sample("canon_eos_40d_small.jpg");
  REQUIRE_SAMPLE(photo);
  exif::TimgData reader;
  ASSERT_TRUE(reader.ProcessFile(photo.string()));
  const std::string& trace = reader.ExifInfo->TraceText;
  for (const char* line : {"\r\nMake = Canon\r\n", "\r\nExposure Time = 1/160 sec\r\n",
                           "\r\nFNumber = F7.1\r\n", "\r\nISOSpeed Ratings = 100\r\n",
                           "\r\nExposure Program = Manual\r\n", "\r\nFocal Length = 135.00 mm\r\n",
                           "\r\nColor Space = sRGB\r\n", "\r\nInteroperability Index = R98\r\n"}) {
    EXPECT_NE(trace.find(line), std::string::npos) << line;
  }
  EXPECT_EQ(trace.find("tag[$"), std::string::npos);
  EXPECT_EQ(trace.rfind("\r\n", 0), 0u);
}

const char* const kSampleFiles[] = {
    "apple_iphone4_gps_mm.jpg",
    "broken_exifoffset_wrong_type.jpg",
    "broken_ifd_offset_loop.jpg",
    "canon_eos_1300d_fullsize.jpg",
    "canon_eos_30d_progressive_gps_bad_usercomment.jpg",
    "canon_eos_40d_small.jpg",
    "canon_eos_600d_gps_xptags_mm.jpg",
    "canon_eos_digital_rebel_mm.tif",
    "canon_ixus_exiforg.jpg",
    "canon_powershot_s40.jpg",
    "casio_ex_z3_tiny_mm.jpg",
    "casio_ex_z750_mm.jpg",
    "casio_qv3000ex_mm.jpg",
    "cmyk_multiple_icc_segments_mm.jpg",
    "epson_perfection_v800_scanner_mm.tiff",
    "fax_sample_ii.tif",
    "fujifilm_finepix40i_mm.jpg",
    "fujifilm_finepix_e500_mm_small.jpg",
    "fujifilm_finepix_s1pro_gps.jpg",
    "fujifilm_finepix_s5500.jpg",
    "fujifilm_mx1700_exiforg.jpg",
    "fuzzed_bad_markers_cmyk.jpg",
    "grayscale_orientation1_tiny.jpg",
    "hasselblad_l1d_gps_xpcomment.jpg",
    "kodak_dc240_mm.jpg",
    "konica_minolta_dimage_z3_mm.jpg",
    "minolta_dimage_7i_tiny_mm.jpg",
    "minolta_dimage_x.jpg",
    "nikon_coolpix_p1_thumb_bad_previewifd.jpg",
    "nikon_coolpix_p6000_gps_dscn0010.jpg",
    "nikon_d1x_small.jpg",
    "nikon_d2x_gps_xptags_iptc_mm.jpg",
    "nikon_d70_fullsize_mm.jpg",
    "nikon_d70_usercomment_mm_tiny.jpg",
    "nikon_d70s_jpeg_data_nef_extension_mm.nef",
    "nikon_e775_coolpix_usercomment_ascii.jpg",
    "nikon_e950_coolpix_exiforg.jpg",
    "noexif_jfif_only.jpg",
    "noexif_photoshop_iptc_icc.jpg",
    "noexif_xmp_only.jpg",
    "notiff_arbitro_mm.tiff",
    "olympus_c8080wz_small.jpg",
    "olympus_c960_exiforg.jpg",
    "olympus_d320l_jfif_no_exif.jpg",
    "olympus_e10_fullsize_mm.jpg",
    "olympus_e1_tiny.jpg",
    "olympus_e_m10_mm.jpg",
    "orientation3_landscape.jpg",
    "panasonic_dmc_lc70_progressive.jpg",
    "pentax_k10d_xpauthor_small.jpg",
    "ricoh_rdc5300_mm.jpg",
    "samsung_sm_g965w_usercomment_mm.jpg",
    "sanyo_sr6_vpcg250_exiforg.jpg",
    "sanyo_vpc_mz3_tiny.jpg",
    "sigma_sd10_tiny.jpg",
    "sony_dsc_d700_mm.jpg",
    "sony_dsc_hx5v_gps.jpg",
    "synthetic/cmyk_1136x852_exif_ii.jpg",
    "synthetic/empty.jpg",
    "synthetic/grayscale_1504x1000_exif_mm.jpg",
    "synthetic/notajpeg.jpg",
    "synthetic/one_pixel_1x1.jpg",
    "synthetic/photo_4000x3000_q90_baseline.jpg",
    "synthetic/photo_6000x4000_q90_baseline.jpg",
    "synthetic/progressive_1120x840_exif_mm.jpg",
    "synthetic/truncated_60pct.jpg",
    "synthetic/wide_2000x2.jpg",
};

std::string TestName(const ::testing::TestParamInfo<const char*>& info) {
  std::string name = info.param;
  for (char& c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  }
  return name;
}

INSTANTIATE_TEST_SUITE_P(RealPhotos, Samples, ::testing::ValuesIn(kSampleFiles), TestName);

}  // namespace
