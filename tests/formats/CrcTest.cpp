#include "AfeCrc16.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

// The shift-register form of CRC-16/XMODEM, bit by bit.
uint16_t BitwiseCrc(const std::vector<uint8_t>& bytes)
{
    uint16_t crc = 0;
    for (uint8_t b : bytes) {
        crc ^= static_cast<uint16_t>(b << 8);
        for (int bit = 0; bit < 8; ++bit)
            crc = static_cast<uint16_t>(crc & 0x8000 ? (crc << 1) ^ 0x1021 : crc << 1);
    }
    return crc;
}

} // namespace

TEST(AfeCrc16, KnownValues)
{
    const uint8_t digits[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
    EXPECT_EQ(AfeCrc16(digits, 9), 0x31C3);
    EXPECT_EQ(AfeCrc16(digits, 0), 0xFFFF);
    const uint8_t zeros[10] = {};
    EXPECT_EQ(AfeCrc16(zeros, 10), 0x0000);
}

TEST(AfeCrc16, EqualsTheBitwiseRegisterOnRandomData)
{
    std::mt19937 random(11);
    for (size_t length : {1u, 2u, 89u, 1299u, 8062u, 8063u}) {
        std::vector<uint8_t> bytes(length);
        for (uint8_t& b : bytes)
            b = static_cast<uint8_t>(random());
        EXPECT_EQ(AfeCrc16(bytes.data(), static_cast<uint16_t>(length)), BitwiseCrc(bytes)) << length;
    }
}
