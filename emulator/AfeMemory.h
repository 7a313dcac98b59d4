// The AFE's I2C calibration memory: 8064 bytes behind a 16-bit address counter, holding the
// calibration record from address 0 and erased (0xFF) beyond it.
#pragma once

#include "AfeRecordLayout.h"

#include <cstddef>
#include <cstdint>

struct AfeMemory {
    uint8_t bytes[AfeAreaSize];
    uint16_t counter; // address of the next byte read or written
};

// How the stored record is spoiled for fault tests (values of KALVIX_AFE_* in KalvixEmulator.h).
enum class AfeRecordKind : int32_t {
    Valid = 0,
    BadCrc = 1,
    SizeZero = 2,
    SizeTooBig = 3,        // size field 8064: the CRC would lie outside the memory
    ShuntNotIncreasing = 4, // two frequencies swapped, CRC recomputed
    ShuntNotPositive = 5,   // a module below zero, CRC recomputed
    Erased = 6,
};

constexpr uint16_t AfeValidRecordSize = sizeof(AfeRecordHead) + 1; // CRC at 1260..1261

// Fills the memory with the record of the given kind and resets the address counter.
void WriteAfeRecord(AfeMemory& memory, AfeRecordKind kind);

// The shunt calibration point i of the stored record's table (10 Hz .. 10 MHz).
ShuntPoint CalibrationPoint(size_t i);

// An I2C write of n bytes: the first two set the address counter (high byte first), further
// bytes are stored from there on. A single byte sets the counter to that byte.
void AfeI2cWrite(AfeMemory& memory, const uint8_t* bytes, size_t n);

// An I2C read of n bytes from the address counter on; addresses past the memory read 0xFF.
void AfeI2cRead(AfeMemory& memory, uint8_t* out, size_t n);
