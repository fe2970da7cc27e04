// Runs a fuzz target over files and folders named on the command line, so the
// seeds and the regression corpus are replayed by the ordinary test suite
// without a fuzzer. A path after --optional may be missing (the sample photos,
// a regression folder git keeps only once it holds an input); any other must
// exist. A run that replays nothing fails: it would test nothing.

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

void Replay(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

}  // namespace

int main(int argc, char** argv) {
  std::size_t count = 0;
  for (int i = 1; i < argc; ++i) {
    const bool optional = std::strcmp(argv[i], "--optional") == 0 && i + 1 < argc;
    const std::filesystem::path p = argv[optional ? ++i : i];
    std::error_code ec;
    if (std::filesystem::is_directory(p, ec)) {
      for (const auto& e : std::filesystem::recursive_directory_iterator(p))
        if (e.is_regular_file()) {
          Replay(e.path());
          ++count;
        }
    } else if (std::filesystem::is_regular_file(p, ec)) {
      Replay(p);
      ++count;
    } else if (!optional) {
      std::fprintf(stderr, "no such input: %s\n", p.c_str());
      return 1;
    }
  }
  std::printf("replayed %zu inputs\n", count);
  if (count == 0) {
    std::fprintf(stderr, "no input replayed\n");
    return 1;
  }
  return 0;
}
