// Where a figure's parts go on its canvas: each panel's plot area, the data range of its axes and
// their ticks, and the legend's box. DrawFigure turns figure and layout into a Scene.
#pragma once

#include "AxisTicks.h"
#include "Figure.h"
#include "render/Scene.h"

#include <string>
#include <vector>

// One axis's data range mapped onto pixels.
struct AxisMap {
    AxisScale scale = AxisScale::Linear;
    double low = 0, high = 1;             // data range shown
    double pixelLow = 0, pixelHigh = 1;   // pixel coordinates of low and high
    // The pixel coordinate of `value`; NaN for a value the axis cannot show (NaN, inf, <= 0 on log).
    double ToPixel(double value) const;
    // Data units per pixel (linear axes).
    double UnitsPerPixel() const;
};

struct PanelLayout {
    PixelRect area;                       // the plot area, axes on its left and bottom edges
    AxisMap x, y;
    std::vector<AxisTick> xTicks, yTicks;
    bool xTickLabels = true;              // false above the bottom panel of a shared x axis
};

struct LegendEntry {
    std::string label;
    SeriesStyle style = SeriesStyle::Markers;
    Color color;
};

struct FigureLayout {
    int width = 0, height = 0;            // the canvas: the figure's size, or less for an
                                          // equal-scale panel whose data leaves room unused
    std::vector<PanelLayout> panels;
    std::vector<LegendEntry> legend;      // one per distinct label, in series order
    PixelRect legendBox;                  // empty when there is no legend
    double legendLineHeight = 16;
};

FigureLayout LayoutFigure(const Figure& figure);

// The estimated width of the widest tick label, in pixels.
double WidestTickLabel(const std::vector<AxisTick>& ticks);

// Lines of the form "3 points with y <= 0 left out of panel 1's log axis": every point that
// cannot be drawn (NaN, infinite, not positive on a log axis), for the user to be told.
std::vector<std::string> DescribeSkippedPoints(const Figure& figure);
