#include "exif/decoders.h"

#include "exif/image_info.h"

namespace exif {

// Pass-through until the decoding rules are written; the dictionaries already point here.

std::string DecodeComponents(const std::string& text) { return text; }

std::string DecodeShutterSpeed(const std::string& text) { return text; }

std::string DecodeFlash(const std::string& text) { return text; }

std::string DecodeUserComment(const std::string& text) { return text; }

std::string DecodeTwoByteText(const std::string& text) { return text; }

std::string DecodeGpsPosition(const std::string& text) { return text; }

std::string DecodeGpsTime(const std::string& text) { return text; }

void DeriveFocalLength35(TImageInfo& /*info*/) {}

}  // namespace exif
