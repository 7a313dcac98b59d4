// The software Kalvix device: what it does with each request, and what it has ready for the
// host's next IN transfer at a given moment. Time is passed in (microseconds of any monotonic
// clock), so the model runs as fast or as slow as its caller likes.
//
// The record and its life (power-on, restart, the world's inputs, GPIO reports, read-back) are
// here; the request handlers in DeviceRequests, the clock and the spectra in SpectrumClock, and
// what waits to be sent, as typed records until a read takes it, in Outbox.
#pragma once

#include "AfeMemory.h"
#include "DeviceFaults.h"
#include "DeviceFrames.h"
#include "DeviceRequests.h"
#include "KalvixEmulator.h"
#include "LogReplay.h"
#include "ObjectModel.h"
#include "Outbox.h"
#include "RecordLayouts.h"
#include "SpectrumClock.h"

#include <cstdint>
#include <deque>
#include <map>
#include <vector>

constexpr size_t FrameLogLength = 64;

// SysErrors bits of the spectra besides SysBadParameter (DeviceRequests.h) and SysFifoOverflow
// (Outbox.h).
constexpr uint16_t SysChannelClipped = 0x0002;
constexpr uint16_t SysBatteryLow = 0x0004;

struct DeviceModel {
    uint32_t instance = 0;

    // Settings made by requests.
    uint16_t dividerCode = 0;
    uint16_t divider = 1;
    uint8_t excitation = 128;
    uint8_t gains = 0;
    bool batteryMode = false;
    bool tenX = false;
    uint16_t compensation = 0;
    uint8_t gpioMask = 0;
    uint16_t startWord = 0;
    float shunt[30] = {};
    float comp[30] = {};
    std::vector<uint8_t> dac = std::vector<uint8_t>(2000, 0);
    std::vector<uint8_t> phases = std::vector<uint8_t>(1024, 0);
    uint16_t sysErrors = 0;

    // The world around the device.
    bool afePlugged = true;
    AfeMemory afe{};
    uint8_t gpioInputs = 0; // levels of input lines 1 and 2, as status bits 2 and 1
    ObjectUnderTest object{};
    uint32_t noisePpm = 1000;
    NoiseSource noise{};
    char identText[TextPayloadSize + 1] = {};
    double batteryMv = 4020.0;
    Micros batteryUpdatedAt = 0;
    DeviceFaults faults{};
    LogReplay replay;       // a log whose rows are sent instead of spectra of the object

    // Measuring.
    DeviceMode mode = DeviceMode::Idle;
    const SpectrumSource* source = &ObjectSpectra; // chosen as a measurement starts
    uint32_t measCount = 0;
    Micros nextSpectrumAt = NoEvent;
    Micros lastSpectrumAt = 0;
    uint32_t burstLeft = 0;      // spectra still to come of the current trigger burst
    uint32_t pulsesWaiting = 0;  // pulses that came during a burst
    uint32_t pulsesTotal = 0;
    Micros triggerPeriod = 0;
    Micros nextAutoPulseAt = NoEvent;
    uint32_t floodRate = 0;

    // What waits to go to the host.
    Outbox outbox;
    uint16_t lastReportedGpio = 0xFFFF;
    Micros gpioReportAt = NoEvent;         // GPIO status frame owed after a measurement

    // Read-back.
    KalvixEmulatorState counters{};
    std::vector<uint8_t> lastFrame;
    std::map<uint16_t, std::vector<uint8_t>> lastFrameByOpcode;
    std::map<uint16_t, uint32_t> opcodeCounts;
    std::map<uint16_t, std::vector<uint8_t>> otherBlocks; // opcodes whose purpose the device keeps to itself
    std::deque<uint16_t> frameLog;
};

// Power-on state of instance `instance` at time `now`.
void ResetDevice(DeviceModel& device, uint32_t instance, Micros now);

// A power cycle after a failure: settings, tables and measurement start over; the world around
// the device (AFE, object, battery, identity, fault settings other than the failure) stays.
void RestartDevice(DeviceModel& device, Micros now);

// Drops whatever was queued for a host that has gone (a new open starts clean).
void FlushDeviceOutput(DeviceModel& device);

// The host aborted its read while the device had its next transfer on the way: that transfer, or
// the rest of one being delivered over several reads, is lost.
void LoseTransferInFlight(DeviceModel& device, size_t readLength, Micros now);

// Brings clocks, battery and measurement up to `now`.
void AdvanceDevice(DeviceModel& device, Micros now);

// The next transfer for an IN read of `capacity` bytes, or -1 when nothing is ready yet.
// A transfer longer than the read is delivered over several reads.
int TakeTransfer(DeviceModel& device, uint8_t* out, size_t capacity, Micros now);

// When something next becomes ready or due (NoEvent: nothing until the next request).
Micros NextDeviceEvent(const DeviceModel& device);

// Inputs from the world.
void SetAfePlugged(DeviceModel& device, bool plugged, Micros now);
void SetGpioInputs(DeviceModel& device, uint8_t levels, Micros now);

// The GPIO status word as the device reports it now.
uint16_t GpioStatusOf(const DeviceModel& device);
// Queues a GPIO status frame at `at` (the mask request is answered so, changed or not).
void QueueGpioReport(DeviceModel& device, Micros at);
// Reports a changed GPIO status at once while idle; while measuring the spectra carry it and a
// frame follows when the measurement ends.
void NoteGpioChange(DeviceModel& device, Micros now);

void FillState(const DeviceModel& device, KalvixEmulatorState& state);
