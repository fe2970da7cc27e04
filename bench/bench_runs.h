#pragma once
// How the benchmarks run on a machine shared with other people's work: each
// is repeated in short runs, and the fastest run (the one least disturbed) is
// reported beside the median.

#include <benchmark/benchmark.h>

#include <algorithm>
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
