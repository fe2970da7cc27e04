#pragma once
// How the benchmarks run on a machine shared with other people's work: each
// is repeated in short runs, and the fastest run (the one least disturbed) is
// reported beside the median.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

inline double Fastest(const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); }

#define SHARED_MACHINE_BENCHMARK(name, seconds, runs) \
  BENCHMARK(name)                                     \
      ->Unit(benchmark::kMillisecond)                 \
      ->MinTime(seconds)                              \
      ->Repetitions(runs)                             \
      ->ComputeStatistics("min", Fastest)             \
      ->ReportAggregatesOnly(true)                    \
      ->UseRealTime()

// Runs the benchmarks on the photo named first on the command line, or on
// the samples' 24-megapixel photo, given in `photo`.
inline int RunOnPhoto(int argc, char** argv, std::string& photo) {
  if (argc > 1 && argv[1][0] != '-') {
    photo = argv[1];
    --argc;
    ++argv;
  } else {
    photo = std::string(PROSVITEK_SAMPLES_DIR) + "/synthetic/photo_6000x4000_q90_baseline.jpg";
  }
  if (!std::filesystem::exists(photo)) {
    std::cerr << "photo not found: " << photo << "\n";
    return 1;
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  return 0;
}
