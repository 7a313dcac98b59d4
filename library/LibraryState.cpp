#include "LibraryState.h"

#include "Connection.h"
#include "ResultText.h"

#include <cstring>
#include <new>

LibraryState* State;

static_assert(offsetof(SpectrumRecord, SysErrors) == 6);
static_assert(offsetof(SpectrumRecord, MeasCount) == 8);
static_assert(offsetof(SpectrumRecord, ProcPeriod) == 12);
static_assert(offsetof(SpectrumRecord, MaxChA) == 16);
static_assert(offsetof(SpectrumRecord, MinChB) == 22);
static_assert(offsetof(SpectrumRecord, Module) == 24);
static_assert(offsetof(SpectrumRecord, Phase) == 84);
static_assert(offsetof(SpectrumRecord, BatteryLevel) == 144);
static_assert(offsetof(SpectrumRecord, ChargerStatus) == 146);
static_assert(offsetof(SpectrumRecord, GPIOStatus) == 148);
static_assert(offsetof(DeviceConfiguration, FrequencyCodes) == 2);
static_assert(offsetof(DeviceConfiguration, Shunt) == 32);
static_assert(offsetof(DeviceConfiguration, Comp) == 152);

bool AttachLibrary(HMODULE module)
{
    SetResultTextModule(module);
    memset(ThreadResultBuffer(), 0, ResultBufferSize);
    State = new (std::nothrow) LibraryState();
    if (!State)
        return false;
    State->divider = 1;
    State->SpectraPerRead = 4;
    return true;
}

void DetachLibrary(Teardown how)
{
    if (!State)
        return;
    ShutdownDevice(*State, how);
    if (!State->thread)
        delete State;
    State = nullptr;
}

void PostStatus(LibraryState& state, uint32_t code)
{
    if (uint32_t* word = state.StatusWord.load())
        InterlockedExchange(reinterpret_cast<volatile LONG*>(word), static_cast<LONG>(code));
}
