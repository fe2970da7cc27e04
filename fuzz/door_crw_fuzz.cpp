// The crw door and the EXIF reader behind it, on a whole file's bytes.

#include "door_fuzz.h"
#include "files/containers/crw.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return fuzzdoor::Run(data, size, files::FindCrwExif);
}
