// CRC-16/XMODEM (polynomial 0x1021, initial 0, no reflection, no final XOR) over the AFE record.
#pragma once

#include <cstdint>

// A length of 0 gives 0xFFFF.
uint16_t AfeCrc16(const uint8_t* bytes, uint16_t length);
