// Finding a divider's device code in the divider tables both ends share.
#pragma once

#include "Dividers.h"

#include <cstdint>

// Device code of `value`, storing its table position through `position` (when given);
// 0xFFFF, with the position untouched, for a divider that is not in the table.
uint16_t LookupDivider(uint32_t value, uint8_t* position);
