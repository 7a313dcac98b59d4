// Everything a graph picture is made of, computed from the data without drawing: the plot
// geometry, the scale, the grid lines with their labels and the pixel of every data point.
// The drawing code only paints what the plan lists. No window code.
#pragma once

#include "AxisLabels.h"
#include "ScaleLimits.h"

#include <cstdint>
#include <vector>

// The plot surface sits at (10, 20) in the frame and is 20 pixels narrower and 30 lower; the
// data area runs from x = 50 to pw - 10 and from y = 10 to ph - 30.
struct PlotGeometry {
    int32_t Pw;   // plot surface width
    int32_t Ph;   // plot surface height
    int32_t XPix; // X pixel span, pw - 60
    int32_t YPix; // Y pixel span, ph - 40
};

constexpr int32_t PlotLeft = 10;     // place of the plot surface in the frame
constexpr int32_t PlotTop = 20;
constexpr int32_t DataLeft = 50;     // smallest X value, and the Y axis
constexpr int32_t DataTop = 10;      // top of the scale
constexpr int32_t GridLeft = 47;     // horizontal lines and the X axis start here
constexpr int32_t MaxYDivisions = 1000;

PlotGeometry PlotGeometryFor(int32_t width, int32_t height);

struct GraphInput {
    const float* X;
    const float* Y;
    int32_t Count;
    int32_t YDivisions;
    float FixedMax;
    float FixedMin;
    bool XLogarithmic;
    bool YLogarithmic;
};

struct GridLine {
    int32_t Pixel;     // x of a vertical line, y of a horizontal one
    bool Line;         // false for the bottom Y line, which the X axis covers
    bool Labelled;
    char Label[AxisLabelSize];
};

struct PlotPoint {
    int32_t X;
    int32_t Y;
};

struct GraphPlan {
    bool Drawable;     // false: spans empty or out of range, the previous picture stays
    ScaleLimits Scale; // the drawn scale (after decade snapping on the logarithmic one)
    std::vector<GridLine> XLines;
    std::vector<GridLine> YLines;
    std::vector<PlotPoint> Points;
};

// Plans one drawing. Updates the held limits exactly as the drawing does, also when the result
// is not drawable. Never reads past Count values and never writes the caller's arrays.
GraphPlan PlanGraph(const GraphInput& input, PlotGeometry geometry, HeldLimits& held);

// Pixel column of an X value already taken to the axis (log10 on a logarithmic axis).
int32_t XPixel(double xv, double xMin, double xSpan, int32_t xPix);
