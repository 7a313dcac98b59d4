#include "Raster.h"

#include <algorithm>
#include <cmath>

namespace {

bool IsBreak(const Point& point)
{
    return std::isnan(point.x) || std::isnan(point.y);
}

double SegmentDistance(double px, double py, const Point& a, const Point& b)
{
    const double dx = b.x - a.x, dy = b.y - a.y;
    const double lengthSquared = dx * dx + dy * dy;
    double t = lengthSquared > 0 ? ((px - a.x) * dx + (py - a.y) * dy) / lengthSquared : 0;
    t = std::clamp(t, 0.0, 1.0);
    return std::hypot(px - (a.x + t * dx), py - (a.y + t * dy));
}

// Coverage of one segment, combined with the mask by taking the larger value, so joins and
// crossings of one line are never darker than the line.
void AddSegment(CoverageMask& mask, const Point& a, const Point& b, double radius)
{
    const double reach = radius + 1;
    const int firstRow = std::max(mask.top, static_cast<int>(std::floor(std::min(a.y, b.y) - reach)));
    const int lastRow = std::min(mask.top + mask.height - 1, static_cast<int>(std::ceil(std::max(a.y, b.y) + reach)));
    for (int row = firstRow; row <= lastRow; ++row) {
        const double centreY = row + 0.5;
        // The part of the segment within reach of this row, widened by the reach.
        double xLow, xHigh;
        if (std::fabs(b.y - a.y) < 1e-9) {
            xLow = std::min(a.x, b.x);
            xHigh = std::max(a.x, b.x);
        } else {
            const double t0 = std::clamp((centreY - reach - a.y) / (b.y - a.y), 0.0, 1.0);
            const double t1 = std::clamp((centreY + reach - a.y) / (b.y - a.y), 0.0, 1.0);
            const double x0 = a.x + t0 * (b.x - a.x), x1 = a.x + t1 * (b.x - a.x);
            xLow = std::min(x0, x1);
            xHigh = std::max(x0, x1);
        }
        const int firstColumn = std::max(mask.left, static_cast<int>(std::floor(xLow - reach)));
        const int lastColumn = std::min(mask.left + mask.width - 1, static_cast<int>(std::ceil(xHigh + reach)));
        for (int column = firstColumn; column <= lastColumn; ++column) {
            const double distance = SegmentDistance(column + 0.5, centreY, a, b);
            const float coverage = static_cast<float>(std::clamp(radius + 0.5 - distance, 0.0, 1.0));
            float& value = mask.At(column, row);
            value = std::max(value, coverage);
        }
    }
}

PixelRect BoundsOf(const std::vector<Point>& points, double margin)
{
    PixelRect bounds{INFINITY, INFINITY, -INFINITY, -INFINITY};
    for (const Point& point : points)
        if (!IsBreak(point)) {
            bounds.left = std::min(bounds.left, point.x - margin);
            bounds.right = std::max(bounds.right, point.x + margin);
            bounds.top = std::min(bounds.top, point.y - margin);
            bounds.bottom = std::max(bounds.bottom, point.y + margin);
        }
    return bounds;
}

} // namespace

RgbImage::RgbImage(int width, int height, Color background)
    : width(width), height(height), pixels(static_cast<size_t>(width) * height * 3)
{
    for (size_t i = 0; i < pixels.size(); i += 3) {
        pixels[i] = background.red;
        pixels[i + 1] = background.green;
        pixels[i + 2] = background.blue;
    }
}

Color RgbImage::At(int x, int y) const
{
    const size_t index = (static_cast<size_t>(y) * width + x) * 3;
    return {pixels[index], pixels[index + 1], pixels[index + 2]};
}

CoverageMask::CoverageMask(const PixelRect& bounds, const PixelRect& clip, int imageWidth, int imageHeight)
{
    // A pixel is inside the clip when its centre is.
    auto begin = [](double bound, double clipEdge) {
        return std::max({std::floor(bound), std::ceil(clipEdge - 0.5), 0.0});
    };
    auto end = [](double bound, double clipEdge, int size) {
        return std::min({std::ceil(bound), std::ceil(clipEdge - 0.5), static_cast<double>(size)});
    };
    const double x0 = begin(bounds.left, clip.left), x1 = end(bounds.right, clip.right, imageWidth);
    const double y0 = begin(bounds.top, clip.top), y1 = end(bounds.bottom, clip.bottom, imageHeight);
    if (!(x0 < x1) || !(y0 < y1))
        return;
    left = static_cast<int>(x0);
    top = static_cast<int>(y0);
    width = static_cast<int>(x1 - x0);
    height = static_cast<int>(y1 - y0);
    values.assign(static_cast<size_t>(width) * height, 0.0f);
}

PixelRect CanvasRect(const RgbImage& image)
{
    return {0, 0, static_cast<double>(image.width), static_cast<double>(image.height)};
}

void BlendMask(RgbImage& image, const CoverageMask& mask, Color color, double opacity)
{
    const uint8_t target[] = {color.red, color.green, color.blue};
    for (int y = 0; y < mask.height; ++y)
        for (int x = 0; x < mask.width; ++x) {
            const double alpha = mask.values[static_cast<size_t>(y) * mask.width + x] * opacity;
            if (alpha <= 0)
                continue;
            uint8_t* pixel = &image.pixels[(static_cast<size_t>(mask.top + y) * image.width + mask.left + x) * 3];
            for (int c = 0; c < 3; ++c)
                pixel[c] = static_cast<uint8_t>(std::lround(pixel[c] + alpha * (target[c] - pixel[c])));
        }
}

void BlendPixel(RgbImage& image, int x, int y, Color color, double alpha)
{
    if (x < 0 || y < 0 || x >= image.width || y >= image.height || alpha <= 0)
        return;
    alpha = std::min(alpha, 1.0);
    uint8_t* pixel = &image.pixels[(static_cast<size_t>(y) * image.width + x) * 3];
    const uint8_t target[] = {color.red, color.green, color.blue};
    for (int c = 0; c < 3; ++c)
        pixel[c] = static_cast<uint8_t>(std::lround(pixel[c] + alpha * (target[c] - pixel[c])));
}

void StrokePolyline(RgbImage& image, const std::vector<Point>& points, double width, Color color,
                    const PixelRect& clip)
{
    const double radius = 0.5 * width;
    CoverageMask mask(BoundsOf(points, radius + 1), clip, image.width, image.height);
    if (mask.Empty())
        return;
    for (size_t i = 0; i < points.size(); ++i) {
        if (IsBreak(points[i]))
            continue;
        const bool alone = (i == 0 || IsBreak(points[i - 1])) && (i + 1 == points.size() || IsBreak(points[i + 1]));
        if (alone)
            AddSegment(mask, points[i], points[i], radius);
        else if (i + 1 < points.size() && !IsBreak(points[i + 1]))
            AddSegment(mask, points[i], points[i + 1], radius);
    }
    BlendMask(image, mask, color);
}

void FillCircles(RgbImage& image, const std::vector<Point>& centres, double radius, Color color,
                 const PixelRect& clip)
{
    for (const Point& centre : centres) {
        CoverageMask mask(BoundsOf({centre}, radius + 1), clip, image.width, image.height);
        if (mask.Empty())
            continue;
        for (int y = mask.top; y < mask.top + mask.height; ++y)
            for (int x = mask.left; x < mask.left + mask.width; ++x) {
                const double distance = std::hypot(x + 0.5 - centre.x, y + 0.5 - centre.y);
                mask.At(x, y) = static_cast<float>(std::clamp(radius + 0.5 - distance, 0.0, 1.0));
            }
        BlendMask(image, mask, color);
    }
}

void FillPolygon(RgbImage& image, const std::vector<Point>& polygon, Color color, double opacity,
                 const PixelRect& clip)
{
    constexpr int SubRows = 8;   // vertical samples per pixel; horizontal coverage is exact
    if (polygon.size() < 3)
        return;
    CoverageMask mask(BoundsOf(polygon, 1), clip, image.width, image.height);
    if (mask.Empty())
        return;
    struct Crossing {
        double x;
        int direction;
    };
    std::vector<Crossing> crossings;
    for (int row = mask.top; row < mask.top + mask.height; ++row)
        for (int sub = 0; sub < SubRows; ++sub) {
            const double y = row + (sub + 0.5) / SubRows;
            crossings.clear();
            for (size_t i = 0; i < polygon.size(); ++i) {
                const Point& a = polygon[i];
                const Point& b = polygon[(i + 1) % polygon.size()];
                if ((a.y <= y) == (b.y <= y))
                    continue;
                crossings.push_back({a.x + (y - a.y) / (b.y - a.y) * (b.x - a.x), b.y > a.y ? 1 : -1});
            }
            std::sort(crossings.begin(), crossings.end(), [](auto& p, auto& q) { return p.x < q.x; });
            int winding = 0;
            for (size_t i = 0; i + 1 < crossings.size(); ++i) {
                winding += crossings[i].direction;
                if (winding == 0)
                    continue;
                // Inside from crossings[i] to crossings[i + 1]: add each pixel's covered share.
                const double from = std::max(crossings[i].x, static_cast<double>(mask.left));
                const double to = std::min(crossings[i + 1].x, static_cast<double>(mask.left + mask.width));
                for (int x = static_cast<int>(std::floor(from)); x < to; ++x) {
                    const double share = std::min(to, x + 1.0) - std::max(from, static_cast<double>(x));
                    if (share > 0)
                        mask.At(x, row) += static_cast<float>(share / SubRows);
                }
            }
        }
    for (float& value : mask.values)
        value = std::min(value, 1.0f);
    BlendMask(image, mask, color, opacity);
}
