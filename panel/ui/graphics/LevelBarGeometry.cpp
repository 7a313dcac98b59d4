#include "LevelBarGeometry.h"

LevelBarShape LevelBarShapeFor(uint32_t width, uint32_t height, uint32_t fullScale, uint32_t maximum, uint32_t minimum)
{
    LevelBarShape shape{};
    if (width < 5 || height < 5 || fullScale == 0)
        return shape;
    if (!(maximum > 0 && minimum < maximum))
        return shape;
    shape.Drawn = true;
    shape.Clipped = maximum >= fullScale || minimum == 0;
    shape.PenWidth = width - 4;
    if (maximum > fullScale)
        maximum = fullScale;
    // A minimum above the full scale (only with a maximum above it too) is drawn at the top
    // rather than below the bar's bottom edge.
    if (minimum > fullScale)
        minimum = fullScale;
    // 64-bit products: a large full scale must not wrap the pixel arithmetic.
    const uint64_t inner = height - 4;
    shape.X = width / 2;
    shape.Top = static_cast<uint32_t>(inner * (fullScale - maximum) / fullScale + 2);
    shape.Bottom = static_cast<uint32_t>((height - 2) - inner * minimum / fullScale);
    return shape;
}
