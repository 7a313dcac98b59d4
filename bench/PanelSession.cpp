#include "PanelSession.h"

#include "BenchClock.h"
#include "ControlIds.h"
#include "GlobalCtrl.h"
#include "MainWindowState.h"
#include "ProgramStart.h"

#include <algorithm>
#include <cstdio>

Handled Seen;
KalvixEmulatorControlProc Emulator;

namespace {

WNDPROC PanelProc;

LRESULT CALLBACK WatchBatches(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_USER)
        return CallWindowProcA(PanelProc, window, message, wParam, lParam);
    const uint32_t count = static_cast<uint32_t>(lParam);
    const double begun = NowMs();
    const LRESULT result = CallWindowProcA(PanelProc, window, message, wParam, lParam);
    const double done = NowMs();
    Seen.longestBatchMs = std::max(Seen.longestBatchMs, done - begun);
    if (count == 0 || count > DataBuffRecords)
        return result;
    ++Seen.batches;
    const SpectrumRecord* DataBuffPtr = MainDataBuffOf(window);
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t m = DataBuffPtr[i].MeasCount;
        if (Seen.haveLast && m != Seen.lastCount + 1) {
            ++Seen.gaps;
            Seen.lostSpectra += m - 1 - Seen.lastCount;
        }
        Seen.lastCount = m;
        Seen.haveLast = true;
    }
    Seen.spectra += count;
    if (Seen.timing) {
        Seen.firstDone.emplace_back(DataBuffPtr[0].MeasCount, done);
        Seen.lastDone.emplace_back(DataBuffPtr[count - 1].MeasCount, done);
    }
    return result;
}

// Calls `visit` with the name of every file of `folder` ending in `logName`.
template <typename Visit>
void ForEachLog(const std::string& folder, const char* logName, Visit visit)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "*_" + logName).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do
        visit(found);
    while (FindNextFileA(search, &found));
    FindClose(search);
}

} // namespace

HWND StartMeasuringPanel(const char* logName, std::string& tempFolder)
{
    HWND window = StartControlPanel(GetModuleHandleA(nullptr), SW_SHOW);
    if (!window) {
        std::fprintf(stderr, "the panel did not start\n");
        return nullptr;
    }
    Emulator = reinterpret_cast<KalvixEmulatorControlProc>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("KalvixCtrl.dll"), "KalvixEmulatorControl")));
    if (!Emulator) {
        std::fprintf(stderr, "run from the emulated library's folder\n");
        return nullptr;
    }
    PanelProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(WatchBatches)));

    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    tempFolder = temp;
    lstrcpynA(LogPath, (tempFolder + logName).c_str(), ProgramPathSize);

    Click(window, IdConnectDeviceButton);
    Pump(1500);
    Click(window, IdLogDataButton);
    Click(window, IdStart);
    if (!IsDlgButtonChecked(window, IdStart)) {
        std::fprintf(stderr, "the measurement did not start\n");
        return nullptr;
    }
    return window;
}

void Pump(double milliseconds)
{
    const double until = NowMs() + milliseconds;
    while (NowMs() < until) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
}

void Click(HWND window, int id)
{
    SendMessageA(GetDlgItem(window, id), BM_CLICK, 0, 0);
}

double CpuMs(HANDLE process, HANDLE thread)
{
    FILETIME created, exited, kernel, user;
    const BOOL ok = thread ? GetThreadTimes(thread, &created, &exited, &kernel, &user)
                           : GetProcessTimes(process, &created, &exited, &kernel, &user);
    if (!ok)
        return 0;
    const auto ms = [](FILETIME t) { return ((static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 10000.0; };
    return ms(kernel) + ms(user);
}

PROCESS_MEMORY_COUNTERS_EX Memory()
{
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof counters);
    return counters;
}

uint64_t LogBytes(const std::string& folder, const char* logName)
{
    uint64_t bytes = 0;
    ForEachLog(folder, logName, [&](const WIN32_FIND_DATAA& found) {
        bytes += (static_cast<uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
    });
    return bytes;
}

void RemoveLogs(const std::string& folder, const char* logName)
{
    ForEachLog(folder, logName, [&](const WIN32_FIND_DATAA& found) { DeleteFileA((folder + found.cFileName).c_str()); });
}
