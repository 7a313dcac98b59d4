// The sample-rate dividers the device accepts, in the order the panel's divider trackbar runs
// through them, and each one's device code (the value the divider request carries).
#pragma once

#include <cstddef>
#include <cstdint>

constexpr size_t DividerCount = 37;

inline constexpr uint16_t DividersLookup[DividerCount] = {
    1, 2, 4, 6, 8, 10, 12, 14, 16, 20, 24, 28, 32, 40, 48, 56, 64, 80, 96,
    112, 128, 160, 192, 196, 224, 256, 320, 384, 448, 512, 640, 768, 896, 1024, 1280, 1536, 1792,
};

inline constexpr uint16_t DividerIndexesLookup[DividerCount] = {
    0, 1, 3, 6, 8, 11, 12, 14, 15, 19, 20, 22, 23, 27, 28, 30, 31, 35, 36,
    38, 39, 43, 44, 45, 46, 47, 50, 51, 53, 54, 56, 57, 59, 60, 61, 62, 63,
};
