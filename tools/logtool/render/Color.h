// A colour of the pictures, 8 bits a channel.
#pragma once

#include <cstdint>

struct Color {
    uint8_t red = 0, green = 0, blue = 0;
    bool operator==(const Color&) const = default;
};
