// The device's clock and its spectra: the measuring mode, spectra paced against the clock (or
// sent in bursts on trigger pulses), how many go per transfer, the battery that drains or charges
// meanwhile, and where a measurement's spectra come from: the modelled object under test or the
// rows of a replayed log, chosen as the measurement starts.
#pragma once

#include "LogReplay.h"
#include "Outbox.h"

#include <cstdint>

struct DeviceModel;

// What the device is doing; the values are those KalvixEmulatorState reports.
enum class DeviceMode : uint32_t {
    Idle = 0,
    Measuring = 1,       // spectra one per period, against the clock
    ExternalTrigger = 2, // a group of spectra per trigger pulse
};

// Where spectra come from. A measurement takes its source as it starts (and a replay set while it
// runs switches it at once); from then on every spectrum asks only that source.
struct SpectrumSource {
    // Time between two spectra, unless a flood rate sets it.
    Micros (*period)(const DeviceModel& device);
    // Puts the spectrum due `at` into the FIFO and tells how long after it the next one is due
    // (`period`: the pace of the clock when it began this step); false (nothing put) when the
    // source has nothing more.
    bool (*next)(DeviceModel& device, Micros at, Micros period, Micros& nextIn);
    // Nothing more will come in this measurement.
    bool (*ended)(const DeviceModel& device);
    // After a long stall the spectra a full FIFO could not hold may be counted as dropped without
    // being made: nothing later depends on them.
    bool mayDropUnmade;
};
extern const SpectrumSource ObjectSpectra; // computed from the modelled object under test
extern const SpectrumSource LogRows;       // the rows of the replayed log, as recorded

const SpectrumSource& ChooseSpectrumSource(const LogReplay& replay);

bool IsMeasuring(const DeviceModel& device);

// START (DeviceMode::Measuring) and the trigger request (DeviceMode::ExternalTrigger): MeasCount
// from 0, an empty FIFO, the source chosen, a replayed log back at its first row.
void StartMeasuring(DeviceModel& device, DeviceMode mode, Micros now);
// STOP: no more spectra; those queued still go out; a GPIO status frame is owed once it settles.
void StopMeasuring(DeviceModel& device, Micros now);

void AdvanceBattery(DeviceModel& device, Micros now);
// Makes every spectrum due up to `now` (and fires the automatic trigger pulses due).
void AdvanceSpectra(DeviceModel& device, Micros now);
// Tells the outbox how the FIFO's frames go out, after the mode, the divider or the source of
// spectra changed.
void RegroupOutbox(DeviceModel& device);
// The next spectrum or trigger pulse due (while idle: the GPIO status frame owed after a stop).
Micros NextClockEvent(const DeviceModel& device);

void FireTriggerPulses(DeviceModel& device, uint32_t pulses, Micros now);
void SetTriggerPeriod(DeviceModel& device, uint32_t periodMs, Micros now);
// Spectra from now on are the rows of `replay` (an empty one: of the object again). While
// measuring, its first row comes one period from now; every START begins again at the first row.
void SetReplay(DeviceModel& device, LogReplay replay, Micros now);

uint32_t SpectraPerTransfer(uint16_t divider);
const uint16_t* FrequencyCodes(); // 15 codes; frequency = code * 1000 / divider
