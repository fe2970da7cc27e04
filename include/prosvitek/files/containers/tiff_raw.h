#pragma once
// TIFF-based raw files (DNG, CR2, NEF, ARW, PEF, ORF...) keep several
// images: thumbnails, previews and the full-resolution one, in IFD0, the
// directories chained after it and their sub-image directories. The photo's
// size is the full image's, never a preview's.

#include "prosvitek/files/input_file.h"

#include <cstdint>
#include <optional>

namespace files {

struct ImageSize {
  std::uint64_t width = 0;
  std::uint64_t height = 0;
};

// The largest image marked full-resolution (NewSubfileType 0, or none), else
// the largest; nothing unless at least two directories give a size (a file
// of one image says no more than its directory does).
std::optional<ImageSize> FullImageSize(const InputFile& file);

}  // namespace files
