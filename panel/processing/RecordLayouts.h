// The device's spectrum record and configuration block as the processing code reads them; the
// offsets are those of the device frames, so they are pinned here.
#pragma once

#include "KalvixCtrl.h"

#include <cstddef>

static_assert(sizeof(SpectrumRecord) == 192);
static_assert(offsetof(SpectrumRecord, SysErrors) == 6);
static_assert(offsetof(SpectrumRecord, MeasCount) == 8);
static_assert(offsetof(SpectrumRecord, ProcPeriod) == 12);
static_assert(offsetof(SpectrumRecord, MaxChA) == 16);
static_assert(offsetof(SpectrumRecord, MinChA) == 18);
static_assert(offsetof(SpectrumRecord, MaxChB) == 20);
static_assert(offsetof(SpectrumRecord, MinChB) == 22);
static_assert(offsetof(SpectrumRecord, Module) == 24);
static_assert(offsetof(SpectrumRecord, Phase) == 84);
static_assert(offsetof(SpectrumRecord, BatteryLevel) == 144);
static_assert(offsetof(SpectrumRecord, ChargerStatus) == 146);
static_assert(offsetof(SpectrumRecord, GPIOStatus) == 148);

static_assert(sizeof(DeviceConfiguration) == 272);
static_assert(offsetof(DeviceConfiguration, FrequencyCodes) == 2);
static_assert(offsetof(DeviceConfiguration, Shunt) == 32);
static_assert(offsetof(DeviceConfiguration, Comp) == 152);
static_assert(sizeof(DeviceConfiguration::Shunt) == 120);

// Number of measurement frequencies; index i of every 15-entry table belongs to frequency i.
constexpr size_t MeasurementFrequencyCount = 15;
