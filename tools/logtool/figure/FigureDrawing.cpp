#include "FigureDrawing.h"

#include "FigureStyle.h"
#include "LineDecimation.h"
#include "render/PlotText.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

// The centre of the pixel column or row holding `coordinate`, so 1 px lines stay sharp.
double Crisp(double coordinate)
{
    return std::floor(coordinate) + 0.5;
}

void DrawGrid(Scene& scene, const PanelLayout& panel, int clip)
{
    for (bool major : {false, true}) {
        SceneStroke lines{{}, major ? GridColor : MinorGridColor, 1, clip, false};
        for (const AxisTick& tick : panel.xTicks)
            if (tick.label.empty() != major) {
                const double x = Crisp(panel.x.ToPixel(tick.value));
                lines.points.insert(lines.points.end(), {{x, panel.area.top}, {x, panel.area.bottom}, {NaN, NaN}});
            }
        for (const AxisTick& tick : panel.yTicks)
            if (tick.label.empty() != major) {
                const double y = Crisp(panel.y.ToPixel(tick.value));
                lines.points.insert(lines.points.end(), {{panel.area.left, y}, {panel.area.right, y}, {NaN, NaN}});
            }
        if (!lines.points.empty())
            scene.items.push_back(std::move(lines));
    }
}

std::vector<Point> SeriesPixels(const PlotSeries& series, const PanelLayout& panel)
{
    const size_t n = std::min(series.x.size(), series.y.size());
    std::vector<Point> points(n);
    for (size_t i = 0; i < n; ++i) {
        points[i] = {panel.x.ToPixel(series.x[i]), panel.y.ToPixel(series.y[i])};
        if (std::isnan(points[i].x) || std::isnan(points[i].y))
            points[i] = {NaN, NaN};
    }
    return points;
}

void DrawBand(Scene& scene, const PlotSeries& series, const PanelLayout& panel, int clip)
{
    const size_t n = std::min({series.x.size(), series.y.size(), series.error.size()});
    std::vector<Point> upper(n), lower(n);
    for (size_t i = 0; i < n; ++i) {
        const double x = panel.x.ToPixel(series.x[i]);
        const double error = std::isfinite(series.error[i]) ? std::fabs(series.error[i]) : NaN;
        upper[i] = {x, panel.y.ToPixel(series.y[i] + error)};
        lower[i] = {x, panel.y.ToPixel(series.y[i] - error)};
        if (panel.y.scale == AxisScale::Log10 && std::isnan(lower[i].y) && !std::isnan(upper[i].y))
            lower[i].y = panel.area.bottom + 1;   // the band reaches below a log axis's bottom
    }
    for (std::vector<Point>& polygon : BandPolygons(upper, lower))
        scene.items.push_back(SceneFill{std::move(polygon), series.color, BandOpacity, clip, {}, 0});
}

void DrawSeries(Scene& scene, const PlotPanel& panel, const PanelLayout& layout, int clip)
{
    for (const PlotSeries& series : panel.series)
        if (!series.error.empty())
            DrawBand(scene, series, layout, clip);
    for (SeriesStyle style : {SeriesStyle::Line, SeriesStyle::Markers})
        for (const PlotSeries& series : panel.series) {
            if (series.style != style)
                continue;
            std::vector<Point> points = SeriesPixels(series, layout);
            if (style == SeriesStyle::Line) {
                scene.items.push_back(SceneStroke{ReducePerColumn(points), series.color, SeriesLineWidth, clip, true});
                continue;
            }
            std::erase_if(points, [](const Point& p) { return std::isnan(p.x); });
            scene.items.push_back(SceneMarkers{std::move(points), MarkerRadius, series.color, clip, true});
        }
}

void DrawAxes(Scene& scene, const PlotPanel& panel, const PanelLayout& layout)
{
    const PixelRect& area = layout.area;
    const double left = Crisp(area.left), bottom = Crisp(area.bottom - 1);
    const double right = Crisp(area.right - 1), top = Crisp(area.top);
    scene.items.push_back(SceneStroke{{{left, top}, {right, top}, {right, bottom}, {left, bottom}, {left, top}},
                                      AxisColor, 1, NoClip, false});

    SceneStroke marks{{}, AxisColor, 1, NoClip, false};
    for (const AxisTick& tick : layout.xTicks) {
        const double x = Crisp(layout.x.ToPixel(tick.value));
        const double length = tick.label.empty() ? MinorTickLength : TickLength;
        marks.points.insert(marks.points.end(), {{x, bottom}, {x, bottom + length}, {NaN, NaN}});
        if (layout.xTickLabels && !tick.label.empty())
            scene.items.push_back(SceneText{tick.label, x, area.bottom + TickLength + 3 + TickFontSize, TickFontSize,
                                            TextAnchor::Middle, false, TextColor});
    }
    for (const AxisTick& tick : layout.yTicks) {
        const double y = Crisp(layout.y.ToPixel(tick.value));
        const double length = tick.label.empty() ? MinorTickLength : TickLength;
        marks.points.insert(marks.points.end(), {{left, y}, {left - length, y}, {NaN, NaN}});
        if (!tick.label.empty())
            scene.items.push_back(SceneText{tick.label, area.left - TickLength - 4, y + 0.36 * TickFontSize,
                                            TickFontSize, TextAnchor::End, false, TextColor});
    }
    if (!marks.points.empty())
        scene.items.push_back(std::move(marks));

    if (layout.xTickLabels && !panel.x.title.empty())
        scene.items.push_back(SceneText{panel.x.title, 0.5 * (area.left + area.right),
                                        area.bottom + TickLength + 3 + TickFontSize + 10 + AxisTitleFontSize,
                                        AxisTitleFontSize, TextAnchor::Middle, false, TextColor});
    if (!panel.y.title.empty())
        scene.items.push_back(SceneText{panel.y.title, area.left - TickLength - 4 - WidestTickLabel(layout.yTicks) - 10,
                                        0.5 * (area.top + area.bottom), AxisTitleFontSize, TextAnchor::Middle, true,
                                        TextColor});
}

void DrawLegend(Scene& scene, const FigureLayout& layout)
{
    if (layout.legend.empty())
        return;
    const PixelRect& box = layout.legendBox;
    scene.items.push_back(SceneFill{{{box.left, box.top}, {box.right, box.top}, {box.right, box.bottom}, {box.left, box.bottom}},
                                    {255, 255, 255}, 0.9, NoClip, LegendBorderColor, 1});
    for (size_t i = 0; i < layout.legend.size(); ++i) {
        const LegendEntry& entry = layout.legend[i];
        const double middle = box.top + LegendPadding + (i + 0.5) * layout.legendLineHeight;
        const double sampleLeft = box.left + LegendPadding;
        if (entry.style == SeriesStyle::Line)
            scene.items.push_back(SceneStroke{{{sampleLeft, middle}, {sampleLeft + LegendSampleWidth, middle}},
                                              entry.color, SeriesLineWidth, NoClip, false});
        else
            scene.items.push_back(SceneMarkers{{{sampleLeft + 0.5 * LegendSampleWidth, middle}}, MarkerRadius,
                                               entry.color, NoClip, false});
        scene.items.push_back(SceneText{entry.label, sampleLeft + LegendSampleWidth + LegendPadding,
                                        middle + 0.36 * LegendFontSize, LegendFontSize, TextAnchor::Start, false,
                                        TextColor});
    }
}

} // namespace

Scene DrawFigure(const Figure& figure, const FigureLayout& layout)
{
    Scene scene;
    scene.width = layout.width;
    scene.height = layout.height;
    if (!figure.title.empty())
        scene.items.push_back(SceneText{figure.title, 0.5 * layout.width, 20 + TitleFontSize, TitleFontSize,
                                        TextAnchor::Middle, false, TextColor});
    for (size_t i = 0; i < figure.panels.size() && i < layout.panels.size(); ++i) {
        const PanelLayout& panel = layout.panels[i];
        const int clip = static_cast<int>(scene.clips.size());
        scene.clips.push_back(panel.area);
        DrawGrid(scene, panel, clip);
        DrawSeries(scene, figure.panels[i], panel, clip);
        DrawAxes(scene, figure.panels[i], panel);
    }
    DrawLegend(scene, layout);
    return scene;
}

Scene DrawFigure(const Figure& figure)
{
    return DrawFigure(figure, LayoutFigure(figure));
}
