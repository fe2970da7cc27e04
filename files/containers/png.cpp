#include "containers/png.h"

#include "containers/decompress.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace files {

namespace {

// Chunk headers read at most: a photo's PNG has a few hundred (its image data
// comes in many chunks); a file of millions of empty chunks is not walked.
constexpr int kMostChunks = 1 << 16;
// A raw profile holds the block as two digits a byte, with line breaks.
constexpr std::size_t kMostProfileText = 3 * kMostExifBytes;

bool IsKeyword(std::span<const std::uint8_t> data, std::size_t& after) {
  for (std::string_view keyword : {"Raw profile type exif", "Raw profile type APP1"}) {
    if (data.size() > keyword.size() && std::memcmp(data.data(), keyword.data(), keyword.size()) == 0 &&
        data[keyword.size()] == 0) {
      after = keyword.size() + 1;
      return true;
    }
  }
  return false;
}

int HexDigit(std::uint8_t c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The profile's text from a text chunk's data after its keyword: tEXt holds it
// as it is; zTXt a method byte and a zlib stream; iTXt a compression flag and
// method, a language tag and a translated keyword before it.
std::optional<Bytes> ProfileText(std::uint32_t type, std::span<const std::uint8_t> rest) {
  if (type == 0x74455874) return Bytes(rest.begin(), rest.end());  // tEXt
  if (type == 0x7A545874) {                                        // zTXt
    if (rest.empty() || rest[0] != 0) return std::nullopt;
    return Inflate(rest.subspan(1), kMostProfileText);
  }
  // iTXt
  if (rest.size() < 2) return std::nullopt;
  const bool compressed = rest[0] != 0;
  std::span<const std::uint8_t> text = rest.subspan(2);
  for (int field = 0; field < 2; ++field) {  // language tag, translated keyword
    const auto zero = std::find(text.begin(), text.end(), 0);
    if (zero == text.end()) return std::nullopt;
    text = text.subspan(static_cast<std::size_t>(zero - text.begin()) + 1);
  }
  if (!compressed) return Bytes(text.begin(), text.end());
  return Inflate(text, kMostProfileText);
}

}  // namespace

std::optional<Bytes> DecodeRawProfile(std::span<const std::uint8_t> text) {
  // A line break, the profile's name, a line break, the byte count after
  // blanks, a line break, then the digits.
  std::size_t at = 0;
  while (at < text.size() && text[at] == '\n') ++at;
  while (at < text.size() && text[at] != '\n') ++at;  // the name
  while (at < text.size() && (text[at] == '\n' || text[at] == ' ')) ++at;
  std::uint64_t count = 0;
  for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
    count = count * 10 + (text[at] - '0');
    if (count > kMostExifBytes) return std::nullopt;
  }
  Bytes bytes;
  bytes.reserve(static_cast<std::size_t>(count));
  int high = -1;
  for (; at < text.size() && bytes.size() < count; ++at) {
    const int digit = HexDigit(text[at]);
    if (digit < 0) continue;  // line breaks between the digits
    if (high < 0) {
      high = digit;
    } else {
      bytes.push_back(static_cast<std::uint8_t>(high << 4 | digit));
      high = -1;
    }
  }
  if (bytes.size() != count || count == 0) return std::nullopt;
  return bytes;
}

ExifLocation FindPngExif(const InputFile& file) {
  std::uint64_t at = 8;  // after the signature
  std::optional<FrameSize> frame;
  const auto found = [&frame](ExifLocation location) {
    location.frame = frame;
    return location;
  };
  for (int chunks = 0; at < file.size(); ++chunks) {
    if (chunks == kMostChunks) return ExifLocation::NotRead("too many chunks");
    std::uint8_t header[8];
    if (file.ReadAt(at, header, 8) != 8) return ExifLocation::Damaged("chunk header cut short");
    const std::uint64_t length = BigEndianAt(header, 4);
    const auto type = static_cast<std::uint32_t>(BigEndianAt(header + 4, 4));
    const std::uint64_t data = at + 8;
    if (length > file.size() - data) return ExifLocation::Damaged("chunk runs past the end of the file");
    if (type == 0x49484452 && length >= 8) {  // IHDR
      std::uint8_t size[8];
      if (file.ReadAt(data, size, 8) == 8)
        frame = FrameSize{static_cast<std::uint32_t>(BigEndianAt(size, 4)),
                          static_cast<std::uint32_t>(BigEndianAt(size + 4, 4))};
    }
    if (type == 0x65584966) {  // eXIf
      std::uint8_t head[16];
      const std::size_t n = file.ReadAt(data, head, static_cast<std::size_t>(std::min<std::uint64_t>(sizeof head, length)));
      const auto start = TiffStartInPayload({head, n});
      if (!start) return ExifLocation::Damaged("no TIFF header in the eXIf chunk");
      return found(ExifLocation::InFile(data + *start, length - *start));
    }
    if ((type == 0x74455874 || type == 0x7A545874 || type == 0x69545874) && length <= kMostProfileText) {
      const Bytes chunk = file.Read(data, static_cast<std::size_t>(length));
      std::size_t after = 0;
      if (IsKeyword(chunk, after)) {
        const auto text = ProfileText(type, std::span<const std::uint8_t>(chunk).subspan(after));
        auto profile = text ? DecodeRawProfile(*text) : std::nullopt;
        if (!profile) return ExifLocation::Damaged("unreadable raw profile text");
        const auto start = TiffStartInPayload(*profile);
        if (!start) return ExifLocation::Damaged("no TIFF header in the raw profile");
        profile->erase(profile->begin(), profile->begin() + static_cast<std::ptrdiff_t>(*start));
        return found(ExifLocation::InMemory(std::move(*profile)));
      }
    }
    if (type == 0x49454E44) break;  // IEND
    at = data + length + 4;         // and the CRC
  }
  return ExifLocation::Missing();
}

}  // namespace files
