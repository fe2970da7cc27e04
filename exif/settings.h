#pragma once
// Process-wide settings of the EXIF reader, shared by every container and parsed object.

#include <cstdint>

namespace exif {

// Value maps and tag decoders are applied while this is true.
extern bool UseTagDecoders;

// Above 0 the trace also carries directory lines and each entry's tag number, size and position.
extern int32_t TraceDetailLevel;

// Bytes read from a TIFF file after its 8-byte header; a negative value reads nothing.
extern int32_t TiffReadLimit;

}  // namespace exif
