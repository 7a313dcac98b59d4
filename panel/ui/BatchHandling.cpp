#include "BatchHandling.h"

#include "AfeDetection.h"
#include "ControlIds.h"
#include "GlobalCtrl.h"
#include "LogWriter.h"
#include "MainControls.h"
#include "MainWindowState.h"
#include "CounterTracking.h"
#include "DisplayTexts.h"
#include "StatusBar.h"
#include "Widgets.h"

namespace {

// The pinned range of one graph, or 0 and 0 while its box is not ticked.
FixedScale ReadGraphScale(HWND mainWindow, int fixedBoxId, int scaleEditId)
{
    if (!IsDown(mainWindow, fixedBoxId))
        return FixedScale{0, 0};
    char text[20] = {};
    const int length = GetDlgItemTextA(mainWindow, scaleEditId, text, sizeof text);
    return ReadFixedScale(text, static_cast<size_t>(length));
}

// A notice for every gap in the counters of the batch.
void ReportLostSpectra(GlobalCtrl* ctrl, CounterTracking& sequence, const SpectrumRecord* records, uint32_t count)
{
    for (uint32_t r = 0; r < count; ++r) {
        uint32_t lost = 0;
        if (!FollowMeasCount(sequence, records[r].MeasCount, &lost))
            continue;
        char text[32];
        TextSink sink = MakeTextSink(text, sizeof text);
        Print(sink, "{} Spectra Lost", lost);
        ShowStatusMessage(ctrl->MainWindow, text, 1);
    }
}

// The batch's first record on the text panels, the level bars and both graphs.
void DisplaySpectrum(GlobalCtrl* ctrl, WidgetSet& widgets, CounterTracking& sequence, const SpectrumRecord& record)
{
    HWND window = ctrl->MainWindow;
    char text[ScratchTextSize];
    TextSink numbers = MakeTextSink(text, sizeof text);
    FormatImpedanceNumbers(numbers, record);
    SetTextPanelText(widgets, window, 1, text);

    TextSink status = MakeTextSink(text, sizeof text);
    FormatStatusValues(status, record);
    SetTextPanelText(widgets, window, 0, text);

    SetLevelBar(widgets, window, 0, record.MaxChA, record.MinChA);
    SetLevelBar(widgets, window, 1, record.MaxChB, record.MinChB);

    if (GpioStatusChanged(sequence, record.GPIOStatus))
        DetectAfe(ctrl, record.GPIOStatus);

    const FixedScale moduleScale = ReadGraphScale(window, IdModuleFixedScale, IdModuleScale);
    DrawGraph(widgets, window, 0,
              {.X = ctrl->Frequencies, .XUnit = "Hz", .Y = record.Module, .PointCount = 15, .YDivisions = 10,
               .FixedMax = static_cast<float>(moduleScale.maximum), .FixedMin = static_cast<float>(moduleScale.minimum),
               .Colour = RGB(0, 255, 0), .XLogarithmic = IsDown(window, IdModuleXLog),
               .YLogarithmic = IsDown(window, IdModuleYLog)});
    const FixedScale phaseScale = ReadGraphScale(window, IdPhaseFixedScale, IdPhaseScale);
    DrawGraph(widgets, window, 1,
              {.X = ctrl->Frequencies, .XUnit = "Hz", .Y = record.Phase, .PointCount = 15, .YDivisions = 10,
               .FixedMax = static_cast<float>(phaseScale.maximum), .FixedMin = static_cast<float>(phaseScale.minimum),
               .Colour = RGB(64, 64, 255), .XLogarithmic = IsDown(window, IdPhaseXLog), .YLogarithmic = false});
}

} // namespace

void HandleSpectrumBatch(GlobalCtrl* ctrl, const SpectrumRecord* records, uint32_t count)
{
    MainWindowState* state = MainStateOf(ctrl->MainWindow);
    if (!state)
        return;
    BatchTracking& batches = state->Batches;
    batches.Handled.fetch_add(1);
    if (count > DataBuffRecords)
        return;
    ReportLostSpectra(ctrl, batches.Sequence, records, count);
    if (IsDown(ctrl->MainWindow, IdDisplayData))
        DisplaySpectrum(ctrl, state->Widgets, batches.Sequence, records[0]);
    if (IsDown(ctrl->MainWindow, IdLogDataButton))
        AppendLogRows(ctrl, records, count);
}

uint32_t HandledSpectrumBatches(HWND mainWindow)
{
    const MainWindowState* state = MainStateOf(mainWindow);
    return state ? state->Batches.Handled.load() : 0;
}
