#include "DeviceRequests.h"

#include "DeviceModel.h"
#include "Dividers.h"

#include <cstring>

namespace {

// A reply goes out after the device's answer time, or never while replies are withheld.
void Reply(DeviceModel& device, OutgoingFrame reply, Micros now)
{
    if (device.faults.replyDelayMs < 0) {
        ++device.counters.repliesWithheld;
        return;
    }
    device.outbox.delayedReplies.push_back(
        DelayedReply{now + static_cast<Micros>(device.faults.replyDelayMs) * 1000, std::move(reply)});
}

TextReply IdentificationOf(const DeviceModel& device)
{
    TextReply reply;
    memcpy(reply.text, device.identText, strnlen(device.identText, TextPayloadSize));
    return reply;
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
    I2cReadReply reply;
    reply.slave = static_cast<uint8_t>(slave);
    reply.count = count;
    AfeI2cRead(device.afe, reply.data, count);
    ++device.counters.i2cReads;
    Reply(device, reply, now);
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

void SetDivider(DeviceModel& device, uint16_t code)
{
    const uint16_t divider = DividerForCode(code);
    if (divider == 0) {
        device.sysErrors |= SysBadParameter;
        return;
    }
    device.dividerCode = code;
    device.divider = divider;
    device.sysErrors &= static_cast<uint16_t>(~SysBadParameter);
    RegroupOutbox(device);
}

} // namespace

uint16_t DividerForCode(uint16_t code)
{
    for (size_t i = 0; i < DividerCount; ++i)
        if (DividerIndexesLookup[i] == code)
            return DividersLookup[i];
    return 0;
}

void BuildConfiguration(const DeviceModel& device, uint8_t (&out)[ConfigPayloadSize])
{
    ConfigurationBlock configuration{};
    configuration.reserved0 = MeasurementFrequencyCount;
    memcpy(configuration.FrequencyCodes, FrequencyCodes(), sizeof configuration.FrequencyCodes);
    memcpy(configuration.Shunt, device.shunt, sizeof configuration.Shunt);
    memcpy(configuration.Comp, device.comp, sizeof configuration.Comp);
    static_assert(sizeof configuration == sizeof out);
    memcpy(out, &configuration, sizeof out);
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
        StartMeasuring(device, DeviceMode::Measuring, now);
        break;
    case OpTrigger:
        if (value != 0)
            StartMeasuring(device, DeviceMode::ExternalTrigger, now);
        else
            StopMeasuring(device, now);
        break;
    case OpIdentify:
    case OpIdentify48:
        Reply(device, IdentificationOf(device), now);
        break;
    case OpConfiguration: {
        ConfigurationReply reply;
        BuildConfiguration(device, reply.block);
        Reply(device, reply, now);
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
    case OpDivider:
        SetDivider(device, value);
        break;
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
