#include "SpectrumPoll.h"

#include "GlobalCtrl.h"
#include "KernelOwners.h"
#include "LibraryBinding.h"
#include "MainControls.h"
#include "MainWindowState.h"
#include "PanelRules.h"
#include "PumpingWait.h"
#include "StatusBar.h"

#include <process.h>

namespace {

uintptr_t BeginThread(unsigned(__stdcall* body)(void*), void* argument)
{
    return _beginthreadex(nullptr, 0, body, argument, 0, nullptr);
}

} // namespace

// Program-wide on purpose: the tests put a starter here that fails, to see a run end cleanly.
PollThreadStarter StartThread = BeginThread;

unsigned __stdcall SpectrumPollThread(void* argument)
{
    GlobalCtrl* ctrl = static_cast<GlobalCtrl*>(argument);
    uint32_t DataSegmentsCaptured = 0;
    while (ctrl->RunFlag.load()) {
        DataSegmentsCaptured = 0;
        const char* text = CallKalvix(CMD_GET_SPECTRA, ctrl->SpectraPerPoll, &DataSegmentsCaptured, ctrl->SpectrumBuffer);
        if (!ctrl->RunFlag.load())
            break;
        if (text) {
            if (IsErrorText(text))
                return static_cast<unsigned>(-1);
            ShowStatusMessage(ctrl->MainWindow, text, 0);
            // After a time-out the spectra that did come (an external trigger that stopped
            // short of a whole batch) go to the window like any batch.
            if (DataSegmentsCaptured == 0)
                continue;
        }
        SendMessageA(ctrl->MainWindow, WM_USER, 0, static_cast<LPARAM>(DataSegmentsCaptured));
    }
    return 0;
}

bool StartPollThread(GlobalCtrl* ctrl)
{
    EndPollThread(ctrl);
    ctrl->SpectrumBuffer = MainDataBuffOf(ctrl->MainWindow);
    ctrl->SpectraPerPoll = SpectraPerPollFor(CurrentDivider(ctrl));
    ctrl->RunFlag.store(1);
    const uintptr_t thread = StartThread(SpectrumPollThread, ctrl);
    if (thread == 0) {
        ctrl->RunFlag.store(0);
        return false;
    }
    ctrl->PollThread = static_cast<uint32_t>(thread);
    return true;
}

void EndPollThread(GlobalCtrl* ctrl)
{
    ctrl->RunFlag.store(0);
    if (!ctrl->PollThread)
        return;
    // The record keeps the thread's handle as its 32-bit value (its layout is fixed); it is owned
    // here from the wait to the close.
    OwnedThread thread(ULongToHandle(ctrl->PollThread));
    WaitPumpingSends(thread.Get());
    thread.Reset();
    ctrl->PollThread = 0;
    // A warning the thread posted just before it was told to end would otherwise be shown after
    // the stop or disconnect that ended it, over that command's own report.
    DiscardQueuedStatusTexts(ctrl->MainWindow);
}
