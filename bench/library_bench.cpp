// Speed of the library over the software device, loaded the way a program loads it:
//   - throughput: spectra delivered per second through CMD_GET_SPECTRA at rising device rates,
//     with the spectra lost on the way (gaps in MeasCount) and ring overruns;
//   - reply latency: one CMD_GET_DEVICE_INFO request/reply round trip;
//   - connect + disconnect.
// Run from the emulated library's folder:  library_bench [seconds per rate]
#include "BenchClock.h"
#include "BenchLibrary.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

KalvixControlProc Control;
KalvixEmulatorControlProc Emulator;


double Percentile(std::vector<double> values, double p)
{
    std::sort(values.begin(), values.end());
    return values[static_cast<size_t>(p * (values.size() - 1))];
}

void Throughput(int rate, double seconds)
{
    static uint32_t statusWord;
    Control(CMD_GET_STATUS, 0, &statusWord, nullptr);
    Emulator(0, KALVIX_EMU_FLOOD_RATE, rate, nullptr, 0);
    if (!Ok(Control(CMD_START_MEASUREMENT, 0, nullptr, nullptr), "start"))
        return;
    std::vector<SpectrumRecord> batch(50);
    unsigned long delivered = 0, lost = 0, overruns = 0, timeouts = 0;
    uint32_t last = 0;
    bool haveLast = false;
    const double start = NowMs();
    while (NowMs() - start < seconds * 1000.0) {
        uint32_t count = 0;
        const char* text = Control(CMD_GET_SPECTRA, 50, &count, reinterpret_cast<uint8_t*>(batch.data()));
        if (text && strncmp(text, "WARN", 4) == 0)
            ++timeouts;
        for (uint32_t i = 0; i < count; ++i) {
            if (haveLast && batch[i].MeasCount > last + 1)
                lost += batch[i].MeasCount - last - 1;
            last = batch[i].MeasCount;
            haveLast = true;
        }
        delivered += count;
        if (statusWord == STATUS_RING_OVERRUN) {
            ++overruns;
            statusWord = 0;
        }
    }
    const double elapsed = (NowMs() - start) / 1000.0;
    Control(CMD_STOP_MEASUREMENT, 0, nullptr, nullptr);
    KalvixEmulatorState state{};
    Emulator(0, KALVIX_EMU_GET_STATE, 0, &state, sizeof state);
    printf("| %6d | %9.0f | %8lu | %6.2f %% | %8u | %8lu | %8lu |\n", rate, delivered / elapsed, lost,
           delivered + lost ? 100.0 * lost / (delivered + lost) : 0.0, state.spectraDropped, overruns, timeouts);
}

void ReplyLatency(int calls)
{
    Emulator(0, KALVIX_EMU_REPLY_DELAY_MS, 0, nullptr, 0);
    std::vector<double> ms;
    char text[64];
    for (int i = 0; i < calls; ++i) {
        const double start = NowMs();
        if (!Ok(Control(CMD_GET_DEVICE_INFO, 0, nullptr, reinterpret_cast<uint8_t*>(text)), "identification"))
            return;
        ms.push_back(NowMs() - start);
    }
    printf("CMD_GET_DEVICE_INFO round trip over %d calls: median %.2f ms, 95th percentile %.2f ms\n", calls,
           Percentile(ms, 0.5), Percentile(ms, 0.95));
}

void ConnectCycles(int cycles)
{
    std::vector<double> ms;
    char serial[16];
    uint32_t index;
    for (int i = 0; i < cycles; ++i) {
        const double start = NowMs();
        if (!Ok(Control(CMD_CONNECT, 0, &index, reinterpret_cast<uint8_t*>(serial)), "connect") ||
            !Ok(Control(CMD_DISCONNECT, 0, nullptr, nullptr), "disconnect"))
            return;
        ms.push_back(NowMs() - start);
    }
    printf("CMD_CONNECT + CMD_DISCONNECT over %d cycles: median %.2f ms, 95th percentile %.2f ms\n", cycles,
           Percentile(ms, 0.5), Percentile(ms, 0.95));
}

} // namespace

int main(int argc, char** argv)
{
    const double seconds = argc > 1 ? atof(argv[1]) : 3.0;
    BenchLibrary library;
    if (!LoadEmulatedLibrary(library))
        return 1;
    Control = library.control;
    Emulator = library.emulator;
    char serial[16];
    uint32_t index;
    if (!Ok(Control(CMD_CONNECT, 0, &index, reinterpret_cast<uint8_t*>(serial)), "connect"))
        return 2;
    Emulator(0, KALVIX_EMU_NOISE_PPM, 0, nullptr, 0);
    printf("| device rate (spectra/s) | delivered/s | lost | lost share | device FIFO drops | ring overruns seen | poll time-outs |\n");
    printf("|---|---|---|---|---|---|---|\n");
    for (int rate : {1000, 2000, 4000, 8000, 16000, 32000})
        Throughput(rate, seconds);
    Emulator(0, KALVIX_EMU_FLOOD_RATE, 0, nullptr, 0);
    ReplyLatency(200);
    Control(CMD_DISCONNECT, 0, nullptr, nullptr);
    ConnectCycles(50);
    FreeLibrary(library.module);
    return 0;
}
