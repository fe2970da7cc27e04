#include "decoders.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <exception>
#include <optional>

#include "ascii.h"
#include "bytes.h"
#include "field_types.h"
#include "image_info.h"
#include "number_text.h"
#include "printf_format.h"
#include "tag_dictionary.h"
#include "text_filters.h"
#include "value_map.h"

namespace exif::detail {
namespace {

// Diagonal of a 36 x 24 mm frame.
constexpr double kFullFrameDiagonal = 43.26661531;

// Sensor diagonals of real cameras lie between these (a phone's 1/4-inch sensor, a medium
// format back); a focal-plane resolution that implies another belongs to a different image
// size than the one stated, as in a resized photo that kept the camera's resolution.
constexpr double kSmallestSensorDiagonal = 3.5;
constexpr double kLargestSensorDiagonal = 80;

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

// The index-th component of a value as a number (rationals unsigned or signed by type);
// 0 when the value has no such component.
long double ComponentNumber(const ValueContext& value, size_t index) {
  const auto size = static_cast<size_t>(FieldTypeSize(value.Type));
  if (size == 0 || value.Raw.size() / size <= index) return 0;
  return RawToNumber(value.Raw.substr(index * size, size), value.Type, value.BigEndian);
}

// The first character of an ASCII entry of the same directory, upper-cased; 0 without one.
char ReferenceLetter(const ValueContext& value, uint16_t tag) {
  if (value.Directory == nullptr) return 0;
  const std::optional<SiblingValue> sibling = value.Directory->Find(tag);
  if (!sibling || sibling->Raw.empty()) return 0;
  const std::string letter = UpperAscii(sibling->Raw.substr(0, 1));
  return letter[0];
}

// The first number of an integer entry of the same directory, if it has one.
std::optional<int32_t> ReferenceNumber(const ValueContext& value, uint16_t tag) {
  if (value.Directory == nullptr) return std::nullopt;
  const std::optional<SiblingValue> sibling = value.Directory->Find(tag);
  if (!sibling || !IsIntegerType(sibling->Type)) return std::nullopt;
  const auto size = static_cast<size_t>(FieldTypeSize(sibling->Type));
  if (sibling->Raw.size() < size) return std::nullopt;
  return RawToInteger(std::string_view(sibling->Raw).substr(0, size), value.BigEndian);
}

// Hours, minutes or degrees, minutes and seconds as one number of seconds' hundredths,
// rounded, so that 59.999 seconds carry into the next minute.
int64_t Hundredths(long double whole, long double minutes, long double seconds) {
  const long double total = (whole * 3600 + minutes * 60 + seconds) * 100;
  if (!(total < 9e17L)) return 0;  // beyond any clock or globe; also NaN
  return static_cast<int64_t>(std::nearbyint(total));
}

std::string TwoDigits(int64_t value) {
  std::string digits = std::to_string(value);
  if (digits.size() < 2) digits.insert(0, 1, '0');
  return digits;
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

std::string DecodeComponents(const ValueContext& value) {
  static constexpr std::array<std::string_view, 7> kChannels{"", "Y", "Cb", "Cr", "R", "G", "B"};
  std::string channels;
  for (const char byte : value.Raw.substr(0, 4)) {
    const auto code = static_cast<unsigned char>(byte);
    if (code == 0) continue;  // no channel in this place
    channels += code < kChannels.size() ? kChannels[code] : "?";
  }
  return channels.empty() ? "-" : channels;
}

std::string DecodeSubjectDistance(const ValueContext& value) {
  if (value.Type == kRational && value.Raw.size() >= 4 &&
      static_cast<uint32_t>(RawToInteger(value.Raw.substr(0, 4), value.BigEndian)) == UINT32_MAX) {
    return "infinity";
  }
  return DecimalText(ComponentNumber(value, 0), 2) + " m";
}

std::string CharacterCodedText(std::string_view raw, bool bigEndian) {
  constexpr size_t kCodeLength = 8;
  if (raw.size() <= kCodeLength) return std::string(TrimControls(AsciiText(raw)));
  const std::string_view code = raw.substr(0, kCodeLength);
  std::string_view text = raw.substr(kCodeLength);
  if (code != std::string_view("UNICODE\0", kCodeLength))
    return std::string(TrimControls(AsciiText(text)));
  // Two-byte characters: a byte-order mark decides; without one the order in which more
  // characters are Latin letters, the block's order when that is even.
  bool order = bigEndian;
  if (text.starts_with("\xFE\xFF") || text.starts_with("\xFF\xFE")) {
    order = text[0] == '\xFE';
    text.remove_prefix(2);
  } else {
    int bigLatin = 0;
    int littleLatin = 0;
    for (size_t at = 0; at + 1 < text.size(); at += 2) {
      bigLatin += text[at] == '\0' && text[at + 1] != '\0';
      littleLatin += text[at] != '\0' && text[at + 1] == '\0';
    }
    if (bigLatin != littleLatin) order = bigLatin > littleLatin;
  }
  return std::string(TrimControls(Utf16Text(text, order)));
}

std::string DecodeCharacterCoded(const ValueContext& value) {
  return CharacterCodedText(value.Raw, value.BigEndian);
}

std::string DecodeXpText(const ValueContext& value) {
  // Windows writes these little-endian whatever the block's order.
  return Utf16Text(value.Raw, false);
}

std::string DecodeCfaPattern(const ValueContext& value) {
  static constexpr std::array<std::string_view, 7> kColours{"Red",     "Green",  "Blue", "Cyan",
                                                            "Magenta", "Yellow", "White"};
  const std::string_view raw = value.Raw;
  if (raw.size() < 4) return UndefinedText(raw);
  // The repeat's columns and rows; some cameras write them in the other byte order.
  size_t columns = 0;
  size_t rows = 0;
  for (const bool order : {value.BigEndian, !value.BigEndian}) {
    columns = static_cast<uint16_t>(RawToInteger(raw.substr(0, 2), order));
    rows = static_cast<uint16_t>(RawToInteger(raw.substr(2, 2), order));
    if (columns * rows == raw.size() - 4) break;
  }
  if (columns == 0 || rows == 0 || columns * rows != raw.size() - 4) return UndefinedText(raw);
  std::string pattern;
  for (size_t row = 0; row < rows; ++row) {
    pattern += '[';
    for (size_t column = 0; column < columns; ++column) {
      if (column > 0) pattern += ',';
      const auto colour = static_cast<unsigned char>(raw[4 + row * columns + column]);
      pattern += colour < kColours.size() ? std::string(kColours[colour])
                                          : UnknownValueText(std::to_string(colour));
    }
    pattern += ']';
  }
  return pattern;
}

std::string DecodeLensRange(const ValueContext& value) {
  // An unknown part is written 0/0, which reads as 0.
  const auto part = [&](size_t index) {
    const long double number = ComponentNumber(value, index);
    return number > 0 ? DecimalText(number, 1) : std::string("?");
  };
  const auto range = [&](size_t first) {
    const std::string low = part(first);
    const std::string high = part(first + 1);
    return low == high || high == "?" ? low : low + "-" + high;
  };
  return range(0) + "mm f/" + range(2);
}

std::string DecodeGpsCoordinate(const ValueContext& value) {
  long double degrees =
      ComponentNumber(value, 0) + ComponentNumber(value, 1) / 60 + ComponentNumber(value, 2) / 3600;
  const bool negativeValue = degrees < 0;
  int64_t hundredths = Hundredths(std::fabs(degrees), 0, 0);
  const int64_t seconds = hundredths % 6000;
  const int64_t minutes = hundredths / 6000 % 60;
  const int64_t wholeDegrees = hundredths / 360000;
  std::string shown = negativeValue ? "-" : "";
  shown += std::to_string(wholeDegrees) + " Degrees " + std::to_string(minutes) + " Minutes " +
           DecimalText(static_cast<long double>(seconds) / 100, 2) + " Seconds";
  // The reference is the entry before the coordinate: 1 for 2, 3 for 4, 13 for 14, 15 for 16.
  const char reference = ReferenceLetter(value, static_cast<uint16_t>(value.Tag - 1));
  if (reference == 'N' || reference == 'S' || reference == 'E' || reference == 'W') {
    shown.append(1, ' ').append(1, reference);
    if (reference == 'S' || reference == 'W') degrees = -degrees;
  }
  return shown + " (" + FormatText("%.6f", {degrees}) + "\u00B0)";
}

std::string DecodeGpsAltitude(const ValueContext& value) {
  constexpr uint16_t kAltitudeRef = 0x05;
  std::string shown = DecimalText(ComponentNumber(value, 0), 2) + " m";
  if (ReferenceNumber(value, kAltitudeRef) == 1) shown += " below sea level";
  return shown;
}

std::string DecodeGpsTimeStamp(const ValueContext& value) {
  const int64_t hundredths =
      Hundredths(ComponentNumber(value, 0), ComponentNumber(value, 1), ComponentNumber(value, 2));
  std::string shown = TwoDigits(hundredths / 360000);
  shown.append(1, ':').append(TwoDigits(hundredths / 6000 % 60));
  shown.append(1, ':').append(TwoDigits(hundredths / 100 % 60));
  if (hundredths % 100 != 0) shown.append(1, '.').append(TwoDigits(hundredths % 100));
  return shown;
}

namespace {

// The value with the unit its reference entry names: "M" miles, "N" nautical
// miles, anything else kilometres.
std::string WithUnit(const ValueContext& value, uint16_t reference, std::string_view miles,
                     std::string_view nautical, std::string_view kilometres) {
  const char unit = ReferenceLetter(value, reference);
  const std::string_view shownUnit = unit == 'M' ? miles : unit == 'N' ? nautical : kilometres;
  return DecimalText(ComponentNumber(value, 0), 2) + " " + std::string(shownUnit);
}

}  // namespace

std::string DecodeGpsSpeed(const ValueContext& value) {
  constexpr uint16_t kSpeedRef = 0x0C;
  return WithUnit(value, kSpeedRef, "mph", "knots", "km/h");
}

std::string DecodeGpsDirection(const ValueContext& value) {
  // The reference is the entry before the direction: 0E for 0F, 10 for 11, 17 for 18.
  const char north = ReferenceLetter(value, static_cast<uint16_t>(value.Tag - 1));
  std::string shown = DecimalText(ComponentNumber(value, 0), 2) + "\u00B0";
  if (north == 'T') shown += " (True North)";
  if (north == 'M') shown += " (Magnetic North)";
  return shown;
}

std::string DecodeGpsDistance(const ValueContext& value) {
  constexpr uint16_t kDistanceRef = 0x19;
  return WithUnit(value, kDistanceRef, "mi", "nmi", "km");
}

std::string DecodeMetres(const ValueContext& value) {
  return DecimalText(ComponentNumber(value, 0), 2) + " m";
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
  // Inches, centimetres, millimetres, micrometres.
  const double mmPerUnit = unit == 2   ? 25.4
                           : unit == 3 ? 10.0
                           : unit == 4 ? 1.0
                           : unit == 5 ? 0.001
                                       : 0.0;
  const double focalLength = StoredTagNumber(info, "FocalLength");
  if (mmPerUnit == 0 || focalLength == 0) return;

  // The resolutions are rounded to whole pixels per unit; the focal length is not.
  const int32_t xResolution = StoredTagInteger(info, "FocalPlaneXResolution");
  const int32_t yResolution = StoredTagInteger(info, "FocalPlaneYResolution");
  const double sensorWidth = xResolution > 0 ? info.PixelWidth * mmPerUnit / xResolution : 0;
  const double sensorHeight = yResolution > 0 ? info.PixelHeight * mmPerUnit / yResolution : 0;
  if (!(sensorWidth * sensorHeight > 0)) return;
  const double diagonal = std::sqrt(sensorWidth * sensorWidth + sensorHeight * sensorHeight);
  if (diagonal < kSmallestSensorDiagonal || diagonal > kLargestSensorDiagonal) return;
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
