#include "Figure.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr Color Distinct[] = {
    {0x1F, 0x77, 0xB4}, {0xE6, 0x55, 0x0D}, {0x2C, 0xA0, 0x2C}, {0xD6, 0x27, 0x28}, {0x94, 0x67, 0xBD},
    {0x8C, 0x56, 0x4B}, {0xE3, 0x77, 0xC2}, {0x7F, 0x7F, 0x7F}, {0xA0, 0xA0, 0x10}, {0x17, 0xBE, 0xCF},
};

// Dark blue through teal and green to yellow, perceptually even enough for ordered series.
constexpr Color Sequence[] = {
    {0x44, 0x01, 0x54}, {0x3B, 0x52, 0x8B}, {0x21, 0x91, 0x8C}, {0x5E, 0xC9, 0x62}, {0xD8, 0xCB, 0x20},
};

} // namespace

Color SeriesColor(size_t index, size_t count)
{
    if (count <= std::size(Distinct))
        return Distinct[index % std::size(Distinct)];
    const double t = std::clamp(static_cast<double>(index) / static_cast<double>(count - 1), 0.0, 1.0) *
                     (std::size(Sequence) - 1);
    const size_t segment = std::min<size_t>(static_cast<size_t>(t), std::size(Sequence) - 2);
    const double f = t - segment;
    auto mix = [&](uint8_t a, uint8_t b) { return static_cast<uint8_t>(std::lround(a + f * (b - a))); };
    const Color& a = Sequence[segment];
    const Color& b = Sequence[segment + 1];
    return {mix(a.red, b.red), mix(a.green, b.green), mix(a.blue, b.blue)};
}
