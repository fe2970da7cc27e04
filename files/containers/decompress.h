#pragma once
// The two compressions EXIF is kept in: zlib (PNG text chunks) and Brotli
// (JPEG XL "brob" boxes). Output is capped: a small hostile stream cannot
// expand into a large allocation.

#include "prosvitek/files/input_file.h"

#include <cstddef>
#include <optional>
#include <span>

namespace files {

// The inflated bytes; nothing when the stream is broken, cut short or would
// give more than `most` bytes.
std::optional<Bytes> Inflate(std::span<const std::uint8_t> stream, std::size_t most);
// The same for a Brotli stream.
std::optional<Bytes> BrotliDecode(std::span<const std::uint8_t> stream, std::size_t most);

}  // namespace files
