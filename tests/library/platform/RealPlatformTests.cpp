// The shipped filling of the platform table, run for real. The test machine has no device (under
// Wine the class is usually not even installed), so an open must fail with the system's own code.
#include "LibraryState.h"
#include "UsbTransport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>

namespace {

TEST(RealPlatform, EveryOperationIsFilled)
{
    constexpr size_t entries = sizeof(PlatformOps) / sizeof(void*);
    static_assert(sizeof(PlatformOps) % sizeof(void*) == 0);
    void* pointers[entries];
    std::memcpy(pointers, &DefaultPlatformOps, sizeof(PlatformOps));
    for (size_t i = 0; i < entries; ++i)
        EXPECT_NE(pointers[i], nullptr) << "operation " << i;
    EXPECT_EQ(&Platform(), &DefaultPlatformOps);
}

TEST(RealPlatform, OpeningWithoutADeviceFailsWithTheSystemsCode)
{
    UsePlatformOps(nullptr);
    char path[DevicePathCapacity] = "junk";
    const DWORD found = FindDevicePath(0, DevGUID, path, sizeof(path));
    EXPECT_TRUE(found == 55 || found == 1167) << found;
    std::printf("without a device the platform reports %lu\n", found);
    EXPECT_STREQ(path, "");

    SetLastError(0);
    EXPECT_EQ(OpenUsbDevice(DevGUID, 0), nullptr);
    EXPECT_EQ(GetLastError(), found);

    auto state = std::make_unique<LibraryState>();
    char serial[16] = "junk";
    DWORD handlesBefore = 0;
    GetProcessHandleCount(GetCurrentProcess(), &handlesBefore);
    for (int attempt = 0; attempt < 20; ++attempt) {
        ASSERT_EQ(OpenFirstFreeDevice(*state, serial), found);
        EXPECT_EQ(state->device, nullptr);
        EXPECT_EQ(state->deviceIndex, 0);
        EXPECT_STREQ(serial, "");
    }
    DWORD handlesAfter = 0;
    GetProcessHandleCount(GetCurrentProcess(), &handlesAfter);
    EXPECT_LE(handlesAfter, handlesBefore + 2) << "device sets or handles leak on a failed open";
}

} // namespace
