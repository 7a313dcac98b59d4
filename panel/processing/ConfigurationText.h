// The device configuration as the program shows it: the measurement frequencies worked out from
// the configuration block's codes, the frequency list beside the impedance numbers, and the text
// of the configuration view (AFE description and type codes, shunt and compensation tables).
#pragma once

#include "KalvixCtrl.h"
#include "TextFormat.h"

#include <cstddef>
#include <cstdint>

// Room for what CMD_READ_CONFIGURATION may write: the 276 bytes of the reply, of which the first
// 272 are the configuration block. Read into this, then copy `configuration` out.
constexpr size_t ConfigurationReadSize = 276;
struct alignas(4) ConfigurationReadRoom {
    DeviceConfiguration configuration;
    uint8_t beyond[ConfigurationReadSize - sizeof(DeviceConfiguration)];
};
static_assert(sizeof(ConfigurationReadRoom) == ConfigurationReadSize, "the read may write 276 bytes");
static_assert(offsetof(ConfigurationReadRoom, configuration) == 0, "the block starts the room");

// Frequency i (Hz) = code i x 1000 / divider: the product formed as a 32-bit integer, the
// division made in single precision. Writes 15 values.
void ComputeMeasurementFrequencies(const DeviceConfiguration& configuration, uint16_t divider, float* frequencies);

// 15 lines "%11.2fHz\n", one per frequency.
void FormatFrequencyList(TextSink& sink, const float* frequencies);

// The view text for the AFE area (description, AFEType, SHUNTType, SHUNTCount) and the
// configuration's shunt and compensation blocks ("%.2f" each). Whatever does not fit the sink is
// cut off; the text stays terminated.
void FormatConfigurationView(TextSink& sink, const uint8_t* afeArea, const DeviceConfiguration& configuration);
