// The program's one shared record (the main window keeps it, with the spectrum buffer, in its
// own state) and the program-wide values beside it: the gain names, the transfer counters and
// the two file paths.
#pragma once

#include <windows.h>

#include "AfeRecordLayout.h"
#include "Dividers.h"
#include "KalvixCtrl.h"
#include "KernelOwners.h"
#include "PanelHooks.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

constexpr size_t GainCount = 4;
constexpr size_t DataBuffRecords = 50;
constexpr size_t DeviceIdentificationSize = 74;
constexpr size_t DeviceSerialSize = 32;
constexpr size_t ScratchTextSize = 1024;
constexpr size_t ProgramPathSize = 260;

// Shared by the main thread (everything), the poll thread (MainWindow, RunFlag, SpectraPerPoll,
// SpectrumBuffer) and the library's threads (LibraryErrorWord, GpioStatusWord).
struct GlobalCtrl {
    HWND MainWindow;                       // owner of the message boxes, target of WM_USER
    HWND I2cWindow;                        // while open, else null
    HWND ConfViewWindow;                   // while open, else null
    uint32_t PollThread;                   // thread handle value (system handles fit in 32 bits)
    std::atomic<uint8_t> RunFlag;          // the poll thread loops while set
    uint16_t SpectraPerPoll;
    uint32_t LibraryErrorWord;             // registered with command 3; written by the library
    uint32_t GpioStatusWord;               // registered with command 13; written by the library
    const uint16_t* DividerTable;          // DividersLookup, DividerCount entries
    const char* GainNames[GainCount];      // index = gain code
    uint8_t AfePresent;
    SpectrumRecord* SpectrumBuffer;        // = the main window's DataBuffPtr
    OwnedFile LogFile;                     // empty while none is open
    char* LogPath;                         // = LogPath
    std::unique_ptr<char[]> LogBuffer;     // the log buffer while logging is on
    uint32_t LogBufferFill;                // bytes waiting in the log buffer
    int32_t LogEntryCount;                 // spectra written to the current log
    uint64_t LogSize;                      // bytes written since logging started or the last warning
    DeviceConfiguration Configuration;     // as read with command 12
    float Frequencies[15];                 // Hz
    uint16_t DividerIndex;                 // 0..36
    uint8_t AfeArea[AfeAreaSize];          // the AFE memory image
    char DeviceIdentification[DeviceIdentificationSize];
    char DeviceSerial[DeviceSerialSize];
    char Text[ScratchTextSize];            // scratch text; the routines format into local buffers
    PanelHooks Hooks;                      // bound by the main window while it exists
    uint64_t LogWriteTick;                 // PanelTickCount at the log's last write
};

// Every field in its place and width.
static_assert(offsetof(GlobalCtrl, MainWindow) < offsetof(GlobalCtrl, I2cWindow) &&
              offsetof(GlobalCtrl, I2cWindow) < offsetof(GlobalCtrl, ConfViewWindow) &&
              offsetof(GlobalCtrl, ConfViewWindow) < offsetof(GlobalCtrl, PollThread) &&
              offsetof(GlobalCtrl, PollThread) < offsetof(GlobalCtrl, RunFlag) &&
              offsetof(GlobalCtrl, RunFlag) < offsetof(GlobalCtrl, SpectraPerPoll) &&
              offsetof(GlobalCtrl, SpectraPerPoll) < offsetof(GlobalCtrl, LibraryErrorWord) &&
              offsetof(GlobalCtrl, LibraryErrorWord) < offsetof(GlobalCtrl, GpioStatusWord) &&
              offsetof(GlobalCtrl, GpioStatusWord) < offsetof(GlobalCtrl, DividerTable) &&
              offsetof(GlobalCtrl, DividerTable) < offsetof(GlobalCtrl, GainNames) &&
              offsetof(GlobalCtrl, GainNames) < offsetof(GlobalCtrl, AfePresent) &&
              offsetof(GlobalCtrl, AfePresent) < offsetof(GlobalCtrl, SpectrumBuffer) &&
              offsetof(GlobalCtrl, SpectrumBuffer) < offsetof(GlobalCtrl, LogFile) &&
              offsetof(GlobalCtrl, LogFile) < offsetof(GlobalCtrl, LogPath) &&
              offsetof(GlobalCtrl, LogPath) < offsetof(GlobalCtrl, LogBuffer) &&
              offsetof(GlobalCtrl, LogBuffer) < offsetof(GlobalCtrl, LogBufferFill) &&
              offsetof(GlobalCtrl, LogBufferFill) < offsetof(GlobalCtrl, LogEntryCount) &&
              offsetof(GlobalCtrl, LogEntryCount) < offsetof(GlobalCtrl, LogSize) &&
              offsetof(GlobalCtrl, LogSize) < offsetof(GlobalCtrl, Configuration) &&
              offsetof(GlobalCtrl, Configuration) < offsetof(GlobalCtrl, Frequencies) &&
              offsetof(GlobalCtrl, Frequencies) < offsetof(GlobalCtrl, DividerIndex) &&
              offsetof(GlobalCtrl, DividerIndex) < offsetof(GlobalCtrl, AfeArea) &&
              offsetof(GlobalCtrl, AfeArea) < offsetof(GlobalCtrl, DeviceIdentification) &&
              offsetof(GlobalCtrl, DeviceIdentification) < offsetof(GlobalCtrl, DeviceSerial) &&
              offsetof(GlobalCtrl, DeviceSerial) < offsetof(GlobalCtrl, Text));
static_assert(sizeof(GlobalCtrl::PollThread) == 4 && sizeof(GlobalCtrl::SpectraPerPoll) == 2 &&
              sizeof(GlobalCtrl::LibraryErrorWord) == 4 && sizeof(GlobalCtrl::GpioStatusWord) == 4 &&
              sizeof(GlobalCtrl::GainNames) == GainCount * sizeof(const char*) && sizeof(GlobalCtrl::AfePresent) == 1 &&
              sizeof(GlobalCtrl::LogBufferFill) == 4 && sizeof(GlobalCtrl::LogEntryCount) == 4 &&
              sizeof(GlobalCtrl::LogSize) == 8 && sizeof(GlobalCtrl::Configuration) == 272 &&
              sizeof(GlobalCtrl::Frequencies) == 15 * sizeof(float) && sizeof(GlobalCtrl::DividerIndex) == 2 &&
              sizeof(GlobalCtrl::AfeArea) == 8064 && sizeof(GlobalCtrl::DeviceIdentification) == 74 &&
              sizeof(GlobalCtrl::DeviceSerial) == 32 && sizeof(GlobalCtrl::Text) == 1024);
static_assert(sizeof(GlobalCtrl::LogFile) == sizeof(HANDLE) && sizeof(GlobalCtrl::LogBuffer) == sizeof(char*),
              "the owners of the log file and buffer are as wide as what they hold");
static_assert(sizeof(GlobalCtrl::RunFlag) == 1 && std::atomic<uint8_t>::is_always_lock_free);
static_assert(sizeof(GlobalCtrl::AfeArea) >= sizeof(AfeRecordHead) + 2);
static_assert(offsetof(GlobalCtrl, LibraryErrorWord) % 4 == 0 && offsetof(GlobalCtrl, GpioStatusWord) % 4 == 0,
              "words written by the library are aligned 32-bit words");

extern const char* const GainNames[GainCount];

// Program-wide state beside the record.
// Bytes received, bytes sent: the library adds to them from its reader thread for as long as it
// is loaded, so they live as long as the program, not the record.
extern ActivityCounters ProgramActivityCounters;
// The operator's chosen table file and log file name, empty until chosen; the file dialogs write
// them and GlobalCtrl::LogPath points to the second while a log runs.
extern char ConfigPath[ProgramPathSize];
extern char LogPath[ProgramPathSize];

// A zero-filled record with its initial values (main window, divider table, gain names, the AFE
// area reading "AFE Disconnected"), or null when it cannot be allocated.
GlobalCtrl* CreateGlobalCtrl(HWND mainWindow);
void FreeGlobalCtrl(GlobalCtrl* ctrl);

// The zero-filled spectrum buffer of DataBuffRecords records, the first one carrying 192 at
// byte offset 4; null when it cannot be allocated.
SpectrumRecord* CreateDataBuff();
void ResetDataBuff(SpectrumRecord* records);
void FreeDataBuff(SpectrumRecord* records);

// The words the library writes from its own threads, read and taken whole.
uint32_t ReadLibraryWord(const uint32_t& word);
uint32_t TakeActivityCounter(uint32_t& counter); // reads and zeroes
