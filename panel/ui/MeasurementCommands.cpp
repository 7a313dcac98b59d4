// START / STOP and EXT TRIGGER / SW TRIGGER: a measurement run and its poll thread.
#include "ConfigurationView.h"
#include "ControlIds.h"
#include "GlobalCtrl.h"
#include "LibraryBinding.h"
#include "MainCommands.h"
#include "MainControls.h"
#include "MainWindowState.h"
#include "SpectrumPoll.h"
#include "StatusBar.h"

#include <cstring>

namespace {

constexpr int ControlsIdleOnlyWhileMeasuring[] = {IdExtTrigger, IdLoadShunt, IdLoadComp, IdGetStatus, IdDividerTrackbar,
                                                  IdRadioP,     IdRadioD,    IdLoadDac,  IdLoadPhase};
constexpr int ControlsIdleOnlyWhileTriggered[] = {IdStart, IdLoadShunt, IdLoadComp, IdGetStatus, IdDividerTrackbar};

// Without its poll thread a run would go on with nothing taking its spectra; it is ended again.
constexpr char PollThreadFailedText[] = "ERROR: Spectrum polling could not be started.";

template <size_t N>
void EnableAll(HWND window, const int (&ids)[N], bool enable)
{
    for (int id : ids)
        EnableControl(window, id, enable);
}

// Ends a run with its command (STOP, or EXT TRIGGER 0): the command wakes a poll thread waiting
// for spectra, and a batch it is handing over still belongs to this run (and its log), so it is
// handled before the run is over. Then the button and the controls the run disabled come back.
template <size_t N>
void EndRun(HWND window, GlobalCtrl* ctrl, uint32_t command, int button, const char* caption, const int (&disabled)[N])
{
    ctrl->RunFlag.store(0);
    Report(window, CallKalvix(command, 0, nullptr, nullptr));
    EndPollThread(ctrl);
    SetCaption(window, button, caption);
    EnableAll(window, disabled, true);
    PauseMs(5);
    RefreshConfiguration(ctrl);
}

void StopMeasurement(HWND window, GlobalCtrl* ctrl)
{
    EndRun(window, ctrl, CMD_STOP_MEASUREMENT, IdStart, "START", ControlsIdleOnlyWhileMeasuring);
    bool& startedInModeD = MainStateOf(window)->RunStartedInModeD;
    if (startedInModeD)
        Report(window, CallKalvix(CommandExcitationD, 0, nullptr, nullptr));
    startedInModeD = false;
}

void StartMeasurement(HWND window, GlobalCtrl* ctrl)
{
    // The poll thread of the last run ends before anything of this one starts: it would take
    // this run's spectra or write into the buffer being cleared.
    EndPollThread(ctrl);
    std::memset(MainDataBuffOf(window), 0, DataBuffRecords * sizeof(SpectrumRecord));
    uint32_t mode = 0;
    const int32_t position = TrackbarPosition(window, IdExcitationTrackbar);
    bool& startedInModeD = MainStateOf(window)->RunStartedInModeD;
    startedInModeD = false;
    if (IsDown(window, IdRadioP)) {
        Report(window, CallKalvix(CMD_SET_EXCITATION, static_cast<uint32_t>(ExcitationRangeP - position), nullptr, nullptr));
    } else if (IsDown(window, IdRadioD)) {
        Report(window, CallKalvix(CommandExcitationD, static_cast<uint32_t>(ExcitationRangeD - position), nullptr, nullptr));
        mode = 1;
        startedInModeD = true;
    }
    PauseMs(10);
    if (Report(window, CallKalvix(CMD_START_MEASUREMENT, mode, nullptr, nullptr))) {
        SetDown(window, IdStart, false);
        startedInModeD = false;
        return;
    }
    if (!StartPollThread(ctrl)) {
        SetDown(window, IdStart, false);
        StopMeasurement(window, ctrl);
        ShowStatusMessage(window, PollThreadFailedText, 0);
        return;
    }
    SetCaption(window, IdStart, "STOP");
    EnableAll(window, ControlsIdleOnlyWhileMeasuring, false);
}

void EndTriggerRun(HWND window, GlobalCtrl* ctrl)
{
    EndRun(window, ctrl, CMD_EXT_TRIGGER, IdExtTrigger, "EXT TRIGGER", ControlsIdleOnlyWhileTriggered);
}

} // namespace

void OnStart(HWND window, GlobalCtrl* ctrl)
{
    if (IsDown(window, IdStart))
        StartMeasurement(window, ctrl);
    else
        StopMeasurement(window, ctrl);
}

void OnExtTrigger(HWND window, GlobalCtrl* ctrl)
{
    if (IsDown(window, IdExtTrigger)) {
        EndPollThread(ctrl);
        if (Report(window, CallKalvix(CMD_EXT_TRIGGER, 1, nullptr, nullptr))) {
            SetDown(window, IdExtTrigger, false);
            return;
        }
        SetCaption(window, IdExtTrigger, "SW TRIGGER");
        EnableAll(window, ControlsIdleOnlyWhileTriggered, false);
        if (!StartPollThread(ctrl)) {
            SetDown(window, IdExtTrigger, false);
            EndTriggerRun(window, ctrl);
            ShowStatusMessage(window, PollThreadFailedText, 0);
        }
        return;
    }
    EndTriggerRun(window, ctrl);
}
