#include "DeviceModel.h"

#include "Dividers.h"
#include "RecordLayouts.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
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
    if (IsReplaying(device.replay))
        return static_cast<Micros>(device.replay.divider) * 1000;
    return static_cast<Micros>(device.divider) * 1000;
}

bool IsMeasuring(const DeviceModel& device)
{
    return device.mode != 0;
}

uint16_t ChargerStatusOf(const DeviceModel& device)
{
    if (device.batteryMode)
        return 0; // running from the battery
    return device.batteryMv >= BatteryFullMv - 0.5 ? 2 : 1; // full : charging
}

void QueueGpioReport(DeviceModel& device, Micros at)
{
    const uint16_t status = GpioStatusOf(device);
    device.outbox.push_back(TimedFrame{at, GpioFrame(status)});
    device.lastReportedGpio = status;
}

// Reports a changed GPIO status at once while idle; while measuring the spectra carry it and a
// frame follows when the measurement ends.
void NoteGpioChange(DeviceModel& device, Micros now)
{
    if (GpioStatusOf(device) != device.lastReportedGpio && !IsMeasuring(device))
        QueueGpioReport(device, now);
}

void Reply(DeviceModel& device, std::vector<uint8_t> frame, Micros now)
{
    if (device.faults.replyDelayMs < 0) {
        ++device.counters.repliesWithheld;
        return;
    }
    device.delayedReplies.push_back(TimedFrame{now + static_cast<Micros>(device.faults.replyDelayMs) * 1000, std::move(frame)});
}

bool IsSpectrumFrame(const std::vector<uint8_t>& frame)
{
    return frame.size() >= 4 && GetU16(frame.data() + 2) == TagSpectrum;
}

// Empties the FIFO, counting the spectra it held as dropped (an I2C reply among them is no
// spectrum).
void DropFifo(DeviceModel& device)
{
    for (const std::vector<uint8_t>& frame : device.fifo)
        if (IsSpectrumFrame(frame))
            ++device.counters.spectraDropped;
    device.fifo.clear();
}

// Flags the first spectrum the host will get after dropped ones: that is where its MeasCount
// jumps.
void MarkGap(DeviceModel& device)
{
    for (std::vector<uint8_t>& frame : device.fifo) {
        if (IsSpectrumFrame(frame)) {
            PutU16(frame.data() + 6, static_cast<uint16_t>(GetU16(frame.data() + 6) | SysFifoOverflow));
            return;
        }
    }
    device.overflowed = true; // none waiting: the next one made carries it
}

void PushFrameToFifo(DeviceModel& device, std::vector<uint8_t> frame)
{
    // The oldest go first; the capacity may also have been lowered under a fuller FIFO.
    bool dropped = false;
    while (!device.fifo.empty() && device.fifo.size() >= device.fifoCapacity) {
        if (IsSpectrumFrame(device.fifo.front())) {
            ++device.counters.spectraDropped;
            dropped = true;
        }
        device.fifo.pop_front();
    }
    device.fifo.push_back(std::move(frame));
    if (dropped)
        MarkGap(device);
}

void ProduceObjectSpectrum(DeviceModel& device, Micros at)
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
    if (device.overflowed)
        errors |= SysFifoOverflow;
    device.overflowed = false;
    record.SysErrors = errors;

    std::vector<uint8_t> frame(sizeof record);
    memcpy(frame.data(), &record, sizeof record);
    ++device.counters.spectraProduced;
    PushFrameToFifo(device, std::move(frame));
}

// A row of the log as the device's spectrum: every field as recorded, with the FIFO's own
// overflow flag added when spectra were dropped just before it.
void PushReplayedRow(DeviceModel& device, const SpectrumRecord& row, Micros at)
{
    SpectrumRecord record = row;
    record.reserved4 = static_cast<uint16_t>(device.instance);
    if (device.overflowed)
        record.SysErrors |= SysFifoOverflow;
    device.overflowed = false;
    device.measCount = row.MeasCount + 1;
    device.lastSpectrumAt = at;
    std::vector<uint8_t> frame(sizeof record);
    memcpy(frame.data(), &record, sizeof record);
    ++device.counters.spectraProduced;
    PushFrameToFifo(device, std::move(frame));
}

void ProduceSpectrum(DeviceModel& device, Micros at)
{
    if (!IsReplaying(device.replay)) {
        ProduceObjectSpectrum(device, at);
        return;
    }
    SpectrumRecord row;
    if (TakeReplayRow(device.replay, row))
        PushReplayedRow(device, row, at);
}

// Measuring from a log: each row comes as many periods after the one before as their MeasCounts
// differ; after the last row of a log that does not loop nothing more comes.
void AdvanceReplayedSpectra(DeviceModel& device, Micros now)
{
    while (device.nextSpectrumAt <= now) {
        SpectrumRecord row;
        if (!TakeReplayRow(device.replay, row)) {
            device.nextSpectrumAt = NoEvent;
            return;
        }
        const Micros at = device.nextSpectrumAt;
        PushReplayedRow(device, row, at);
        device.nextSpectrumAt = at + SpectrumPeriod(device) * PeriodsToNextRow(device.replay, row.MeasCount);
    }
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

void StartBurst(DeviceModel& device, Micros pulseAt)
{
    device.burstLeft = SpectraPerTransfer(device.divider);
    device.nextSpectrumAt = pulseAt + SpectrumPeriod(device);
}

void AdvanceSpectra(DeviceModel& device, Micros now)
{
    const Micros period = SpectrumPeriod(device);
    if (device.mode == 1 && IsReplaying(device.replay)) {
        AdvanceReplayedSpectra(device, now);
        return;
    }
    if (device.mode == 1) {
        if (device.nextSpectrumAt > now)
            return;
        // A long stall (the caller did not look for a while) would otherwise produce more spectra
        // than the FIFO can hold; those are counted as dropped without being computed.
        const Micros due = (now - device.nextSpectrumAt) / period + 1;
        if (due > device.fifoCapacity) {
            const Micros skipped = due - device.fifoCapacity;
            device.measCount += static_cast<uint32_t>(skipped);
            device.counters.spectraProduced += static_cast<uint32_t>(skipped);
            device.counters.spectraDropped += static_cast<uint32_t>(skipped);
            DropFifo(device);
            device.overflowed = true;
            device.nextSpectrumAt += skipped * period;
            device.lastSpectrumAt = device.nextSpectrumAt - period;
        }
        while (device.nextSpectrumAt <= now) {
            ProduceSpectrum(device, device.nextSpectrumAt);
            device.nextSpectrumAt += period;
        }
        return;
    }
    if (device.mode == 2) {
        while (device.triggerPeriod > 0 && device.nextAutoPulseAt <= now) {
            FireTriggerPulses(device, 1, device.nextAutoPulseAt);
            device.nextAutoPulseAt += device.triggerPeriod;
        }
        while (device.burstLeft > 0 && device.nextSpectrumAt <= now) {
            ProduceSpectrum(device, device.nextSpectrumAt);
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
}

void AdvanceReplies(DeviceModel& device, Micros now)
{
    while (!device.delayedReplies.empty() && device.delayedReplies.front().readyAt <= now) {
        TimedFrame reply = std::move(device.delayedReplies.front());
        device.delayedReplies.pop_front();
        ++device.counters.repliesSent;
        // While measuring, the host reads whole spectrum groups: a 192-byte reply travels among
        // the spectra; anything else goes out on its own.
        if (IsMeasuring(device) && reply.bytes.size() == SpectrumFrameLength)
            device.fifo.push_back(std::move(reply.bytes));
        else
            device.outbox.push_back(TimedFrame{reply.readyAt, std::move(reply.bytes)});
    }
    if (!IsMeasuring(device) && device.gpioReportAt <= now) {
        device.gpioReportAt = NoEvent;
        if (GpioStatusOf(device) != device.lastReportedGpio)
            QueueGpioReport(device, now);
    }
}

// A stop does not take back what the device has queued: its spectra (and a reply among them)
// still go out, in transfers of the measurement's size, ahead of anything that follows the stop.
void SendQueuedAfterStop(DeviceModel& device, Micros now)
{
    const size_t group = SpectraPerTransfer(device.divider);
    std::vector<TimedFrame> transfers;
    while (!device.fifo.empty()) {
        TimedFrame transfer{now, {}, true};
        for (size_t k = 0; k < group && !device.fifo.empty(); ++k) {
            std::vector<uint8_t>& frame = device.fifo.front();
            if (IsSpectrumFrame(frame)) {
                ++device.counters.spectraSent;
                ++device.counters.spectraAfterStop;
            }
            transfer.bytes.insert(transfer.bytes.end(), frame.begin(), frame.end());
            device.fifo.pop_front();
        }
        transfer.bytes.resize(group * SpectrumFrameLength, 0);
        transfers.push_back(std::move(transfer));
    }
    device.outbox.insert(device.outbox.begin(), std::make_move_iterator(transfers.begin()),
                         std::make_move_iterator(transfers.end()));
}

void StopMeasuring(DeviceModel& device, Micros now)
{
    const bool wasMeasuring = IsMeasuring(device);
    SendQueuedAfterStop(device, now);
    device.mode = 0;
    device.nextSpectrumAt = NoEvent;
    device.burstLeft = 0;
    device.pulsesWaiting = 0;
    device.nextAutoPulseAt = NoEvent;
    if (wasMeasuring)
        device.gpioReportAt = now + GpioSettleMicros;
}

void StartMeasuring(DeviceModel& device, int32_t mode, Micros now)
{
    device.mode = mode;
    device.measCount = 0;
    device.fifo.clear();
    // A new measurement starts with an empty queue: spectra of the last one not yet sent are gone.
    std::erase_if(device.outbox, [](const TimedFrame& frame) { return frame.leftover; });
    device.overflowed = false;
    device.counters.spectraProduced = 0;
    device.counters.spectraDropped = 0;
    device.counters.spectraSent = 0;
    device.lastSpectrumAt = now;
    device.burstLeft = 0;
    device.pulsesWaiting = 0;
    device.gpioReportAt = NoEvent;
    RewindLogReplay(device.replay);
    if (mode == 1) {
        device.nextSpectrumAt = now + SpectrumPeriod(device);
    } else {
        device.nextSpectrumAt = NoEvent;
        device.nextAutoPulseAt = device.triggerPeriod > 0 ? now + device.triggerPeriod : NoEvent;
    }
}

bool I2cSlaveAnswers(const DeviceModel& device, uint16_t slave)
{
    return slave == AfeI2cAddress && device.afePlugged && !device.faults.i2cNack;
}

void HandleI2c(DeviceModel& device, const Request& request, Micros now)
{
    const bool write = RequestWord(request, 0) != 0;
    const uint16_t slave = RequestWord(request, 1);
    const uint16_t count = RequestWord(request, 2);
    if (!I2cSlaveAnswers(device, slave) || count == 0 || count > AfeBlockSize) {
        ++device.counters.i2cUnanswered;
        return;
    }
    if (write) {
        uint8_t bytes[AfeBlockSize];
        for (uint16_t i = 0; i < count; ++i)
            bytes[i] = static_cast<uint8_t>(RequestWord(request, 3 + i) & 0xFF);
        AfeI2cWrite(device.afe, bytes, count);
        ++device.counters.i2cWrites;
        return;
    }
    uint8_t bytes[AfeBlockSize];
    AfeI2cRead(device.afe, bytes, count);
    ++device.counters.i2cReads;
    Reply(device, I2cReplyFrame(static_cast<uint8_t>(slave), bytes, count), now);
}

void CopyTable(float (&table)[30], const Request& request)
{
    memcpy(table, request.params, sizeof table);
}

void RecordRequest(DeviceModel& device, const uint8_t* bytes, size_t length, uint16_t opcode)
{
    ++device.counters.requestsReceived;
    device.lastFrame.assign(bytes, bytes + length);
    device.lastFrameByOpcode[opcode] = device.lastFrame;
    ++device.opcodeCounts[opcode];
    device.frameLog.push_back(opcode);
    if (device.frameLog.size() > FrameLogLength)
        device.frameLog.pop_front();
}

std::vector<uint8_t> NoiseBytes(DeviceModel& device, size_t n)
{
    // Random bytes that never form a frame marker, led by a marker with a tag no frame has.
    std::vector<uint8_t> bytes(n);
    for (auto& b : bytes) {
        b = static_cast<uint8_t>(NextRandom(device.noise));
        if (b == 0x03)
            b = 0x00;
    }
    if (n >= 4) {
        bytes[0] = 0x03;
        bytes[1] = 0xFF;
        bytes[2] = 0x77;
        bytes[3] = 0x77;
    }
    return bytes;
}

int Deliver(DeviceModel& device, std::vector<uint8_t> transfer, uint8_t* out, size_t capacity)
{
    ++device.counters.transfersSent;
    device.partial = std::move(transfer);
    device.partialOffset = 0;
    const size_t n = std::min(capacity, device.partial.size());
    memcpy(out, device.partial.data(), n);
    device.partialOffset = n;
    if (device.partialOffset == device.partial.size())
        device.partial.clear();
    return static_cast<int>(n);
}

// The next whole transfer the device would send, without taking it; empty when none is ready.
bool NextTransferReady(const DeviceModel& device, Micros now, bool& fromOutbox)
{
    if (!device.outbox.empty() && device.outbox.front().readyAt <= now) {
        fromOutbox = true;
        return true;
    }
    fromOutbox = false;
    if (!IsMeasuring(device) || device.fifo.empty())
        return false;
    const size_t group = SpectraPerTransfer(device.divider);
    if (device.fifo.size() >= group)
        return true;
    // The last rows of a replayed log go out in a short group (padded) rather than wait for
    // spectra that will not come.
    if (device.mode == 1 && IsReplaying(device.replay) && device.replay.ended)
        return true;
    // A lone I2C reply under external trigger does not wait for spectra that may never come.
    return device.mode == 2 && GetU16(device.fifo.front().data() + 2) == TagI2cReply;
}

} // namespace

uint32_t SpectraPerTransfer(uint16_t divider)
{
    switch (divider) {
    case 1: return 4;
    case 2: return 3;
    case 4: return 2;
    default: return 1;
    }
}

uint16_t DividerForCode(uint16_t code)
{
    for (size_t i = 0; i < DividerCount; ++i)
        if (DividerIndexesLookup[i] == code)
            return DividersLookup[i];
    return 0;
}

const uint16_t* FrequencyCodes()
{
    return FrequencyCodeTable;
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

void BuildConfiguration(const DeviceModel& device, uint8_t (&out)[ConfigPayloadSize])
{
    ConfigurationBlock configuration{};
    configuration.reserved0 = MeasurementFrequencyCount;
    memcpy(configuration.FrequencyCodes, FrequencyCodeTable, sizeof FrequencyCodeTable);
    memcpy(configuration.Shunt, device.shunt, sizeof configuration.Shunt);
    memcpy(configuration.Comp, device.comp, sizeof configuration.Comp);
    static_assert(sizeof configuration == sizeof out);
    memcpy(out, &configuration, sizeof out);
}

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
    restarted.fifoCapacity = device.fifoCapacity;
    restarted.triggerPeriod = device.triggerPeriod;
    restarted.counters = device.counters;
    restarted.lastReportedGpio = GpioStatusOf(restarted);
    device = std::move(restarted);
}

void LoseTransferInFlight(DeviceModel& device, size_t readLength, Micros now)
{
    if (!device.partial.empty()) {
        device.partial.clear();
        device.partialOffset = 0;
        ++device.counters.transfersLost;
        return;
    }
    std::vector<uint8_t> lost(readLength);
    if (readLength > 0 && TakeTransfer(device, lost.data(), readLength, now) >= 0) {
        // A transfer longer than the read is lost whole.
        device.partial.clear();
        device.partialOffset = 0;
        ++device.counters.transfersLost;
    }
}

void FlushDeviceOutput(DeviceModel& device)
{
    device.outbox.clear();
    device.delayedReplies.clear();
    device.partial.clear();
    device.partialOffset = 0;
}

void ReceiveRequest(DeviceModel& device, const uint8_t* bytes, size_t length, Micros now)
{
    AdvanceDevice(device, now);
    Request request;
    const RequestCheck check = ParseRequest(bytes, length, request);
    if (check == RequestCheck::NoMarker || check == RequestCheck::WrongLength) {
        ++device.counters.malformedRequests;
        return;
    }
    RecordRequest(device, bytes, length, request.opcode);
    if (check == RequestCheck::UnknownOpcode) {
        ++device.counters.unknownOpcodes;
        return;
    }
    const uint16_t value = RequestWord(request, 0);
    switch (request.opcode) {
    case OpcodeStop:
        StopMeasuring(device, now);
        break;
    case OpStart:
        device.startWord = value;
        StartMeasuring(device, 1, now);
        break;
    case OpTrigger:
        if (value != 0)
            StartMeasuring(device, 2, now);
        else
            StopMeasuring(device, now);
        break;
    case OpIdentify:
    case OpIdentify48:
        Reply(device, TextFrame(device.identText), now);
        break;
    case OpConfiguration: {
        uint8_t configuration[ConfigPayloadSize];
        BuildConfiguration(device, configuration);
        Reply(device, ConfigurationFrame(configuration), now);
        break;
    }
    case OpLoadShunt:
        CopyTable(device.shunt, request);
        break;
    case OpLoadComp:
        CopyTable(device.comp, request);
        break;
    case OpLoadDac:
        device.dac.assign(request.params, request.params + request.paramBytes);
        break;
    case OpLoadPhases:
        device.phases.assign(request.params, request.params + request.paramBytes);
        break;
    case OpCompensation:
        device.compensation = value;
        break;
    case OpExcitation:
        device.excitation = static_cast<uint8_t>(value & 0xFF);
        break;
    case OpGains:
        device.gains = static_cast<uint8_t>(value & 0x0F);
        break;
    case OpTenX:
        device.tenX = value != 0;
        break;
    case OpBattery:
        device.batteryMode = value != 0;
        NoteGpioChange(device, now);
        break;
    case OpDivider: {
        const uint16_t divider = DividerForCode(value);
        if (divider == 0) {
            device.sysErrors |= SysBadParameter;
        } else {
            device.dividerCode = value;
            device.divider = divider;
            device.sysErrors &= static_cast<uint16_t>(~SysBadParameter);
        }
        break;
    }
    case OpGpio:
        // Answered at once, even when nothing changed, and while measuring too: then the short
        // status transfer arrives where the host reads whole spectrum groups.
        device.gpioMask = static_cast<uint8_t>(value & 0x3F);
        QueueGpioReport(device, now);
        break;
    case OpI2c:
        HandleI2c(device, request, now);
        break;
    default:
        device.otherBlocks[request.opcode].assign(request.params, request.params + request.paramBytes);
        break;
    }
}

void AdvanceDevice(DeviceModel& device, Micros now)
{
    AdvanceBattery(device, now);
    AdvanceSpectra(device, now);
    AdvanceReplies(device, now);
}

int TakeTransfer(DeviceModel& device, uint8_t* out, size_t capacity, Micros now)
{
    AdvanceDevice(device, now);
    if (capacity == 0)
        return -1;
    if (!device.partial.empty()) {
        const size_t n = std::min(capacity, device.partial.size() - device.partialOffset);
        memcpy(out, device.partial.data() + device.partialOffset, n);
        device.partialOffset += n;
        if (device.partialOffset == device.partial.size())
            device.partial.clear();
        return static_cast<int>(n);
    }
    bool fromOutbox = false;
    if (!NextTransferReady(device, now, fromOutbox))
        return -1;

    const std::vector<uint8_t>& next = fromOutbox ? device.outbox.front().bytes : device.fifo.front();
    if (device.faults.shortTransfers > 0) {
        // A fragment of the coming frame, sent on its own; the frame itself follows whole.
        --device.faults.shortTransfers;
        const size_t n = std::max<size_t>(1, std::min(next.size() - 1, next.size() / 2 + 3));
        return Deliver(device, std::vector<uint8_t>(next.begin(), next.begin() + static_cast<long>(n)), out, capacity);
    }

    if (fromOutbox) {
        std::vector<uint8_t> frame = std::move(device.outbox.front().bytes);
        device.outbox.pop_front();
        if (device.faults.noiseTransfers > 0) {
            // A transfer of the frame's length holding only noise; the frame comes next.
            --device.faults.noiseTransfers;
            device.outbox.push_front(TimedFrame{now, std::move(frame)});
            return Deliver(device, NoiseBytes(device, device.outbox.front().bytes.size()), out, capacity);
        }
        return Deliver(device, std::move(frame), out, capacity);
    }

    const size_t group = SpectraPerTransfer(device.divider);
    // Under external trigger a reply with no spectra around it goes out on its own, unpadded.
    if (device.mode == 2 && device.fifo.size() < group && !IsSpectrumFrame(device.fifo.front())) {
        std::vector<uint8_t> reply = std::move(device.fifo.front());
        device.fifo.pop_front();
        return Deliver(device, std::move(reply), out, capacity);
    }
    const size_t length = group * SpectrumFrameLength;
    std::vector<uint8_t> transfer;
    transfer.reserve(length);
    size_t lead = 0;
    if (device.faults.noiseTransfers > 0) {
        --device.faults.noiseTransfers;
        lead = 1 + NextRandom(device.noise) % (SpectrumFrameLength - 1);
        transfer = NoiseBytes(device, lead);
    }
    while (!device.fifo.empty() && transfer.size() + SpectrumFrameLength <= length) {
        std::vector<uint8_t>& frame = device.fifo.front();
        if (IsSpectrumFrame(frame))
            ++device.counters.spectraSent;
        transfer.insert(transfer.end(), frame.begin(), frame.end());
        device.fifo.pop_front();
    }
    if (transfer.size() < length) {
        const std::vector<uint8_t> tail = lead ? NoiseBytes(device, length - transfer.size())
                                               : std::vector<uint8_t>(length - transfer.size(), 0);
        transfer.insert(transfer.end(), tail.begin(), tail.end());
    }
    return Deliver(device, std::move(transfer), out, capacity);
}

Micros NextDeviceEvent(const DeviceModel& device)
{
    Micros next = NoEvent;
    if (!device.partial.empty())
        return 0;
    if (!device.outbox.empty())
        next = std::min(next, device.outbox.front().readyAt);
    if (!device.delayedReplies.empty())
        next = std::min(next, device.delayedReplies.front().readyAt);
    if (IsMeasuring(device)) {
        next = std::min(next, device.nextSpectrumAt);
        if (device.mode == 2 && device.triggerPeriod > 0)
            next = std::min(next, device.nextAutoPulseAt);
        if (!device.fifo.empty()) {
            bool fromOutbox = false;
            if (NextTransferReady(device, 0, fromOutbox))
                next = 0;
        }
    } else {
        next = std::min(next, device.gpioReportAt);
    }
    return next;
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

void FireTriggerPulses(DeviceModel& device, uint32_t pulses, Micros now)
{
    device.pulsesTotal += pulses;
    if (device.mode != 2 || pulses == 0)
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
    device.nextAutoPulseAt = (device.mode == 2 && periodMs > 0) ? now + device.triggerPeriod : NoEvent;
}

void SetReplay(DeviceModel& device, LogReplay replay, Micros now)
{
    AdvanceDevice(device, now);
    device.replay = std::move(replay);
    if (device.mode == 1) {
        device.lastSpectrumAt = now;
        device.nextSpectrumAt = now + SpectrumPeriod(device);
    }
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
    state.fifoLevel = static_cast<uint32_t>(device.fifo.size());
    state.afeAddress = device.afe.counter;
    state.batteryMv = static_cast<uint32_t>(std::lround(device.batteryMv));
    state.triggerPulses = device.pulsesTotal;
}
