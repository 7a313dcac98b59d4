#include "SpectrumClock.h"

#include "DeviceModel.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr uint16_t FrequencyCodeTable[MeasurementFrequencyCount] = {
    1, 2, 3, 4, 7, 12, 19, 32, 52, 85, 139, 228, 373, 611, 1000};

constexpr Micros GpioSettleMicros = 20000;  // status frame owed after a measurement stops
constexpr double BatteryDrainPerSecond = 2.0;
constexpr double BatteryChargePerSecond = 5.0;
constexpr double BatteryEmptyMv = 3300.0;
constexpr double BatteryFullMv = 4150.0;
constexpr double BatteryLowMv = 3450.0;

Micros SpectrumPeriod(const DeviceModel& device)
{
    if (device.floodRate > 0)
        return std::max<Micros>(1, 1000000 / device.floodRate);
    return device.source->period(device);
}

uint16_t ChargerStatusOf(const DeviceModel& device)
{
    if (device.batteryMode)
        return 0; // running from the battery
    return device.batteryMv >= BatteryFullMv - 0.5 ? 2 : 1; // full : charging
}

// --- The object under test ---

Micros ObjectPeriod(const DeviceModel& device)
{
    return static_cast<Micros>(device.divider) * 1000;
}

bool NextObjectSpectrum(DeviceModel& device, Micros at, Micros period, Micros& nextIn)
{
    SpectrumFrame record{};
    record.marker = FrameMarker;
    record.tag = TagSpectrum;
    record.reserved4 = static_cast<uint16_t>(device.instance);
    record.MeasCount = device.measCount++;
    record.ProcPeriod = static_cast<uint32_t>(at - device.lastSpectrumAt);
    device.lastSpectrumAt = at;

    const double noise = device.noisePpm * 1e-6;
    const bool compensate = device.compensation == 0x00FF;
    const bool measureLeads = device.compensation == 0xFF00;
    double firstModule = 0.0;
    for (size_t i = 0; i < MeasurementFrequencyCount; ++i) {
        const double hz = FrequencyCodeTable[i] * 1000.0 / device.divider;
        const Impedance shunt(device.shunt[i], device.shunt[15 + i]);
        const Impedance comp(device.comp[i], device.comp[15 + i]);
        const Impedance z = ReportedImpedance(device.object, hz, shunt, comp, compensate, measureLeads);
        const double module = std::abs(z) * (1.0 + noise * NextGaussian(device.noise));
        const double phase = std::arg(z) * 180.0 / 3.141592653589793 + noise * 50.0 * NextGaussian(device.noise);
        record.Module[i] = static_cast<float>(module);
        record.Phase[i] = static_cast<float>(phase);
        if (i == 0)
            firstModule = std::abs(ObjectImpedance(device.object, hz));
    }
    const ChannelLevels levels = ComputeChannelLevels(firstModule, device.gains, device.excitation, device.tenX);
    record.MaxChA = levels.maxA;
    record.MinChA = levels.minA;
    record.MaxChB = levels.maxB;
    record.MinChB = levels.minB;
    record.BatteryLevel = static_cast<uint16_t>(std::lround(device.batteryMv));
    record.ChargerStatus = ChargerStatusOf(device);
    record.GPIOStatus = GpioStatusOf(device);
    uint16_t errors = device.sysErrors;
    if (levels.clipped)
        errors |= SysChannelClipped;
    if (device.batteryMv < BatteryLowMv)
        errors |= SysBatteryLow;
    record.SysErrors = errors;
    PushSpectrum(device.outbox, record, device.counters);
    nextIn = period;
    return true;
}

bool ObjectNeverEnds(const DeviceModel&)
{
    return false;
}

// --- The replayed log ---

Micros LogPeriod(const DeviceModel& device)
{
    return static_cast<Micros>(device.replay.divider) * 1000;
}

// A row of the log as the device's spectrum: every field as recorded (the FIFO adds its overflow
// flag when spectra were dropped just before it); the next row comes as many periods later as
// their MeasCounts differ, at the pace of the log's header (a looping log read again from its
// start may have another).
bool NextLogRow(DeviceModel& device, Micros at, Micros, Micros& nextIn)
{
    SpectrumRecord row;
    if (!TakeReplayRow(device.replay, row)) {
        RegroupOutbox(device); // the log has ended
        return false;
    }
    static_assert(sizeof(SpectrumRecord) == sizeof(SpectrumFrame));
    SpectrumFrame record;
    memcpy(&record, &row, sizeof record);
    record.reserved4 = static_cast<uint16_t>(device.instance);
    device.measCount = row.MeasCount + 1;
    device.lastSpectrumAt = at;
    PushSpectrum(device.outbox, record, device.counters);
    nextIn = SpectrumPeriod(device) * PeriodsToNextRow(device.replay, row.MeasCount);
    return true;
}

bool LogEnded(const DeviceModel& device)
{
    return device.replay.ended;
}

// --- Pacing ---

// A long stall (the caller did not look for a while) would otherwise make more spectra than the
// FIFO can hold; those are counted as dropped without being made.
void SkipStall(DeviceModel& device, Micros period, Micros now)
{
    if (device.nextSpectrumAt > now)
        return;
    const Micros due = (now - device.nextSpectrumAt) / period + 1;
    if (due <= device.outbox.fifoCapacity)
        return;
    const Micros skipped = due - device.outbox.fifoCapacity;
    device.measCount += static_cast<uint32_t>(skipped);
    device.counters.spectraProduced += static_cast<uint32_t>(skipped);
    device.counters.spectraDropped += static_cast<uint32_t>(skipped);
    DropFifo(device.outbox, device.counters);
    device.nextSpectrumAt += skipped * period;
    device.lastSpectrumAt = device.nextSpectrumAt - period;
}

// Measuring: each spectrum as many periods after the one before as its source says; after the
// last of a source that ends nothing more comes.
void AdvanceMeasuring(DeviceModel& device, Micros now)
{
    const SpectrumSource& source = *device.source;
    const Micros period = SpectrumPeriod(device);
    if (source.mayDropUnmade)
        SkipStall(device, period, now);
    while (device.nextSpectrumAt <= now) {
        const Micros at = device.nextSpectrumAt;
        Micros nextIn = 0;
        if (!source.next(device, at, period, nextIn)) {
            device.nextSpectrumAt = NoEvent;
            return;
        }
        device.nextSpectrumAt = at + nextIn;
    }
}

void StartBurst(DeviceModel& device, Micros pulseAt)
{
    device.burstLeft = SpectraPerTransfer(device.divider);
    device.nextSpectrumAt = pulseAt + SpectrumPeriod(device);
}

// External trigger: a group of spectra one period apart after each pulse; pulses that come during
// a burst wait for it to end.
void AdvanceTriggered(DeviceModel& device, Micros now)
{
    const Micros period = SpectrumPeriod(device);
    while (device.triggerPeriod > 0 && device.nextAutoPulseAt <= now) {
        FireTriggerPulses(device, 1, device.nextAutoPulseAt);
        device.nextAutoPulseAt += device.triggerPeriod;
    }
    while (device.burstLeft > 0 && device.nextSpectrumAt <= now) {
        Micros nextIn = 0; // a burst's spectra are one period apart whatever the source says
        device.source->next(device, device.nextSpectrumAt, period, nextIn);
        --device.burstLeft;
        const Micros endedAt = device.nextSpectrumAt;
        device.nextSpectrumAt += period;
        if (device.burstLeft == 0) {
            device.nextSpectrumAt = NoEvent;
            if (device.pulsesWaiting > 0) {
                --device.pulsesWaiting;
                StartBurst(device, endedAt);
            }
        }
    }
}

} // namespace

const SpectrumSource ObjectSpectra = {ObjectPeriod, NextObjectSpectrum, ObjectNeverEnds, true};
const SpectrumSource LogRows = {LogPeriod, NextLogRow, LogEnded, false};

const SpectrumSource& ChooseSpectrumSource(const LogReplay& replay)
{
    return IsReplaying(replay) ? LogRows : ObjectSpectra;
}

bool IsMeasuring(const DeviceModel& device)
{
    return device.mode != DeviceMode::Idle;
}

uint32_t SpectraPerTransfer(uint16_t divider)
{
    switch (divider) {
    case 1: return 4;
    case 2: return 3;
    case 4: return 2;
    default: return 1;
    }
}

const uint16_t* FrequencyCodes()
{
    return FrequencyCodeTable;
}

void StartMeasuring(DeviceModel& device, DeviceMode mode, Micros now)
{
    device.mode = mode;
    device.measCount = 0;
    ClearForStart(device.outbox);
    device.counters.spectraProduced = 0;
    device.counters.spectraDropped = 0;
    device.counters.spectraSent = 0;
    device.lastSpectrumAt = now;
    device.burstLeft = 0;
    device.pulsesWaiting = 0;
    device.gpioReportAt = NoEvent;
    RewindLogReplay(device.replay);
    device.source = &ChooseSpectrumSource(device.replay);
    RegroupOutbox(device);
    if (mode == DeviceMode::Measuring) {
        device.nextSpectrumAt = now + SpectrumPeriod(device);
    } else {
        device.nextSpectrumAt = NoEvent;
        device.nextAutoPulseAt = device.triggerPeriod > 0 ? now + device.triggerPeriod : NoEvent;
    }
}

void StopMeasuring(DeviceModel& device, Micros now)
{
    const bool wasMeasuring = IsMeasuring(device);
    SendFifoAfterStop(device.outbox, SpectraPerTransfer(device.divider), now, device.counters);
    device.mode = DeviceMode::Idle;
    device.nextSpectrumAt = NoEvent;
    device.burstLeft = 0;
    device.pulsesWaiting = 0;
    device.nextAutoPulseAt = NoEvent;
    RegroupOutbox(device);
    if (wasMeasuring)
        device.gpioReportAt = now + GpioSettleMicros;
}

void AdvanceBattery(DeviceModel& device, Micros now)
{
    if (now <= device.batteryUpdatedAt)
        return;
    const double seconds = (now - device.batteryUpdatedAt) / 1e6;
    device.batteryUpdatedAt = now;
    if (device.batteryMode)
        device.batteryMv = std::max(BatteryEmptyMv, device.batteryMv - BatteryDrainPerSecond * seconds);
    else
        device.batteryMv = std::min(BatteryFullMv, device.batteryMv + BatteryChargePerSecond * seconds);
}

void AdvanceSpectra(DeviceModel& device, Micros now)
{
    switch (device.mode) {
    case DeviceMode::Idle:
        return;
    case DeviceMode::Measuring:
        AdvanceMeasuring(device, now);
        return;
    case DeviceMode::ExternalTrigger:
        AdvanceTriggered(device, now);
        return;
    }
}

void RegroupOutbox(DeviceModel& device)
{
    Grouping& grouping = device.outbox.grouping;
    grouping.measuring = IsMeasuring(device);
    grouping.group = SpectraPerTransfer(device.divider);
    grouping.sourceEnded = device.mode == DeviceMode::Measuring && device.source->ended(device);
    grouping.loneReplyAlone = device.mode == DeviceMode::ExternalTrigger;
}

Micros NextClockEvent(const DeviceModel& device)
{
    if (!IsMeasuring(device))
        return device.gpioReportAt;
    Micros next = device.nextSpectrumAt;
    if (device.mode == DeviceMode::ExternalTrigger && device.triggerPeriod > 0)
        next = std::min(next, device.nextAutoPulseAt);
    return next;
}

void FireTriggerPulses(DeviceModel& device, uint32_t pulses, Micros now)
{
    device.pulsesTotal += pulses;
    if (device.mode != DeviceMode::ExternalTrigger || pulses == 0)
        return;
    if (device.burstLeft == 0) {
        StartBurst(device, now);
        --pulses;
    }
    device.pulsesWaiting += pulses;
}

void SetTriggerPeriod(DeviceModel& device, uint32_t periodMs, Micros now)
{
    AdvanceDevice(device, now);
    device.triggerPeriod = static_cast<Micros>(periodMs) * 1000;
    device.nextAutoPulseAt = (device.mode == DeviceMode::ExternalTrigger && periodMs > 0) ? now + device.triggerPeriod : NoEvent;
}

void SetReplay(DeviceModel& device, LogReplay replay, Micros now)
{
    AdvanceDevice(device, now);
    device.replay = std::move(replay);
    // A measurement under way switches at once; an idle device chooses at its next start.
    if (IsMeasuring(device))
        device.source = &ChooseSpectrumSource(device.replay);
    RegroupOutbox(device);
    if (device.mode == DeviceMode::Measuring) {
        device.lastSpectrumAt = now;
        device.nextSpectrumAt = now + SpectrumPeriod(device);
    }
}
