#include "exif/settings.h"

namespace exif {

bool UseTagDecoders = true;
int32_t TraceDetailLevel = 0;
int32_t TiffReadLimit = 256000;

}  // namespace exif
