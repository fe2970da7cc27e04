#pragma once
// Limits of the directory walk. Real files stay far below them; a hostile block that points
// directories at each other, or fans one directory out many times, stops at them quietly.

#include <cstdint>

namespace exif::detail {

// Directories nested deeper than this are not walked.
inline constexpr int kMaxDirectoryDepth = 32;

// Entries read in all directories of one block; the walk stops when they run out.
inline constexpr int64_t kMaxEntriesPerWalk = 20000;

// Value bytes copied in all directories of one block; the walk stops when they run out.
inline constexpr int64_t kMaxValueBytesPerWalk = int64_t{16} << 20;

}  // namespace exif::detail
