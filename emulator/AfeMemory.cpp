#include "AfeMemory.h"

#include "AfeCrc16.h"
#include "ObjectModel.h"

#include <cmath>
#include <cstring>

namespace {
const char Description[] =
    "Kalvix AFE-2 measuring head, 4-wire, reference shunt 1 kOhm, calibrated 10 Hz .. 10 MHz";

void StoreCrc(AfeMemory& memory, uint16_t size)
{
    const uint16_t crc = AfeCrc16(memory.bytes, static_cast<uint16_t>(size - 1));
    memory.bytes[size - 1] = static_cast<uint8_t>(crc & 0xFF);
    memory.bytes[size] = static_cast<uint8_t>(crc >> 8);
}
}

ShuntPoint CalibrationPoint(size_t i)
{
    const double hz = std::pow(10.0, 1.0 + 6.0 * static_cast<double>(i) / (AfeShuntPointCount - 1));
    const Impedance z = TrueShuntImpedance(hz);
    return ShuntPoint{static_cast<float>(hz), static_cast<float>(std::abs(z)),
                      static_cast<float>(std::arg(z) * 180.0 / 3.141592653589793)};
}

void WriteAfeRecord(AfeMemory& memory, AfeRecordKind kind)
{
    memset(memory.bytes, 0xFF, sizeof memory.bytes);
    memory.counter = 0;
    if (kind == AfeRecordKind::Erased)
        return;

    AfeRecordHead head{};
    memcpy(head.Description, Description, sizeof Description);
    head.size = AfeValidRecordSize;
    head.AFEType = 0x21;
    head.SHUNTType = 0x03;
    head.SHUNTCount = static_cast<int32_t>(AfeShuntPointCount);
    for (size_t i = 0; i < AfeShuntPointCount; ++i)
        head.shunt[i] = CalibrationPoint(i);

    switch (kind) {
    case AfeRecordKind::ShuntNotIncreasing: {
        const float f = head.shunt[10].frequency;
        head.shunt[10].frequency = head.shunt[11].frequency;
        head.shunt[11].frequency = f;
        break;
    }
    case AfeRecordKind::ShuntNotPositive:
        head.shunt[5].module = -head.shunt[5].module;
        break;
    default:
        break;
    }
    memcpy(memory.bytes, &head, sizeof head);
    StoreCrc(memory, AfeValidRecordSize);

    switch (kind) {
    case AfeRecordKind::BadCrc:
        memory.bytes[AfeValidRecordSize - 1] ^= 0x5A;
        break;
    case AfeRecordKind::SizeZero:
        memory.bytes[offsetof(AfeRecordHead, size)] = 0;
        memory.bytes[offsetof(AfeRecordHead, size) + 1] = 0;
        break;
    case AfeRecordKind::SizeTooBig: {
        const uint16_t size = static_cast<uint16_t>(AfeAreaSize);
        memory.bytes[offsetof(AfeRecordHead, size)] = static_cast<uint8_t>(size & 0xFF);
        memory.bytes[offsetof(AfeRecordHead, size) + 1] = static_cast<uint8_t>(size >> 8);
        break;
    }
    default:
        break;
    }
}

void AfeI2cWrite(AfeMemory& memory, const uint8_t* bytes, size_t n)
{
    if (n == 0)
        return;
    if (n == 1) {
        memory.counter = bytes[0];
        return;
    }
    memory.counter = static_cast<uint16_t>((bytes[0] << 8) | bytes[1]);
    for (size_t i = 2; i < n; ++i) {
        if (memory.counter < AfeAreaSize)
            memory.bytes[memory.counter] = bytes[i];
        ++memory.counter;
    }
}

void AfeI2cRead(AfeMemory& memory, uint8_t* out, size_t n)
{
    for (size_t i = 0; i < n; ++i) {
        out[i] = memory.counter < AfeAreaSize ? memory.bytes[memory.counter] : 0xFF;
        ++memory.counter;
    }
}
