// Where the spectra of a flooding software device are lost, one stage of the road at a time:
//   device  the emulated platform alone: 768-byte overlapped reads straight from the emulated
//           WinUSB pipe, as the reader issues them, with no library (no read lock, no parsing
//           into the ring, no caller);
//   ring    the library's reader with nobody polling: what reaches the ring (the bytes the reader
//           parsed), the device's FIFO drops and the ring's overrun status;
//   poll1   the reader and a caller taking one record per CMD_GET_SPECTRA;
//   poll50  the reader and a caller taking 50 records per CMD_GET_SPECTRA.
// Every stage runs at each flood rate asked for (spectra per second, independent of the divider;
// divider 1, so 4 spectra per transfer). The library stages load KalvixCtrl.dll by name from the
// emulated library's folder, as a program does; the device stage drives this program's own copy
// of the software device through its platform operations table.
// Run from the emulated library's folder:
//   pipeline_bench [seconds per run] [stage|all] [rate ...]
#include "EmulatorRegistry.h"
#include "FrameFormat.h"
#include "PlatformOps.h"

#include "BenchClock.h"
#include "BenchLibrary.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr ULONG TransferBytes = 4 * KALVIX_SPECTRUM_SIZE; // what the reader asks for at divider 1
constexpr UCHAR PipeIn = 0x81;
constexpr UCHAR PipeOut = 0x01;
constexpr double WarmUpMs = 300.0;
constexpr DWORD ReadGiveUpMs = 1000;

// What one run saw over its measured window.
struct Figures {
    double seconds = 0;
    unsigned long deviceSent = 0;    // spectra that left the device
    unsigned long deviceDropped = 0; // dropped by its full FIFO
    unsigned long takenIn = 0;       // read by the loop (device) or parsed by the reader (library)
    unsigned long delivered = 0;     // handed to the caller by CMD_GET_SPECTRA
    unsigned long lost = 0;          // gaps in MeasCount where the spectra were counted
    unsigned long overruns = 0;      // ring overrun status seen
    unsigned long timeouts = 0;      // read or poll time-outs
    double cpuSeconds = 0;           // this process, all threads
};

double ProcessCpuSeconds()
{
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user))
        return 0;
    const auto seconds = [](const FILETIME& t) {
        return static_cast<double>((static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e7;
    };
    return seconds(kernel) + seconds(user);
}

// The clock of one run: a warm-up, then the measured window, whose time and CPU go into the figures.
class MeasuredRun {
public:
    explicit MeasuredRun(double seconds) : start_(NowMs()), seconds_(seconds) {}

    // False once the run is over; `opens` is true on the one call at which the window opens.
    bool Going(bool& opens)
    {
        const double now = NowMs();
        opens = !open_ && now - start_ >= WarmUpMs;
        if (opens) {
            open_ = true;
            windowStart_ = now;
            cpuStart_ = ProcessCpuSeconds();
        }
        return now - start_ < WarmUpMs + seconds_ * 1000.0;
    }

    void Finish(Figures& f) const
    {
        f.seconds = (NowMs() - windowStart_) / 1000.0;
        f.cpuSeconds = ProcessCpuSeconds() - cpuStart_;
    }

private:
    double start_;
    double seconds_;
    bool open_ = false;
    double windowStart_ = 0;
    double cpuStart_ = 0;
};

// Counts spectra in MeasCount order: a jump past the next number is that many lost.
struct CountOrder {
    uint32_t last = 0;
    bool haveLast = false;
    unsigned long lost = 0;

    void See(uint32_t measCount)
    {
        if (haveLast && measCount > last + 1)
            lost += measCount - last - 1;
        last = measCount;
        haveLast = true;
    }
};

void Print(const char* stage, int rate, const Figures& f)
{
    const double s = f.seconds > 0 ? f.seconds : 1;
    const std::string delivered = f.delivered || std::strncmp(stage, "poll", 4) == 0
        ? std::to_string(static_cast<long>(f.delivered / s + 0.5)) : "-";
    printf("| %-6s | %6d | %8.0f | %8.0f | %9s | %8.0f | %7lu | %5lu | %6lu | %5.1f %% |\n", stage, rate,
           f.deviceSent / s, f.takenIn / s, delivered.c_str(), f.deviceDropped / s, f.lost, f.overruns, f.timeouts,
           100.0 * f.cpuSeconds / s);
    fflush(stdout);
}

// ---- the emulated platform alone --------------------------------------------------------------

int32_t OwnDevice(uint32_t what, int32_t value, void* data = nullptr, uint32_t size = 0)
{
    return KalvixEmulatorControl(0, what, value, data, size);
}

KalvixEmulatorState OwnDeviceState()
{
    KalvixEmulatorState state{};
    OwnDevice(KALVIX_EMU_GET_STATE, 0, &state, sizeof state);
    return state;
}

// Instance 0 opened through the table, as the transport opens it.
struct RawDevice {
    HANDLE file = INVALID_HANDLE_VALUE;
    WINUSB_INTERFACE_HANDLE usb = nullptr;
    HANDLE readEvent = nullptr;
    OVERLAPPED overlapped{};

    bool Open()
    {
        const PlatformOps& ops = DefaultPlatformOps;
        HDEVINFO set = ops.getClassDevs(&EmulatedInterfaceClass, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
        if (set == INVALID_HANDLE_VALUE)
            return false;
        SP_DEVICE_INTERFACE_DATA data{};
        data.cbSize = sizeof data;
        DWORD required = 0;
        std::vector<char> storage;
        if (ops.enumDeviceInterfaces(set, nullptr, &EmulatedInterfaceClass, 0, &data)) {
            ops.getDeviceInterfaceDetail(set, &data, nullptr, 0, &required, nullptr);
            storage.resize(required);
            auto* detail = reinterpret_cast<PSP_DEVICE_INTERFACE_DETAIL_DATA_A>(storage.data());
            detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
            if (ops.getDeviceInterfaceDetail(set, &data, detail, required, nullptr, nullptr))
                file = ops.createFile(detail->DevicePath, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED, nullptr);
        }
        ops.destroyDeviceInfoList(set);
        if (file == INVALID_HANDLE_VALUE || !ops.usbInitialize(file, &usb))
            return false;
        readEvent = ops.createEvent(nullptr, TRUE, FALSE, nullptr);
        return readEvent != nullptr;
    }

    void Close()
    {
        const PlatformOps& ops = DefaultPlatformOps;
        if (usb)
            ops.usbFree(usb);
        if (file != INVALID_HANDLE_VALUE)
            ops.closeHandle(file);
        if (readEvent)
            ops.closeHandle(readEvent);
    }

    bool Write(uint16_t opcode, const uint16_t* values, size_t count)
    {
        uint8_t bytes[16];
        const uint16_t words[2] = {FrameMarker, opcode};
        size_t n = 0;
        for (uint16_t word : words) {
            bytes[n++] = static_cast<uint8_t>(word);
            bytes[n++] = static_cast<uint8_t>(word >> 8);
        }
        for (size_t i = 0; i < count; ++i) {
            bytes[n++] = static_cast<uint8_t>(values[i]);
            bytes[n++] = static_cast<uint8_t>(values[i] >> 8);
        }
        ULONG written = 0;
        return DefaultPlatformOps.usbWritePipe(usb, PipeOut, bytes, static_cast<ULONG>(n), &written, nullptr) &&
               written == n;
    }

    // One read the way the transport's ReadPipe issues it: done at once, or pending until the
    // read event, then its result. The byte count, or -1.
    long Read(uint8_t* buffer, ULONG length)
    {
        const PlatformOps& ops = DefaultPlatformOps;
        overlapped = OVERLAPPED{};
        overlapped.hEvent = readEvent;
        ULONG count = 0;
        if (ops.usbReadPipe(usb, PipeIn, buffer, length, &count, &overlapped))
            return static_cast<long>(count);
        if (GetLastError() != ERROR_IO_PENDING)
            return -1;
        if (ops.waitForMultipleObjects(1, &readEvent, FALSE, ReadGiveUpMs) != WAIT_OBJECT_0) {
            ops.usbAbortPipe(usb, PipeIn);
            ops.waitForMultipleObjects(1, &readEvent, FALSE, ReadGiveUpMs);
            return -1;
        }
        DWORD done = 0;
        if (!ops.getOverlappedResult(file, &overlapped, &done, FALSE))
            return -1;
        return static_cast<long>(done);
    }
};

void CountSpectra(const uint8_t* bytes, long n, CountOrder& order, unsigned long& spectra)
{
    for (long pos = 0; pos + static_cast<long>(KALVIX_SPECTRUM_SIZE) <= n; pos += KALVIX_SPECTRUM_SIZE) {
        SpectrumRecord record;
        memcpy(&record, bytes + pos, sizeof record);
        if (record.marker != FrameMarker || record.tag != TagSpectrum)
            continue;
        order.See(record.MeasCount);
        ++spectra;
    }
}

bool DeviceStage(int rate, double seconds, Figures& f)
{
    OwnDevice(KALVIX_EMU_RESET, 0);
    OwnDevice(KALVIX_EMU_NOISE_PPM, 0);
    OwnDevice(KALVIX_EMU_FLOOD_RATE, rate);
    RawDevice device;
    if (!device.Open()) {
        fprintf(stderr, "device stage: cannot open the emulated instance\n");
        device.Close();
        return false;
    }
    const uint16_t startWord = 0;
    device.Write(1, &startWord, 1);
    uint8_t buffer[TransferBytes];
    CountOrder order;
    unsigned long spectra = 0;
    KalvixEmulatorState before{};
    MeasuredRun run(seconds);
    for (bool opens; run.Going(opens);) {
        if (opens) {
            before = OwnDeviceState();
            spectra = 0;
            order = CountOrder{};
        }
        const long n = device.Read(buffer, TransferBytes);
        if (n < 0) {
            ++f.timeouts;
            continue;
        }
        CountSpectra(buffer, n, order, spectra);
    }
    run.Finish(f);
    const KalvixEmulatorState after = OwnDeviceState();
    device.Write(OpcodeStop, nullptr, 0);
    device.Close();
    OwnDevice(KALVIX_EMU_RESET, 0);
    f.deviceSent = after.spectraSent - before.spectraSent;
    f.deviceDropped = after.spectraDropped - before.spectraDropped;
    f.takenIn = spectra;
    f.lost = order.lost;
    return true;
}

// ---- the library over the emulated device ------------------------------------------------------

KalvixControlProc Control;
KalvixEmulatorControlProc Emulator;
ActivityCounters Activity;
uint32_t StatusWord;


bool LoadLibraryStages()
{
    if (Control)
        return true;
    BenchLibrary library;
    if (!LoadEmulatedLibrary(library))
        return false;
    Control = library.control;
    Emulator = library.emulator;
    library.version(&Activity); // the reader adds what it parses to Activity.bytesReceived
    return true;
}

uint32_t BytesReceived()
{
    return static_cast<uint32_t>(InterlockedCompareExchange(reinterpret_cast<volatile LONG*>(&Activity.bytesReceived), 0, 0));
}

KalvixEmulatorState LibraryDeviceState()
{
    KalvixEmulatorState state{};
    Emulator(0, KALVIX_EMU_GET_STATE, 0, &state, sizeof state);
    return state;
}

// batch 0: nobody polls.
bool LibraryStage(int rate, double seconds, uint32_t batch, Figures& f)
{
    if (!LoadLibraryStages())
        return false;
    Emulator(0, KALVIX_EMU_RESET, 0, nullptr, 0);
    char serial[16];
    uint32_t index;
    if (!Ok(Control(CMD_CONNECT, 0, &index, reinterpret_cast<uint8_t*>(serial)), "connect"))
        return false;
    Control(CMD_GET_STATUS, 0, &StatusWord, nullptr);
    Emulator(0, KALVIX_EMU_NOISE_PPM, 0, nullptr, 0);
    Emulator(0, KALVIX_EMU_FLOOD_RATE, rate, nullptr, 0);
    if (!Ok(Control(CMD_START_MEASUREMENT, 0, nullptr, nullptr), "start")) {
        Control(CMD_DISCONNECT, 0, nullptr, nullptr);
        return false;
    }
    std::vector<SpectrumRecord> records(batch ? batch : 1);
    CountOrder order;
    uint32_t bytesBefore = 0;
    KalvixEmulatorState before{};
    MeasuredRun run(seconds);
    for (bool opens; run.Going(opens);) {
        if (opens) {
            before = LibraryDeviceState();
            bytesBefore = BytesReceived();
            f.delivered = 0;
            order = CountOrder{};
            InterlockedExchange(reinterpret_cast<volatile LONG*>(&StatusWord), 0);
        }
        if (batch == 0) {
            Sleep(10);
        } else {
            uint32_t count = 0;
            const char* text = Control(CMD_GET_SPECTRA, batch, &count, reinterpret_cast<uint8_t*>(records.data()));
            if (text && strncmp(text, "WARN", 4) == 0)
                ++f.timeouts;
            for (uint32_t i = 0; i < count; ++i)
                order.See(records[i].MeasCount);
            f.delivered += count;
        }
        if (InterlockedExchange(reinterpret_cast<volatile LONG*>(&StatusWord), 0) == STATUS_RING_OVERRUN)
            ++f.overruns;
    }
    run.Finish(f);
    const uint32_t bytesAfter = BytesReceived();
    const KalvixEmulatorState after = LibraryDeviceState();
    Control(CMD_STOP_MEASUREMENT, 0, nullptr, nullptr);
    Control(CMD_DISCONNECT, 0, nullptr, nullptr);
    f.deviceSent = after.spectraSent - before.spectraSent;
    f.deviceDropped = after.spectraDropped - before.spectraDropped;
    f.takenIn = (bytesAfter - bytesBefore) / KALVIX_SPECTRUM_SIZE;
    f.lost = order.lost;
    return true;
}

struct Stage {
    const char* name;
    uint32_t batch; // for the library stages
};
constexpr Stage Stages[] = {{"device", 0}, {"ring", 0}, {"poll1", 1}, {"poll50", 50}};

} // namespace

int main(int argc, char** argv)
{
    const double seconds = argc > 1 ? atof(argv[1]) : 3.0;
    const std::string only = argc > 2 ? argv[2] : "all";
    std::vector<int> rates;
    for (int i = 3; i < argc; ++i)
        rates.push_back(atoi(argv[i]));
    if (rates.empty())
        rates = {4000, 8000, 16000, 32000, 64000};
    if (seconds <= 0) {
        fprintf(stderr, "usage: pipeline_bench [seconds per run] [device|ring|poll1|poll50|all] [rate ...]\n");
        return 1;
    }

    printf("| stage | device rate | device sent/s | taken in/s | delivered/s | FIFO drops/s | lost (gaps) | ring overruns | time-outs | CPU |\n");
    printf("|---|---|---|---|---|---|---|---|---|---|\n");
    bool any = false;
    for (const Stage& stage : Stages) {
        if (only != "all" && only != stage.name)
            continue;
        any = true;
        for (int rate : rates) {
            Figures f;
            const bool done = std::strcmp(stage.name, "device") == 0 ? DeviceStage(rate, seconds, f)
                                                                      : LibraryStage(rate, seconds, stage.batch, f);
            if (!done)
                return 2;
            Print(stage.name, rate, f);
        }
    }
    if (!any) {
        fprintf(stderr, "unknown stage %s\n", only.c_str());
        return 1;
    }
    return 0;
}
