// The measurement logs in a folder, newest first, so a live view can move on to the log the panel
// starts next. A log is a file named as the panel stamps its logs ("YYMMDD_HHMMSS_name.txt", a
// valid date and time), or any other *.txt whose first bytes are a log's header fields.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct FolderLog {
    std::string path;       // UTF-8
    std::string name;       // the file's name
    std::string stamp;      // "YYMMDD_HHMMSS" of a stamped name, empty for another log
    int64_t modified = 0;   // the file's time, in the file system's own ticks (only compared)
};

// Entries of a folder looked at, at most; the rest are not listed (`complete` is false).
constexpr size_t FolderWatchMostEntries = 10000;
// The bytes of an unstamped *.txt judged.
constexpr size_t FolderWatchStartBytes = 4096;

// "YYMMDD_HHMMSS" when `name` is stamped as the panel stamps its logs, else empty.
std::string LogNameStamp(const std::string& name);

// The logs of `folder`: stamped ones first, newest stamp first (equal stamps by name), then the
// others, most recently modified first. False with `error` when the folder cannot be read
// ("no such folder", "is not a folder", the system's words).
bool ListFolderLogs(const std::string& folder, std::vector<FolderLog>& logs, bool& complete, std::string& error);
