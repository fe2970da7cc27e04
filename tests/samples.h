#pragma once
// Where the shared sample photos lie, and a skip for when they are absent.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace testsupport {

inline std::filesystem::path SamplesDir() { return PROSVITEK_SAMPLES_DIR; }

inline std::filesystem::path Sample(const std::string& name) { return SamplesDir() / name; }

}  // namespace testsupport

// Skips the current test when the named sample file is not present.
#define REQUIRE_SAMPLE(path)                                              \
  do {                                                                    \
    if (!std::filesystem::exists(path))                                   \
      GTEST_SKIP() << "sample not available: " << (path).string();        \
  } while (0)
