// The device's spectrum frame and configuration block, byte for byte. The library's public
// header declares the same layouts as C records for callers; the library checks the two agree.
#pragma once

#include "FrameFormat.h"

#include <cstddef>
#include <cstdint>

// Number of measurement frequencies; index i of every 15-entry table belongs to frequency i.
constexpr size_t MeasurementFrequencyCount = 15;

#pragma pack(push, 1)
struct SpectrumFrame {
    uint16_t marker;       // FrameMarker
    uint16_t tag;          // TagSpectrum
    uint16_t reserved4;
    uint16_t SysErrors;
    uint32_t MeasCount;
    uint32_t ProcPeriod;   // microseconds
    uint16_t MaxChA;
    uint16_t MinChA;
    uint16_t MaxChB;
    uint16_t MinChB;
    float Module[MeasurementFrequencyCount]; // ohm
    float Phase[MeasurementFrequencyCount];  // degree
    uint16_t BatteryLevel; // mV
    uint16_t ChargerStatus;
    uint16_t GPIOStatus;
    uint8_t reserved150[42];
};

// The payload of the configuration reply.
struct ConfigurationBlock {
    uint16_t reserved0;
    uint16_t FrequencyCodes[MeasurementFrequencyCount]; // Hz = code * 1000 / divider
    float Shunt[2 * MeasurementFrequencyCount];          // 15 real parts, then 15 imaginary parts
    float Comp[2 * MeasurementFrequencyCount];           // same order
};
#pragma pack(pop)

static_assert(sizeof(SpectrumFrame) == SpectrumFrameLength);
static_assert(offsetof(SpectrumFrame, SysErrors) == 6);
static_assert(offsetof(SpectrumFrame, MeasCount) == 8);
static_assert(offsetof(SpectrumFrame, ProcPeriod) == 12);
static_assert(offsetof(SpectrumFrame, MaxChA) == 16);
static_assert(offsetof(SpectrumFrame, MinChA) == 18);
static_assert(offsetof(SpectrumFrame, MaxChB) == 20);
static_assert(offsetof(SpectrumFrame, MinChB) == 22);
static_assert(offsetof(SpectrumFrame, Module) == 24);
static_assert(offsetof(SpectrumFrame, Phase) == 84);
static_assert(offsetof(SpectrumFrame, BatteryLevel) == 144);
static_assert(offsetof(SpectrumFrame, ChargerStatus) == 146);
static_assert(offsetof(SpectrumFrame, GPIOStatus) == 148);

static_assert(sizeof(ConfigurationBlock) == ConfigPayloadSize);
static_assert(offsetof(ConfigurationBlock, FrequencyCodes) == 2);
static_assert(offsetof(ConfigurationBlock, Shunt) == 32);
static_assert(offsetof(ConfigurationBlock, Comp) == 152);
