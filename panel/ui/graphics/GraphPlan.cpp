#include "GraphPlan.h"

#include <algorithm>
#include <cmath>

PlotGeometry PlotGeometryFor(int32_t width, int32_t height)
{
    PlotGeometry g;
    g.Pw = width - 20;
    g.Ph = height - 30;
    g.XPix = g.Pw - 60;
    g.YPix = g.Ph - 40;
    return g;
}

int32_t XPixel(double xv, double xMin, double xSpan, int32_t xPix)
{
    return static_cast<int32_t>(std::trunc(xPix * (xv - xMin) / xSpan)) + DataLeft;
}

namespace {

double AxisValue(float x, bool logarithmic)
{
    return logarithmic ? std::log10(static_cast<double>(x)) : static_cast<double>(x);
}

bool SpanInRange(double span)
{
    return span > 0 && span <= 1e9; // false for NaN as well
}

// A label needs more than 8 pixels to the last one; the difference is taken as unsigned so a
// line on the wrong side of the last label always gets one.
bool RoomForYLabel(int32_t lastLabel, int32_t py)
{
    return static_cast<uint32_t>(lastLabel - py) > 8;
}

void AddYLine(GraphPlan& plan, int32_t py, bool line, bool forced, double value, int32_t& lastLabel)
{
    GridLine g{};
    g.Pixel = py;
    g.Line = line;
    g.Labelled = forced || RoomForYLabel(lastLabel, py);
    if (g.Labelled) {
        FormatYLabel(value, g.Label);
        lastLabel = py;
    }
    plan.YLines.push_back(g);
}

void PlanLogLines(GraphPlan& plan, int32_t divisions, int32_t yPix)
{
    ScaleLimits s = plan.Scale;
    double lb = std::log10(s.Bottom);
    double ls = std::log10(s.Top) - lb;
    int32_t n = DecadeCount(s);
    int32_t lines = n * divisions - (n - 1);
    double value = s.Bottom;
    double step = s.Bottom;
    int32_t lastLabel = yPix + 24;
    for (int32_t i = 0; i < lines; ++i) {
        // With other than 10 divisions the multiples can run past the top; no line above it.
        if (value > s.Top * (1 + 1e-9))
            break;
        int32_t py = static_cast<int32_t>(std::trunc((1 - (std::log10(value) - lb) / ls) * yPix)) + DataTop;
        bool forced = false;
        if ((divisions - 1) * step < value) { // reached the next power of ten
            step *= 10;
            forced = true;
        }
        AddYLine(plan, py, i > 0, forced, value, lastLabel);
        value += step;
    }
}

void PlanLinearLines(GraphPlan& plan, int32_t divisions, int32_t yPix, double ySpan)
{
    double step = ySpan / divisions;
    int32_t ps = yPix / divisions;
    int32_t lastLabel = yPix + 24;
    for (int32_t i = 0; i <= divisions; ++i) {
        int32_t py = ps * i + DataTop;
        AddYLine(plan, py, i < divisions, false, plan.Scale.Top - i * step, lastLabel);
    }
}

int32_t YPixel(double y, const ScaleLimits& s, bool logarithmic, int32_t yPix)
{
    // NaN has no place on the scale; it goes to the bottom like any value below it.
    double yc = std::isnan(y) ? s.Bottom : std::clamp(y, s.Bottom, s.Top);
    double py;
    if (logarithmic) {
        double lb = std::log10(s.Bottom);
        double ls = std::log10(s.Top) - lb;
        py = (1 - (std::log10(yc) - lb) / ls) * yPix;
    } else {
        py = yPix * (s.Top - yc) / (s.Top - s.Bottom);
    }
    return std::clamp(static_cast<int32_t>(std::trunc(py)) + DataTop, DataTop, yPix + DataTop);
}

} // namespace

GraphPlan PlanGraph(const GraphInput& input, PlotGeometry geometry, HeldLimits& held)
{
    GraphPlan plan{};
    plan.Drawable = false;

    // More divisions than this cannot be told apart on any screen; the cap keeps the line count
    // of a logarithmic scale far from overflow.
    const int32_t divisions = std::min(input.YDivisions, MaxYDivisions);
    ScaleLimits scale = ChooseScale(InputLimits(input.Y, input.Count, input.FixedMax, input.FixedMin),
                                    input.YLogarithmic, held);
    plan.Scale = scale;
    if (!input.X || !input.Y || input.Count < 1 || divisions < 1 || geometry.XPix < 1 || geometry.YPix < 1)
        return plan;

    // Any X value without a place on the axis (NaN, infinite, or not above zero on a logarithmic
    // axis) makes the X span non-finite, and the drawing stops like for an empty span.
    double xMin = AxisValue(input.X[0], input.XLogarithmic);
    double xMax = xMin;
    bool xFinite = true;
    for (int32_t i = 0; i < input.Count; ++i) {
        double xv = AxisValue(input.X[i], input.XLogarithmic);
        xFinite = xFinite && std::isfinite(xv);
        xMin = std::min(xMin, xv);
        xMax = std::max(xMax, xv);
    }
    double xSpan = xFinite ? xMax - xMin : INFINITY;
    double ySpan = scale.Top - scale.Bottom;
    if (!SpanInRange(xSpan) || !SpanInRange(ySpan))
        return plan;
    plan.Drawable = true;

    uint32_t lastLabelX = 0;
    for (int32_t i = 0; i < input.Count; ++i) {
        GridLine g{};
        g.Pixel = XPixel(AxisValue(input.X[i], input.XLogarithmic), xMin, xSpan, geometry.XPix);
        g.Line = true;
        g.Labelled = static_cast<uint32_t>(g.Pixel) - lastLabelX > 13;
        if (g.Labelled) {
            FormatXLabel(input.X[i], g.Label);
            lastLabelX = static_cast<uint32_t>(g.Pixel);
        }
        plan.XLines.push_back(g);
    }

    if (input.YLogarithmic) {
        plan.Scale = SnapLogScale(scale);
        PlanLogLines(plan, divisions, geometry.YPix);
    } else {
        PlanLinearLines(plan, divisions, geometry.YPix, ySpan);
    }

    for (int32_t i = 0; i < input.Count; ++i)
        plan.Points.push_back({plan.XLines[i].Pixel, YPixel(input.Y[i], plan.Scale, input.YLogarithmic, geometry.YPix)});
    return plan;
}
