// The two file choosers, the table loads (LD SHUNT, LD COMP, LD DAC, LD PHASE) and LOG DATA.
#include "ConfigReader.h"
#include "ConfigurationView.h"
#include "ControlIds.h"
#include "GlobalCtrl.h"
#include "LibraryBinding.h"
#include "LogFolder.h"
#include "LogFormat.h"
#include "LogWriter.h"
#include "MainCommands.h"
#include "MainControls.h"
#include "MainWindowState.h"

#include <commdlg.h>

#include <cstring>
#include <new>

namespace {

constexpr char TextFileFilter[] = "Text Files (*.txt)\0*.txt\0All Files (*.*)\0*.*\0";

struct TableLoad {
    int button;
    const char* key;
    int32_t count;
    const char* pattern;
    int32_t type;
    size_t bufferSize;
    uint32_t command;
    bool refreshAfter;
};
constexpr TableLoad TableLoads[] = {
    {IdLoadShunt, "SHUNT\r\n", 30, "%f", DstFloatPtr, 130, CMD_LOAD_SHUNT, true},
    {IdLoadComp, "COMP\r\n", 30, "%f", DstFloatPtr, 130, CMD_LOAD_COMP, true},
    {IdLoadDac, "DAC\r\n", 1000, "%uh", DstShortPtr, 2010, CMD_LOAD_DAC, false},
    {IdLoadPhase, "PHASES\r\n", 15, "%uh", DstShortPtr, 1024, CMD_LOAD_PHASES, false},
};

// The folder the log file dialog opens in: where the operator last chose a log file, the first
// time Documents\Kalvix (made when missing); empty (the dialog's own choice) when neither is known.
void LogDialogFolder(char* folder, size_t capacity)
{
    folder[0] = '\0';
    const std::string_view chosen = SplitLogPath(LogPath).directory;
    if (chosen.empty()) {
        DefaultLogFolder(folder, capacity);
        return;
    }
    if (chosen.size() < capacity) {
        std::memcpy(folder, chosen.data(), chosen.size());
        folder[chosen.size()] = '\0';
    }
}

// The operator's choice of a file into `path` (260 characters, its text the proposed name),
// starting in `initialFolder` when one is given. The working folder stays where it was.
bool ChooseFile(HWND window, char* path, bool save, const char* initialFolder = nullptr)
{
    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = window;
    ofn.lpstrFilter = TextFileFilter;
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = path;
    ofn.nMaxFile = ProgramPathSize;
    ofn.lpstrDefExt = "txt";
    ofn.lpstrInitialDir = initialFolder && initialFolder[0] ? initialFolder : nullptr;
    if (save) {
        ofn.lpstrTitle = "Select directory and insert file name suffix ...";
        ofn.Flags = OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
        return GetSaveFileNameA(&ofn) != 0;
    }
    ofn.lpstrTitle = "Select File ...";
    ofn.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    return GetOpenFileNameA(&ofn) != 0;
}

} // namespace

void OnChooseFile(HWND window, int id)
{
    if (id == IdConfigFileButton) {
        if (ChooseFile(window, ConfigPath, false))
            SetDlgItemTextA(window, IdConfigPathEdit, ConfigPath);
        return;
    }
    char folder[ProgramPathSize];
    LogDialogFolder(folder, sizeof folder);
    if (!ChooseFile(window, LogPath, true, folder))
        return;
    SetDlgItemTextA(window, IdLogPathEdit, LogPath);
    if (GlobalCtrl* ctrl = MainCtrlOf(window))
        CheckLogFolder(ctrl);
}

void OnLoadTable(HWND window, GlobalCtrl* ctrl, int id)
{
    const TableLoad* load = nullptr;
    for (const TableLoad& candidate : TableLoads)
        if (candidate.button == id)
            load = &candidate;
    if (!load)
        return;
    if (ConfigPath[0] == '\0') {
        MessageBoxA(window, "No configuration file selected!", "WARNING", MB_ICONWARNING);
        return;
    }
    uint8_t* buffer = new (std::nothrow) uint8_t[load->bufferSize]();
    if (!buffer)
        return;
    if (ReadConfigSection(ConfigPath, buffer, load->count, load->key, load->pattern, load->type) != ConfigReadOk) {
        MessageBoxA(window, "Unable to read configuration file!\nVerify the file format.", "ERROR", MB_ICONERROR);
    } else if (Report(window, CallKalvix(load->command, 0, nullptr, buffer))) {
        delete[] buffer;
        return;
    }
    delete[] buffer;
    if (load->refreshAfter) {
        PauseMs(10);
        RefreshConfiguration(ctrl);
    }
}

void OnLogData(HWND window, GlobalCtrl* ctrl)
{
    if (LogPath[0] == '\0') {
        SetDown(window, IdLogDataButton, false);
        MessageBoxA(window, "No Logging directory selected!", "WARNING", MB_ICONWARNING);
        return;
    }
    if (IsDown(window, IdLogDataButton))
        StartLog(ctrl);
    else
        StopLog(ctrl);
    // A running log is checked often enough that no row waits much longer than a second, also
    // when no batch comes (a slow divider, a run stopped while logging goes on).
    if (ctrl->LogBuffer)
        SetTimer(window, TimerLogFlush, LogFlushCheckMs, nullptr);
    else
        KillTimer(window, TimerLogFlush);
}
