#include "AfeCrc16.h"

uint16_t AfeCrc16(const uint8_t* bytes, uint16_t length)
{
    if (length == 0)
        return 0xFFFF;
    uint16_t crc = 0;
    for (uint16_t i = 0; i < length; ++i) {
        // Byte-wise form of the MSB-first shift register.
        uint16_t x = static_cast<uint16_t>((crc >> 8) | (crc << 8));
        x ^= bytes[i];
        x ^= static_cast<uint16_t>((x & 0xFF) >> 4);
        x ^= static_cast<uint16_t>(x << 12);
        x ^= static_cast<uint16_t>((x & 0xFF) << 5);
        crc = x;
    }
    return crc;
}
