#include "LogWriter.h"

#include "AfeRecord.h"
#include "GlobalCtrl.h"
#include "LogFolder.h"
#include "LogFormat.h"
#include "PanelHooks.h"

#include <cstring>
#include <new>
#include <utility>

namespace {

// Longest row: every float at its widest fixed form is well below this.
constexpr size_t RowRoom = 2048;

void ShowEntryCount(GlobalCtrl* ctrl)
{
    char text[64];
    TextSink sink = MakeTextSink(text, sizeof text);
    Print(sink, "Log Entry Count: {}", ctrl->LogEntryCount);
    PanelShowLogEntryCount(ctrl->Hooks, text);
}

// A write that stops short without a failure is reported with the code of a full disk, which is
// what leaves a synchronous write to a disk file short.
constexpr DWORD ShortWriteError = ERROR_DISK_FULL;

// Writes all bytes; on failure `error` is the system's code (ShortWriteError for a short write).
bool WriteAll(HANDLE file, const char* bytes, uint32_t count, DWORD& error)
{
    DWORD written = 0;
    if (!WriteFile(file, bytes, count, &written, nullptr)) {
        error = GetLastError();
        return false;
    }
    error = written == count ? ERROR_SUCCESS : ShortWriteError;
    return written == count;
}

// "<what><system code>" in the status bar's error form.
void ReportSystemError(GlobalCtrl* ctrl, const char* what, DWORD error)
{
    char text[64];
    TextSink sink = MakeTextSink(text, sizeof text);
    Print(sink, "{}{}", what, static_cast<int32_t>(error));
    PanelShowStatus(ctrl->Hooks, text, 0);
}

void ReportWriteError(GlobalCtrl* ctrl, DWORD error)
{
    ReportSystemError(ctrl, "Log file write error: ", error);
}

// Writes the waiting rows; on success they count into the log size and the buffer is empty. A
// failed write is reported and its rows are dropped, so that StopLog does not write them a
// second time behind whatever part of them did reach the file.
bool FlushLogBuffer(GlobalCtrl* ctrl)
{
    DWORD error;
    const bool written = WriteAll(ctrl->LogFile.Get(), ctrl->LogBuffer.get(), ctrl->LogBufferFill, error);
    if (written)
        ctrl->LogSize += ctrl->LogBufferFill;
    else
        ReportWriteError(ctrl, error);
    ctrl->LogBufferFill = 0;
    ctrl->LogWriteTick = PanelTickCount(ctrl->Hooks);
    return written;
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
    ReportSystemError(ctrl, "File create error: ", error);
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

    ctrl->LogFile.Reset();
    ctrl->LogEntryCount = 0;
    ctrl->LogSize = 0;
    ctrl->LogBuffer.reset();
    ctrl->LogBufferFill = 0;
    ctrl->LogPath = LogPath;

    ctrl->LogBuffer.reset(new (std::nothrow) char[LogBufferSize]());
    if (!ctrl->LogBuffer) {
        PanelRefuseLogging(ctrl->Hooks);
        PanelMessageBox(ctrl->Hooks, "Unable to allocate memory for log buffer!", "ERROR", MB_ICONERROR);
    }
}

bool CheckLogFolder(GlobalCtrl* ctrl)
{
    const DWORD error = LogFolderCreateError(LogPath);
    if (error != ERROR_SUCCESS)
        ReportCreateError(ctrl, error);
    return error == ERROR_SUCCESS;
}

void StopLog(GlobalCtrl* ctrl)
{
    if (ctrl->LogBufferFill != 0) {
        ShowEntryCount(ctrl);
        if (ctrl->LogFile && ctrl->LogBuffer)
            FlushLogBuffer(ctrl);
        ctrl->LogBufferFill = 0;
    }
    ctrl->LogFile.Reset();
    ctrl->LogBuffer.reset();
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
    TextSink stamped = MakeTextSink(fileNameDate, sizeof fileNameDate);
    FormatFileNameDate(stamped, localTime, parts.suffix);

    // A file still open here is closed, not leaked.
    ctrl->LogFile.Reset();
    // A name already taken (another log of the same second) is never replaced: the next free one
    // of the stamped name, its _2, _3, ... is made, and only made when it does not exist yet.
    char fileName[ScratchTextSize];
    TextSink name = MakeTextSink(fileName, sizeof fileName);
    OwnedFile file;
    char fullName[ScratchTextSize];
    uint32_t attempt = 1;
    for (;; ++attempt) {
        if (attempt > LogNameAttempts) {
            ReportCreateError(ctrl, ERROR_FILE_EXISTS);
            return -1;
        }
        name = MakeTextSink(fileName, sizeof fileName);
        FormatLogNameCandidate(name, std::string_view(fileNameDate, stamped.length), attempt);

        // The full name is built whole; one that does not fit a path fails like a create error.
        TextSink path = MakeTextSink(fullName, sizeof fullName);
        Print(path, "{}{}", parts.directory, std::string_view(fileName, name.length));
        if (stamped.truncated || name.truncated || path.truncated || path.length >= MAX_PATH) {
            ReportCreateError(ctrl, ERROR_FILENAME_EXCED_RANGE);
            return -1;
        }
        file.Reset(CreateFileA(fullName, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file)
            break;
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) {
            ReportCreateError(ctrl, error);
            return -1;
        }
    }
    ctrl->LogFile = std::move(file);

    // The header names the log as the operator chose it, with the same _n as the file when the
    // stamped name was taken: with the time in Created= it gives the file's own name back, and
    // the headers of two logs of one second differ.
    char logName[ScratchTextSize];
    TextSink logNameSink = MakeTextSink(logName, sizeof logName);
    FormatLogNameCandidate(logNameSink, parts.suffix, attempt);

    const LogSettings settings = PanelLogSettings(ctrl->Hooks);
    const uint16_t divider = ctrl->DividerTable && ctrl->DividerIndex < DividerCount ? ctrl->DividerTable[ctrl->DividerIndex] : 0;

    LogHeaderData header{};
    header.logName = std::string_view(logName, logNameSink.length);
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

    TextSink text = MakeTextSink(ctrl->LogBuffer.get(), LogBufferSize);
    FormatLogHeader(text, header);
    ctrl->LogSize += text.length;
    // Written through the record's handle, the one every later write uses.
    DWORD error;
    const bool written = WriteAll(ctrl->LogFile.Get(), ctrl->LogBuffer.get(), static_cast<uint32_t>(text.length), error);
    ctrl->LogWriteTick = PanelTickCount(ctrl->Hooks);
    if (!written) {
        // The file was made for this header alone: it goes again, so no empty log is left behind.
        ReportWriteError(ctrl, error);
        ctrl->LogFile.Reset();
        DeleteFileA(fullName);
        return -2;
    }

    char labelText[ScratchTextSize];
    TextSink label = MakeTextSink(labelText, sizeof labelText);
    Print(label, "Log: {}", std::string_view(fileName, name.length));
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
        std::memcpy(ctrl->LogBuffer.get() + ctrl->LogBufferFill, row, sink.length);
        ctrl->LogBufferFill += static_cast<uint32_t>(sink.length);

        if (LogFlushDue(ctrl->LogBufferFill, count) && !FlushLogBuffer(ctrl)) {
            PanelSwitchLoggingOff(ctrl->Hooks);
            return;
        }
        ++ctrl->LogEntryCount;
    }
    ShowEntryCount(ctrl);
}

// Every batch writes at least once (a row is never shorter than the nominal length, so the flush
// rule is met by the batch's last row at the latest): what waits after a batch is the batch's own
// tail, and this check, run by the window between batches, writes it once it has waited long
// enough.
void WriteOverdueLogRows(GlobalCtrl* ctrl)
{
    if (!ctrl->LogFile || !ctrl->LogBuffer ||
        !LogRowsOverdue(ctrl->LogBufferFill, PanelTickCount(ctrl->Hooks), ctrl->LogWriteTick))
        return;
    if (!FlushLogBuffer(ctrl))
        PanelSwitchLoggingOff(ctrl->Hooks);
}

void CheckLogSize(GlobalCtrl* ctrl)
{
    if (ctrl->LogSize > LogSizeWarningThreshold) {
        ctrl->LogSize = 0;
        PanelMessageBox(ctrl->Hooks, "Log size is more than 20GB.\nPress LOG DATA control to stop data logging",
                        "WARNING", MB_ICONWARNING);
    }
}
