// The control panel for a long run, as an operator leaves it: in this process beside the emulated
// KalvixCtrl.dll, connected, measuring at divider 1 (1000 spectra per second) with the display and
// logging on. Every 10 s a CSV row: elapsed time, working set, private bytes, handles, GDI and
// USER objects, the process's and the window thread's CPU over the interval, spectra handled and
// lost (MeasCount gaps over every batch the window handled) and the log's bytes. Each row is
// flushed, so a killed run keeps what it measured. At the end a summary; exit code 3 when spectra
// were lost.
// Run from the emulated library's folder:
//   panel_soak MINUTES CSV_PATH [--keep-log]   the run; the log files are deleted at the end
//                                              unless --keep-log
//   panel_soak objects-selfcheck               only the check that the handle, GDI and USER counts
//                                              follow events, brushes and windows made and deleted
#include "BenchClock.h"
#include "ControlIds.h"
#include "PanelSession.h"
#include "ProcessObjectCheck.h"
#include "ProcessObjectCount.h"
#include "SoakSample.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr char LogName[] = "panel_soak.txt";
constexpr double SampleMs = 10000;

// The sources of every column, as '#' lines above the column names.
void WriteSources(FILE* csv, const ProcessObjectCounter& counter, double minutes)
{
    std::fprintf(csv, "# panel soak: %.1f min at divider 1 (1000 spectra/s), display and log on, a row every %.0f s\n",
                 minutes, SampleMs / 1000);
    std::fprintf(csv, "# working_set_bytes: GetProcessMemoryInfo WorkingSetSize\n");
    std::fprintf(csv, "# private_bytes: GetProcessMemoryInfo PrivateUsage, or PagefileUsage (the same by its documentation) where PrivateUsage is 0\n");
    std::fprintf(csv, "# handles: %s\n", DescribeSource(ObjectKind::Handles, counter.Source(ObjectKind::Handles)));
    std::fprintf(csv, "# gdi_objects: %s\n", DescribeSource(ObjectKind::Gdi, counter.Source(ObjectKind::Gdi)));
    std::fprintf(csv, "# user_objects: %s\n", DescribeSource(ObjectKind::User, counter.Source(ObjectKind::User)));
    std::fprintf(csv, "# (%s)\n", counter.ProbeNote().c_str());
    std::fprintf(csv, "# process_cpu_pct, window_thread_cpu_pct: GetProcessTimes, GetThreadTimes over the interval, %% of one core\n");
    std::fprintf(csv, "# spectra_handled, spectra_lost: MeasCount of every record the window handled; log_bytes: the log files' sizes\n");
}

class Sampler {
public:
    Sampler(const ProcessObjectCounter& counter, const std::string& folder)
        : counter_(counter), folder_(folder),
          windowThread_(OpenThread(THREAD_QUERY_INFORMATION, FALSE, GetCurrentThreadId()))
    {
    }

    SoakSample Take(double elapsedMs)
    {
        SoakSample sample;
        sample.elapsedSeconds = elapsedMs / 1000.0;
        const PROCESS_MEMORY_COUNTERS_EX memory = Memory();
        sample.workingSet = memory.WorkingSetSize;
        sample.privateBytes = memory.PrivateUsage ? memory.PrivateUsage : memory.PagefileUsage;
        sample.handles = counter_.Count(ObjectKind::Handles);
        sample.gdiObjects = counter_.Count(ObjectKind::Gdi);
        sample.userObjects = counter_.Count(ObjectKind::User);
        const double processCpu = CpuMs(GetCurrentProcess(), nullptr);
        const double threadCpu = CpuMs(nullptr, windowThread_);
        if (havePrevious_ && elapsedMs > previousMs_) {
            sample.processCpuPercent = 100.0 * (processCpu - previousProcessCpu_) / (elapsedMs - previousMs_);
            sample.windowThreadCpuPercent = 100.0 * (threadCpu - previousThreadCpu_) / (elapsedMs - previousMs_);
        }
        havePrevious_ = true;
        previousMs_ = elapsedMs;
        previousProcessCpu_ = processCpu;
        previousThreadCpu_ = threadCpu;
        sample.spectraHandled = Seen.spectra;
        sample.spectraLost = Seen.lostSpectra;
        sample.logBytes = LogBytes(folder_, LogName);
        return sample;
    }

private:
    const ProcessObjectCounter& counter_;
    std::string folder_;
    HANDLE windowThread_;
    bool havePrevious_ = false;
    double previousMs_ = 0, previousProcessCpu_ = 0, previousThreadCpu_ = 0;
};

// Picks the counts' sources and checks them; a count that does not follow exactly is given up.
ProcessObjectCounter CheckedCounter(bool& allFollowed)
{
    ProcessObjectCounter counter;
    std::printf("%s\n", counter.ProbeNote().c_str());
    for (const ObjectKind kind : AllObjectKinds)
        std::printf("%s from %s\n", ObjectKindName(kind), DescribeSource(kind, counter.Source(kind)));
    const ProcessObjectCheck check = CheckProcessObjectCounts(counter, stdout);
    allFollowed = true;
    for (const ObjectKind kind : AllObjectKinds)
        if (!check.Followed(kind)) {
            counter.Drop(kind);
            allFollowed = false;
        }
    return counter;
}

} // namespace

int main(int argc, char** argv)
{
    bool allFollowed = false;
    if (argc == 2 && std::string(argv[1]) == "objects-selfcheck") {
        CheckedCounter(allFollowed);
        return allFollowed ? 0 : 1;
    }
    if (argc < 3 || std::atof(argv[1]) <= 0) {
        std::fprintf(stderr, "usage: panel_soak MINUTES CSV_PATH [--keep-log] | panel_soak objects-selfcheck\n");
        return 2;
    }
    const double minutes = std::atof(argv[1]);
    const bool keepLog = argc > 3 && std::string(argv[3]) == "--keep-log";

    const ProcessObjectCounter counter = CheckedCounter(allFollowed);

    FILE* csv = std::fopen(argv[2], "w");
    if (!csv) {
        std::fprintf(stderr, "cannot write %s\n", argv[2]);
        return 1;
    }
    WriteSources(csv, counter, minutes);
    WriteSoakHeader(csv);

    std::string temp;
    HWND window = StartMeasuringPanel(LogName, temp);
    if (!window)
        return 1;
    Sampler sampler(counter, temp);
    std::vector<SoakSample> samples;
    const double start = NowMs();
    for (int i = 0;; ++i) {
        const double due = start + i * SampleMs;
        Pump(due - NowMs());
        samples.push_back(sampler.Take(NowMs() - start));
        WriteSoakRow(csv, samples.back());
        if (i % 6 == 0)
            std::printf("%5.0f s: %llu handled, %llu lost\n", samples.back().elapsedSeconds,
                        static_cast<unsigned long long>(Seen.spectra), static_cast<unsigned long long>(Seen.lostSpectra));
        std::fflush(stdout);
        if (i * SampleMs >= minutes * 60000.0)
            break;
    }
    std::fclose(csv);

    Click(window, IdStart);
    Click(window, IdLogDataButton);
    DestroyWindow(window);
    if (!keepLog)
        RemoveLogs(temp, LogName);
    else
        std::printf("log kept in %s (*_%s)\n", temp.c_str(), LogName);
    PrintSoakSummary(stdout, samples);
    return Seen.lostSpectra == 0 ? 0 : 3;
}
