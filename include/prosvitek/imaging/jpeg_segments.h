#pragma once
// Marker segments that travel from a source photo into a saved one.

#include <cstdint>
#include <vector>

namespace imaging {

// One marker segment (APPn or COM): the marker byte after 0xFF and the body,
// without the two length bytes. The encoder writes them right after the JFIF
// header, in order.
struct JpegSegment {
  int marker = 0;
  std::vector<std::uint8_t> body;
  bool operator==(const JpegSegment&) const = default;
};

}  // namespace imaging
