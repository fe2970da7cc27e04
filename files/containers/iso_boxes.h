#pragma once
// Boxes of ISO base media files (HEIC, AVIF, CR3) and of the JPEG XL
// container: one header at a time, every size checked against the box that
// holds it, the count of headers read capped for the whole file.

#include "prosvitek/files/input_file.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace files {

constexpr std::uint32_t FourCc(const char (&name)[5]) {
  return std::uint32_t{static_cast<std::uint8_t>(name[0])} << 24 | std::uint32_t{static_cast<std::uint8_t>(name[1])} << 16 |
         std::uint32_t{static_cast<std::uint8_t>(name[2])} << 8 | std::uint32_t{static_cast<std::uint8_t>(name[3])};
}

struct Box {
  std::uint32_t type = 0;
  std::uint64_t offset = 0;      // of its header in the file
  std::uint64_t headerSize = 0;  // 8; 16 with a 64-bit size; 16 more for a "uuid" box
  std::uint64_t size = 0;        // header included
  std::array<std::uint8_t, 16> uuid{};
  std::uint64_t DataOffset() const { return offset + headerSize; }
  std::uint64_t DataSize() const { return size - headerSize; }
};

// Box headers a file may make a reader read, so that a file of millions of
// empty boxes costs no more than a sound one. (The doors descend only into
// the few boxes they know, so nesting is bounded by the doors themselves.)
inline constexpr int kMostBoxes = 4096;

struct BoxBudget {
  int boxes = kMostBoxes;
};

// The boxes in [begin, end) one after another. A size of 0 runs to `end`; a
// size of 1 is followed by a 64-bit size.
class BoxReader {
 public:
  BoxReader(const InputFile& file, std::uint64_t begin, std::uint64_t end, BoxBudget& budget);
  // The children of `box`, after `skip` bytes of its own data (4 for a full box).
  BoxReader(const InputFile& file, const Box& box, BoxBudget& budget, std::uint64_t skip = 0);

  // The next box; nothing at the end or when a header is broken (Problem()
  // then says what broke).
  std::optional<Box> Next();
  // Empty after a clean end.
  const std::string& Problem() const { return problem_; }

 private:
  const InputFile& file_;
  std::uint64_t at_;
  std::uint64_t end_;
  BoxBudget& budget_;
  std::string problem_;
};

}  // namespace files
