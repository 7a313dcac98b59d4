// The sample-rate dividers the device accepts and their device codes.
#pragma once

#include <cstdint>

constexpr int DividerCount = 37;
extern const uint16_t DividersLookup[DividerCount];
extern const uint16_t DividerIndexesLookup[DividerCount];

// Device code of `value`, storing its table position through `position` (when given);
// 0xFFFF, with the position untouched, for a divider that is not in the table.
uint16_t LookupDivider(uint32_t value, uint8_t* position);
