// Where a level bar is drawn and in which colour, from a channel's extreme levels. No window code.
#pragma once

#include <cstdint>

struct LevelBarShape {
    bool Drawn;       // false: only the empty frame
    bool Clipped;     // red: the signal reached either end of the range
    uint32_t PenWidth; // width - 4
    uint32_t X;       // centre column
    uint32_t Top;     // the bar runs from Top to Bottom (end point not drawn)
    uint32_t Bottom;
};

// A bar for a signal between minimum and maximum on a scale of fullScale at the top of a
// width x height bar. Bars narrower or lower than 5 pixels, or with a zero full scale, stay empty.
LevelBarShape LevelBarShapeFor(uint32_t width, uint32_t height, uint32_t fullScale, uint32_t maximum, uint32_t minimum);
