#include "ImpedanceFigures.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

PlotSeries SeriesOf(const PlotCurve& curve, size_t index, size_t count)
{
    PlotSeries series;
    series.label = curve.label;
    series.style = curve.line ? SeriesStyle::Line : SeriesStyle::Markers;
    series.color = SeriesColor(index, count);
    return series;
}

} // namespace

Figure MakeBodeFigure(const std::vector<PlotCurve>& curves, const std::string& title)
{
    Figure figure;
    figure.title = title;
    figure.sharedX = true;
    PlotPanel module, phase;
    module.x = {"frequency (Hz)", AxisScale::Log10, {}, {}};
    module.y = {"|Z| (Ω)", AxisScale::Log10, {}, {}};
    phase.x = module.x;
    phase.y = {"phase (°)", AxisScale::Linear, {}, {}};
    for (size_t i = 0; i < curves.size(); ++i) {
        const PlotCurve& curve = curves[i];
        PlotSeries moduleSeries = SeriesOf(curve, i, curves.size());
        PlotSeries phaseSeries = moduleSeries;
        const size_t n = std::min(curve.frequency.size(), curve.impedance.size());
        for (size_t k = 0; k < n; ++k) {
            moduleSeries.x.push_back(curve.frequency[k]);
            moduleSeries.y.push_back(std::abs(curve.impedance[k]));
            phaseSeries.x.push_back(curve.frequency[k]);
            phaseSeries.y.push_back(std::arg(curve.impedance[k]) * 180 / std::numbers::pi);
        }
        module.series.push_back(std::move(moduleSeries));
        phase.series.push_back(std::move(phaseSeries));
    }
    figure.panels = {std::move(module), std::move(phase)};
    return figure;
}

Figure MakeNyquistFigure(const std::vector<PlotCurve>& curves, const std::string& title)
{
    Figure figure;
    figure.title = title;
    PlotPanel panel;
    panel.x = {"Z' (Ω)", AxisScale::Linear, {}, {}};
    panel.y = {"−Z'' (Ω)", AxisScale::Linear, {}, {}};
    panel.equalScale = true;
    panel.includeZeroY = true;
    for (size_t i = 0; i < curves.size(); ++i) {
        const PlotCurve& curve = curves[i];
        PlotSeries series = SeriesOf(curve, i, curves.size());
        const size_t n = std::min(curve.frequency.size(), curve.impedance.size());
        for (size_t k = 0; k < n; ++k) {
            series.x.push_back(curve.impedance[k].real());
            series.y.push_back(-curve.impedance[k].imag());
        }
        panel.series.push_back(std::move(series));
    }
    figure.panels = {std::move(panel)};
    return figure;
}

std::vector<double> LogSpacedFrequencies(double low, double high, size_t count)
{
    std::vector<double> frequencies;
    if (!(low > 0) || !(high > 0) || count == 0)
        return frequencies;
    if (count == 1 || low == high)
        return {low};
    const double a = std::log10(low), b = std::log10(high);
    for (size_t i = 0; i < count; ++i)
        frequencies.push_back(std::pow(10.0, a + (b - a) * static_cast<double>(i) / static_cast<double>(count - 1)));
    frequencies.front() = low;
    frequencies.back() = high;
    return frequencies;
}
