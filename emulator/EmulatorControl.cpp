// KalvixEmulatorControl: run-time changes to the software device and read-back of what it got.
#include "EmulatorRegistry.h"
#include "KalvixEmulator.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

namespace {

int32_t CopyOut(const void* from, size_t length, void* data, uint32_t size)
{
    if (!data && length > 0)
        return KALVIX_EMU_ERR_DATA;
    const size_t n = std::min<size_t>(length, size);
    if (n)
        memcpy(data, from, n);
    return static_cast<int32_t>(n);
}

int32_t CopyText(char* to, size_t capacity, const void* data, uint32_t size)
{
    if (!data)
        return KALVIX_EMU_ERR_DATA;
    // `size` bounds the caller's buffer: the text must end inside it.
    const size_t n = strnlen(static_cast<const char*>(data), size);
    if (n == size)
        return KALVIX_EMU_ERR_DATA;
    if (n >= capacity)
        return KALVIX_EMU_ERR_VALUE;
    memcpy(to, data, n);
    to[n] = 0;
    return 0;
}

int32_t ProcessWide(Emulator& emulator, uint32_t what, int32_t value)
{
    switch (what) {
    case KALVIX_EMU_RESET:
        ResetEmulator(emulator);
        return 0;
    case KALVIX_EMU_INSTANCE_COUNT:
        if (value < 0 || value > static_cast<int32_t>(MaxInstances))
            return KALVIX_EMU_ERR_VALUE;
        emulator.instanceCount = static_cast<uint32_t>(value);
        return 0;
    case KALVIX_EMU_CLASS_INSTALLED:
        emulator.classInstalled = value != 0;
        return 0;
    case KALVIX_EMU_PATH_PADDING:
        if (value < 0 || value > 400)
            return KALVIX_EMU_ERR_VALUE;
        emulator.pathPadding = static_cast<uint32_t>(value);
        return 0;
    case KALVIX_EMU_PUMP_HOLD_MS:
        if (value < 0 || value > 60000)
            return KALVIX_EMU_ERR_VALUE;
        emulator.pumpHoldMs = static_cast<uint32_t>(value);
        return 0;
    default:
        return KALVIX_EMU_ERR_UNKNOWN;
    }
}

int32_t PerInstance(EmulatedInstance& instance, uint32_t what, int32_t value, void* data, uint32_t size, Micros now)
{
    DeviceModel& device = instance.device;
    switch (what) {
    case KALVIX_EMU_PRESENT:
        // A device plugged back in was without power: it starts afresh, idle, nothing queued.
        if (value != 0 && !instance.present)
            RestartDevice(device, now);
        instance.present = value != 0;
        return 0;
    case KALVIX_EMU_HELD_ELSEWHERE:
        instance.heldElsewhere = value != 0;
        return 0;
    case KALVIX_EMU_SERIAL:
        return CopyText(instance.serial, sizeof instance.serial, data, size);
    case KALVIX_EMU_IDENT_TEXT:
        return CopyText(device.identText, sizeof device.identText, data, size);
    case KALVIX_EMU_NON_BULK_PIPE:
        instance.nonBulkPipe = value != 0;
        return 0;
    case KALVIX_EMU_AFE_PLUGGED:
        SetAfePlugged(device, value != 0, now);
        return 0;
    case KALVIX_EMU_AFE_RECORD:
        if (value < KALVIX_AFE_VALID || value > KALVIX_AFE_ERASED)
            return KALVIX_EMU_ERR_VALUE;
        WriteAfeRecord(device.afe, static_cast<AfeRecordKind>(value));
        return 0;
    case KALVIX_EMU_AFE_WRITE:
    case KALVIX_EMU_AFE_READ:
        if (value < 0 || static_cast<size_t>(value) + size > AfeAreaSize)
            return KALVIX_EMU_ERR_VALUE;
        if (!data && size)
            return KALVIX_EMU_ERR_DATA;
        if (what == KALVIX_EMU_AFE_WRITE)
            memcpy(device.afe.bytes + value, data, size);
        else
            memcpy(data, device.afe.bytes + value, size);
        return static_cast<int32_t>(size);
    case KALVIX_EMU_OBJECT: {
        if (!data || size < sizeof(KalvixEmulatorObject))
            return KALVIX_EMU_ERR_DATA;
        KalvixEmulatorObject object;
        memcpy(&object, data, sizeof object);
        if (!std::isfinite(object.seriesOhm) || !std::isfinite(object.parallelOhm) ||
            !std::isfinite(object.parallelFarad) || object.seriesOhm < 0 || object.parallelOhm <= 0 ||
            object.parallelFarad < 0)
            return KALVIX_EMU_ERR_VALUE;
        device.object = ObjectUnderTest{object.seriesOhm, object.parallelOhm, object.parallelFarad};
        return 0;
    }
    case KALVIX_EMU_NOISE_PPM:
        if (value < 0 || value > 100000)
            return KALVIX_EMU_ERR_VALUE;
        device.noisePpm = static_cast<uint32_t>(value);
        return 0;
    case KALVIX_EMU_GPIO_INPUTS:
        SetGpioInputs(device, static_cast<uint8_t>(value), now);
        return 0;
    case KALVIX_EMU_BATTERY_MV:
        if (value < 0 || value > 65535)
            return KALVIX_EMU_ERR_VALUE;
        AdvanceDevice(device, now);
        device.batteryMv = value;
        return 0;
    case KALVIX_EMU_DEVICE_FAILURE:
        if (value != 0)
            device.faults.failure = true;
        else if (device.faults.failure)
            RestartDevice(device, now);
        return 0;
    case KALVIX_EMU_REPLY_DELAY_MS:
        if (value < -1)
            return KALVIX_EMU_ERR_VALUE;
        device.faults.replyDelayMs = value;
        return 0;
    case KALVIX_EMU_I2C_NACK:
        device.faults.i2cNack = value != 0;
        return 0;
    case KALVIX_EMU_NOISE_TRANSFERS:
        if (value < 0)
            return KALVIX_EMU_ERR_VALUE;
        device.faults.noiseTransfers = static_cast<uint32_t>(value);
        return 0;
    case KALVIX_EMU_PULLED_ERROR:
        if (value != ERROR_GEN_FAILURE && value != ERROR_DEVICE_NOT_CONNECTED && value != ERROR_BAD_COMMAND)
            return KALVIX_EMU_ERR_VALUE;
        instance.pulledError = static_cast<DWORD>(value);
        return 0;
    case KALVIX_EMU_SHORT_TRANSFERS:
        if (value < 0)
            return KALVIX_EMU_ERR_VALUE;
        device.faults.shortTransfers = static_cast<uint32_t>(value);
        return 0;
    case KALVIX_EMU_TRIGGER_PULSES:
        if (value < 0)
            return KALVIX_EMU_ERR_VALUE;
        AdvanceDevice(device, now);
        FireTriggerPulses(device, static_cast<uint32_t>(value), now);
        return 0;
    case KALVIX_EMU_TRIGGER_PERIOD_MS:
        if (value < 0)
            return KALVIX_EMU_ERR_VALUE;
        SetTriggerPeriod(device, static_cast<uint32_t>(value), now);
        return 0;
    case KALVIX_EMU_FLOOD_RATE:
        if (value < 0 || value > 1000000)
            return KALVIX_EMU_ERR_VALUE;
        AdvanceDevice(device, now);
        device.floodRate = static_cast<uint32_t>(value);
        return 0;
    case KALVIX_EMU_FIFO_CAPACITY:
        if (value < 1 || value > static_cast<int32_t>(MaxFifoCapacity))
            return KALVIX_EMU_ERR_VALUE;
        device.outbox.fifoCapacity = static_cast<size_t>(value);
        return 0;
    case KALVIX_EMU_GET_STATE: {
        if (!data || size < sizeof(KalvixEmulatorState))
            return KALVIX_EMU_ERR_DATA;
        AdvanceDevice(device, now);
        KalvixEmulatorState state;
        FillState(device, state);
        state.open = static_cast<bool>(instance.file);
        state.pendingReads = static_cast<uint32_t>(instance.reads.size());
        memcpy(data, &state, sizeof state);
        return sizeof state;
    }
    case KALVIX_EMU_GET_LAST_FRAME: {
        if (value < 0)
            return CopyOut(device.lastFrame.data(), device.lastFrame.size(), data, size);
        const auto found = device.lastFrameByOpcode.find(static_cast<uint16_t>(value));
        if (found == device.lastFrameByOpcode.end())
            return 0;
        return CopyOut(found->second.data(), found->second.size(), data, size);
    }
    case KALVIX_EMU_GET_OPCODE_COUNT: {
        const auto found = device.opcodeCounts.find(static_cast<uint16_t>(value));
        return found == device.opcodeCounts.end() ? 0 : static_cast<int32_t>(found->second);
    }
    case KALVIX_EMU_GET_TABLE:
        switch (value) {
        case OpLoadShunt: return CopyOut(device.shunt, sizeof device.shunt, data, size);
        case OpLoadComp: return CopyOut(device.comp, sizeof device.comp, data, size);
        case OpLoadDac: return CopyOut(device.dac.data(), device.dac.size(), data, size);
        case OpLoadPhases: return CopyOut(device.phases.data(), device.phases.size(), data, size);
        default: {
            const auto found = device.otherBlocks.find(static_cast<uint16_t>(value));
            if (found == device.otherBlocks.end())
                return KALVIX_EMU_ERR_VALUE;
            return CopyOut(found->second.data(), found->second.size(), data, size);
        }
        }
    case KALVIX_EMU_GET_FRAME_LOG: {
        const std::vector<uint16_t> log(device.frameLog.begin(), device.frameLog.end());
        const int32_t bytes = CopyOut(log.data(), log.size() * sizeof(uint16_t), data, size);
        return bytes < 0 ? bytes : bytes / static_cast<int32_t>(sizeof(uint16_t));
    }
    default:
        return KALVIX_EMU_ERR_UNKNOWN;
    }
}

// KALVIX_EMU_REPLAY: the log is opened and its header and first rows read before the lock is
// taken; only the finished replay is handed to the device under it.
int32_t ControlReplay(Emulator& emulator, uint32_t instance, int32_t value, const void* data, uint32_t size)
{
    if (instance >= MaxInstances)
        return KALVIX_EMU_ERR_INSTANCE;
    if (value != 0 && value != 1)
        return KALVIX_EMU_ERR_VALUE;
    LogReplay replay;
    if (data) {
        const size_t length = strnlen(static_cast<const char*>(data), size);
        if (length == size)
            return KALVIX_EMU_ERR_DATA;
        const std::string path(static_cast<const char*>(data), length);
        std::string error;
        if (!path.empty() && !OpenLogReplay(replay, path, value == 1, error))
            return KALVIX_EMU_ERR_LOG;
    }
    EmulatorGuard hold(emulator.lock);
    EmulatedInstance& target = emulator.instances[instance];
    const Micros now = EmulatorNow();
    SetReplay(target.device, std::move(replay), now);
    if (target.file)
        ServiceReads(target, now);
    PokePump(emulator);
    return 0;
}

} // namespace

extern "C" int32_t KalvixEmulatorControl(uint32_t instance, uint32_t what, int32_t value, void* data, uint32_t size)
{
    Emulator& emulator = TheEmulator();
    if (what == KALVIX_EMU_REPLAY)
        return ControlReplay(emulator, instance, value, data, size);
    EmulatorGuard hold(emulator.lock);
    int32_t result;
    if (what < 10) {
        result = ProcessWide(emulator, what, value);
    } else {
        if (instance >= MaxInstances)
            return KALVIX_EMU_ERR_INSTANCE;
        const Micros now = EmulatorNow();
        EmulatedInstance& target = emulator.instances[instance];
        result = PerInstance(target, what, value, data, size, now);
        if (target.file)
            ServiceReads(target, now);
    }
    PokePump(emulator);
    return result;
}
