#include "exif/decoders.h"

#include <array>
#include <cmath>
#include <exception>

#include "exif/ascii.h"
#include "exif/bytes.h"
#include "exif/field_types.h"
#include "exif/image_info.h"
#include "exif/number_text.h"
#include "exif/printf_format.h"
#include "exif/tag_dictionary.h"
#include "exif/text_filters.h"

namespace exif::detail {
namespace {

// Each rest of a GPS text is cut to this many characters before it is split again.
constexpr size_t kGpsPartLength = 64;

// Diagonal of a 36 x 24 mm frame.
constexpr double kFullFrameDiagonal = 43.26661531;

[[noreturn]] void FailConversion(std::string_view text) {
  // The text comes from the file: only its start goes into the message.
  throw ConversionError("'" + CopyBytes(text, 1, 32) + "' is not a valid integer value");
}

// The platform's text-to-integer conversion, failing on anything but one integer.
int32_t TextToInteger(std::string_view text) {
  int32_t value = 0;
  if (!ParseInt32(text, value)) FailConversion(text);
  return value;
}

// Splits at the first ", ": `head` gets the text before it, and the rest, from the blank
// after the comma, is returned. Without ", " the head is empty and the rest is the text.
std::string_view SplitAtComma(std::string_view text, std::string_view& head) {
  const size_t comma = text.find(", ");
  if (comma == std::string_view::npos) {
    head = {};
    return text.substr(0, kGpsPartLength);
  }
  head = text.substr(0, comma);
  return text.substr(comma + 1, kGpsPartLength);
}

struct ThreeNumbers {
  long double first = 0;
  long double second = 0;
  long double third = 0;
};

// Three fractions joined by ", "; a missing or unreadable one is 0.
ThreeNumbers ReadThreeFractions(std::string_view text) {
  std::string_view first;
  std::string_view second;
  const std::string_view rest = SplitAtComma(text, first);
  const std::string_view third = SplitAtComma(rest, second);
  return {FractionTextToNumber(first), FractionTextToNumber(second), FractionTextToNumber(third)};
}

// Digits only, at most ten of them (a 32-bit number fits).
bool ParseUnsigned(std::string_view digits, uint64_t& value) {
  if (digits.empty() || digits.size() > 10) return false;
  value = 0;
  for (const char c : digits) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<uint64_t>(c - '0');
  }
  return true;
}

// numerator / denominator rounded to the nearest integer, halves to even; exact, so that the
// shown number never depends on how a binary fraction lands.
uint64_t RoundedQuotient(uint64_t numerator, uint64_t denominator) {
  const uint64_t quotient = numerator / denominator;
  const uint64_t twiceRest = 2 * (numerator % denominator);
  if (twiceRest > denominator || (twiceRest == denominator && quotient % 2 != 0)) return quotient + 1;
  return quotient;
}

}  // namespace

std::string DecodeExposureTime(const std::string& text) {
  constexpr std::string_view kUnit = " sec";
  const std::string_view all(text);
  if (!all.ends_with(kUnit)) return MakePrintable(text);
  const std::string_view fraction = all.substr(0, all.size() - kUnit.size());
  const size_t slash = fraction.find('/');
  uint64_t numerator = 0;
  uint64_t denominator = 0;
  if (slash == std::string_view::npos || !ParseUnsigned(fraction.substr(0, slash), numerator) ||
      !ParseUnsigned(fraction.substr(slash + 1), denominator) || numerator == 0 || denominator == 0 ||
      (numerator == 1 && denominator > 1)) {
    return MakePrintable(text);
  }
  std::string shown;
  // A quarter of a second is still read as 1/4 rather than "0.2".
  if (4 * numerator <= denominator) {
    shown.append("1/").append(std::to_string(RoundedQuotient(denominator, numerator)));
  } else {
    const uint64_t tenths = RoundedQuotient(10 * numerator, denominator);
    shown.append(std::to_string(tenths / 10));
    if (tenths % 10 != 0) shown.append(".").append(std::to_string(tenths % 10));
  }
  return shown.append(kUnit);
}

std::string DecodeComponents(const std::string& text) {
  static constexpr std::array<std::string_view, 7> kChannels{"", "Y", "Cb", "Cr", "R", "G", "B"};
  std::string channels;
  // The four bytes follow the opening quote; a zero byte ended the value early.
  for (size_t i = 1; i <= 4 && i < text.size(); ++i) {
    const auto code = static_cast<unsigned char>(text[i]);
    if (code < kChannels.size()) channels += kChannels[code];
  }
  return channels;
}

std::string DecodeShutterSpeed(const std::string& text) {
  const long double apex = FractionTextToNumber(text);
  // 2 to the power -apex; exp2 keeps whole values exact, so 1 gives exactly 0.5 s.
  const long double seconds = std::exp2(-apex);
  std::string shown = FormatText("%4.4f sec", {seconds});
  if (seconds <= 0.5L) {
    // A huge value underflows to 0 s; its fraction is shown at the 32-bit limit.
    const int32_t perSecond = seconds > 0 ? RoundToInt32(1 / seconds) : INT32_MAX;
    shown += FormatText(" (1/%d)", {perSecond});
  }
  return shown;
}

std::string DecodeFlash(const std::string& text) {
  // A value of several components is decoded by its first.
  const int32_t flash = TextToInteger(std::string_view(text).substr(0, text.find(',')));
  std::string shown = (flash & 1) != 0 ? "On" : "Off";
  switch (flash & 6) {
    case 2:
      shown += ", UNKNOWN";
      break;
    case 4:
      shown += ", no strobe return";
      break;
    case 6:
      shown += ", strobe return";
      break;
    default:
      break;
  }
  switch (flash & 24) {
    case 8:
      shown += ", forced";
      break;
    case 16:
      shown += ", surpressed";  // spelt so since the first release; users match on it
      break;
    case 24:
      shown += ", auto mode";
      break;
    default:
      break;
  }
  if ((flash & 32) != 0) shown += ", no flash function";
  if ((flash & 64) != 0) shown += ", red-eye reduction";
  return shown;
}

std::string DecodeApexAperture(const std::string& text) {
  return ApexApertureText(FractionTextToNumber(text));
}

std::string ApexApertureText(long double apex) {
  // Av = 2 log2(N), so N = 2^(Av / 2).
  return FormatText("F%0.1f", {std::exp2(apex / 2)});
}

std::string DecodeUserComment(const std::string& text) {
  // Drops the opening quote and seven bytes of the 8-byte character-code prefix.
  return CopyBytes(text, 9, static_cast<int64_t>(text.size()));
}

std::string DecodeTwoByteText(const std::string& text) {
  // The numbers are the bytes of little-endian two-byte characters: every odd field is a low
  // byte. The field after the last comma is never looked at.
  std::string shown;
  size_t start = 0;
  for (size_t field = 1;; ++field) {
    const size_t comma = text.find(',', start);
    if (comma == std::string::npos) break;
    if (field % 2 == 1) {
      const int32_t code = TextToInteger(std::string_view(text).substr(start, comma - start));
      const auto low = static_cast<char>(static_cast<uint32_t>(code) & 0xFF);
      if (low != '\0') shown += low;
    }
    start = comma + 1;
  }
  return shown;
}

std::string DecodeGpsPosition(const std::string& text) {
  auto [degrees, minutes, seconds] = ReadThreeFractions(text);
  if (seconds == 0) {
    // Minutes given as a decimal fraction: whole minutes and the rest as seconds.
    const long double whole = std::trunc(minutes);
    seconds = (minutes - whole) * 100 * 0.6L;
    minutes = whole;
  }
  return FormatText("%0.0f Degrees %0.0f Minutes %0.0f Seconds", {degrees, minutes, seconds});
}

std::string DecodeGpsTime(const std::string& text) {
  const auto [hours, minutes, seconds] = ReadThreeFractions(text);
  return FormatText("%0.0f:%0.0f:%0.0f", {hours, minutes, seconds});
}

TTagEntry StoredTagEntry(const TImageInfo& info, std::string_view name) {
  const int32_t index = info.FindStoredTag(name);
  return index < 0 ? TTagEntry{} : info.Tags[static_cast<size_t>(index)];
}

double StoredTagNumber(const TImageInfo& info, std::string_view name) {
  const int32_t index = info.FindStoredTag(name);
  if (index < 0) return 0;
  const TTagEntry& entry = info.Tags[static_cast<size_t>(index)];
  // Computed entries (Tag 0) hold text, not a value in the block's byte order.
  return entry.Tag != 0 ? info.RawToNumber(entry.Raw, entry.DataType) : 0;
}

int32_t StoredTagInteger(const TImageInfo& info, std::string_view name) {
  return RoundToInt32(StoredTagNumber(info, name));
}

void DeriveFocalLength35(TImageInfo& info) {
  if (info.FindStoredTag("FocalLengthin35mmFilm") >= 0) return;  // the camera's value stands

  int32_t unit = StoredTagInteger(info, "FocalPlaneResolutionUnit");
  if (unit < 1) unit = StoredTagInteger(info, "ResolutionUnit");
  const double mmPerUnit = unit == 2 ? 25.4 : unit == 3 ? 10.0 : 0.0;
  const double focalLength = StoredTagNumber(info, "FocalLength");
  if (mmPerUnit == 0 || focalLength == 0) return;

  // The resolutions are rounded to whole pixels per unit; the focal length is not.
  const int32_t xResolution = StoredTagInteger(info, "FocalPlaneXResolution");
  const int32_t yResolution = StoredTagInteger(info, "FocalPlaneYResolution");
  const double sensorWidth = xResolution > 0 ? info.PixelWidth * mmPerUnit / xResolution : 0;
  const double sensorHeight = yResolution > 0 ? info.PixelHeight * mmPerUnit / yResolution : 0;
  if (!(sensorWidth * sensorHeight > 0)) return;
  const double diagonal = std::sqrt(sensorWidth * sensorWidth + sensorHeight * sensorHeight);
  const double focalLength35 = focalLength * (kFullFrameDiagonal / diagonal);

  const int index = DictionaryIndexOf("FocalLengthIn35mmFilm");
  if (index < 0) return;
  TTagEntry entry = ExifTagTable()[static_cast<size_t>(index)];
  entry.Text = FormatText("%5.2f", {focalLength35});
  entry.Raw.clear();
  entry.FormatString = "%s mm";
  entry.DataType = kSRational;
  entry.Id = 0;
  entry.RawPos = 0;
  entry.RawSize = 0;
  try {
    info.AddTag(entry);
  } catch (const std::exception&) {
    // A value that cannot be stored is left out, as in the walk.
  }
  info.AppendTraceLine(entry.Tag, entry.Description, entry.Text, 0, 0);
}

}  // namespace exif::detail
