#include "FigureLayout.h"

#include "FigureStyle.h"
#include "render/PlotText.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

bool Drawable(double value, AxisScale scale)
{
    return std::isfinite(value) && (scale == AxisScale::Linear || value > 0);
}

struct Extent {
    double low = std::numeric_limits<double>::infinity();
    double high = -std::numeric_limits<double>::infinity();
    bool Empty() const { return !(low <= high); }
    void Add(double value)
    {
        low = std::min(low, value);
        high = std::max(high, value);
    }
    void Add(const Extent& other)
    {
        if (!other.Empty()) {
            Add(other.low);
            Add(other.high);
        }
    }
};

Extent XExtent(const PlotPanel& panel)
{
    Extent extent;
    for (const PlotSeries& series : panel.series)
        for (size_t i = 0; i < std::min(series.x.size(), series.y.size()); ++i)
            if (Drawable(series.x[i], panel.x.scale) && Drawable(series.y[i], panel.y.scale))
                extent.Add(series.x[i]);
    return extent;
}

// The y values, widened by the error bands, but by no more than half the values' own span: one
// huge standard error must not flatten every value into a line.
Extent YExtent(const PlotPanel& panel)
{
    Extent values, bands;
    for (const PlotSeries& series : panel.series)
        for (size_t i = 0; i < std::min(series.x.size(), series.y.size()); ++i) {
            if (!Drawable(series.x[i], panel.x.scale) || !Drawable(series.y[i], panel.y.scale))
                continue;
            values.Add(series.y[i]);
            if (i < series.error.size() && std::isfinite(series.error[i]))
                for (double bound : {series.y[i] - series.error[i], series.y[i] + series.error[i]})
                    if (Drawable(bound, panel.y.scale))
                        bands.Add(bound);
        }
    if (values.Empty() || bands.Empty())
        return values;
    const double reach = 0.5 * (values.high - values.low);
    if (reach > 0) {
        bands.low = std::max(bands.low, values.low - reach);
        bands.high = std::min(bands.high, values.high + reach);
        if (panel.y.scale == AxisScale::Log10 && bands.low <= 0)
            bands.low = values.low;
    }
    values.Add(bands);
    return values;
}

// The range an axis shows for data spanning `extent`: a little wider than the data, never empty.
void RangeOf(Extent extent, const PlotAxis& axis, bool includeZero, double& low, double& high)
{
    const bool log = axis.scale == AxisScale::Log10;
    if (includeZero && !log && !extent.Empty())
        extent.Add(0.0);
    if (extent.Empty()) {
        low = log ? 1 : 0;
        high = log ? 10 : 1;
    } else if (log) {
        double a = std::log10(extent.low), b = std::log10(extent.high);
        if (b - a < 1e-9) {
            a -= 0.5;
            b += 0.5;
        }
        const double pad = 0.04 * (b - a);
        low = std::pow(10.0, a - pad);
        high = std::pow(10.0, b + pad);
    } else {
        double a = extent.low, b = extent.high;
        if (b - a <= 1e-12 * std::max(std::fabs(a), std::fabs(b))) {
            const double half = a == 0 ? 1 : std::fabs(a) * 0.1;
            a -= half;
            b += half;
        }
        const double pad = 0.05 * (b - a);
        low = a - pad;
        high = b + pad;
    }
    const bool fixedValid = axis.low && axis.high && *axis.low < *axis.high &&
                            std::isfinite(*axis.low) && std::isfinite(*axis.high) &&
                            (!log || *axis.low > 0);
    if (fixedValid) {
        low = *axis.low;
        high = *axis.high;
    }
}

// Equal scale: the area shrinks to the data's aspect (not below a share of the room, where the
// shorter range grows instead), centred in the room; both ranges keep their centres.
void FitEqualScale(PanelLayout& panel)
{
    constexpr double MinimumShare = 0.25;
    const PixelRect room = panel.area;
    double xSpan = panel.x.high - panel.x.low, ySpan = panel.y.high - panel.y.low;
    const double unitsPerPixel = std::max(xSpan / room.Width(), ySpan / room.Height());
    const double width = std::round(std::max(xSpan / unitsPerPixel, MinimumShare * room.Width()));
    const double height = std::round(std::max(ySpan / unitsPerPixel, MinimumShare * room.Height()));
    auto recentre = [](AxisMap& axis, double span) {
        const double centre = 0.5 * (axis.low + axis.high);
        axis.low = centre - 0.5 * span;
        axis.high = centre + 0.5 * span;
    };
    recentre(panel.x, width * unitsPerPixel);
    recentre(panel.y, height * unitsPerPixel);
    panel.area.left = std::round(room.left + 0.5 * (room.Width() - width));
    panel.area.right = panel.area.left + width;
    panel.area.top = std::round(room.top + 0.5 * (room.Height() - height));
    panel.area.bottom = panel.area.top + height;
}

// A lone equal-scale panel gives back the room its data leaves unused, down to a minimum canvas.
void CropCanvas(FigureLayout& layout, PanelLayout& panel, const PixelRect& room)
{
    constexpr int MinimumWidth = 500, MinimumHeight = 320;
    const double cropX = std::max(0.0, std::min(room.Width() - panel.area.Width(), layout.width - double(MinimumWidth)));
    const double cropY = std::max(0.0, std::min(room.Height() - panel.area.Height(), layout.height - double(MinimumHeight)));
    const double shiftX = std::floor(0.5 * cropX), shiftY = std::floor(0.5 * cropY);
    panel.area = {panel.area.left - shiftX, panel.area.top - shiftY, panel.area.right - shiftX, panel.area.bottom - shiftY};
    layout.width -= static_cast<int>(2 * shiftX);
    layout.height -= static_cast<int>(2 * shiftY);
}

// Equal scales read best with one tick step on both axes: the finer of the two.
void ShareTickStep(PanelLayout& panel)
{
    if (panel.x.scale != AxisScale::Linear || panel.y.scale != AxisScale::Linear || panel.xTicks.size() < 2 ||
        panel.yTicks.size() < 2)
        return;
    const double step = std::min(panel.xTicks[1].value - panel.xTicks[0].value,
                                 panel.yTicks[1].value - panel.yTicks[0].value);
    panel.xTicks = AxisTicks(AxisScale::Linear, panel.x.low, panel.x.high, (panel.x.high - panel.x.low) / step);
    panel.yTicks = AxisTicks(AxisScale::Linear, panel.y.low, panel.y.high, (panel.y.high - panel.y.low) / step);
}

void MapAxes(PanelLayout& panel)
{
    panel.x.pixelLow = panel.area.left;
    panel.x.pixelHigh = panel.area.right;
    panel.y.pixelLow = panel.area.bottom;
    panel.y.pixelHigh = panel.area.top;
}

std::vector<LegendEntry> LegendEntries(const Figure& figure)
{
    std::vector<LegendEntry> entries;
    for (const PlotPanel& panel : figure.panels)
        for (const PlotSeries& series : panel.series) {
            if (series.label.empty())
                continue;
            const bool known = std::any_of(entries.begin(), entries.end(), [&](const LegendEntry& entry) {
                return entry.label == series.label && entry.style == series.style;
            });
            if (!known)
                entries.push_back({series.label, series.style, series.color});
        }
    return entries;
}

// How many of the panel's points fall inside `box`.
size_t PointsInside(const PlotPanel& panel, const PanelLayout& layout, const PixelRect& box)
{
    size_t count = 0;
    for (const PlotSeries& series : panel.series) {
        const size_t n = std::min(series.x.size(), series.y.size());
        const size_t stride = std::max<size_t>(1, n / 4000);
        for (size_t i = 0; i < n; i += stride) {
            const double x = layout.x.ToPixel(series.x[i]), y = layout.y.ToPixel(series.y[i]);
            if (x >= box.left - 4 && x <= box.right + 4 && y >= box.top - 4 && y <= box.bottom + 4)
                count += stride;
        }
    }
    return count;
}

} // namespace

double WidestTickLabel(const std::vector<AxisTick>& ticks)
{
    double widest = 0;
    for (const AxisTick& tick : ticks)
        widest = std::max(widest, EstimateTextWidth(tick.label, TickFontSize));
    return widest;
}

double AxisMap::ToPixel(double value) const
{
    if (!Drawable(value, scale))
        return std::numeric_limits<double>::quiet_NaN();
    const double t = scale == AxisScale::Log10
                         ? (std::log10(value) - std::log10(low)) / (std::log10(high) - std::log10(low))
                         : (value - low) / (high - low);
    return pixelLow + t * (pixelHigh - pixelLow);
}

double AxisMap::UnitsPerPixel() const
{
    return (high - low) / std::fabs(pixelHigh - pixelLow);
}

namespace {

// The layout with the legend inside the top panel or in a column right of the panels.
FigureLayout LayoutWithLegend(const Figure& figure, bool legendOutside)
{
    FigureLayout layout;
    layout.width = figure.width;
    layout.height = figure.height;
    const size_t count = figure.panels.size();
    layout.panels.resize(count);
    if (count == 0)
        return layout;

    Extent sharedX;
    if (figure.sharedX)
        for (const PlotPanel& panel : figure.panels)
            sharedX.Add(XExtent(panel));
    for (size_t i = 0; i < count; ++i) {
        const PlotPanel& panel = figure.panels[i];
        PanelLayout& out = layout.panels[i];
        out.x.scale = panel.x.scale;
        out.y.scale = panel.y.scale;
        RangeOf(figure.sharedX ? sharedX : XExtent(panel), panel.x, false, out.x.low, out.x.high);
        RangeOf(YExtent(panel), panel.y, panel.includeZeroY, out.y.low, out.y.high);
        out.xTickLabels = !figure.sharedX || i + 1 == count;
    }

    layout.legend = LegendEntries(figure);
    double legendWidth = 0;
    for (const LegendEntry& entry : layout.legend)
        legendWidth = std::max(legendWidth, EstimateTextWidth(entry.label, LegendFontSize));
    legendWidth += LegendSampleWidth + 3 * LegendPadding;

    // Rows: title, panels (with their x labels when not shared), the bottom x labels.
    const double xLabelsHeight = TickLength + 4 + TickFontSize + 12 + AxisTitleFontSize + 6;
    const double top = figure.title.empty() ? 16 : 20 + TitleFontSize + 14;
    const double gap = figure.sharedX ? 14 : xLabelsHeight + 14;
    const double panelHeight = std::max(
        40.0, std::floor((figure.height - top - xLabelsHeight - gap * (count - 1)) / count));

    // Columns: the y labels' room from provisional ticks, the areas, the legend outside or not.
    double yLabelWidth = 0;
    for (const PanelLayout& panel : layout.panels)
        yLabelWidth = std::max(yLabelWidth, WidestTickLabel(AxisTicks(panel.y.scale, panel.y.low, panel.y.high,
                                                                   panelHeight / YTickSpacing)));
    const double left = std::round(12 + AxisTitleFontSize + 10 + yLabelWidth + TickLength + 4);
    const double right = figure.width - std::round(legendOutside ? legendWidth + 24 : 24);

    for (size_t i = 0; i < count; ++i) {
        PanelLayout& panel = layout.panels[i];
        const double panelTop = std::round(top + i * (panelHeight + gap));
        panel.area = {left, panelTop, std::max(left + 40, right), panelTop + panelHeight};
        if (figure.panels[i].equalScale && panel.x.scale == AxisScale::Linear &&
            panel.y.scale == AxisScale::Linear) {
            const PixelRect room = panel.area;
            FitEqualScale(panel);
            if (count == 1)
                CropCanvas(layout, panel, room);
        }
        MapAxes(panel);
        const double xSpacing = panel.x.scale == AxisScale::Log10 ? XLogTickSpacing : XTickSpacing;
        panel.xTicks = AxisTicks(panel.x.scale, panel.x.low, panel.x.high, panel.area.Width() / xSpacing);
        panel.yTicks = AxisTicks(panel.y.scale, panel.y.low, panel.y.high, panel.area.Height() / YTickSpacing);
        if (figure.panels[i].equalScale)
            ShareTickStep(panel);
    }

    if (layout.legend.empty())
        return layout;
    const double legendHeight = layout.legend.size() * layout.legendLineHeight + 2 * LegendPadding;
    if (legendOutside) {
        const double boxLeft = layout.panels.front().area.right + 12;
        layout.legendBox = {boxLeft, layout.panels.front().area.top, boxLeft + legendWidth,
                            layout.panels.front().area.top + legendHeight};
        // A long legend beside a low (cropped) panel gets the canvas it needs.
        layout.height = std::max(layout.height, static_cast<int>(std::ceil(layout.legendBox.bottom + 12)));
        return layout;
    }
    // Inside the top panel, in the corner that hides the fewest points.
    const PixelRect area = layout.panels.front().area;
    const PixelRect corners[] = {
        {area.right - 8 - legendWidth, area.top + 8, area.right - 8, area.top + 8 + legendHeight},
        {area.left + 8, area.top + 8, area.left + 8 + legendWidth, area.top + 8 + legendHeight},
        {area.right - 8 - legendWidth, area.bottom - 8 - legendHeight, area.right - 8, area.bottom - 8},
        {area.left + 8, area.bottom - 8 - legendHeight, area.left + 8 + legendWidth, area.bottom - 8},
    };
    size_t fewest = SIZE_MAX;
    for (const PixelRect& corner : corners)
        if (const size_t hidden = PointsInside(figure.panels.front(), layout.panels.front(), corner);
            hidden < fewest) {
            fewest = hidden;
            layout.legendBox = corner;
        }
    return layout;
}

} // namespace

FigureLayout LayoutFigure(const Figure& figure)
{
    const size_t entries = LegendEntries(figure).size();
    if (entries > LegendInsideLimit)
        return LayoutWithLegend(figure, true);
    FigureLayout inside = LayoutWithLegend(figure, false);
    if (entries == 0 || figure.panels.empty() ||
        PointsInside(figure.panels.front(), inside.panels.front(), inside.legendBox) == 0)
        return inside;
    return LayoutWithLegend(figure, true);
}

std::vector<std::string> DescribeSkippedPoints(const Figure& figure)
{
    std::vector<std::string> lines;
    auto add = [&](std::string line) {
        if (std::find(lines.begin(), lines.end(), line) == lines.end())
            lines.push_back(std::move(line));
    };
    for (const PlotPanel& panel : figure.panels)
        for (const PlotSeries& series : panel.series) {
            size_t notFinite = 0, notPositiveX = 0, notPositiveY = 0;
            const size_t n = std::min(series.x.size(), series.y.size());
            for (size_t i = 0; i < n; ++i) {
                if (!std::isfinite(series.x[i]) || !std::isfinite(series.y[i]))
                    ++notFinite;
                else if (!Drawable(series.x[i], panel.x.scale))
                    ++notPositiveX;
                else if (!Drawable(series.y[i], panel.y.scale))
                    ++notPositiveY;
            }
            const std::string name = series.label.empty() ? "a series" : "\"" + series.label + "\"";
            const size_t unmatched = std::max(series.x.size(), series.y.size()) - n;
            if (notFinite)
                add(name + ": " + std::to_string(notFinite) + " point(s) left out of the " + PlainText(panel.y.title) +
                    " plot: not finite numbers");
            if (notPositiveX)
                add(name + ": " + std::to_string(notPositiveX) + " point(s) with " + PlainText(panel.x.title) +
                    " <= 0 left out of the log axis");
            if (notPositiveY)
                add(name + ": " + std::to_string(notPositiveY) + " point(s) with " + PlainText(panel.y.title) +
                    " <= 0 left out of the log axis");
            if (unmatched)
                add(name + ": " + std::to_string(unmatched) + " value(s) without a partner left out");
        }
    return lines;
}
