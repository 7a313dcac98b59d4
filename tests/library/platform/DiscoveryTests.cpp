// Finding and opening the device: path discovery, the open sequence and its clean-up, the choice
// of the first free instance and the serial text.
#include "TransportTest.h"

#include <cstring>

namespace {

using FakePlatform::Instance;

class DiscoveryTest : public TransportTest {};

TEST(DeviceClass, IsTheKalvixInterfaceClass)
{
    const GUID expected = {0xD7024F71, 0x28DE, 0x4E81, {0x8A, 0x6B, 0x11, 0x3C, 0xA2, 0xBF, 0xB6, 0x0D}};
    EXPECT_TRUE(IsEqualGUID(DevGUID, expected));
}

TEST_F(DiscoveryTest, MissingClassOrInstanceGivesItsOwnCode)
{
    char path[DevicePathCapacity] = "junk";

    FakePlatform::SetClassInstalled(false);
    EXPECT_EQ(FindDevicePath(0, DevGUID, path, sizeof(path)), 55u);
    EXPECT_EQ(FakePlatform::ClassDevsFlags(), (std::vector<DWORD>{0x12, 0x10}));
    EXPECT_STREQ(path, "");

    // Installed, but the set of present interfaces cannot be had: the fallback set is released.
    FakePlatform::SetClassInstalled(true);
    FakePlatform::SetPresentSetFails(true);
    EXPECT_EQ(FindDevicePath(0, DevGUID, path, sizeof(path)), 1167u);
    EXPECT_EQ(FakePlatform::CurrentlyOpen().deviceInfoSets, 0);

    FakePlatform::SetPresentSetFails(false);
    Instances(2);
    EXPECT_EQ(FindDevicePath(2, DevGUID, path, sizeof(path)), 1167u);
    Instances(0);
    EXPECT_EQ(FindDevicePath(0, DevGUID, path, sizeof(path)), 1167u);
    EXPECT_EQ(FakePlatform::CurrentlyOpen().total(), 0);
}

TEST_F(DiscoveryTest, PathOfTheIndexedInstanceWithThePlatformsDetailSize)
{
    Instances(3);
    char first[DevicePathCapacity] = {};
    char third[DevicePathCapacity] = {};
    ASSERT_EQ(FindDevicePath(0, DevGUID, first, sizeof(first)), 0u);
    ASSERT_EQ(FindDevicePath(2, DevGUID, third, sizeof(third)), 0u);
    EXPECT_STRNE(first, third);
    EXPECT_NE(std::strstr(third, "kx2#"), nullptr) << third;
    // The size field is the fixed part of the record on this platform, not the 32-bit 5.
    static_assert(sizeof(void*) != 8 || sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A) == 8);
    EXPECT_EQ(FakePlatform::LastDetailRecordSize(), sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A));
    EXPECT_EQ(FakePlatform::CurrentlyOpen().total(), 0);
}

TEST_F(DiscoveryTest, PathOf255CharactersFitsAndOneMoreGives122)
{
    Instance fits;
    fits.pathLength = 255;
    Instance tooLong;
    tooLong.pathLength = 256;
    FakePlatform::SetInstances({fits, tooLong});

    char path[DevicePathCapacity + 8];
    std::memset(path, 'Z', sizeof(path));
    ASSERT_EQ(FindDevicePath(0, DevGUID, path, DevicePathCapacity), 0u);
    EXPECT_EQ(std::strlen(path), 255u);

    std::memset(path, 'Z', sizeof(path));
    EXPECT_EQ(FindDevicePath(1, DevGUID, path, DevicePathCapacity), 122u);
    EXPECT_EQ(path[0], '\0');
    EXPECT_EQ(path[DevicePathCapacity], 'Z') << "wrote past the capacity";
    EXPECT_EQ(FakePlatform::CurrentlyOpen().total(), 0);
}

TEST_F(DiscoveryTest, FailedDetailQueryGivesTheSystemError)
{
    Instance broken;
    broken.detailError = ERROR_INVALID_FUNCTION;
    FakePlatform::SetInstances({broken});
    char path[DevicePathCapacity];
    EXPECT_EQ(FindDevicePath(0, DevGUID, path, sizeof(path)), static_cast<DWORD>(ERROR_INVALID_FUNCTION));
    EXPECT_EQ(FakePlatform::CurrentlyOpen().total(), 0);
}

TEST_F(DiscoveryTest, OpenFindsBothBulkPipesWhateverTheirOrder)
{
    for (bool outFirst : {false, true}) {
        Instance instance;
        instance.outPipeFirst = outFirst;
        FakePlatform::SetInstances({instance});

        UsbDevice* device = OpenUsbDevice(DevGUID, 0);
        ASSERT_NE(device, nullptr) << "error " << GetLastError();
        EXPECT_EQ(device->pipeIn, 0x81);
        EXPECT_EQ(device->pipeOut, 0x01);
        EXPECT_EQ(device->speed, 3);
        EXPECT_NE(device->readEvent, nullptr);
        // Manual-reset and not signalled: a wait on it must not pass before a read completes.
        EXPECT_EQ(WaitForSingleObject(device->readEvent, 0), static_cast<DWORD>(WAIT_TIMEOUT));

        const FakePlatform::CreateFileCall call = FakePlatform::LastCreateFile();
        EXPECT_EQ(call.access, 0xC0000000u);
        EXPECT_EQ(call.share, 3u);
        EXPECT_EQ(call.disposition, 3u);
        EXPECT_EQ(call.flags, 0x40000080u);

        const FakePlatform::OpenHandles open = FakePlatform::CurrentlyOpen();
        EXPECT_EQ(open.files, 1);
        EXPECT_EQ(open.usbHandles, 1);
        EXPECT_EQ(open.events, 1);
        EXPECT_EQ(open.deviceInfoSets, 0);

        EXPECT_EQ(CloseUsbDevice(device), 0u);
        EXPECT_EQ(FakePlatform::CurrentlyOpen().total(), 0);
    }
    EXPECT_EQ(CloseUsbDevice(nullptr), 87u);
}

TEST_F(DiscoveryTest, FailedOpenReleasesWhatWasOpenedAndKeepsTheCause)
{
    struct Case {
        const char* name;
        Instance instance;
        bool eventFails;
        DWORD expected;
        int filesOpened;
    };
    Instance denied, init, speed, settings, interrupt, longPath, inOnly, pipeQuery;
    inOnly.noOutPipe = true;
    pipeQuery.pipeQueryFails = true;
    denied.accessDenied = true;
    init.initializeError = ERROR_BAD_COMMAND;
    speed.speedError = ERROR_SEM_TIMEOUT;
    settings.settingsError = ERROR_GEN_FAILURE;
    interrupt.nonBulkEndpoint = true;
    longPath.pathLength = 300;
    const Case cases[] = {
        {"held by another program", denied, false, ERROR_ACCESS_DENIED, 0},
        {"path too long", longPath, false, 122, 0},
        {"initialize fails", init, false, ERROR_BAD_COMMAND, 1},
        {"speed query fails", speed, false, ERROR_SEM_TIMEOUT, 1},
        {"settings query fails", settings, false, ERROR_GEN_FAILURE, 1},
        {"endpoint not bulk", interrupt, false, 17, 1},
        {"no OUT pipe", inOnly, false, 17, 1},
        {"pipe query fails", pipeQuery, false, 17, 1},
        {"no read event", Instance{}, true, ERROR_NOT_ENOUGH_MEMORY, 1},
    };
    for (const Case& c : cases) {
        FakePlatform::Reset();
        FakePlatform::SetInstances({c.instance});
        FakePlatform::SetEventCreationFails(c.eventFails);
        SetLastError(0);
        EXPECT_EQ(OpenUsbDevice(DevGUID, 0), nullptr) << c.name;
        EXPECT_EQ(GetLastError(), c.expected) << c.name;
        EXPECT_EQ(FakePlatform::OpenCount(), c.filesOpened) << c.name;
        EXPECT_EQ(FakePlatform::CurrentlyOpen().total(), 0) << c.name;
        EXPECT_TRUE(FakePlatform::Misuse().empty()) << c.name;
    }
}

TEST_F(DiscoveryTest, FirstFreeInstanceIsTakenWhenLowerOnesAreHeld)
{
    Instance held;
    held.accessDenied = true;
    Instance free;
    free.serial = L"SN-2";
    FakePlatform::SetInstances({held, held, free, Instance{}});

    auto state = NewState();
    char serial[16] = "junk";
    ASSERT_EQ(OpenFirstFreeDevice(*state, serial), 0u);
    EXPECT_EQ(state->deviceIndex, 2);
    ASSERT_NE(state->device, nullptr);
    EXPECT_STREQ(serial, "SN-2");

    // A second opener in the same situation moves past the instance now in use.
    auto second = NewState();
    ASSERT_EQ(OpenFirstFreeDevice(*second, serial), 0u);
    EXPECT_EQ(second->deviceIndex, 3);

    EXPECT_EQ(CloseUsbDevice(second->device), 0u);
    EXPECT_EQ(CloseUsbDevice(state->device), 0u);
    EXPECT_EQ(FakePlatform::CurrentlyOpen().total(), 0);
}

TEST_F(DiscoveryTest, SeventeenHeldInstancesGiveAccessDenied)
{
    Instance held;
    held.accessDenied = true;
    // Instance 17 is free but lies beyond the 17 that are tried.
    std::vector<Instance> instances(17, held);
    instances.push_back(Instance{});
    FakePlatform::SetInstances(instances);

    auto state = NewState();
    char serial[16] = "junk";
    EXPECT_EQ(OpenFirstFreeDevice(*state, serial), 5u);
    EXPECT_EQ(state->device, nullptr);
    EXPECT_EQ(state->deviceIndex, 16);
    EXPECT_STREQ(serial, "");
    EXPECT_EQ(FakePlatform::OpenCount(), 0);
    EXPECT_EQ(FakePlatform::CurrentlyOpen().total(), 0);

    // Instance 16 free is still found.
    instances[16] = Instance{};
    FakePlatform::SetInstances(instances);
    ASSERT_EQ(OpenFirstFreeDevice(*state, serial), 0u);
    EXPECT_EQ(state->deviceIndex, 16);
    EXPECT_EQ(CloseUsbDevice(state->device), 0u);
}

TEST_F(DiscoveryTest, OtherFailuresEndTheSearchWithTheirCode)
{
    struct Case {
        const char* name;
        std::vector<Instance> instances;
        bool classInstalled;
        DWORD expected;
    };
    Instance held, interrupt, longPath;
    held.accessDenied = true;
    interrupt.nonBulkEndpoint = true;
    longPath.pathLength = 256;
    const Case cases[] = {
        {"class not installed", {Instance{}}, false, 55},
        {"no device attached", {}, true, 1167},
        {"held instances and no more", {held, held}, true, 1167},
        {"path too long", {longPath, Instance{}}, true, 122},
        {"endpoint not bulk", {held, interrupt, Instance{}}, true, 17},
    };
    for (const Case& c : cases) {
        FakePlatform::Reset();
        FakePlatform::SetInstances(c.instances);
        FakePlatform::SetClassInstalled(c.classInstalled);
        auto state = NewState();
        char serial[16] = "junk";
        EXPECT_EQ(OpenFirstFreeDevice(*state, serial), c.expected) << c.name;
        EXPECT_EQ(state->device, nullptr) << c.name;
        EXPECT_STREQ(serial, "") << c.name;
        EXPECT_EQ(FakePlatform::CurrentlyOpen().total(), 0) << c.name;
    }
}

TEST_F(DiscoveryTest, SerialTextIsCutTo15CharactersAndAZero)
{
    struct Case {
        size_t characters;
        size_t expected;
    };
    for (const Case c : {Case{5, 5}, Case{15, 15}, Case{16, 15}, Case{40, 15}, Case{0, 0}}) {
        FakePlatform::Reset();
        Instance instance;
        instance.serial = FakePlatform::SerialOfLength(c.characters);
        FakePlatform::SetInstances({instance});

        char serial[32];
        std::memset(serial, 0x7F, sizeof(serial));
        auto state = NewState();
        ASSERT_EQ(OpenFirstFreeDevice(*state, serial), 0u) << c.characters;
        const std::wstring wide = instance.serial.substr(0, c.expected);
        EXPECT_EQ(std::string(serial), std::string(wide.begin(), wide.end())) << c.characters;
        for (size_t i = 16; i < sizeof(serial); ++i)
            ASSERT_EQ(serial[i], 0x7F) << "byte " << i << " written for " << c.characters;
        EXPECT_EQ(CloseUsbDevice(state->device), 0u);
    }
}

TEST_F(DiscoveryTest, FailedSerialReadLeavesAnEmptyTextAndTheDeviceOpen)
{
    Instance instance;
    instance.descriptorError = ERROR_GEN_FAILURE;
    FakePlatform::SetInstances({instance});
    auto state = NewState();
    char serial[16] = "junk";
    ASSERT_EQ(OpenFirstFreeDevice(*state, serial), 0u);
    EXPECT_STREQ(serial, "");
    ASSERT_NE(state->device, nullptr);
    EXPECT_EQ(CloseUsbDevice(state->device), 0u);
}

TEST_F(DiscoveryTest, ManyOpenCloseCyclesLeaveNothingOpen)
{
    Instances(2);
    auto state = NewState();
    char serial[16];
    for (int cycle = 0; cycle < 50; ++cycle) {
        ASSERT_EQ(OpenFirstFreeDevice(*state, serial), 0u) << cycle;
        ASSERT_EQ(state->deviceIndex, 0) << "instance 0 not released in cycle " << cycle;
        ASSERT_EQ(CloseUsbDevice(state->device), 0u);
        state->device = nullptr;
    }
    EXPECT_EQ(FakePlatform::OpenCount(), 50);
    EXPECT_EQ(FakePlatform::CurrentlyOpen().total(), 0);
}

} // namespace
