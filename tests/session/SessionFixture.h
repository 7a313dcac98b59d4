// One operator session per test: a fresh panel over a freshly reset software device, message
// boxes and file dialogs caught, program-wide state as at program start. A message box the test
// did not take is a failure.
#pragma once

#include "SessionDriver.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

class SessionTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The boxes shown so far, taken: TearDown fails on any box left untaken.
    std::vector<CaughtBox> TakeBoxes();

    // CONNECT DEVICE and wait until the device watch has run AFE detection.
    void Connect();
    // Chooses the log file name through the log file button's dialog.
    void ChooseLogFile(const std::string& name);
    void ChooseConfigFile(const std::string& path);
    // START, then wait for `batches` batches.
    void StartAndWait(uint32_t batches);

    HWND window = nullptr;
    BoxCatcher* boxes = nullptr;
    ScratchFolder folder;
};
