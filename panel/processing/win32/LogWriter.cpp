#include "LogWriter.h"

#include "AfeRecord.h"
#include "GlobalCtrl.h"
#include "LogFormat.h"
#include "PanelHooks.h"

#include <cstring>
#include <new>

namespace {

// Longest row: every float at its widest fixed form is well below this.
constexpr size_t RowRoom = 2048;

void ShowEntryCount(GlobalCtrl* ctrl)
{
    char text[64];
    TextSink sink = MakeTextSink(text, sizeof text);
    PutText(sink, "Log Entry Count: ");
    PutInt(sink, ctrl->LogEntryCount);
    PanelShowLogEntryCount(ctrl->Hooks, text);
}

bool WriteAll(HANDLE file, const char* bytes, uint32_t count, DWORD& written)
{
    written = 0;
    return WriteFile(file, bytes, count, &written, nullptr) && written == count;
}

// Writes the waiting rows; on success they count into the log size and the buffer is empty.
bool FlushLogBuffer(GlobalCtrl* ctrl)
{
    DWORD ulTmp;
    if (!WriteAll(ctrl->LogFile, ctrl->LogBuffer, ctrl->LogBufferFill, ulTmp))
        return false;
    ctrl->LogSize += ctrl->LogBufferFill;
    ctrl->LogBufferFill = 0;
    return true;
}

LogTime CurrentLocalTime(const PanelHooks& hooks)
{
    LogTime time{};
    if (hooks.GetLocalTime) {
        hooks.GetLocalTime(hooks.context, &time);
        return time;
    }
    SYSTEMTIME now;
    GetLocalTime(&now);
    return LogTime{now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
}

std::string_view GainName(const GlobalCtrl* ctrl, int32_t code)
{
    if (code < 0 || code >= static_cast<int32_t>(GainCount) || !ctrl->GainNames[code])
        return {};
    return ctrl->GainNames[code];
}

void ReportCreateError(GlobalCtrl* ctrl, DWORD error)
{
    char text[64];
    TextSink sink = MakeTextSink(text, sizeof text);
    PutText(sink, "File create error: ");
    PutInt(sink, static_cast<int32_t>(error));
    PanelShowStatus(ctrl->Hooks, text, 0);
}

} // namespace

void StartLog(GlobalCtrl* ctrl)
{
    if (LogPath[0] == '\0') {
        PanelRefuseLogging(ctrl->Hooks);
        PanelMessageBox(ctrl->Hooks, "No Logging directory selected!", "WARNING", MB_ICONWARNING);
        return;
    }
    if (!PanelDeviceConnected(ctrl->Hooks)) {
        PanelRefuseLogging(ctrl->Hooks);
        PanelMessageBox(ctrl->Hooks, "Device is not connected!\nPress CONNECT DEVICE control", "WARNING", MB_ICONWARNING);
        return;
    }
    // A log still open from before is finished first, so neither its file nor its buffer leaks.
    if (ctrl->LogFile || ctrl->LogBuffer)
        StopLog(ctrl);

    ctrl->LogFile = nullptr;
    ctrl->LogEntryCount = 0;
    ctrl->LogSize = 0;
    ctrl->LogBuffer = nullptr;
    ctrl->LogBufferFill = 0;
    ctrl->LogPath = LogPath;

    ctrl->LogBuffer = new (std::nothrow) char[LogBufferSize]();
    if (!ctrl->LogBuffer) {
        PanelRefuseLogging(ctrl->Hooks);
        PanelMessageBox(ctrl->Hooks, "Unable to allocate memory for log buffer!", "ERROR", MB_ICONERROR);
    }
}

void StopLog(GlobalCtrl* ctrl)
{
    if (ctrl->LogBufferFill != 0) {
        ShowEntryCount(ctrl);
        if (ctrl->LogFile && ctrl->LogBuffer) {
            DWORD ulWritten;
            if (WriteAll(ctrl->LogFile, ctrl->LogBuffer, ctrl->LogBufferFill, ulWritten))
                ctrl->LogSize += ctrl->LogBufferFill;
        }
        ctrl->LogBufferFill = 0;
    }
    if (ctrl->LogFile) {
        CloseHandle(ctrl->LogFile);
        ctrl->LogFile = nullptr;
    }
    delete[] ctrl->LogBuffer;
    ctrl->LogBuffer = nullptr;
    PanelShowLogFileName(ctrl->Hooks, "Log:");
}

int32_t CreateLogFile(GlobalCtrl* ctrl)
{
    // The header is formatted in the log buffer: without an armed log there is nothing to write.
    if (!ctrl->LogBuffer)
        return -2;
    const LogTime localTime = CurrentLocalTime(ctrl->Hooks);
    const LogPathParts parts = SplitLogPath(ctrl->LogPath ? std::string_view(ctrl->LogPath) : std::string_view());

    char fileNameDate[ScratchTextSize];
    TextSink name = MakeTextSink(fileNameDate, sizeof fileNameDate);
    FormatFileNameDate(name, localTime, parts.suffix);

    // The full name is built whole; one that does not fit a path fails like a create error.
    char fullName[ScratchTextSize];
    TextSink path = MakeTextSink(fullName, sizeof fullName);
    PutText(path, parts.directory);
    PutText(path, std::string_view(fileNameDate, name.length));
    if (name.truncated || path.truncated || path.length >= MAX_PATH) {
        ReportCreateError(ctrl, ERROR_FILENAME_EXCED_RANGE);
        return -1;
    }

    // A file still open here would leak its handle.
    if (ctrl->LogFile) {
        CloseHandle(ctrl->LogFile);
        ctrl->LogFile = nullptr;
    }
    const HANDLE file = CreateFileA(fullName, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        ReportCreateError(ctrl, GetLastError());
        return -1;
    }
    ctrl->LogFile = file;

    const LogSettings settings = PanelLogSettings(ctrl->Hooks);
    const uint16_t divider = ctrl->DividerTable && ctrl->DividerIndex < DividerCount ? ctrl->DividerTable[ctrl->DividerIndex] : 0;

    LogHeaderData header{};
    header.logName = parts.suffix;
    header.created = localTime;
    header.deviceDescription = std::string_view(ctrl->DeviceIdentification,
                                                BoundedLength(ctrl->DeviceIdentification, sizeof ctrl->DeviceIdentification));
    header.deviceSerial = std::string_view(ctrl->DeviceSerial, BoundedLength(ctrl->DeviceSerial, sizeof ctrl->DeviceSerial));
    header.afeDescription = AfeDescription(ctrl->AfeArea);
    header.divider = divider;
    header.excitationLevel = settings.excitationLevel;
    header.gainA = GainName(ctrl, settings.gainCodeA);
    header.gainB = GainName(ctrl, settings.gainCodeB);
    header.onExtTrigger = settings.onExtTrigger;
    header.onBattery = settings.onBattery;
    header.compensationState = settings.compensationState;
    header.measureCompState = settings.measureCompState;
    header.frequencies = ctrl->Frequencies;
    header.shunt = ctrl->Configuration.Shunt;
    header.comp = ctrl->Configuration.Comp;

    TextSink text = MakeTextSink(ctrl->LogBuffer, LogBufferSize);
    FormatLogHeader(text, header);
    ctrl->LogSize += text.length;
    DWORD dwWritten;
    if (!WriteAll(file, ctrl->LogBuffer, static_cast<uint32_t>(text.length), dwWritten))
        return -2;

    char labelText[ScratchTextSize];
    TextSink label = MakeTextSink(labelText, sizeof labelText);
    PutText(label, "Log: ");
    PutText(label, std::string_view(fileNameDate, name.length));
    PanelShowLogFileName(ctrl->Hooks, labelText);
    return 0;
}

void AppendLogRows(GlobalCtrl* ctrl, const SpectrumRecord* records, uint32_t count)
{
    // Rows only go into an armed log.
    if (!ctrl->LogBuffer)
        return;
    for (uint32_t r = 0; r < count; ++r) {
        // The file is made when none is open; the entry count, which wraps in a log long enough,
        // never decides that.
        if (!ctrl->LogFile && CreateLogFile(ctrl) != 0) {
            PanelSwitchLoggingOff(ctrl->Hooks);
            return;
        }

        char row[RowRoom];
        TextSink sink = MakeTextSink(row, sizeof row);
        FormatLogRow(sink, records[r]);
        // A row that does not fit the room left goes after the waiting rows have been written.
        if (sink.length > LogBufferSize - ctrl->LogBufferFill && !FlushLogBuffer(ctrl)) {
            PanelSwitchLoggingOff(ctrl->Hooks);
            return;
        }
        std::memcpy(ctrl->LogBuffer + ctrl->LogBufferFill, row, sink.length);
        ctrl->LogBufferFill += static_cast<uint32_t>(sink.length);

        if (LogFlushDue(ctrl->LogBufferFill, count) && !FlushLogBuffer(ctrl)) {
            PanelSwitchLoggingOff(ctrl->Hooks);
            return;
        }
        ++ctrl->LogEntryCount;
    }
    ShowEntryCount(ctrl);
}

void CheckLogSize(GlobalCtrl* ctrl)
{
    if (ctrl->LogSize > LogSizeWarningThreshold) {
        ctrl->LogSize = 0;
        PanelMessageBox(ctrl->Hooks, "Log size is more than 20GB.\nPress LOG DATA control to stop data logging",
                        "WARNING", MB_ICONWARNING);
    }
}
