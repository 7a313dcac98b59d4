// The device's side of the wire: request frames as the device parses them, and the frames it
// sends back. Plain bytes in, plain bytes out.
#pragma once

#include "FrameFormat.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// The request opcodes the device knows; the stop request is OpcodeStop (FrameFormat.h).
constexpr uint16_t OpStart = 1;
constexpr uint16_t OpIdentify = 2;
constexpr uint16_t OpLoadShunt = 3;
constexpr uint16_t OpLoadComp = 4;
constexpr uint16_t OpCompensation = 5;
constexpr uint16_t OpExcitation = 6;
constexpr uint16_t OpGains = 7;
constexpr uint16_t OpI2c = 8;
constexpr uint16_t OpTrigger = 9;
constexpr uint16_t OpBattery = 10;
constexpr uint16_t OpConfiguration = 11;
constexpr uint16_t OpDivider = 12;
constexpr uint16_t OpGpio = 14;
constexpr uint16_t OpTenX = 15;
constexpr uint16_t OpLoadDac = 17;
constexpr uint16_t OpLoadPhases = 18;
constexpr uint16_t OpIdentify48 = 48;

// One request as the device understood it.
struct Request {
    uint16_t opcode = 0;
    const uint8_t* params = nullptr; // bytes behind the opcode
    size_t paramBytes = 0;
};

enum class RequestCheck { Ok, NoMarker, UnknownOpcode, WrongLength };

// The length in bytes the device expects for a request with this opcode: 0 for an unknown
// opcode, or for the I2C opcode (whose length depends on its parameters).
size_t ExpectedRequestBytes(uint16_t opcode);

// Splits one OUT transfer into marker, opcode and parameters and checks its length.
RequestCheck ParseRequest(const uint8_t* bytes, size_t length, Request& out);

// The 16-bit little-endian parameter word number i (0 = the first behind the opcode).
uint16_t RequestWord(const Request& request, size_t i);

// Device frames; each returns the complete frame.
std::vector<uint8_t> GpioFrame(uint16_t status);
std::vector<uint8_t> TextFrame(const char* text); // at most 54 bytes of text, zero-padded
std::vector<uint8_t> ConfigurationFrame(const uint8_t (&configuration)[ConfigPayloadSize]);
std::vector<uint8_t> I2cReplyFrame(uint8_t slave, const uint8_t* data, size_t count);

void PutU16(uint8_t* at, uint16_t value);
uint16_t GetU16(const uint8_t* at);
