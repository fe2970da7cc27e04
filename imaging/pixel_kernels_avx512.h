#pragma once
// Vector versions of the row kernels, for processors with AVX-512
// F/BW/VL/VBMI and BMI2. Call them only when Available() says so: the rest
// of the program is compiled for the baseline processor.

#include "pixel_kernels.h"

#include <cstdint>

namespace imaging::avx512 {

bool Available();

void AnalyseRow(const std::uint8_t* pixels, int n, int x0, int y, RowAnalysis& acc);
void BrightenRow(const BrightenTable& table, const std::uint8_t* in, std::uint8_t* out, int n);
void BlockRanges(const std::int16_t* blocks, int count, const std::int16_t* weights, const float* quant, int dcQuant,
                 std::uint32_t* ranges);

}  // namespace imaging::avx512
