// Layout of the record in the measuring head's (AFE's) I2C memory, as read from address 0.
// The program reads and checks it; the software device holds one.
#pragma once

#include "FrameFormat.h"

#include <cstddef>
#include <cstdint>

constexpr uint8_t AfeI2cAddress = 0x50;   // 7-bit slave address of the AFE memory
constexpr size_t AfeAreaSize = 8064;      // bytes of AFE memory the program keeps
constexpr size_t AfeBlockSize = I2cMaxTransferBytes; // the record is read in whole transfers
constexpr size_t AfeDescriptionSize = 1000;
constexpr size_t AfeShuntPointCount = 21;
constexpr uint16_t AfeMaxRecordSize = AfeAreaSize - 1; // the CRC's high byte must lie inside the area

#pragma pack(push, 1)
struct ShuntPoint {
    float frequency; // Hz, strictly increasing along the table
    float module;    // ohm
    float phase;     // degree
};

// The fixed head of the record; the CRC follows at offset `size - 1`, low byte first, and covers
// bytes 0 .. size-2.
struct AfeRecordHead {
    char Description[AfeDescriptionSize]; // zero-terminated text
    uint16_t size;
    uint8_t AFEType;
    uint8_t SHUNTType;
    int32_t SHUNTCount;
    ShuntPoint shunt[AfeShuntPointCount];
};
#pragma pack(pop)

static_assert(sizeof(ShuntPoint) == 12);
static_assert(offsetof(AfeRecordHead, size) == 1000);
static_assert(offsetof(AfeRecordHead, AFEType) == 1002);
static_assert(offsetof(AfeRecordHead, SHUNTType) == 1003);
static_assert(offsetof(AfeRecordHead, SHUNTCount) == 1004);
static_assert(offsetof(AfeRecordHead, shunt) == 1008);
static_assert(sizeof(AfeRecordHead) == 1260);
