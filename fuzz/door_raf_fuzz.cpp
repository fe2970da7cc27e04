// The raf door and the EXIF reader behind it, on a whole file's bytes.

#include "door_fuzz.h"
#include "files/containers/raf.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return fuzzdoor::Run(data, size, files::FindRafExif);
}
