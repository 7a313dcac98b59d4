// What the device has to send, kept as what it is (spectra, status reports, replies) until a read
// of the host takes it: only then is it turned into the wire's bytes. Holds the bounded FIFO of
// spectra (with the replies that travel among them while measuring), the replies still waiting
// out the device's answer time, the transfers that go out on their own, and the rest of a
// transfer longer than the read that took it.
#pragma once

#include "DeviceFaults.h"
#include "DeviceFrames.h"
#include "KalvixEmulator.h"
#include "ObjectModel.h"
#include "RecordLayouts.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <variant>
#include <vector>

using Micros = uint64_t;
constexpr Micros NoEvent = UINT64_MAX;

constexpr size_t DefaultFifoCapacity = 256;
constexpr size_t MaxFifoCapacity = 4096;

// SysErrors bit of the first spectrum the host gets after dropped ones.
constexpr uint16_t SysFifoOverflow = 0x0008;

// The frames the device sends, with what each carries as it was when the device made it.
struct GpioStatusReport {
    uint16_t status = 0;
};
struct TextReply {
    char text[TextPayloadSize] = {}; // zero-padded, not terminated when full
};
struct ConfigurationReply {
    uint8_t block[ConfigPayloadSize] = {};
};
struct I2cReadReply {
    uint8_t slave = 0;
    uint16_t count = 0;
    uint8_t data[I2cMaxTransferBytes] = {};
};
using OutgoingFrame = std::variant<SpectrumFrame, GpioStatusReport, TextReply, ConfigurationReply, I2cReadReply>;

bool IsSpectrum(const OutgoingFrame& frame);
size_t FrameLength(const OutgoingFrame& frame);
// The frame as the wire carries it.
std::vector<uint8_t> FrameBytes(const OutgoingFrame& frame);

// A transfer that goes out on its own once ready: one status report or reply, or after a stop a
// group of the measurement's frames, zero-padded to the group's length.
struct QueuedTransfer {
    Micros readyAt = 0;
    std::vector<OutgoingFrame> frames;
    size_t length = 0;
    bool leftover = false; // spectra of a measurement that was stopped
};
std::vector<uint8_t> TransferBytes(const QueuedTransfer& transfer);

struct DelayedReply {
    Micros readyAt = 0;
    OutgoingFrame reply;
};

// How the FIFO's frames go out: what the measurement makes of them. The clock sets it whenever
// the mode, the divider or the source of spectra changes.
struct Grouping {
    bool measuring = false;       // the FIFO's frames go out at all (while idle they wait)
    size_t group = 1;             // frames per transfer
    bool sourceEnded = false;     // nothing more will come: a short group (padded) goes out
    bool loneReplyAlone = false;  // a reply with no spectra around it goes out on its own, unpadded
};

struct Outbox {
    std::deque<OutgoingFrame> fifo; // spectra, and the replies of a spectrum's length while measuring
    size_t fifoCapacity = DefaultFifoCapacity;
    bool gapPending = false;        // spectra were dropped with none waiting: the next one pushed says so
    std::deque<QueuedTransfer> transfers;
    std::deque<DelayedReply> delayedReplies;
    std::vector<uint8_t> partial;   // rest of a transfer longer than the read that took it
    size_t partialOffset = 0;
    Grouping grouping;
};


// Puts a spectrum at the back of the FIFO. A full FIFO drops its oldest frames first (the
// capacity may also have been lowered under a fuller one); dropped spectra are counted, and the
// first spectrum after them carries SysFifoOverflow.
void PushSpectrum(Outbox& outbox, SpectrumFrame spectrum, KalvixEmulatorState& counters);

// Empties the FIFO, counting the spectra it held as dropped; the next spectrum carries the gap.
void DropFifo(Outbox& outbox, KalvixEmulatorState& counters);

// A new measurement starts with an empty FIFO and without the spectra of the last one not yet sent.
void ClearForStart(Outbox& outbox);

// Replies whose answer time has come: while measuring one of a spectrum's length travels among
// the spectra, anything else goes out on its own.
void ReleaseDueReplies(Outbox& outbox, Micros now, KalvixEmulatorState& counters);

// A frame that goes out on its own from `at` on.
void QueueAlone(Outbox& outbox, OutgoingFrame frame, Micros at);

// A stop does not take back what the FIFO holds: it goes out in transfers of `group` frames,
// zero-padded, ahead of anything queued after the stop.
void SendFifoAfterStop(Outbox& outbox, size_t group, Micros now, KalvixEmulatorState& counters);

// Drops whatever waits for a host that has gone; the FIFO stays.
void FlushOutbox(Outbox& outbox);

// The next transfer for an IN read of `capacity` bytes (at least 1), or -1 when nothing is ready
// yet. A transfer longer than the read is delivered over several reads. The noise and short
// transfer faults are spent here, the noise bytes drawn from `noise`.
int DeliverTransfer(Outbox& outbox, DeviceFaults& faults, NoiseSource& noise,
                    uint8_t* out, size_t capacity, Micros now, KalvixEmulatorState& counters);

// Drops the rest of a transfer delivered over several reads; false when there is none.
bool DropPartialTransfer(Outbox& outbox);

// When the outbox next has something ready or due: 0 for now, NoEvent for nothing.
Micros NextOutboxEvent(const Outbox& outbox);
