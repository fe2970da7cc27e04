#pragma once
// Reading photo files and writing results without ever leaving a half-written
// or destroyed file behind.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace imaging {

using Bytes = std::vector<std::uint8_t>;

// Reads a whole file; throws FileError with a readable reason.
Bytes ReadWholeFile(const std::string& path);

// Writes bytes to path without ever leaving a half-written or destroyed file:
// the bytes go to a temporary file in the target's folder, which replaces the
// target only after it was written and flushed completely. Throws FileError.
void WriteFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes);

// Removes the temporary files of writes still in progress. Safe to call from
// a signal handler, so that an interrupted program leaves nothing behind.
void RemovePendingTemporaryFiles();

}  // namespace imaging
