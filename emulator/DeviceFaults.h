// The faults the software device can be told to show.
#pragma once

#include <cstdint>

// The device's own time to answer a request.
constexpr int32_t DefaultReplyDelayMs = 2;

struct DeviceFaults {
    bool failure = false;        // reads and writes end with ERROR_GEN_FAILURE
    int32_t replyDelayMs = DefaultReplyDelayMs; // < 0: replies are never sent
    bool i2cNack = false;
    uint32_t noiseTransfers = 0; // transfers still to carry noise bytes
    uint32_t shortTransfers = 0; // short fragments still to send
};
