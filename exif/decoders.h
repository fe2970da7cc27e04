#pragma once
// Value decoders named by the tag dictionaries, and the focal length derived after a walk.
//
// Every decoder below still passes its text through unchanged; decoders.cpp is the one place
// where their real rules go.

#include <string>

namespace exif {

class TImageInfo;

std::string DecodeComponents(const std::string& text);    // 9101 ComponentsConfiguration
std::string DecodeShutterSpeed(const std::string& text);  // 9201 ShutterSpeedValue
std::string DecodeFlash(const std::string& text);         // 9209 Flash
std::string DecodeUserComment(const std::string& text);   // 9286 UserComment
std::string DecodeTwoByteText(const std::string& text);   // 9C9B..9C9F Title..Subject
std::string DecodeGpsPosition(const std::string& text);   // GPS 02, 04, 14, 16 positions
std::string DecodeGpsTime(const std::string& text);       // GPS 07 GPSTimeStamp

// Adds the derived "FocalLengthin35mmFilm" entry to a walked object when it can; for now it
// adds nothing.
void DeriveFocalLength35(TImageInfo& info);

}  // namespace exif
