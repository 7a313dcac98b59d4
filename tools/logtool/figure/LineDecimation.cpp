#include "LineDecimation.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

bool IsBreak(const Point& point)
{
    return std::isnan(point.x) || std::isnan(point.y);
}

constexpr Point Break{std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::quiet_NaN()};

} // namespace

std::vector<Point> ReducePerColumn(const std::vector<Point>& points)
{
    std::vector<Point> reduced;
    size_t i = 0;
    while (i < points.size()) {
        if (IsBreak(points[i])) {
            if (!reduced.empty() && !IsBreak(reduced.back()))
                reduced.push_back(Break);
            ++i;
            continue;
        }
        const double column = std::floor(points[i].x);
        size_t end = i, lowest = i, highest = i;
        while (end < points.size() && !IsBreak(points[end]) && std::floor(points[end].x) == column) {
            if (points[end].y < points[lowest].y)
                lowest = end;
            if (points[end].y > points[highest].y)
                highest = end;
            ++end;
        }
        size_t kept[] = {i, lowest, highest, end - 1};
        std::sort(std::begin(kept), std::end(kept));
        for (size_t k = 0; k < 4; ++k)
            if (k == 0 || kept[k] != kept[k - 1])
                reduced.push_back(points[kept[k]]);
        i = end;
    }
    return reduced;
}

std::vector<std::vector<Point>> BandPolygons(const std::vector<Point>& upper, const std::vector<Point>& lower)
{
    std::vector<std::vector<Point>> polygons;
    std::vector<Point> top, bottom;
    auto flush = [&] {
        if (top.size() >= 2) {
            std::vector<Point> polygon = top;
            polygon.insert(polygon.end(), bottom.rbegin(), bottom.rend());
            polygons.push_back(std::move(polygon));
        }
        top.clear();
        bottom.clear();
    };
    const size_t n = std::min(upper.size(), lower.size());
    size_t i = 0;
    while (i < n) {
        if (IsBreak(upper[i]) || IsBreak(lower[i])) {
            flush();
            ++i;
            continue;
        }
        const double column = std::floor(upper[i].x);
        double highest = upper[i].y, lowest = lower[i].y;   // pixel y: smaller is higher
        size_t end = i;
        while (end < n && !IsBreak(upper[end]) && !IsBreak(lower[end]) && std::floor(upper[end].x) == column) {
            highest = std::min(highest, upper[end].y);
            lowest = std::max(lowest, lower[end].y);
            ++end;
        }
        top.push_back({upper[i].x, highest});
        bottom.push_back({upper[i].x, lowest});
        if (end - 1 != i) {
            top.push_back({upper[end - 1].x, highest});
            bottom.push_back({upper[end - 1].x, lowest});
        }
        i = end;
    }
    flush();
    return polygons;
}
