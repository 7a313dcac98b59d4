#include "TrackFigure.h"

#include <algorithm>

Figure MakeTrackFigure(const std::vector<TrackSeries>& series, const std::string& title)
{
    Figure figure;
    figure.title = title;
    figure.sharedX = true;
    figure.height = std::max(700, 90 + 190 * static_cast<int>(series.size()));
    for (size_t i = 0; i < series.size(); ++i) {
        const TrackSeries& track = series[i];
        PlotPanel panel;
        panel.x = {"time (s)", AxisScale::Linear, {}, {}};
        panel.y = {track.unit.empty() ? track.name : track.name + " (" + track.unit + ")", AxisScale::Linear, {}, {}};
        PlotSeries line;
        line.style = SeriesStyle::Line;
        line.color = SeriesColor(i, std::min<size_t>(series.size(), 10));
        line.x = track.time;
        line.y = track.value;
        if (std::any_of(track.error.begin(), track.error.end(), [](double e) { return e == e; }))
            line.error = track.error;
        panel.series.push_back(std::move(line));
        figure.panels.push_back(std::move(panel));
    }
    return figure;
}
