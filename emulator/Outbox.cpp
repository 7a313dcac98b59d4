#include "Outbox.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace {

template <class... Kinds>
struct Overloaded : Kinds... {
    using Kinds::operator()...;
};
template <class... Kinds>
Overloaded(Kinds...) -> Overloaded<Kinds...>;

std::vector<uint8_t> SpectrumBytes(const SpectrumFrame& spectrum)
{
    std::vector<uint8_t> bytes(sizeof spectrum);
    memcpy(bytes.data(), &spectrum, sizeof spectrum);
    return bytes;
}

// Flags the first spectrum the host will get after dropped ones: that is where its MeasCount jumps.
void MarkGap(Outbox& outbox)
{
    for (OutgoingFrame& frame : outbox.fifo) {
        if (auto* spectrum = std::get_if<SpectrumFrame>(&frame)) {
            spectrum->SysErrors = static_cast<uint16_t>(spectrum->SysErrors | SysFifoOverflow);
            return;
        }
    }
    outbox.gapPending = true;
}

// Random bytes that never form a frame marker, led by a marker with a tag no frame has.
std::vector<uint8_t> NoiseBytes(NoiseSource& noise, size_t n)
{
    std::vector<uint8_t> bytes(n);
    for (auto& b : bytes) {
        b = static_cast<uint8_t>(NextRandom(noise));
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

// Hands a whole transfer to the read; what the read cannot take waits for the next ones.
int Deliver(Outbox& outbox, std::vector<uint8_t> transfer, uint8_t* out, size_t capacity, KalvixEmulatorState& counters)
{
    ++counters.transfersSent;
    outbox.partial = std::move(transfer);
    outbox.partialOffset = 0;
    const size_t n = std::min(capacity, outbox.partial.size());
    memcpy(out, outbox.partial.data(), n);
    outbox.partialOffset = n;
    if (outbox.partialOffset == outbox.partial.size())
        outbox.partial.clear();
    return static_cast<int>(n);
}

int DeliverRestOfPartial(Outbox& outbox, uint8_t* out, size_t capacity)
{
    const size_t n = std::min(capacity, outbox.partial.size() - outbox.partialOffset);
    memcpy(out, outbox.partial.data() + outbox.partialOffset, n);
    outbox.partialOffset += n;
    if (outbox.partialOffset == outbox.partial.size())
        outbox.partial.clear();
    return static_cast<int>(n);
}

bool FifoReady(const Outbox& outbox)
{
    const Grouping& grouping = outbox.grouping;
    if (!grouping.measuring || outbox.fifo.empty())
        return false;
    if (outbox.fifo.size() >= grouping.group)
        return true;
    // The last spectra of a source that has ended go out in a short group (padded) rather than
    // wait for spectra that will not come.
    if (grouping.sourceEnded)
        return true;
    // A lone reply under external trigger does not wait for spectra that may never come.
    return grouping.loneReplyAlone && !IsSpectrum(outbox.fifo.front());
}

// The FIFO's next transfer: a group of its frames, led and padded with noise while that fault
// is on, else zero-padded; under external trigger a reply with no spectra around it alone.
std::vector<uint8_t> TakeGroup(Outbox& outbox, DeviceFaults& faults, NoiseSource& noise, KalvixEmulatorState& counters)
{
    const Grouping& grouping = outbox.grouping;
    if (grouping.loneReplyAlone && outbox.fifo.size() < grouping.group && !IsSpectrum(outbox.fifo.front())) {
        std::vector<uint8_t> reply = FrameBytes(outbox.fifo.front());
        outbox.fifo.pop_front();
        return reply;
    }
    const size_t length = grouping.group * SpectrumFrameLength;
    std::vector<uint8_t> transfer;
    transfer.reserve(length);
    size_t lead = 0;
    if (faults.noiseTransfers > 0) {
        --faults.noiseTransfers;
        lead = 1 + NextRandom(noise) % (SpectrumFrameLength - 1);
        transfer = NoiseBytes(noise, lead);
    }
    while (!outbox.fifo.empty() && transfer.size() + SpectrumFrameLength <= length) {
        const OutgoingFrame& frame = outbox.fifo.front();
        if (IsSpectrum(frame))
            ++counters.spectraSent;
        const std::vector<uint8_t> bytes = FrameBytes(frame);
        transfer.insert(transfer.end(), bytes.begin(), bytes.end());
        outbox.fifo.pop_front();
    }
    if (transfer.size() < length) {
        const std::vector<uint8_t> tail = lead ? NoiseBytes(noise, length - transfer.size())
                                               : std::vector<uint8_t>(length - transfer.size(), 0);
        transfer.insert(transfer.end(), tail.begin(), tail.end());
    }
    return transfer;
}

} // namespace

bool IsSpectrum(const OutgoingFrame& frame)
{
    return std::holds_alternative<SpectrumFrame>(frame);
}

size_t FrameLength(const OutgoingFrame& frame)
{
    return std::visit(Overloaded{
                          [](const SpectrumFrame&) { return SpectrumFrameLength; },
                          [](const GpioStatusReport&) { return GpioStatusFrameLength; },
                          [](const TextReply&) { return TextReplyFrameLength; },
                          [](const ConfigurationReply&) { return ConfigReplyFrameLength; },
                          [](const I2cReadReply&) { return I2cReplyFrameLength; },
                      },
                      frame);
}

std::vector<uint8_t> FrameBytes(const OutgoingFrame& frame)
{
    return std::visit(Overloaded{
                          [](const SpectrumFrame& spectrum) { return SpectrumBytes(spectrum); },
                          [](const GpioStatusReport& report) { return GpioFrame(report.status); },
                          [](const TextReply& reply) { return TextFrame(reply.text); },
                          [](const ConfigurationReply& reply) { return ConfigurationFrame(reply.block); },
                          [](const I2cReadReply& reply) { return I2cReplyFrame(reply.slave, reply.data, reply.count); },
                      },
                      frame);
}

std::vector<uint8_t> TransferBytes(const QueuedTransfer& transfer)
{
    std::vector<uint8_t> bytes;
    bytes.reserve(transfer.length);
    for (const OutgoingFrame& frame : transfer.frames) {
        const std::vector<uint8_t> frameBytes = FrameBytes(frame);
        bytes.insert(bytes.end(), frameBytes.begin(), frameBytes.end());
    }
    bytes.resize(transfer.length, 0);
    return bytes;
}

void PushSpectrum(Outbox& outbox, SpectrumFrame spectrum, KalvixEmulatorState& counters)
{
    if (outbox.gapPending)
        spectrum.SysErrors = static_cast<uint16_t>(spectrum.SysErrors | SysFifoOverflow);
    outbox.gapPending = false;
    ++counters.spectraProduced;
    bool dropped = false;
    while (!outbox.fifo.empty() && outbox.fifo.size() >= outbox.fifoCapacity) {
        if (IsSpectrum(outbox.fifo.front())) {
            ++counters.spectraDropped;
            dropped = true;
        }
        outbox.fifo.pop_front();
    }
    outbox.fifo.push_back(spectrum);
    if (dropped)
        MarkGap(outbox);
}

void DropFifo(Outbox& outbox, KalvixEmulatorState& counters)
{
    for (const OutgoingFrame& frame : outbox.fifo)
        if (IsSpectrum(frame))
            ++counters.spectraDropped;
    outbox.fifo.clear();
    outbox.gapPending = true;
}

void ClearForStart(Outbox& outbox)
{
    outbox.fifo.clear();
    std::erase_if(outbox.transfers, [](const QueuedTransfer& transfer) { return transfer.leftover; });
    outbox.gapPending = false;
}

void ReleaseDueReplies(Outbox& outbox, Micros now, KalvixEmulatorState& counters)
{
    while (!outbox.delayedReplies.empty() && outbox.delayedReplies.front().readyAt <= now) {
        DelayedReply due = std::move(outbox.delayedReplies.front());
        outbox.delayedReplies.pop_front();
        ++counters.repliesSent;
        // While measuring, the host reads whole spectrum groups: a reply of a spectrum's length
        // travels among the spectra; anything else goes out on its own.
        if (outbox.grouping.measuring && FrameLength(due.reply) == SpectrumFrameLength)
            outbox.fifo.push_back(std::move(due.reply));
        else
            QueueAlone(outbox, std::move(due.reply), due.readyAt);
    }
}

void QueueAlone(Outbox& outbox, OutgoingFrame frame, Micros at)
{
    const size_t length = FrameLength(frame);
    outbox.transfers.push_back(QueuedTransfer{at, {std::move(frame)}, length, false});
}

void SendFifoAfterStop(Outbox& outbox, size_t group, Micros now, KalvixEmulatorState& counters)
{
    std::vector<QueuedTransfer> transfers;
    while (!outbox.fifo.empty()) {
        QueuedTransfer transfer{now, {}, group * SpectrumFrameLength, true};
        for (size_t k = 0; k < group && !outbox.fifo.empty(); ++k) {
            if (IsSpectrum(outbox.fifo.front())) {
                ++counters.spectraSent;
                ++counters.spectraAfterStop;
            }
            transfer.frames.push_back(std::move(outbox.fifo.front()));
            outbox.fifo.pop_front();
        }
        transfers.push_back(std::move(transfer));
    }
    outbox.transfers.insert(outbox.transfers.begin(), std::make_move_iterator(transfers.begin()),
                            std::make_move_iterator(transfers.end()));
}

void FlushOutbox(Outbox& outbox)
{
    outbox.transfers.clear();
    outbox.delayedReplies.clear();
    outbox.partial.clear();
    outbox.partialOffset = 0;
}

bool DropPartialTransfer(Outbox& outbox)
{
    if (outbox.partial.empty())
        return false;
    outbox.partial.clear();
    outbox.partialOffset = 0;
    return true;
}

int DeliverTransfer(Outbox& outbox, DeviceFaults& faults, NoiseSource& noise, uint8_t* out, size_t capacity,
                    Micros now, KalvixEmulatorState& counters)
{
    if (!outbox.partial.empty())
        return DeliverRestOfPartial(outbox, out, capacity);
    const bool alone = !outbox.transfers.empty() && outbox.transfers.front().readyAt <= now;
    if (!alone && !FifoReady(outbox))
        return -1;

    if (faults.shortTransfers > 0) {
        // A fragment of the coming frame (of a transfer of its own: of the whole transfer), sent on
        // its own; the frame itself follows whole.
        --faults.shortTransfers;
        const std::vector<uint8_t> next = alone ? TransferBytes(outbox.transfers.front()) : FrameBytes(outbox.fifo.front());
        const size_t n = std::max<size_t>(1, std::min(next.size() - 1, next.size() / 2 + 3));
        return Deliver(outbox, std::vector<uint8_t>(next.begin(), next.begin() + static_cast<long>(n)), out, capacity, counters);
    }
    if (!alone)
        return Deliver(outbox, TakeGroup(outbox, faults, noise, counters), out, capacity, counters);

    if (faults.noiseTransfers > 0) {
        // A transfer of the frame's length holding only noise; the frame comes next.
        --faults.noiseTransfers;
        QueuedTransfer& next = outbox.transfers.front();
        next.readyAt = now;
        next.leftover = false;
        return Deliver(outbox, NoiseBytes(noise, next.length), out, capacity, counters);
    }
    std::vector<uint8_t> transfer = TransferBytes(outbox.transfers.front());
    outbox.transfers.pop_front();
    return Deliver(outbox, std::move(transfer), out, capacity, counters);
}

Micros NextOutboxEvent(const Outbox& outbox)
{
    if (!outbox.partial.empty())
        return 0;
    Micros next = NoEvent;
    if (!outbox.transfers.empty())
        next = std::min(next, outbox.transfers.front().readyAt);
    if (!outbox.delayedReplies.empty())
        next = std::min(next, outbox.delayedReplies.front().readyAt);
    if (FifoReady(outbox))
        next = 0;
    return next;
}
