// An anti-aliased rasteriser for the PNG pictures: an RGB image and coverage masks, filled by
// thick polylines (round joins and ends), filled circles and polygons, each limited to a clip
// rectangle and blended onto the image in one colour.
#pragma once

#include "Scene.h"

#include <cstdint>
#include <vector>

struct RgbImage {
    int width = 0, height = 0;
    std::vector<uint8_t> pixels;   // rows top to bottom, 3 bytes (R, G, B) per pixel

    RgbImage(int width, int height, Color background);
    Color At(int x, int y) const;
};

// Coverage (0..1) over a rectangle of pixels.
struct CoverageMask {
    int left = 0, top = 0, width = 0, height = 0;
    std::vector<float> values;

    // A zero mask over the pixels of `bounds` that lie in the image and in `clip`.
    CoverageMask(const PixelRect& bounds, const PixelRect& clip, int imageWidth, int imageHeight);
    float& At(int x, int y) { return values[static_cast<size_t>(y - top) * width + (x - left)]; }
    bool Empty() const { return width <= 0 || height <= 0; }
};

// The whole canvas, for items without a clip rectangle.
PixelRect CanvasRect(const RgbImage& image);

void BlendMask(RgbImage& image, const CoverageMask& mask, Color color, double opacity = 1);
// One pixel moved towards `color` by `alpha` (0..1); pixels off the image are ignored.
void BlendPixel(RgbImage& image, int x, int y, Color color, double alpha);

// A line `width` pixels wide through the points; a NaN point breaks it.
void StrokePolyline(RgbImage& image, const std::vector<Point>& points, double width, Color color,
                    const PixelRect& clip);
void FillCircles(RgbImage& image, const std::vector<Point>& centres, double radius, Color color,
                 const PixelRect& clip);
// Non-zero winding fill.
void FillPolygon(RgbImage& image, const std::vector<Point>& polygon, Color color, double opacity,
                 const PixelRect& clip);
