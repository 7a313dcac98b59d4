// soak_plot CSV PNG: the soak run's samples against time in minutes, four panels sharing the time
// axis: memory (working set and private bytes, MiB), handles, GDI and USER objects, CPU (process
// and window thread, % of one core). A column that was n/a throughout says so in its legend.
// Exit code 0 success, 1 bad input, 2 bad usage.
#include "SoakColumns.h"

#include "figure/FigureFile.h"
#include "data/NumberTable.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Line {
    const char* column;
    std::string label;
    double scale;   // the column's values are multiplied by it
};

// One panel of the lines named; `color` counts the colours given out over the figure.
PlotPanel MakePanel(const NumberTable& table, const std::string& yTitle, const std::vector<Line>& lines, size_t& color)
{
    const size_t time = table.Column(soak::ElapsedSeconds);
    PlotPanel panel;
    panel.x = {"time (min)", AxisScale::Linear, 0.0, {}};
    panel.y = {yTitle, AxisScale::Linear, {}, {}};
    panel.includeZeroY = true;
    for (const Line& line : lines) {
        const size_t column = table.Column(line.column);
        PlotSeries series;
        series.style = SeriesStyle::Line;
        series.color = SeriesColor(color++, 6);
        bool known = false;
        for (const std::vector<double>& row : table.rows) {
            series.x.push_back(row[time] / 60.0);
            series.y.push_back(row[column] * line.scale);
            known = known || !std::isnan(row[column]);
        }
        series.label = known ? line.label : line.label + " (n/a)";
        panel.series.push_back(std::move(series));
    }
    return panel;
}

Figure MakeSoakFigure(const NumberTable& table)
{
    const std::vector<double>& last = table.rows.back();
    char title[200];
    std::snprintf(title, sizeof title, "Control panel soak: %.0f min at 1000 spectra/s, display and log on, %.0f spectra lost",
                  last[table.Column(soak::ElapsedSeconds)] / 60.0, last[table.Column(soak::SpectraLost)]);
    Figure figure;
    figure.title = title;
    figure.sharedX = true;
    figure.height = 90 + 190 * 4;
    const double mib = 1.0 / 1048576.0;
    size_t color = 0;
    figure.panels.push_back(MakePanel(table, "memory (MiB)",
                                      {{soak::WorkingSetBytes, "working set", mib}, {soak::PrivateBytes, "private bytes", mib}},
                                      color));
    figure.panels.push_back(MakePanel(table, "handles", {{soak::Handles, "handles", 1}}, color));
    figure.panels.push_back(MakePanel(table, "objects",
                                      {{soak::GdiObjects, "GDI objects", 1}, {soak::UserObjects, "USER objects", 1}}, color));
    figure.panels.push_back(MakePanel(table, "CPU (% of one core)",
                                      {{soak::ProcessCpuPercent, "process CPU", 1},
                                       {soak::WindowThreadCpuPercent, "window thread CPU", 1}},
                                      color));
    return figure;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: soak_plot CSV PNG\n");
        return 2;
    }
    std::ifstream file(argv[1], std::ios::binary);
    if (!file) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 1;
    }
    std::ostringstream text;
    text << file.rdbuf();
    NumberTable table;
    std::string error;
    if (!ParseNumberTable(text.str(), table, error)) {
        std::fprintf(stderr, "%s: %s\n", argv[1], error.c_str());
        return 1;
    }
    if (!table.warning.empty())
        std::fprintf(stderr, "%s: %s\n", argv[1], table.warning.c_str());
    for (const char* column : soak::All)
        if (table.Column(column) == table.columns.size()) {
            std::fprintf(stderr, "%s: no column %s\n", argv[1], column);
            return 1;
        }
    if (table.rows.empty()) {
        std::fprintf(stderr, "%s: no samples\n", argv[1]);
        return 1;
    }
    if (!WriteFigure(MakeSoakFigure(table), argv[2], error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    return 0;
}
