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

void SwitchLoggingOff()
{
    PanelReleaseButton(IdLogData);
}

void ShowEntryCount(GlobalCtrl* ctrl)
{
    TextSink sink = MakeTextSink(ctrl->Text, sizeof ctrl->Text);
    PutText(sink, "Log Entry Count: ");
    PutInt(sink, ctrl->LogEntryCount);
    PanelSetText(IdLogEntryCountLabel, ctrl->Text);
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

LogTime CurrentLocalTime()
{
    LogTime time{};
    if (PanelBinding.GetLocalTime) {
        PanelBinding.GetLocalTime(PanelBinding.context, &time);
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
    TextSink sink = MakeTextSink(ctrl->Text, sizeof ctrl->Text);
    PutText(sink, "File create error: ");
    PutInt(sink, static_cast<int32_t>(error));
    PanelShowStatus(ctrl->Text, 0);
}

} // namespace

void StartLog(GlobalCtrl* ctrl)
{
    if (LogPath[0] == '\0') {
        PanelSetCheck(IdLogData, 0);
        PanelMessageBox("No Logging directory selected!", "WARNING", BoxIconWarning);
        return;
    }
    if (!PanelIsChecked(IdConnectDevice)) {
        PanelSetCheck(IdLogData, 0);
        PanelMessageBox("Device is not connected!\nPress CONNECT DEVICE control", "WARNING", BoxIconWarning);
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
        PanelSetCheck(IdLogData, 0);
        PanelMessageBox("Unable to allocate memory for log buffer!", "ERROR", BoxIconError);
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
    PanelSetText(IdLogFileLabel, "Log:");
}

int32_t CreateLogFile(GlobalCtrl* ctrl)
{
    // The header is formatted in the log buffer: without an armed log there is nothing to write.
    if (!ctrl->LogBuffer)
        return -2;
    const LogTime localTime = CurrentLocalTime();
    const LogPathParts parts = SplitLogPath(ctrl->LogPath ? std::string_view(ctrl->LogPath) : std::string_view());

    char fileNameDate[ScratchTextSize];
    TextSink name = MakeTextSink(fileNameDate, sizeof fileNameDate);
    FormatFileNameDate(name, localTime, parts.suffix);

    // The full name is built whole; one that does not fit a path fails like a create error.
    TextSink path = MakeTextSink(ctrl->Text, sizeof ctrl->Text);
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
    const HANDLE file = CreateFileA(ctrl->Text, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        ReportCreateError(ctrl, GetLastError());
        return -1;
    }
    ctrl->LogFile = file;

    LogSettings settings{};
    if (PanelBinding.ReadLogSettings)
        PanelBinding.ReadLogSettings(PanelBinding.context, &settings);
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

    TextSink label = MakeTextSink(ctrl->Text, sizeof ctrl->Text);
    PutText(label, "Log: ");
    PutText(label, std::string_view(fileNameDate, name.length));
    PanelSetText(IdLogFileLabel, ctrl->Text);
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
            SwitchLoggingOff();
            return;
        }

        char row[RowRoom];
        TextSink sink = MakeTextSink(row, sizeof row);
        FormatLogRow(sink, records[r]);
        // A row that does not fit the room left goes after the waiting rows have been written.
        if (sink.length > LogBufferSize - ctrl->LogBufferFill && !FlushLogBuffer(ctrl)) {
            SwitchLoggingOff();
            return;
        }
        std::memcpy(ctrl->LogBuffer + ctrl->LogBufferFill, row, sink.length);
        ctrl->LogBufferFill += static_cast<uint32_t>(sink.length);

        if (LogFlushDue(ctrl->LogBufferFill, count) && !FlushLogBuffer(ctrl)) {
            SwitchLoggingOff();
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
        PanelMessageBox("Log size is more than 20GB.\nPress LOG DATA control to stop data logging", "WARNING",
                        BoxIconWarning);
    }
}
