// The control panel at the device's fastest rate, as an operator runs it: the panel in this
// process beside the emulated KalvixCtrl.dll, connected, measuring at divider 1 with the display
// and logging on.
//   - steady run (default 120 s): spectra lost (gaps in MeasCount over every record handed to the
//     window), CPU of the process and of the window thread as % of one core, working-set and
//     private-memory growth from 10 s in to the end;
//   - latency run (default 20 s): for each batch, the time from the moment its last spectrum
//     left the device (the software device's sent counter, sampled every millisecond) to the end
//     of the window's handling of the batch (numbers, graphs, bars and log rows done); and the
//     same for the batch's first spectrum, which also waits for the batch to fill.
// Run from the emulated library's folder:  panel_bench [steady seconds] [latency seconds]
// The flood run instead (panel_bench flood [seconds per rate] [rate ...]): the software device
// sends at each rate asked for (spectra per second, regardless of the divider) while the panel
// shows and logs; per rate, the spectra lost, the window thread's and the process's CPU, the
// device-to-screen latency of each batch's last spectrum (p50, p99) and the log's bytes per second.
#include "BenchClock.h"
#include "ControlIds.h"
#include "PanelSession.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

namespace {

constexpr char LogName[] = "panel_bench.txt";

// (time, spectra sent so far) samples of the software device.
std::mutex SamplesLock;
std::vector<std::pair<double, uint32_t>> Samples;
std::atomic<bool> Sampling{false};

DWORD WINAPI SampleSentCounter(void*)
{
    timeBeginPeriod(1);
    while (Sampling.load()) {
        KalvixEmulatorState state{};
        Emulator(0, KALVIX_EMU_GET_STATE, 0, &state, sizeof state);
        const double now = NowMs();
        {
            std::lock_guard<std::mutex> hold(SamplesLock);
            Samples.emplace_back(now, state.spectraSent);
        }
        Sleep(1);
    }
    timeEndPeriod(1);
    return 0;
}

double Percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[static_cast<size_t>(p * (values.size() - 1))];
}

// When spectrum m (counted from 0 since START) had left the device: the first sample at which
// more than m spectra had been sent.
double SentTime(uint32_t m)
{
    const auto at = std::lower_bound(Samples.begin(), Samples.end(), m + 1,
                                     [](const std::pair<double, uint32_t>& s, uint32_t n) { return s.second < n; });
    return at == Samples.end() ? -1 : at->first;
}

// Each rate for `seconds` with display and log on, after 0.5 s of warm-up; a table row per rate.
void RunFlood(HWND window, HANDLE mainThread, const std::string& folder, double seconds, const std::vector<int>& rates)
{
    std::printf("| device rate | handled/s | lost | of those, in the device's FIFO | window thread CPU | process CPU | latency p50 | "
                "latency p99 | longest batch in the window | log bytes/s |\n");
    std::printf("|---|---|---|---|---|---|---|---|---|---|\n");
    for (const int rate : rates) {
        Emulator(0, KALVIX_EMU_FLOOD_RATE, rate, nullptr, 0);
        Seen = Handled{};
        Samples.clear();
        Sampling.store(true);
        HANDLE sampler = CreateThread(nullptr, 0, SampleSentCounter, nullptr, 0, nullptr);
        Pump(100);
        Seen.timing = true;
        Click(window, IdStart);
        Pump(500);
        const double cpuStart = CpuMs(GetCurrentProcess(), nullptr);
        const double mainStart = CpuMs(nullptr, mainThread);
        const double wallStart = NowMs();
        const uint64_t spectraStart = Seen.spectra;
        const uint64_t logStart = LogBytes(folder, LogName);
        Pump(seconds * 1000.0);
        const double wall = NowMs() - wallStart;
        const double cpu = CpuMs(GetCurrentProcess(), nullptr) - cpuStart;
        const double mainCpu = CpuMs(nullptr, mainThread) - mainStart;
        const uint64_t handled = Seen.spectra - spectraStart;
        // Counted from the start to here: while the stop waits for the device to go quiet the
        // window thread is in it, and what the device sends meanwhile overruns the ring.
        const uint64_t lost = Seen.lostSpectra;
        KalvixEmulatorState device{};
        Emulator(0, KALVIX_EMU_GET_STATE, 0, &device, sizeof device);
        Click(window, IdStart);
        Pump(300);
        const uint64_t logEnd = LogBytes(folder, LogName);
        Seen.timing = false;
        Sampling.store(false);
        WaitForSingleObject(sampler, 5000);
        CloseHandle(sampler);
        std::vector<double> latency;
        for (const auto& [m, done] : Seen.lastDone)
            if (const double sent = SentTime(m); sent > 0)
                latency.push_back(done - sent);
        // The device's sent counter skips what its FIFO dropped while MeasCount does not, so
        // once spectra are lost the two no longer pair up and no latency is given.
        char p50[32] = "-", p99[32] = "-";
        if (lost == 0) {
            std::snprintf(p50, sizeof p50, "%.1f ms", Percentile(latency, 0.5));
            std::snprintf(p99, sizeof p99, "%.1f ms", Percentile(latency, 0.99));
        }
        // The rest of what was lost was dropped by the library's ring: the panel's poll thread
        // fell 500 records behind.
        std::printf("| %6d | %6.0f | %llu | %u | %.1f %% | %.1f %% | %s | %s | %.1f ms | %.0f |\n", rate,
                    handled * 1000.0 / wall, static_cast<unsigned long long>(lost), device.spectraDropped,
                    100.0 * mainCpu / wall, 100.0 * cpu / wall, p50, p99, Seen.longestBatchMs,
                    (logEnd - logStart) * 1000.0 / wall);
        std::fflush(stdout);
    }
    Emulator(0, KALVIX_EMU_FLOOD_RATE, 0, nullptr, 0);
}

} // namespace

int main(int argc, char** argv)
{
    const bool flood = argc > 1 && std::string(argv[1]) == "flood";
    const double steadySeconds = argc > 1 && !flood ? std::atof(argv[1]) : 120.0;
    const double latencySeconds = argc > 2 && !flood ? std::atof(argv[2]) : 20.0;

    std::string temp;
    HWND window = StartMeasuringPanel(LogName, temp);
    if (!window)
        return 1;
    HANDLE mainThread = OpenThread(THREAD_QUERY_INFORMATION, FALSE, GetCurrentThreadId());

    if (flood) {
        Click(window, IdStart);  // the flood run starts each rate itself
        Pump(300);
        const double seconds = argc > 2 ? std::atof(argv[2]) : 5.0;
        std::vector<int> rates;
        for (int i = 3; i < argc; ++i)
            rates.push_back(std::atoi(argv[i]));
        if (rates.empty())
            rates = {1000, 2000, 4000, 5000, 8000, 12000, 16000};
        RunFlood(window, mainThread, temp, seconds, rates);
        Click(window, IdLogDataButton);
        DestroyWindow(window);
        RemoveLogs(temp, LogName);
        return 0;
    }

    Pump(10000);
    const PROCESS_MEMORY_COUNTERS_EX memoryAt10s = Memory();
    const double cpuStart = CpuMs(GetCurrentProcess(), nullptr);
    const double mainStart = CpuMs(nullptr, mainThread);
    const double wallStart = NowMs();
    const uint64_t spectraStart = Seen.spectra;
    Pump(steadySeconds * 1000.0 - 10000.0);
    const double wall = NowMs() - wallStart;
    const double cpu = CpuMs(GetCurrentProcess(), nullptr) - cpuStart;
    const double mainCpu = CpuMs(nullptr, mainThread) - mainStart;
    const PROCESS_MEMORY_COUNTERS_EX memoryAtEnd = Memory();

    std::printf("steady run: %.0f s at divider 1, display and logging on\n", steadySeconds);
    std::printf("  spectra handled        %llu (%.0f/s over the measured part)\n",
                static_cast<unsigned long long>(Seen.spectra), (Seen.spectra - spectraStart) * 1000.0 / wall);
    std::printf("  gaps / spectra lost    %llu / %llu\n", static_cast<unsigned long long>(Seen.gaps),
                static_cast<unsigned long long>(Seen.lostSpectra));
    std::printf("  CPU, whole process     %.1f %% of one core (includes the software device)\n", 100.0 * cpu / wall);
    std::printf("  CPU, window thread     %.1f %% of one core\n", 100.0 * mainCpu / wall);
    std::printf("  working set            %.1f MiB at 10 s, growth %+.1f KiB\n", memoryAt10s.WorkingSetSize / 1048576.0,
                (static_cast<double>(memoryAtEnd.WorkingSetSize) - memoryAt10s.WorkingSetSize) / 1024.0);
    std::printf("  committed memory       %.1f MiB at 10 s, growth %+.1f KiB\n", memoryAt10s.PagefileUsage / 1048576.0,
                (static_cast<double>(memoryAtEnd.PagefileUsage) - memoryAt10s.PagefileUsage) / 1024.0);

    // Latency: a fresh run so MeasCount and the device's sent counter count from the same START.
    Click(window, IdStart);
    Pump(500);
    Sampling.store(true);
    HANDLE sampler = CreateThread(nullptr, 0, SampleSentCounter, nullptr, 0, nullptr);
    Pump(200);
    Seen.timing = true;
    Seen.haveLast = false;
    Click(window, IdStart);
    Pump(latencySeconds * 1000.0);
    Seen.timing = false;
    Sampling.store(false);
    WaitForSingleObject(sampler, 5000);
    std::vector<double> lastLatency, firstLatency;
    for (const auto& [m, done] : Seen.lastDone)
        if (const double sent = SentTime(m); sent > 0)
            lastLatency.push_back(done - sent);
    for (const auto& [m, done] : Seen.firstDone)
        if (const double sent = SentTime(m); sent > 0)
            firstLatency.push_back(done - sent);
    std::printf("latency run: %.0f s, %zu batches\n", latencySeconds, lastLatency.size());
    std::printf("  last spectrum of a batch, device to screen   median %.1f ms, p99 %.1f ms, max %.1f ms\n",
                Percentile(lastLatency, 0.5), Percentile(lastLatency, 0.99), Percentile(lastLatency, 1.0));
    std::printf("  first spectrum of a batch, device to screen  median %.1f ms, p99 %.1f ms, max %.1f ms\n",
                Percentile(firstLatency, 0.5), Percentile(firstLatency, 0.99), Percentile(firstLatency, 1.0));

    Click(window, IdStart);
    Click(window, IdLogDataButton);
    DestroyWindow(window);
    RemoveLogs(temp, LogName);
    return Seen.gaps == 0 ? 0 : 3;
}
