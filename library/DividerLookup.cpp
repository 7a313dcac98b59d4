#include "DividerLookup.h"

uint16_t LookupDivider(uint32_t value, uint8_t* position)
{
    for (size_t i = 0; i < DividerCount; ++i) {
        if (DividersLookup[i] == value) {
            if (position)
                *position = static_cast<uint8_t>(i);
            return DividerIndexesLookup[i];
        }
    }
    return 0xFFFF;
}
