// The drawing model of the log tool's pictures, independent of the output format: a figure of
// panels stacked top to bottom, each with two axes and its series. LayoutFigure (FigureLayout.h)
// places it on the canvas; the SVG and PNG writers draw the result.
#pragma once

#include "render/Color.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

enum class AxisScale { Linear, Log10 };

struct PlotAxis {
    std::string title;                   // with its unit, "|Z| (Ω)"; "^{..}" raises text
    AxisScale scale = AxisScale::Linear;
    std::optional<double> low, high;     // fixed range; from the data when not given
};

enum class SeriesStyle { Markers, Line };

struct PlotSeries {
    std::string label;                   // legend entry; empty: not in the legend
    std::vector<double> x, y;
    std::vector<double> error;           // empty, or one standard error per point: a band y ± error
    SeriesStyle style = SeriesStyle::Markers;
    Color color;
};

struct PlotPanel {
    PlotAxis x, y;
    std::vector<PlotSeries> series;
    bool equalScale = false;             // one unit of x as long as one unit of y (Nyquist)
    bool includeZeroY = false;           // the y range reaches down (or up) to 0
};

struct Figure {
    std::string title;
    int width = 1000, height = 700;      // pixels (PNG) or user units (SVG)
    std::vector<PlotPanel> panels;       // top to bottom
    bool sharedX = false;                // panels share one x range; tick labels at the bottom only
};

// Colour number `index` of `count` series: distinct hues for up to 10, a dark-to-light sequence
// (blue, green, yellow) for more, so a range of spectra reads in order.
Color SeriesColor(size_t index, size_t count);
