#include "containers/decompress.h"

#include <brotli/decode.h>
#include <zlib.h>

#include <algorithm>
#include <memory>

namespace files {

namespace {

constexpr std::size_t kStep = 64 * 1024;

}  // namespace

std::optional<Bytes> Inflate(std::span<const std::uint8_t> stream, std::size_t most) {
  z_stream z{};
  if (inflateInit(&z) != Z_OK) return std::nullopt;
  const std::unique_ptr<z_stream, int (*)(z_stream*)> end(&z, inflateEnd);
  z.next_in = const_cast<Bytef*>(stream.data());  // zlib's API is not const; it does not write
  z.avail_in = static_cast<uInt>(std::min<std::size_t>(stream.size(), UINT32_MAX));
  Bytes out;
  for (;;) {
    const std::size_t done = out.size();
    const std::size_t room = std::min(kStep, most + 1 - done);  // one more byte tells "too long"
    out.resize(done + room);
    z.next_out = out.data() + done;
    z.avail_out = static_cast<uInt>(room);
    const int status = inflate(&z, Z_NO_FLUSH);
    out.resize(done + room - z.avail_out);
    if (out.size() > most) return std::nullopt;
    if (status == Z_STREAM_END) return out;
    if (status != Z_OK) return std::nullopt;  // broken, or cut short (Z_BUF_ERROR)
  }
}

std::optional<Bytes> BrotliDecode(std::span<const std::uint8_t> stream, std::size_t most) {
  BrotliDecoderState* state = BrotliDecoderCreateInstance(nullptr, nullptr, nullptr);
  if (state == nullptr) return std::nullopt;
  const std::unique_ptr<BrotliDecoderState, void (*)(BrotliDecoderState*)> end(state, BrotliDecoderDestroyInstance);
  const std::uint8_t* in = stream.data();
  std::size_t inLeft = stream.size();
  Bytes out;
  for (;;) {
    const std::size_t done = out.size();
    std::size_t room = std::min(kStep, most + 1 - done);
    out.resize(done + room);
    std::uint8_t* next = out.data() + done;
    const BrotliDecoderResult result = BrotliDecoderDecompressStream(state, &inLeft, &in, &room, &next, nullptr);
    out.resize(static_cast<std::size_t>(next - out.data()));
    if (out.size() > most) return std::nullopt;
    if (result == BROTLI_DECODER_RESULT_SUCCESS) return out;
    if (result != BROTLI_DECODER_RESULT_NEEDS_MORE_OUTPUT) return std::nullopt;  // broken, or cut short
  }
}

}  // namespace files
