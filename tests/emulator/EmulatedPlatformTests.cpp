// The emulated platform operations, called the way the transport calls them, without the
// library: enumeration, paths, exclusive open, overlapped reads, abort and error codes.
#include "EmulatorRegistry.h"
#include "EmulatorTestSupport.h"
#include "HolderProcess.h"
#include "KalvixEmulator.h"
#include "PlatformOps.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <thread>

namespace {

const PlatformOps& Ops()
{
    return DefaultPlatformOps;
}

int32_t Emu(uint32_t instance, uint32_t what, int32_t value, void* data = nullptr, uint32_t size = 0)
{
    return KalvixEmulatorControl(instance, what, value, data, size);
}

struct PathResult {
    DWORD error = 0;
    std::string path;
};

PathResult PathAt(DWORD index, DWORD flags = DIGCF_PRESENT | DIGCF_DEVICEINTERFACE)
{
    PathResult result;
    HDEVINFO set = Ops().getClassDevs(&EmulatedInterfaceClass, nullptr, nullptr, flags);
    if (set == INVALID_HANDLE_VALUE) {
        result.error = GetLastError();
        return result;
    }
    SP_DEVICE_INTERFACE_DATA data{};
    data.cbSize = sizeof data;
    if (!Ops().enumDeviceInterfaces(set, nullptr, &EmulatedInterfaceClass, index, &data)) {
        result.error = GetLastError();
    } else {
        DWORD required = 0;
        EXPECT_FALSE(Ops().getDeviceInterfaceDetail(set, &data, nullptr, 0, &required, nullptr));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
        std::vector<char> storage(required);
        auto* detail = reinterpret_cast<PSP_DEVICE_INTERFACE_DETAIL_DATA_A>(storage.data());
        detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
        if (Ops().getDeviceInterfaceDetail(set, &data, detail, required, nullptr, nullptr))
            result.path = detail->DevicePath;
        else
            result.error = GetLastError();
    }
    EXPECT_TRUE(Ops().destroyDeviceInfoList(set));
    return result;
}

HANDLE OpenPath(const std::string& path)
{
    return Ops().createFile(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED, nullptr);
}

struct PlatformTest : ::testing::Test {
    void SetUp() override { ASSERT_EQ(Emu(0, KALVIX_EMU_RESET, 0), 0); }
    void TearDown() override { Emu(0, KALVIX_EMU_RESET, 0); }
};

// One opened instance with its WinUSB handle and a manual-reset read event.
struct OpenedDevice : PlatformTest {
    HANDLE file = INVALID_HANDLE_VALUE;
    WINUSB_INTERFACE_HANDLE usb = nullptr;
    HANDLE readEvent = nullptr;
    OVERLAPPED overlapped{};
    uint8_t buffer[768] = {};

    void SetUp() override
    {
        PlatformTest::SetUp();
        const PathResult found = PathAt(0);
        ASSERT_EQ(found.error, 0u);
        file = OpenPath(found.path);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        ASSERT_TRUE(Ops().usbInitialize(file, &usb));
        readEvent = Ops().createEvent(nullptr, TRUE, FALSE, nullptr);
        overlapped.hEvent = readEvent;
    }
    void TearDown() override
    {
        if (usb)
            Ops().usbFree(usb);
        if (file != INVALID_HANDLE_VALUE)
            Ops().closeHandle(file);
        Ops().closeHandle(readEvent);
        PlatformTest::TearDown();
    }
    BOOL StartRead(ULONG length)
    {
        ULONG transferred = 0;
        return Ops().usbReadPipe(usb, 0x81, buffer, length, &transferred, &overlapped);
    }
    bool Write(const std::vector<uint8_t>& bytes)
    {
        ULONG written = 0;
        return Ops().usbWritePipe(usb, 0x01, const_cast<uint8_t*>(bytes.data()), static_cast<ULONG>(bytes.size()),
                                  &written, nullptr) && written == bytes.size();
    }
    // Waits for the pending read; its byte count, or -1 on time-out, or -(error) on failure.
    long Finish(DWORD timeoutMs = 2000)
    {
        const HANDLE handles[] = {readEvent};
        if (Ops().waitForMultipleObjects(1, handles, FALSE, timeoutMs) != WAIT_OBJECT_0)
            return -1;
        DWORD n = 0;
        if (!Ops().getOverlappedResult(file, &overlapped, &n, FALSE))
            return -static_cast<long>(GetLastError());
        return static_cast<long>(n);
    }
    KalvixEmulatorState State()
    {
        KalvixEmulatorState state{};
        EXPECT_EQ(Emu(0, KALVIX_EMU_GET_STATE, 0, &state, sizeof state), static_cast<int32_t>(sizeof state));
        return state;
    }
};

TEST_F(PlatformTest, InstancesAreFoundByIndexUnderTheClass)
{
    const PathResult first = PathAt(0), second = PathAt(1), none = PathAt(2);
    EXPECT_EQ(first.error, 0u);
    EXPECT_NE(first.path.find("vid_1cbe&pid_0234#kx10240001#{d7024f71-28de-4e81-8a6b-113ca2bfb60d}"), std::string::npos)
        << first.path;
    EXPECT_NE(second.path.find("kx10240002"), std::string::npos);
    EXPECT_EQ(none.error, static_cast<DWORD>(ERROR_NO_MORE_ITEMS));

    // An absent instance leaves the present ones' indexes, but is listed without DIGCF_PRESENT.
    Emu(0, KALVIX_EMU_PRESENT, 0);
    EXPECT_NE(PathAt(0).path.find("kx10240002"), std::string::npos);
    EXPECT_EQ(PathAt(1).error, static_cast<DWORD>(ERROR_NO_MORE_ITEMS));
    EXPECT_NE(PathAt(0, DIGCF_DEVICEINTERFACE).path.find("kx10240001"), std::string::npos);

    // A detail record with the wrong size field is refused as Windows does.
    HDEVINFO set = Ops().getClassDevs(&EmulatedInterfaceClass, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    SP_DEVICE_INTERFACE_DATA data{};
    data.cbSize = sizeof data;
    ASSERT_TRUE(Ops().enumDeviceInterfaces(set, nullptr, &EmulatedInterfaceClass, 0, &data));
    char storage[512] = {};
    auto* detail = reinterpret_cast<PSP_DEVICE_INTERFACE_DETAIL_DATA_A>(storage);
    detail->cbSize = 5;
    EXPECT_FALSE(Ops().getDeviceInterfaceDetail(set, &data, detail, sizeof storage, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_USER_BUFFER));
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
    EXPECT_FALSE(Ops().getDeviceInterfaceDetail(set, &data, detail, 20, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_TRUE(Ops().destroyDeviceInfoList(set));
    EXPECT_FALSE(Ops().destroyDeviceInfoList(set)) << "a released set is no longer valid";
}

TEST_F(PlatformTest, MissingClassFailsBothEnumerations)
{
    Emu(0, KALVIX_EMU_CLASS_INSTALLED, 0);
    EXPECT_EQ(Ops().getClassDevs(&EmulatedInterfaceClass, nullptr, nullptr, 0x12), INVALID_HANDLE_VALUE);
    EXPECT_EQ(Ops().getClassDevs(&EmulatedInterfaceClass, nullptr, nullptr, 0x10), INVALID_HANDLE_VALUE);
    Emu(0, KALVIX_EMU_CLASS_INSTALLED, 1);
    Emu(0, KALVIX_EMU_INSTANCE_COUNT, 0);
    EXPECT_EQ(PathAt(0).error, static_cast<DWORD>(ERROR_NO_MORE_ITEMS)) << "installed, nothing attached";
}

TEST_F(PlatformTest, OpenIsExclusiveWithinAndAcrossProcesses)
{
    const std::string path = PathAt(0).path;
    HANDLE file = OpenPath(path);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(OpenPath(path), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(Ops().closeHandle(file));
    file = OpenPath(path);
    EXPECT_NE(file, INVALID_HANDLE_VALUE) << "free again after close";
    Ops().closeHandle(file);

    Emu(0, KALVIX_EMU_HELD_ELSEWHERE, 1);
    EXPECT_EQ(OpenPath(path), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    Emu(0, KALVIX_EMU_HELD_ELSEWHERE, 0);

    HolderProcess holder;
    ASSERT_TRUE(holder.Start(1)) << "the helper program holds instance 1";
    EXPECT_EQ(OpenPath(PathAt(1).path), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    file = OpenPath(path);
    EXPECT_NE(file, INVALID_HANDLE_VALUE) << "instance 0 is still free";
    Ops().closeHandle(file);
    holder.Release();
    file = OpenPath(PathAt(1).path);
    EXPECT_NE(file, INVALID_HANDLE_VALUE) << "free once the other program has ended";
    Ops().closeHandle(file);

    EXPECT_EQ(OpenPath("\\\\?\\usb#vid_1cbe&pid_0234#nothing#{x}"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST_F(OpenedDevice, DescribesOneBulkPairAndTheSerial)
{
    UCHAR speed = 0;
    ULONG length = 1;
    EXPECT_TRUE(Ops().usbQueryDeviceInformation(usb, DEVICE_SPEED, &length, &speed));
    EXPECT_EQ(speed, HighSpeed);
    USB_INTERFACE_DESCRIPTOR descriptor{};
    ASSERT_TRUE(Ops().usbQueryInterfaceSettings(usb, 0, &descriptor));
    ASSERT_EQ(descriptor.bNumEndpoints, 2);
    WINUSB_PIPE_INFORMATION in{}, out{};
    ASSERT_TRUE(Ops().usbQueryPipe(usb, 0, 0, &in));
    ASSERT_TRUE(Ops().usbQueryPipe(usb, 0, 1, &out));
    EXPECT_EQ(in.PipeType, UsbdPipeTypeBulk);
    EXPECT_EQ(in.PipeId, 0x81);
    EXPECT_EQ(out.PipeType, UsbdPipeTypeBulk);
    EXPECT_EQ(out.PipeId, 0x01);
    EXPECT_FALSE(Ops().usbQueryPipe(usb, 0, 2, &out));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_ITEMS));

    UCHAR serial[34] = {};
    ULONG transferred = 0;
    ASSERT_TRUE(Ops().usbGetDescriptor(usb, USB_STRING_DESCRIPTOR_TYPE, 3, 0x0409, serial, sizeof serial, &transferred));
    EXPECT_EQ(transferred, 2u + 2 * 10);
    EXPECT_EQ(serial[0], transferred);
    EXPECT_EQ(serial[1], USB_STRING_DESCRIPTOR_TYPE);
    char text[17] = {};
    EXPECT_EQ(Ops().wideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, reinterpret_cast<LPCWCH>(serial + 2),
                                        (transferred - 2) / 2, text, 16, nullptr, nullptr), 10);
    EXPECT_STREQ(text, "KX10240001");

    // A 16-character serial fills the 34-byte buffer exactly.
    ASSERT_EQ(Emu(0, KALVIX_EMU_SERIAL, 0, const_cast<char*>("ABCDEFGHIJKLMNOP"), 17), 0);
    EXPECT_TRUE(Ops().usbGetDescriptor(usb, USB_STRING_DESCRIPTOR_TYPE, 3, 0x0409, serial, sizeof serial, &transferred));
    EXPECT_EQ(transferred, 34u);
    EXPECT_EQ(Emu(0, KALVIX_EMU_SERIAL, 0, const_cast<char*>("ABCDEFGHIJKLMNOPQ"), 18), KALVIX_EMU_ERR_VALUE);
}

TEST_F(OpenedDevice, PendingReadCompletesThroughItsEvent)
{
    EXPECT_FALSE(StartRead(6));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_IO_PENDING));
    DWORD n = 0;
    EXPECT_FALSE(Ops().getOverlappedResult(file, &overlapped, &n, FALSE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_IO_INCOMPLETE));
    EXPECT_EQ(WaitForSingleObject(readEvent, 30), static_cast<DWORD>(WAIT_TIMEOUT)) << "nothing to read yet";

    ASSERT_TRUE(Write(Req(OpGpio, {0})));
    EXPECT_EQ(Finish(), 6);
    EXPECT_EQ(GetU16(buffer + 2), TagGpioStatus);

    // Data already waiting completes the read at once, with the event set as well.
    Emu(0, KALVIX_EMU_REPLY_DELAY_MS, 0);
    ASSERT_TRUE(Write(Req(OpIdentify)));
    ULONG transferred = 0;
    EXPECT_TRUE(Ops().usbReadPipe(usb, 0x81, buffer, 58, &transferred, &overlapped));
    EXPECT_EQ(transferred, 58u);
    EXPECT_EQ(WaitForSingleObject(readEvent, 0), static_cast<DWORD>(WAIT_OBJECT_0));
    EXPECT_EQ(GetU16(buffer + 2), TagTextReply);
}

TEST_F(OpenedDevice, AbortAndCloseEndPendingReadsAsCancelled)
{
    ASSERT_FALSE(StartRead(6));
    ASSERT_EQ(GetLastError(), static_cast<DWORD>(ERROR_IO_PENDING));
    EXPECT_EQ(State().pendingReads, 1u);
    EXPECT_TRUE(Ops().usbAbortPipe(usb, 0x81));
    EXPECT_EQ(Finish(), -static_cast<long>(ERROR_OPERATION_ABORTED));
    EXPECT_EQ(State().pendingReads, 0u);
    EXPECT_EQ(State().abortedReads, 1u);

    // The aborted read's buffer is not written afterwards.
    memset(buffer, 0xEE, sizeof buffer);
    ASSERT_TRUE(Write(Req(OpGpio, {0})));
    Sleep(30);
    EXPECT_EQ(buffer[0], 0xEE);

    ASSERT_TRUE(StartRead(58) || GetLastError() == ERROR_IO_PENDING);
    EXPECT_EQ(Finish(), 6) << "the GPIO frame is still there for the next read";
    ASSERT_FALSE(StartRead(6));
    EXPECT_TRUE(Ops().usbFree(usb));
    usb = nullptr;
    EXPECT_EQ(Finish(), -static_cast<long>(ERROR_OPERATION_ABORTED));
    EXPECT_TRUE(Ops().closeHandle(file));
    file = INVALID_HANDLE_VALUE;
    EXPECT_EQ(State().open, 0u);
}

TEST_F(OpenedDevice, DeviceFailureEndsReadsAndWritesWithError31)
{
    ASSERT_FALSE(StartRead(6));
    Emu(0, KALVIX_EMU_DEVICE_FAILURE, 1);
    EXPECT_EQ(Finish(), -static_cast<long>(ERROR_GEN_FAILURE));
    EXPECT_FALSE(StartRead(6));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_GEN_FAILURE)) << "fails at once, not pending";
    EXPECT_FALSE(Write(Req(OpGpio, {0})));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_GEN_FAILURE));
    Emu(0, KALVIX_EMU_DEVICE_FAILURE, 0);
    EXPECT_TRUE(Write(Req(OpGpio, {0})));
    ASSERT_TRUE(StartRead(6) || GetLastError() == ERROR_IO_PENDING);
    EXPECT_EQ(Finish(), 6);

    // Pulling an open device out fails its reads the same way.
    ASSERT_FALSE(StartRead(6));
    Emu(0, KALVIX_EMU_PRESENT, 0);
    EXPECT_EQ(Finish(), -static_cast<long>(ERROR_GEN_FAILURE));
}

// A device pulled out while open fails its reads, pending or new, and its writes with the error
// chosen for it: 31 by default, or 1167 or 22 as some drivers report; nothing else is accepted.
TEST_F(OpenedDevice, PulledDeviceFailsWithTheChosenError)
{
    for (const DWORD error : {DWORD{ERROR_GEN_FAILURE}, DWORD{ERROR_DEVICE_NOT_CONNECTED}, DWORD{ERROR_BAD_COMMAND}}) {
        SCOPED_TRACE(error);
        ASSERT_EQ(Emu(0, KALVIX_EMU_PULLED_ERROR, static_cast<int32_t>(error)), 0);
        ASSERT_TRUE(Write(Req(OpGains, {5})));
        ASSERT_FALSE(StartRead(6));
        ASSERT_EQ(GetLastError(), static_cast<DWORD>(ERROR_IO_PENDING));
        Emu(0, KALVIX_EMU_PRESENT, 0);
        EXPECT_EQ(Finish(), -static_cast<long>(error));
        EXPECT_FALSE(StartRead(6));
        EXPECT_EQ(GetLastError(), error) << "fails at once, not pending";
        EXPECT_FALSE(Write(Req(OpGpio, {0})));
        EXPECT_EQ(GetLastError(), error);
        Emu(0, KALVIX_EMU_PRESENT, 1);
        EXPECT_EQ(State().gains, 0u) << "plugged back in, it starts with power-on settings";
        EXPECT_TRUE(Write(Req(OpGpio, {0})));
        ASSERT_TRUE(StartRead(6) || GetLastError() == ERROR_IO_PENDING);
        EXPECT_EQ(Finish(), 6);
    }
    // A failing device gives 31 whatever is chosen for a pulled one.
    ASSERT_FALSE(StartRead(6));
    Emu(0, KALVIX_EMU_DEVICE_FAILURE, 1);
    EXPECT_EQ(Finish(), -static_cast<long>(ERROR_GEN_FAILURE));
    Emu(0, KALVIX_EMU_DEVICE_FAILURE, 0);
    for (const int32_t refused : {0, 5, 21, 23, 1166, -31})
        EXPECT_EQ(Emu(0, KALVIX_EMU_PULLED_ERROR, refused), KALVIX_EMU_ERR_VALUE) << refused;
}

TEST_F(OpenedDevice, SpectraArriveAtTheDividerPaceThroughThePump)
{
    ASSERT_EQ(Emu(0, KALVIX_EMU_FIFO_CAPACITY, 4096), 0); // a slow test thread loses nothing
    ASSERT_TRUE(Write(Req(OpStart, {0})));
    const DWORD started = GetTickCount();
    uint32_t expected = 0;
    for (int transfer = 0; transfer < 50; ++transfer) {
        if (!StartRead(768)) {
            ASSERT_EQ(GetLastError(), static_cast<DWORD>(ERROR_IO_PENDING));
        }
        ASSERT_EQ(Finish(), 768) << "transfer " << transfer;
        const std::vector<uint8_t> block(buffer, buffer + 768);
        for (uint32_t count : MeasCountsIn(block))
            ASSERT_EQ(count, expected++);
    }
    const DWORD elapsed = GetTickCount() - started;
    EXPECT_EQ(expected, 200u);
    EXPECT_GE(elapsed, 180u) << "the device does not run ahead of its clock";
    EXPECT_LT(elapsed, 10000u);
    ASSERT_TRUE(Write(Req(OpcodeStop)));
}

} // namespace

namespace {

TEST_F(OpenedDevice, GetOverlappedResultWaitsForTheCompletionWhenAsked)
{
    ASSERT_FALSE(StartRead(6));
    ASSERT_EQ(GetLastError(), static_cast<DWORD>(ERROR_IO_PENDING));
    std::thread writer([&] {
        Sleep(50);
        Write(Req(OpGpio, {0}));
    });
    DWORD n = 0;
    EXPECT_TRUE(Ops().getOverlappedResult(file, &overlapped, &n, TRUE));
    EXPECT_EQ(n, 6u);
    EXPECT_EQ(GetU16(buffer + 2), TagGpioStatus);
    writer.join();

    // A read whose OVERLAPPED has no event is still waited for.
    OVERLAPPED bare{};
    ULONG transferred = 0;
    ASSERT_FALSE(Ops().usbReadPipe(usb, 0x81, buffer, 6, &transferred, &bare));
    ASSERT_EQ(GetLastError(), static_cast<DWORD>(ERROR_IO_PENDING));
    std::thread again([&] {
        Sleep(50);
        Write(Req(OpGpio, {0}));
    });
    n = 0;
    EXPECT_TRUE(Ops().getOverlappedResult(file, &bare, &n, TRUE));
    EXPECT_EQ(n, 6u);
    again.join();
}

TEST_F(PlatformTest, ControlRefusesBadInstancesDataAndSizesWithoutChangingAnything)
{
    KalvixEmulatorState state{};
    EXPECT_EQ(Emu(17, KALVIX_EMU_GET_STATE, 0, &state, sizeof state), KALVIX_EMU_ERR_INSTANCE);
    EXPECT_EQ(Emu(0xFFFFFFFFu, KALVIX_EMU_AFE_PLUGGED, 0), KALVIX_EMU_ERR_INSTANCE);
    for (uint32_t what : {0u, 5u, 9u, 15u, 99u, 105u, 0xFFFFFFFFu})
        EXPECT_EQ(Emu(0, what, 0), KALVIX_EMU_ERR_UNKNOWN) << what;

    // Records: missing or too small.
    EXPECT_EQ(Emu(0, KALVIX_EMU_GET_STATE, 0, nullptr, sizeof state), KALVIX_EMU_ERR_DATA);
    EXPECT_EQ(Emu(0, KALVIX_EMU_GET_STATE, 0, &state, sizeof state - 1), KALVIX_EMU_ERR_DATA);
    KalvixEmulatorObject object{1.0, 2.0, 3e-9};
    EXPECT_EQ(Emu(0, KALVIX_EMU_OBJECT, 0, nullptr, sizeof object), KALVIX_EMU_ERR_DATA);
    EXPECT_EQ(Emu(0, KALVIX_EMU_OBJECT, 0, &object, sizeof object - 1), KALVIX_EMU_ERR_DATA);
    object.seriesOhm = INFINITY;
    EXPECT_EQ(Emu(0, KALVIX_EMU_OBJECT, 0, &object, sizeof object), KALVIX_EMU_ERR_VALUE);
    object = {1.0, NAN, 3e-9};
    EXPECT_EQ(Emu(0, KALVIX_EMU_OBJECT, 0, &object, sizeof object), KALVIX_EMU_ERR_VALUE);

    // Texts: missing, or not ending inside the given size.
    EXPECT_EQ(Emu(0, KALVIX_EMU_SERIAL, 0, nullptr, 8), KALVIX_EMU_ERR_DATA);
    char unterminated[4] = {'A', 'B', 'C', 'D'};
    EXPECT_EQ(Emu(0, KALVIX_EMU_SERIAL, 0, unterminated, sizeof unterminated), KALVIX_EMU_ERR_DATA);
    EXPECT_EQ(Emu(0, KALVIX_EMU_IDENT_TEXT, 0, const_cast<char*>("HW:v9.99"), 0), KALVIX_EMU_ERR_DATA);
    EXPECT_EQ(PathAt(0).path.find("kx10240001") != std::string::npos, true) << "serial unchanged";

    // AFE memory access outside the memory or without a buffer.
    uint8_t bytes[16] = {};
    EXPECT_EQ(Emu(0, KALVIX_EMU_AFE_READ, -1, bytes, sizeof bytes), KALVIX_EMU_ERR_VALUE);
    EXPECT_EQ(Emu(0, KALVIX_EMU_AFE_READ, AfeAreaSize - 8, bytes, sizeof bytes), KALVIX_EMU_ERR_VALUE);
    EXPECT_EQ(Emu(0, KALVIX_EMU_AFE_WRITE, 0, nullptr, 4), KALVIX_EMU_ERR_DATA);
    EXPECT_EQ(Emu(0, KALVIX_EMU_AFE_READ, AfeAreaSize - 16, bytes, sizeof bytes), 16);

    // Values out of range.
    EXPECT_EQ(Emu(0, KALVIX_EMU_INSTANCE_COUNT, 18), KALVIX_EMU_ERR_VALUE);
    EXPECT_EQ(Emu(0, KALVIX_EMU_INSTANCE_COUNT, -1), KALVIX_EMU_ERR_VALUE);
    EXPECT_EQ(Emu(0, KALVIX_EMU_FIFO_CAPACITY, 0), KALVIX_EMU_ERR_VALUE);
    EXPECT_EQ(Emu(0, KALVIX_EMU_FIFO_CAPACITY, 4097), KALVIX_EMU_ERR_VALUE);
    EXPECT_EQ(Emu(0, KALVIX_EMU_AFE_RECORD, 7), KALVIX_EMU_ERR_VALUE);
    EXPECT_EQ(Emu(0, KALVIX_EMU_REPLY_DELAY_MS, -2), KALVIX_EMU_ERR_VALUE);
    EXPECT_EQ(Emu(0, KALVIX_EMU_GET_TABLE, 2, bytes, sizeof bytes), KALVIX_EMU_ERR_VALUE) << "no such table";

    // Read-backs: no buffer for something to copy, or a short one that gets only what fits.
    EXPECT_EQ(Emu(0, KALVIX_EMU_GET_TABLE, 3, nullptr, 120), KALVIX_EMU_ERR_DATA);
    EXPECT_EQ(Emu(0, KALVIX_EMU_GET_TABLE, 3, bytes, sizeof bytes), 16);

    ASSERT_EQ(Emu(0, KALVIX_EMU_GET_STATE, 0, &state, sizeof state), static_cast<int32_t>(sizeof state));
    EXPECT_EQ(PathAt(1).error, 0u) << "the instance count is unchanged";
}

} // namespace
