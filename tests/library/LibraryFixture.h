// The library in this process over the scripted fake platform: attached fresh for every test.
#pragma once

#include "FakePlatform.h"
#include "FrameBuilders.h"
#include "KalvixCtrl.h"
#include "LibraryState.h"

#include <gtest/gtest.h>

#include <string>

constexpr DWORD WaitMs = 5000; // generous: Wine under load is slow

// The library's text for a call; "" for success.
std::string Call(uint32_t command, uint32_t param = 0, uint32_t* record = nullptr, void* data = nullptr);

// The system's message text for `code` without its line break, as the library appends it.
std::string SystemText(DWORD code);

class LibraryTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Connects to the fake device; the reader then has its idle 6-byte read pending.
    void Connect();
    // Answers identification (2, 48), configuration (11), GPIO mask (14) and I2C reads (8) the
    // way the device does.
    void AnswerLikeTheDevice();
    // Waits until the reader has a read of `length` bytes pending.
    void ExpectPendingRead(ULONG length);

    uint32_t statusWord = 0;
    uint32_t gpioWord = 0;
    ActivityCounters counters{};
    char serial[32] = {};
    std::string identification = "Kalvix HW:v1.02 SW:v1.30 test unit";
    Bytes configuration = Bytes(272, 0);
    Bytes i2cData = Bytes(90, 0);
};
