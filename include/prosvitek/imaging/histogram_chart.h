#pragma once
// The luminance histogram as a 255 x 128 bar chart.

#include "prosvitek/imaging/analysis.h"
#include "prosvitek/imaging/raster.h"

namespace imaging {

constexpr int kChartWidth = 255;
constexpr int kChartHeight = 128;
constexpr ColourValue kBarColour = 255;  // pure red

// Bar height d of bin i: Round(count x 256 / M) div 2, halves to even, with
// M the largest count (bin 255 included); 0 for an all-zero histogram.
int BarHeight(const Histogram& histogram, int bin);

// Repaints the whole chart: background, then each bin as a line from row
// 128 (just below the chart) up to 128 - d, the end point not drawn, so d - 1
// pixels show. Bin 255 would stand in column 255, outside the chart.
void DrawHistogram(Raster& chart, const Histogram& histogram, ColourValue background);

}  // namespace imaging
