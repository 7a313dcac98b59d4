// The measuring head's (AFE's) calibration record: reading its memory image block by block over
// I2C, checking size and CRC, interpolating its shunt table onto the measurement frequencies, and
// the device version test that goes with attaching hardware.
#pragma once

#include "AfeRecordLayout.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

// What the area holds while no valid AFE record is present (after zero-filling it).
inline constexpr char AfeDisconnectedText[] = "AFE Disconnected";
// The longest description ever taken from the area, terminator or not.
constexpr size_t AfeDescriptionLimit = AfeDescriptionSize - 1;
// The smallest size field whose CRC lies behind the whole record head, so the CRC covers the
// complete shunt table.
constexpr uint16_t AfeMinRecordSize = static_cast<uint16_t>(sizeof(AfeRecordHead) + 1);

// One I2C transfer and the waits between transfers, bound to the device library by the program
// and to a simulated memory by tests.
struct I2cBus {
    void* context;
    // Writes (write = 1) or reads (write = 0) `count` bytes at the 7-bit slave address. Returns
    // null on success, else the error text to show.
    const char* (*Transfer)(void* context, uint32_t count, uint32_t slaveAddress, uint32_t write,
                            uint8_t* data);
    void (*Wait)(void* context, uint32_t milliseconds);
};

// Results of reading and checking the record.
enum AfeRecordResult : int32_t {
    AfeRecordOk = 0,
    AfeAddressWriteFailed = -1,
    AfeBlockReadFailed = -2,
    AfeSizeError = -3,
    AfeCrcOrInterpolationError = -4,
};

// Sets the memory address to 0 and reads the memory into area[0 .. AfeAreaSize-1] in blocks of
// AfeBlockSize, stopping after the first block that begins with four erased (0xFF) bytes; the
// area beyond it keeps what it held. Returns AfeRecordOk, AfeAddressWriteFailed or
// AfeBlockReadFailed; *errorText receives the bus's text on failure.
int32_t ReadAfeImage(uint8_t* area, const I2cBus& bus, const char** errorText);

// Checks the size field (AfeMinRecordSize .. AfeMaxRecordSize) and the CRC stored at size-1.
// Returns AfeRecordOk, AfeSizeError or AfeCrcOrInterpolationError; *storedCrc receives the CRC
// found in the record when the size was usable.
int32_t CheckAfeRecord(const uint8_t* area, uint16_t* storedCrc);

// True when every shunt point has a positive finite frequency and module and a finite phase and
// the frequencies strictly increase, so their logarithms and the splines are defined.
bool ShuntTableUsable(const uint8_t* record);

// Interpolates the record's shunt table onto the 15 measurement frequencies: module on a log-log
// scale, phase linear against log frequency. out receives the 15 real parts, then the 15
// imaginary parts (ohm). Returns 0; -1 no working storage; -2 a measurement frequency is not a
// positive finite number; -3 the module spline could not be set up (also: unusable table or a
// result that is not finite); -4 the phase spline could not be set up.
int32_t InterpolateShunt(const uint8_t* record, float* out, const float* freqs);

// Zero-fills the area and writes AfeDisconnectedText at its start.
void ResetAfeArea(uint8_t* area);

// The description at the start of the area, at most AfeDescriptionLimit characters.
std::string_view AfeDescription(const uint8_t* area);

// Hardware and software version numbers read from the device identification text with the
// pattern "HW:v%f SW:v%f ", starting where "HW:v" first occurs; a number that cannot be read is 0.
struct DeviceVersions {
    float HWVersionNr;
    float SWVersionNr;
};
DeviceVersions ReadDeviceVersions(const char* identification, size_t size);

// Versions up to hardware 1.021 and software 1.301 (compared in double precision after reading
// them in single precision).
bool DeviceVersionSupported(const DeviceVersions& versions);
