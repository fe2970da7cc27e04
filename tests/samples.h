#pragma once
// Where the shared sample photos lie, and a skip for when they are absent.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace testsupport {

inline std::filesystem::path SamplesDir() { return PROSVITEK_SAMPLES_DIR; }

inline std::filesystem::path Sample(const std::string& name) { return SamplesDir() / name; }

// The files under `dir` that are inputs, leaving out the reference outputs
// (.json, .txt, .md) that lie beside the samples; nothing when `dir` is absent.
inline std::vector<std::filesystem::path> InputFilesUnder(const std::filesystem::path& dir) {
  std::vector<std::filesystem::path> files;
  std::error_code error;
  for (const auto& e : std::filesystem::recursive_directory_iterator(dir, error)) {
    const std::filesystem::path ext = e.path().extension();
    if (e.is_regular_file() && ext != ".json" && ext != ".txt" && ext != ".md") files.push_back(e.path());
  }
  return files;
}

}  // namespace testsupport

// Skips the current test when the named sample file is not present.
#define REQUIRE_SAMPLE(path)                                              \
  do {                                                                    \
    if (!std::filesystem::exists(path))                                   \
      GTEST_SKIP() << "sample not available: " << (path).string();        \
  } while (0)
