// The device's frames as both ends of the wire see them: the marker every frame starts with, the
// tag that names a device frame, the whole length of each kind and where its payload lies.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr uint16_t FrameMarker = 0xFF03;

enum FrameTag : uint16_t {
    TagSpectrum = 0x01DD,
    TagTextReply = 0x02CC,
    TagI2cReply = 0x02DD,
    TagConfigReply = 0x03DD,
    TagGpioStatus = 0x04DD,
    TagAcknowledge = 0x05CC,
};

// Whole frames, marker and tag included.
constexpr size_t SpectrumFrameLength = 192;
constexpr size_t TextReplyFrameLength = 58;
constexpr size_t I2cReplyFrameLength = 192;
constexpr size_t ConfigReplyFrameLength = 276;
constexpr size_t GpioStatusFrameLength = 6;
constexpr size_t AcknowledgeFrameLength = 12;

// Replies carry their payload right behind marker and tag, except the I2C reply, whose data
// bytes (one per 16-bit word) start at byte 10.
constexpr size_t ReplyPayloadOffset = 4;
constexpr size_t I2cReplyDataOffset = 10;
// The most bytes one I2C transfer moves either way.
constexpr size_t I2cMaxTransferBytes = 90;
constexpr size_t TextPayloadSize = TextReplyFrameLength - ReplyPayloadOffset;     // 54
constexpr size_t ConfigPayloadSize = ConfigReplyFrameLength - ReplyPayloadOffset; // 272

// The GPIO status word, as GPIO status frames and every spectrum carry it: bits 0..2 the levels of
// GPIO lines 3, 2 and 1 (line 3 is the AFE presence line, high while no AFE is attached), bit 3
// set while the device runs on its battery.
constexpr uint16_t GpioBatteryModeBit = 0x08;

// Request frames start with the marker, then the opcode; this one stops a measurement.
constexpr uint16_t OpcodeStop = 0x00FF;
