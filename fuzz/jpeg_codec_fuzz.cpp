// The JPEG object: load, decode, and encode what was decoded.

#include "imaging/errors.h"
#include "imaging/jpeg_codec.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  try {
    imaging::JpegImage jpeg;
    jpeg.LoadFromBytes(imaging::Bytes(data, data + size));
    // Decoding is linear in the declared size; keep each run short. The
    // program's own limit is tested separately.
    if (static_cast<std::uint64_t>(jpeg.Width()) * static_cast<std::uint64_t>(jpeg.Height()) > (1u << 18)) return 0;
    imaging::Raster raster = jpeg.ReleaseRaster();
    jpeg.TakeRaster(std::move(raster));
    jpeg.SetCompressionQuality(size > 0 ? 1 + data[size - 1] % 100 : 85);
    volatile std::size_t sink = jpeg.FileBytes().size();
    (void)sink;
  } catch (const imaging::EJPEG&) {
  } catch (const imaging::RasterTooLarge&) {
  }
  return 0;
}
