// The control panel measuring in the benchmark's own process, beside the emulated KalvixCtrl.dll:
// starting it connected with LOG DATA on, watching every batch its window handles (WM_USER) for
// MeasCount gaps, pumping its messages, and the process's CPU, memory and log files.
#pragma once

#include "KalvixEmulator.h"

#include <windows.h>
#include <psapi.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// What the window handled.
struct Handled {
    uint64_t batches = 0;
    uint64_t spectra = 0;
    uint64_t gaps = 0;
    uint64_t lostSpectra = 0;
    uint32_t lastCount = 0;
    double longestBatchMs = 0; // the window's handling of one batch
    bool haveLast = false;
    bool timing = false;
    std::vector<std::pair<uint32_t, double>> firstDone; // MeasCount of the first record, done time
    std::vector<std::pair<uint32_t, double>> lastDone;
};

extern Handled Seen;                           // filled by the window's watch
extern KalvixEmulatorControlProc Emulator;     // the software device's control entry

// Starts the panel, watches its batches, names the log `<temp folder><logName>` (the panel puts
// its time stamp before the name), connects, ticks LOG DATA and starts measuring. Returns the main
// window and the temp folder (ending in a backslash), or null with the reason on stderr.
HWND StartMeasuringPanel(const char* logName, std::string& tempFolder);

// Handles the window messages for `milliseconds`.
void Pump(double milliseconds);

void Click(HWND window, int id);

// Kernel plus user time in ms of the thread, or of the process when `thread` is null.
double CpuMs(HANDLE process, HANDLE thread);

PROCESS_MEMORY_COUNTERS_EX Memory();

// Bytes in the files of `folder` whose names end in `logName` (a new file may start with every
// START), and removing them.
uint64_t LogBytes(const std::string& folder, const char* logName);
void RemoveLogs(const std::string& folder, const char* logName);
