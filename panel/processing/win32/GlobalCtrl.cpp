#include "GlobalCtrl.h"

#include "AfeRecord.h"

#include <cstring>
#include <new>

const char* const GainNames[GainCount] = {"1x", "2x", "5x", "10x"};

// Program-wide: the library adds to these from its reader thread for as long as it is loaded.
ActivityCounters ProgramActivityCounters = {0, 0};
// Program-wide: the operator's table file, chosen in the open dialog.
char ConfigPath[ProgramPathSize] = {};
// Program-wide: the operator's log file name, chosen in the save dialog; GlobalCtrl::LogPath points here.
char LogPath[ProgramPathSize] = {};

GlobalCtrl* CreateGlobalCtrl(HWND mainWindow)
{
    // Value-initialised: every field zero.
    GlobalCtrl* ctrl = new (std::nothrow) GlobalCtrl{};
    if (!ctrl)
        return nullptr;
    ctrl->MainWindow = mainWindow;
    ctrl->DividerTable = DividersLookup;
    for (size_t i = 0; i < GainCount; ++i)
        ctrl->GainNames[i] = GainNames[i];
    ResetAfeArea(ctrl->AfeArea);
    return ctrl;
}

void FreeGlobalCtrl(GlobalCtrl* ctrl)
{
    delete ctrl;
}

void ResetDataBuff(SpectrumRecord* records)
{
    std::memset(records, 0, DataBuffRecords * sizeof(SpectrumRecord));
    records[0].reserved4 = KALVIX_SPECTRUM_SIZE;
}

SpectrumRecord* CreateDataBuff()
{
    SpectrumRecord* records = new (std::nothrow) SpectrumRecord[DataBuffRecords];
    if (records)
        ResetDataBuff(records);
    return records;
}

void FreeDataBuff(SpectrumRecord* records)
{
    delete[] records;
}

uint32_t ReadLibraryWord(const uint32_t& word)
{
    return std::atomic_ref<uint32_t>(const_cast<uint32_t&>(word)).load(std::memory_order_relaxed);
}

uint32_t TakeActivityCounter(uint32_t& counter)
{
    return static_cast<uint32_t>(InterlockedExchange(reinterpret_cast<volatile LONG*>(&counter), 0));
}
