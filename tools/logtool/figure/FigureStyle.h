// Sizes and colours shared by the figure's layout and its drawing.
#pragma once

#include "Figure.h"

#include <cstddef>

constexpr double TitleFontSize = 17;
constexpr double AxisTitleFontSize = 14;
constexpr double TickFontSize = 12;
constexpr double LegendFontSize = 12;
constexpr double TickLength = 5;
constexpr double MinorTickLength = 3;
constexpr double XTickSpacing = 85;      // pixels per labelled tick, at least about
constexpr double XLogTickSpacing = 60;
constexpr double YTickSpacing = 45;
constexpr double LegendSampleWidth = 26;
constexpr double LegendPadding = 7;
constexpr size_t LegendInsideLimit = 8;  // more entries go in a column right of the panels
constexpr double MarkerRadius = 3.5;
constexpr double SeriesLineWidth = 1.8;
constexpr double BandOpacity = 0.25;

constexpr Color TextColor{0x20, 0x20, 0x20};
constexpr Color AxisColor{0x20, 0x20, 0x20};
constexpr Color GridColor{0xDD, 0xDD, 0xDD};
constexpr Color MinorGridColor{0xF0, 0xF0, 0xF0};
constexpr Color LegendBorderColor{0xB0, 0xB0, 0xB0};
