// What the device does with each request of the host, and the replies it makes.
#pragma once

#include "Outbox.h"

#include <cstddef>
#include <cstdint>

struct DeviceModel;

// SysErrors bit of the spectra: an unknown divider code was given.
constexpr uint16_t SysBadParameter = 0x0001;

// One OUT transfer from the host.
void ReceiveRequest(DeviceModel& device, const uint8_t* bytes, size_t length, Micros now);

// Divider for a device code, or 0 for a code the device does not know.
uint16_t DividerForCode(uint16_t code);
void BuildConfiguration(const DeviceModel& device, uint8_t (&out)[ConfigPayloadSize]);
