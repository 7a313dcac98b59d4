// KalvixCtrl.dll as it ships (the library and its entry point) with the scripted fake platform in
// place of SetupAPI/WinUSB, so a test can load it by path, connect, measure and unload it again
// the way a program does with a device attached. Two more exports feed the fake device and name
// the reader thread.
#include "FakePlatform.h"
#include "FrameBuilders.h"
#include "LibraryState.h"
#include "PlatformOps.h"

// One ordinary device attached from the start.
const PlatformOps DefaultPlatformOps = [] {
    FakePlatform::Reset();
    return FakePlatform::Ops();
}();

// Queues `transfers` IN transfers of four spectra each, MeasCount counting on from the last call.
extern "C" void ScriptedDeviceFeed(uint32_t transfers)
{
    static uint32_t next = 0;
    for (uint32_t i = 0; i < transfers; ++i, next += 4)
        FakePlatform::QueueInBlock(Concat({SpectrumFrame(next), SpectrumFrame(next + 1), SpectrumFrame(next + 2),
                                           SpectrumFrame(next + 3)}));
}

// The reader thread's id while connected, else 0.
extern "C" DWORD ScriptedReaderThreadId()
{
    return State && State->thread ? GetThreadId(State->thread.Get()) : 0;
}

// The fake platform runs no threads of its own.
void PlatformUnloading() {}
