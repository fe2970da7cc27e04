#pragma once
// Value decoders named by the tag dictionaries, the reads of a stored tag's value by name,
// and the 35 mm focal length derived after a walk.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include "exif/tag_entry.h"

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
// 9101 ComponentsConfiguration: the quoted codes 1..6 as "Y", "Cb", "Cr", "R", "G", "B".
std::string DecodeComponents(const std::string& text);
// 9201 ShutterSpeedValue: the APEX value as seconds, "%4.4f sec", then " (1/n)" up to 0.5 s.
std::string DecodeShutterSpeed(const std::string& text);
// 9209 Flash: the bits in words ("On, auto mode") of its first component; throws
// ConversionError when that is not an integer.
std::string DecodeFlash(const std::string& text);
// 9202 ApertureValue, 9205 MaxApertureValue: the APEX value as an f-number, "F%0.1f".
std::string DecodeApexAperture(const std::string& text);
// The f-number of an APEX aperture value as DecodeApexAperture shows it.
std::string ApexApertureText(long double apex);
// 9286 UserComment: the text from its 9th byte on (the quote and seven bytes of the
// character-code prefix dropped); the walk then shows the comment it extracts itself.
std::string DecodeUserComment(const std::string& text);
// 9C9B..9C9F Title..Subject: the low bytes of the two-byte characters shown; throws
// ConversionError when a field is not an integer.
std::string DecodeTwoByteText(const std::string& text);
// GPS 02, 04, 14, 16: "d Degrees m Minutes s Seconds".
std::string DecodeGpsPosition(const std::string& text);
// GPS 07 GPSTimeStamp: "h:m:s" without leading zeros.
std::string DecodeGpsTime(const std::string& text);

// A copy of the first stored entry named `name` (ASCII case ignored), or an empty entry.
TTagEntry StoredTagEntry(const TImageInfo& info, std::string_view name);
// The first stored entry's value as a number in the block's byte order; 0 when there is none.
double StoredTagNumber(const TImageInfo& info, std::string_view name);
// StoredTagNumber rounded to the nearest integer, halves to even.
int32_t StoredTagInteger(const TImageInfo& info, std::string_view name);

// Adds "FocalLengthin35mmFilm" with a trace line, computed from the focal length, the image
// size and the focal-plane resolution, unless the camera stored its own value or a needed
// tag is missing. The container runs it once after the walk of a file.
void DeriveFocalLength35(TImageInfo& info);

}  // namespace exif::detail
