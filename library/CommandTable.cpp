// The command entry: checks each command's arguments and state in a fixed order, then frames
// the request, waits for the reply where one is expected, and turns failures into result texts.
#include "KalvixCtrl.h"

#include "Connection.h"
#include "DividerLookup.h"
#include "FrameFormat.h"
#include "LibraryState.h"
#include "Protocol.h"
#include "ResultText.h"
#include "RecordRing.h"

#include <cstring>

namespace {

constexpr uint32_t I2cMaxAddress = 127;

char* Fail(int id, uint32_t number = 0)
{
    return ComposeResultText(id, number);
}

bool Connected(const LibraryState& s)
{
    return s.device != nullptr && s.running.load() == 1;
}

bool Idle(const LibraryState& s)
{
    return s.mode.load() == ModeIdle;
}

// Sends the frame already built behind the marker; null on success, else RESULT_SYSTEM_ERROR.
char* Send(LibraryState& s, size_t words)
{
    const DWORD error = SendRequest(s, words);
    return error ? Fail(RESULT_SYSTEM_ERROR, error) : nullptr;
}

char* SendOpcode(LibraryState& s, uint16_t opcode)
{
    s.RequestFrame[1] = opcode;
    return Send(s, 2);
}

char* SendValue(LibraryState& s, uint16_t opcode, uint32_t value)
{
    s.RequestFrame[1] = opcode;
    s.RequestFrame[2] = static_cast<uint16_t>(value);
    return Send(s, 3);
}

char* SendBlock(LibraryState& s, uint16_t opcode, const uint8_t* data, size_t bytes)
{
    s.RequestFrame[1] = opcode;
    memcpy(&s.RequestFrame[2], data, bytes);
    return Send(s, 2 + bytes / 2);
}

// Null when the reader took the new read length, else RESULT_INTERNAL_ERROR with
// STATUS_READER_SYNC_FAILED.
char* Resync(LibraryState& s, uint16_t length)
{
    const DWORD error = ChangeReadLength(s, length);
    return error ? Fail(RESULT_INTERNAL_ERROR, error) : nullptr;
}

uint16_t MeasuringReadLength(const LibraryState& s)
{
    return static_cast<uint16_t>(s.SpectraPerRead * KALVIX_SPECTRUM_SIZE);
}

// ---- commands that send one value ----------------------------------------------------------

enum class RangeCheck { BeforeConnection, AfterConnection };

struct ValueCommand {
    uint8_t code;
    uint16_t opcode;
    uint32_t low, high;  // accepted parameter range
    int rangeError;      // RESULT_OUT_OF_RANGE or RESULT_MISSING_INPUT
    RangeCheck order;
    uint32_t sendMask;   // bits of the parameter placed in the request
};

constexpr ValueCommand ValueCommands[] = {
    {CMD_SET_EXCITATION, 6, 0, 255, RESULT_OUT_OF_RANGE, RangeCheck::BeforeConnection, 0xFFFF},
    {CMD_SET_GAINS, 7, 0, 15, RESULT_OUT_OF_RANGE, RangeCheck::BeforeConnection, 0xFFFF},
    {CMD_SET_BATTERY, 10, 0, 1, RESULT_OUT_OF_RANGE, RangeCheck::BeforeConnection, 0xFFFF},
    {CMD_SET_10X, 15, 0, 1, RESULT_OUT_OF_RANGE, RangeCheck::BeforeConnection, 0xFFFF},
    {CMD_SET_VALUE_22, 22, 0, 131, RESULT_OUT_OF_RANGE, RangeCheck::AfterConnection, 0xFFFF},
    {CMD_SET_VALUE_16, 16, 0, 79, RESULT_OUT_OF_RANGE, RangeCheck::BeforeConnection, 0xFFFF},
    {CMD_SET_VALUE_50, 50, 0, 0xFFFFFFFF, RESULT_MISSING_INPUT, RangeCheck::AfterConnection, 0xFFFF},
    // The flag commands send the parameter's low bit; 51 included.
    {CMD_SET_FLAG_51, 51, 0, 1, RESULT_MISSING_INPUT, RangeCheck::BeforeConnection, 0x1},
    {CMD_SET_VALUE_52, 52, 0, 255, RESULT_MISSING_INPUT, RangeCheck::BeforeConnection, 0xFF},
    {CMD_SET_FLAG_53, 53, 0, 1, RESULT_MISSING_INPUT, RangeCheck::BeforeConnection, 0x1},
    {CMD_SET_VALUE_54, 54, 1, 65535, RESULT_MISSING_INPUT, RangeCheck::BeforeConnection, 0xFFFF},
    {CMD_SET_VALUE_65, 65, 1, 0xFFFFFFFF, RESULT_MISSING_INPUT, RangeCheck::BeforeConnection, 0xFF},
    {CMD_SET_FLAG_67, 67, 0, 1, RESULT_MISSING_INPUT, RangeCheck::BeforeConnection, 0x1},
    {CMD_SET_VALUE_68, 68, 1, 0xFFFFFFFF, RESULT_MISSING_INPUT, RangeCheck::BeforeConnection, 0xFFFF},
    {CMD_SET_FLAG_73, 73, 0, 1, RESULT_MISSING_INPUT, RangeCheck::BeforeConnection, 0x1},
};

char* RunValueCommand(LibraryState& s, const ValueCommand& c, uint32_t param)
{
    const bool inRange = param >= c.low && param <= c.high;
    if (c.order == RangeCheck::BeforeConnection && !inRange)
        return Fail(c.rangeError);
    if (!Connected(s))
        return Fail(RESULT_NOT_CONNECTED);
    if (c.order == RangeCheck::AfterConnection && !inRange)
        return Fail(c.rangeError);
    return SendValue(s, c.opcode, param & c.sendMask);
}

// ---- commands that send a block of the caller's bytes --------------------------------------

struct BlockCommand {
    uint8_t code;
    uint16_t opcode;
    uint16_t bytes;
};

constexpr BlockCommand BlockCommands[] = {
    {CMD_LOAD_SHUNT, 3, 120},     {CMD_LOAD_COMP, 4, 120},       {CMD_LOAD_DAC, 17, 2000},
    {CMD_LOAD_PHASES, 18, 1024},  {CMD_WRITE_BLOCK_19, 19, 30},  {CMD_WRITE_BLOCK_20, 20, 120},
    {CMD_WRITE_BLOCK_21, 21, 120}, {CMD_WRITE_BLOCK_49, 49, 20}, {CMD_WRITE_BLOCK_55, 55, 10},
    {CMD_WRITE_BLOCK_69, 69, 10},
};

char* RunBlockCommand(LibraryState& s, const BlockCommand& c, const uint8_t* data)
{
    if (!data)
        return Fail(RESULT_MISSING_INPUT);
    if (!Connected(s))
        return Fail(RESULT_NOT_CONNECTED);
    return SendBlock(s, c.opcode, data, c.bytes);
}

// ---- commands of their own -----------------------------------------------------------------

char* Connect(LibraryState& s, uint32_t* record, uint8_t* data)
{
    if (!data || !record)
        return Fail(RESULT_MISSING_INPUT);
    if (s.device)
        return Fail(RESULT_ALREADY_CONNECTED);
    DWORD error = 0;
    const int result = ConnectDevice(s, data, record, error);
    return result ? Fail(result, error) : nullptr;
}

char* Disconnect(LibraryState& s)
{
    if (!s.device)
        return Fail(RESULT_ALREADY_DISCONNECTED);
    s.SpectraPerRead = 4;
    const DWORD error = ShutdownDevice(s);
    return error ? Fail(RESULT_SYSTEM_ERROR, error) : nullptr;
}

char* GetStatus(LibraryState& s, uint32_t* record)
{
    if (!record)
        return Fail(RESULT_MISSING_INPUT);
    s.StatusWord.store(record);
    const uint32_t v = static_cast<uint32_t>(InterlockedExchange(reinterpret_cast<volatile LONG*>(record), 0));
    if (v >= STATUS_READER_START_FAILED)
        return Fail(RESULT_INTERNAL_ERROR, v);
    if (v != 0)
        return Fail(RESULT_SYSTEM_ERROR, v);
    return nullptr;
}

// Requests whose reply is fetched while idle: the reader is given the reply's length before the
// request goes out and its idle length after the reply was taken.
char* RequestWhileIdle(LibraryState& s, uint8_t* data, uint16_t opcode, uint16_t replyTag,
                       int (*fetch)(LibraryState&, uint8_t*))
{
    if (!data)
        return Fail(RESULT_MISSING_INPUT);
    if (!Connected(s))
        return Fail(RESULT_NOT_CONNECTED);
    if (!Idle(s))
        return Fail(RESULT_NOT_IDLE);
    if (char* error = Resync(s, static_cast<uint16_t>(FrameLength(replyTag))))
        return error;
    ExpectReply(s, replyTag);
    if (char* error = SendOpcode(s, opcode)) {
        ExpectReply(s, 0);
        return error;
    }
    if (int id = fetch(s, data))
        return Fail(id);
    return Resync(s, IdleReadLength);
}

char* StartMeasurement(LibraryState& s, uint32_t param)
{
    if (!Connected(s))
        return Fail(RESULT_NOT_CONNECTED);
    if (!Idle(s))
        return Fail(RESULT_ALREADY_MEASURING);
    ResetRing(s);
    if (char* error = Resync(s, MeasuringReadLength(s)))
        return error;
    // The mode is set before the request goes out: the reader stores spectra only while
    // measuring, and the first ones may arrive before this thread runs again after the send.
    s.mode.store(ModeMeasuring);
    if (char* error = SendValue(s, 1, param)) {
        s.mode.store(ModeIdle);
        return error;
    }
    return nullptr;
}

int CheckAndReadSpectra(LibraryState& s, uint32_t param, uint32_t* record, uint8_t* data)
{
    if (!param || !data)
        return RESULT_MISSING_INPUT;
    if (!Connected(s))
        return RESULT_NOT_CONNECTED;
    if (Idle(s))
        return RESULT_NOT_MEASURING;
    return ReadSpectra(s, param, data, record);
}

char* GetSpectra(LibraryState& s, uint32_t param, uint32_t* record, uint8_t* data)
{
    // Counted before the checks: a teardown clears `running` and `mode` before it looks at the
    // count, so a caller counted too late always finds them cleared, and one the teardown sees
    // is released before the ring's handles are closed.
    s.spectraReaders.fetch_add(1);
    const int id = CheckAndReadSpectra(s, param, record, data);
    s.spectraReaders.fetch_sub(1);
    return id ? Fail(id) : nullptr;
}

char* StopMeasurement(LibraryState& s)
{
    if (!Connected(s))
        return Fail(RESULT_NOT_CONNECTED);
    if (Idle(s))
        return Fail(RESULT_ALREADY_IDLE);
    if (char* error = SendOpcode(s, OpcodeStop))
        return error;
    s.mode.store(ModeIdle);
    SetEvent(s.ring.event.Get());
    AwaitQueuedSpectra(s);
    return Resync(s, IdleReadLength);
}

char* SetDivider(LibraryState& s, uint32_t param)
{
    if (!param)
        return Fail(RESULT_MISSING_INPUT);
    if (!Connected(s))
        return Fail(RESULT_NOT_CONNECTED);
    if (!Idle(s))
        return Fail(RESULT_NOT_IDLE);
    uint8_t position = s.SpectraPerRead;
    const uint16_t code = LookupDivider(param, &position);
    if (code == 0xFFFF)
        return Fail(RESULT_BAD_DIVIDER);
    s.divider = static_cast<uint16_t>(param);
    s.SpectraPerRead = param < 6 ? static_cast<uint8_t>(4 - position) : 1;
    return SendValue(s, 12, code);
}

char* SetGpio(LibraryState& s, uint32_t param, uint32_t* record)
{
    if (!record)
        return Fail(RESULT_MISSING_INPUT);
    if (param > 63)
        return Fail(RESULT_OUT_OF_RANGE);
    s.GpioWord.store(record);
    if (!Connected(s))
        return Fail(RESULT_NOT_CONNECTED);
    if (Idle(s))
        if (char* error = Resync(s, IdleReadLength))
            return error;
    return SendValue(s, 14, param);
}

char* I2cTransfer(LibraryState& s, uint32_t* record, uint8_t* data)
{
    if (!data || !record)
        return Fail(RESULT_MISSING_INPUT);
    const uint32_t count = record[0];
    const uint32_t address = record[1];
    if (count < 1 || count > I2cMaxTransferBytes)
        return Fail(RESULT_BAD_BYTE_COUNT);
    if (address > I2cMaxAddress)
        return Fail(RESULT_BAD_SLAVE_ADDRESS);
    if (!Connected(s))
        return Fail(RESULT_NOT_CONNECTED);

    s.RequestFrame[1] = 8;
    s.RequestFrame[3] = static_cast<uint16_t>(address);
    s.RequestFrame[4] = static_cast<uint16_t>(count);
    if (record[2] != 0) {
        s.RequestFrame[2] = 1;
        for (uint32_t i = 0; i < count; ++i)
            s.RequestFrame[5 + i] = data[i];
        return Send(s, count + 5);
    }

    // While measuring, the 192-byte reply travels inside the spectrum transfers.
    const bool idle = Idle(s);
    s.RequestFrame[2] = 0;
    if (idle)
        if (char* error = Resync(s, I2cReplyFrameLength))
            return error;
    ExpectReply(s, TagI2cReply);
    if (char* error = Send(s, 5)) {
        ExpectReply(s, 0);
        return error;
    }
    if (int id = FetchReplyI2C(s, count, data))
        return Fail(id);
    return idle ? Resync(s, IdleReadLength) : nullptr;
}

char* ExternalTrigger(LibraryState& s, uint32_t param)
{
    if (param > 1)
        return Fail(RESULT_OUT_OF_RANGE);
    if (!Connected(s))
        return Fail(RESULT_NOT_CONNECTED);
    if (s.mode.load() == ModeMeasuring)
        return Fail(RESULT_ALREADY_MEASURING);
    if (param == 1) {
        if (s.mode.load() == ModeExternalTrigger)
            return Fail(RESULT_ALREADY_TRIGGERED);
        ResetRing(s);
        if (char* error = Resync(s, MeasuringReadLength(s)))
            return error;
        s.mode.store(ModeExternalTrigger); // before the send, as for START
        if (char* error = SendValue(s, 9, 1)) {
            s.mode.store(ModeIdle);
            return error;
        }
        return nullptr;
    }
    if (Idle(s))
        return Fail(RESULT_ALREADY_IDLE);
    s.mode.store(ModeIdle);
    SetEvent(s.ring.event.Get());
    if (char* error = SendValue(s, 9, 0))
        return error;
    AwaitQueuedSpectra(s);
    return Resync(s, IdleReadLength);
}

char* SetCompensation(LibraryState& s, uint32_t param)
{
    static constexpr uint16_t CompensationWords[] = {0x0000, 0x00FF, 0xFF00};
    if (!Connected(s))
        return Fail(RESULT_NOT_CONNECTED);
    if (param > 2)
        return Fail(RESULT_OUT_OF_RANGE);
    return SendValue(s, 5, CompensationWords[param]);
}

char* GetGpioStatus(LibraryState& s, uint32_t* record)
{
    if (!record)
        return Fail(RESULT_MISSING_INPUT);
    record[0] = s.GpioStatus.load();
    return nullptr;
}

char* Dispatch(LibraryState& s, uint8_t command, uint32_t param, uint32_t* record, uint8_t* data)
{
    switch (command) {
    case CMD_CONNECT: return Connect(s, record, data);
    case CMD_DISCONNECT: return Disconnect(s);
    case CMD_GET_STATUS: return GetStatus(s, record);
    case CMD_GET_DEVICE_INFO: return RequestWhileIdle(s, data, 2, TagTextReply, FetchReplyText);
    case CMD_START_MEASUREMENT: return StartMeasurement(s, param);
    case CMD_GET_SPECTRA: return GetSpectra(s, param, record, data);
    case CMD_STOP_MEASUREMENT: return StopMeasurement(s);
    case CMD_SET_DIVIDER: return SetDivider(s, param);
    case CMD_READ_CONFIGURATION: return RequestWhileIdle(s, data, 11, TagConfigReply, FetchReplyBlock);
    case CMD_SET_GPIO: return SetGpio(s, param, record);
    case CMD_I2C_TRANSFER: return I2cTransfer(s, record, data);
    case CMD_EXT_TRIGGER: return ExternalTrigger(s, param);
    case CMD_SET_COMPENSATION: return SetCompensation(s, param);
    case CMD_GET_GPIO_STATUS: return GetGpioStatus(s, record);
    // 48 gives the reader its idle length back too, so idle GPIO status frames keep arriving.
    case CMD_GET_DEVICE_INFO_48: return RequestWhileIdle(s, data, 48, TagTextReply, FetchReplyText);
    default: break;
    }
    for (const ValueCommand& c : ValueCommands)
        if (c.code == command)
            return RunValueCommand(s, c, param);
    for (const BlockCommand& c : BlockCommands)
        if (c.code == command)
            return RunBlockCommand(s, c, data);
    return Fail(RESULT_UNKNOWN_COMMAND);
}

} // namespace

extern "C" char* KalvixControl(uint32_t command, uint32_t param, uint32_t* record, uint8_t* data)
{
    if (!State)
        return Fail(RESULT_NOT_INITIALIZED);
    return Dispatch(*State, static_cast<uint8_t>(command & 0xFF), param, record, data);
}

extern "C" char* GetDLLVersion(ActivityCounters* counters)
{
    if (State)
        State->activity.store(counters);
    char* text = ThreadResultBuffer();
    memset(text, 0, ResultBufferSize);
    strcpy(text, KALVIX_LIBRARY_VERSION);
    return text;
}
