#pragma once
// Value decoders named by the tag dictionaries, the reads of a stored tag's value by name,
// and the 35 mm focal length derived after a walk.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include "tag_entry.h"

namespace exif::detail {

class TImageInfo;

// A value text that a decoder must read as an integer and cannot. Not caught by the decoders:
// it ends the walk of the directory whose entry it came from.
class ConversionError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The decoders take the value text the walk built and give the text to show.

// 829A ExposureTime, as "n/d sec": as a photographer reads it, "1/N sec" up to a quarter of a
// second (N the nearest integer to d/n, halves to even) and otherwise seconds with one decimal,
// a ".0" dropped ("0.8 sec", "2 sec"). A fraction 1/N (N above 1) stays as written; any other
// text (several values, a zero, a sign) is shown as it is.
std::string DecodeExposureTime(const std::string& text);
// 9101 ComponentsConfiguration: the codes 1..6 of its bytes as "Y", "Cb", "Cr", "R", "G",
// "B" ("YCbCr"); other codes as "?", and "-" when no byte names a channel.
std::string DecodeComponents(const ValueContext& value);
// 9201 ShutterSpeedValue: the APEX value as seconds, "%4.4f sec", then " (1/n)" up to 0.5 s.
std::string DecodeShutterSpeed(const std::string& text);
// 9209 Flash: the bits in words ("On, auto mode") of its first component; throws
// ConversionError when that is not an integer.
std::string DecodeFlash(const std::string& text);
// 9202 ApertureValue, 9205 MaxApertureValue: the APEX value as an f-number, "F%0.1f".
std::string DecodeApexAperture(const std::string& text);
// The f-number of an APEX aperture value as DecodeApexAperture shows it.
std::string ApexApertureText(long double apex);
// 9206 SubjectDistance: metres ("2.5 m"), "infinity" for the all-ones numerator.
std::string DecodeSubjectDistance(const ValueContext& value);
// 9286 UserComment and the GPS processing method and area: the text after the 8-byte
// character code, read by that code (ASCII, UNICODE as two-byte characters in the block's
// order unless a byte-order mark or the characters say otherwise, any other code as bytes
// up to the first zero), trimmed of blanks and control characters. A value too short for
// a code is read as it stands.
std::string DecodeCharacterCoded(const ValueContext& value);
std::string CharacterCodedText(std::string_view raw, bool bigEndian);
// 9C9B..9C9F XP Title..Subject: Windows' two-byte little-endian text as UTF-8.
std::string DecodeXpText(const ValueContext& value);
// A302 CFAPattern: the colour filter rows, "[Red,Green][Green,Blue]".
std::string DecodeCfaPattern(const ValueContext& value);
// A432, the lens's focal and aperture range: "15-85mm f/3.5-5.6"; an unknown (0/0) part as "?".
std::string DecodeLensRange(const ValueContext& value);

// GPS 02, 04, 14, 16: degrees, minutes and seconds with the reference letter of the entry
// before it, and decimal degrees, negative to the south and west:
// "37 Degrees 52 Minutes 15.94 Seconds N (37.871094°)".
std::string DecodeGpsCoordinate(const ValueContext& value);
// GPS 06 GPSAltitude: metres, "below sea level" when GPSAltitudeRef says so.
std::string DecodeGpsAltitude(const ValueContext& value);
// GPS 07 GPSTimeStamp: "hh:mm:ss", with hundredths of a second when there are any.
std::string DecodeGpsTimeStamp(const ValueContext& value);
// GPS 0D GPSSpeed: the speed with the unit GPSSpeedRef names (km/h when it names none).
std::string DecodeGpsSpeed(const ValueContext& value);
// GPS 0F, 11, 18: a direction in degrees with the north its reference names.
std::string DecodeGpsDirection(const ValueContext& value);
// GPS 1A GPSDestDistance: the distance with the unit GPSDestDistanceRef names.
std::string DecodeGpsDistance(const ValueContext& value);
// A length in metres ("10.75 m"), as GPS 1F GPSHPositioningError.
std::string DecodeMetres(const ValueContext& value);

// A copy of the first stored entry named `name` (ASCII case ignored), or an empty entry.
TTagEntry StoredTagEntry(const TImageInfo& info, std::string_view name);
// The first stored entry's value as a number in the block's byte order; 0 when there is none.
double StoredTagNumber(const TImageInfo& info, std::string_view name);
// StoredTagNumber rounded to the nearest integer, halves to even.
int32_t StoredTagInteger(const TImageInfo& info, std::string_view name);

// Adds "FocalLengthin35mmFilm" with a trace line, computed from the focal length, the image
// size and the focal-plane resolution, unless the camera stored its own value, a needed tag
// is missing, or the focal-plane resolution does not belong to the image size (the sensor
// it implies is no camera's: a resized photo keeps the original's resolution). The
// container runs it once after the walk of a file.
void DeriveFocalLength35(TImageInfo& info);

}  // namespace exif::detail
