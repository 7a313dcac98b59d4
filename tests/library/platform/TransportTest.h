// The transport over the scripted fake platform, fresh for every test.
#pragma once

#include "FakePlatform.h"
#include "LibraryState.h"
#include "UsbTransport.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

constexpr DWORD WaitMs = 5000; // generous: Wine under load is slow

class TransportTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        FakePlatform::Reset();
        UsePlatformOps(&FakePlatform::Ops());
    }

    void TearDown() override
    {
        for (const std::string& misuse : FakePlatform::Misuse())
            ADD_FAILURE() << "platform misused: " << misuse;
        UsePlatformOps(nullptr);
        FakePlatform::Reset();
    }

    static std::unique_ptr<LibraryState> NewState() { return std::make_unique<LibraryState>(); }

    // Instances 0..count-1, all ordinary.
    static void Instances(size_t count) { FakePlatform::SetInstances(std::vector<FakePlatform::Instance>(count)); }
};
