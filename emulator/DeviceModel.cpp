#include "DeviceModel.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

void ResetDevice(DeviceModel& device, uint32_t instance, Micros now)
{
    device = DeviceModel{};
    device.instance = instance;
    device.noise.state ^= (instance + 1) * 0x2545F4914F6CDD1Dull;
    snprintf(device.identText, sizeof device.identText, "Kalvix Z-Meter HW:v1.02 SW:v1.30 SN:KX1024%04u",
             static_cast<unsigned>(instance + 1));
    WriteAfeRecord(device.afe, AfeRecordKind::Valid);
    device.batteryUpdatedAt = now;
    device.lastReportedGpio = GpioStatusOf(device);
    RegroupOutbox(device);
}

void RestartDevice(DeviceModel& device, Micros now)
{
    AdvanceDevice(device, now);
    DeviceModel restarted;
    ResetDevice(restarted, device.instance, now);
    restarted.afePlugged = device.afePlugged;
    restarted.afe = device.afe;
    restarted.gpioInputs = device.gpioInputs;
    restarted.object = device.object;
    restarted.noisePpm = device.noisePpm;
    restarted.noise = device.noise;
    memcpy(restarted.identText, device.identText, sizeof restarted.identText);
    restarted.batteryMv = device.batteryMv;
    restarted.faults = device.faults;
    restarted.faults.failure = false;
    restarted.replay = std::move(device.replay);
    restarted.floodRate = device.floodRate;
    restarted.outbox.fifoCapacity = device.outbox.fifoCapacity;
    restarted.triggerPeriod = device.triggerPeriod;
    restarted.counters = device.counters;
    restarted.lastReportedGpio = GpioStatusOf(restarted);
    device = std::move(restarted);
}

void FlushDeviceOutput(DeviceModel& device)
{
    FlushOutbox(device.outbox);
}

void LoseTransferInFlight(DeviceModel& device, size_t readLength, Micros now)
{
    if (DropPartialTransfer(device.outbox)) {
        ++device.counters.transfersLost;
        return;
    }
    std::vector<uint8_t> lost(readLength);
    if (readLength > 0 && TakeTransfer(device, lost.data(), readLength, now) >= 0) {
        // A transfer longer than the read is lost whole.
        DropPartialTransfer(device.outbox);
        ++device.counters.transfersLost;
    }
}

void AdvanceDevice(DeviceModel& device, Micros now)
{
    AdvanceBattery(device, now);
    AdvanceSpectra(device, now);
    ReleaseDueReplies(device.outbox, now, device.counters);
    // Only a stopped measurement owes a status frame.
    if (device.gpioReportAt <= now && !IsMeasuring(device)) {
        device.gpioReportAt = NoEvent;
        if (GpioStatusOf(device) != device.lastReportedGpio)
            QueueGpioReport(device, now);
    }
}

int TakeTransfer(DeviceModel& device, uint8_t* out, size_t capacity, Micros now)
{
    AdvanceDevice(device, now);
    if (capacity == 0)
        return -1;
    return DeliverTransfer(device.outbox, device.faults, device.noise, out, capacity, now, device.counters);
}

Micros NextDeviceEvent(const DeviceModel& device)
{
    return std::min(NextOutboxEvent(device.outbox), NextClockEvent(device));
}

void SetAfePlugged(DeviceModel& device, bool plugged, Micros now)
{
    AdvanceDevice(device, now);
    device.afePlugged = plugged;
    NoteGpioChange(device, now);
}

void SetGpioInputs(DeviceModel& device, uint8_t levels, Micros now)
{
    AdvanceDevice(device, now);
    device.gpioInputs = static_cast<uint8_t>(levels & 0x06);
    NoteGpioChange(device, now);
}

uint16_t GpioStatusOf(const DeviceModel& device)
{
    // Status bit b (0..2) is line 3 - b; its level bit in the mask is 1 << b, its direction
    // bit (1 = output) 1 << (b + 3).
    uint16_t status = 0;
    for (int b = 0; b < 3; ++b) {
        bool level;
        if (device.gpioMask & (1 << (b + 3)))
            level = (device.gpioMask & (1 << b)) != 0;
        else if (b == 0)
            level = !device.afePlugged; // the presence line is pulled high while no AFE is attached
        else
            level = (device.gpioInputs & (1 << b)) != 0;
        if (level)
            status |= static_cast<uint16_t>(1 << b);
    }
    if (device.batteryMode)
        status |= GpioBatteryModeBit;
    return status;
}

void QueueGpioReport(DeviceModel& device, Micros at)
{
    const uint16_t status = GpioStatusOf(device);
    QueueAlone(device.outbox, GpioStatusReport{status}, at);
    device.lastReportedGpio = status;
}

void NoteGpioChange(DeviceModel& device, Micros now)
{
    if (GpioStatusOf(device) != device.lastReportedGpio && !IsMeasuring(device))
        QueueGpioReport(device, now);
}

void FillState(const DeviceModel& device, KalvixEmulatorState& state)
{
    state = device.counters;
    state.mode = static_cast<uint32_t>(device.mode);
    state.dividerCode = device.dividerCode;
    state.divider = device.divider;
    state.spectraPerTransfer = SpectraPerTransfer(device.divider);
    state.excitation = device.excitation;
    state.gains = device.gains;
    state.batteryMode = device.batteryMode;
    state.tenX = device.tenX;
    state.compensation = device.compensation;
    state.gpioMask = device.gpioMask;
    state.gpioStatus = GpioStatusOf(device);
    state.startWord = device.startWord;
    state.nextMeasCount = device.measCount;
    state.fifoLevel = static_cast<uint32_t>(device.outbox.fifo.size());
    state.afeAddress = device.afe.counter;
    state.batteryMv = static_cast<uint32_t>(std::lround(device.batteryMv));
    state.triggerPulses = device.pulsesTotal;
}
