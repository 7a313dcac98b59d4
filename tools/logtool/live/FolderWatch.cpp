#include "FolderWatch.h"

#include "LogReader.h"
#include "TextInput.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>

namespace {

bool DigitsWithin(const std::string& text, size_t at, int low, int high)
{
    if (text[at] < '0' || text[at] > '9' || text[at + 1] < '0' || text[at + 1] > '9')
        return false;
    const int value = (text[at] - '0') * 10 + (text[at + 1] - '0');
    return value >= low && value <= high;
}

bool EndsWithTxt(const std::string& name)
{
    if (name.size() < 4)
        return false;
    std::string ending = name.substr(name.size() - 4);
    std::transform(ending.begin(), ending.end(), ending.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    return ending == ".txt";
}

// The first bytes of the file look like a log's header.
bool StartsLikeLog(const std::string& path)
{
    std::string error;
    std::FILE* const file = OpenFileForReading(path, error);
    if (!file)
        return false;
    std::string start(FolderWatchStartBytes, '\0');
    start.resize(std::fread(start.data(), 1, start.size(), file));
    std::fclose(file);
    if (start.substr(0, 3) == "\xEF\xBB\xBF")
        start.erase(0, 3);
    // Only whole lines are judged: the last one may be cut by the read.
    const size_t lastFeed = start.rfind('\n');
    return lastFeed != std::string::npos && LooksLikeLogStart(std::string_view(start).substr(0, lastFeed + 1));
}

std::string Utf8(const std::filesystem::path& path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

} // namespace

std::string LogNameStamp(const std::string& name)
{
    // YYMMDD_HHMMSS_ then at least one character of the name, then .txt
    if (name.size() < 19 || name[6] != '_' || name[13] != '_' || !EndsWithTxt(name))
        return std::string();
    const bool valid = DigitsWithin(name, 0, 0, 99) && DigitsWithin(name, 2, 1, 12) && DigitsWithin(name, 4, 1, 31) &&
                       DigitsWithin(name, 7, 0, 23) && DigitsWithin(name, 9, 0, 59) && DigitsWithin(name, 11, 0, 59);
    return valid ? name.substr(0, 13) : std::string();
}

bool ListFolderLogs(const std::string& folder, std::vector<FolderLog>& logs, bool& complete, std::string& error)
{
    logs.clear();
    complete = true;
    std::error_code failed;
    const std::filesystem::path root(std::u8string(folder.begin(), folder.end()));
    const std::filesystem::file_status status = std::filesystem::status(root, failed);
    if (status.type() == std::filesystem::file_type::not_found) {
        error = "no such folder";
        return false;
    }
    if (failed || status.type() != std::filesystem::file_type::directory) {
        error = failed ? failed.message() : "is not a folder";
        return false;
    }
    std::filesystem::directory_iterator entries(root, failed);
    if (failed) {
        error = failed.message();
        return false;
    }
    size_t looked = 0;
    for (; entries != std::filesystem::directory_iterator(); entries.increment(failed)) {
        if (failed) {
            error = failed.message();
            return false;
        }
        if (++looked > FolderWatchMostEntries) {
            complete = false;
            break;
        }
        std::error_code ignored;
        if (!entries->is_regular_file(ignored))
            continue;
        FolderLog log;
        log.path = Utf8(entries->path());
        log.name = Utf8(entries->path().filename());
        log.stamp = LogNameStamp(log.name);
        if (log.stamp.empty() && !(EndsWithTxt(log.name) && StartsLikeLog(log.path)))
            continue;
        log.modified = static_cast<int64_t>(entries->last_write_time(ignored).time_since_epoch().count());
        logs.push_back(std::move(log));
    }
    std::sort(logs.begin(), logs.end(), [](const FolderLog& a, const FolderLog& b) {
        if (a.stamp.empty() != b.stamp.empty())
            return b.stamp.empty();
        if (a.stamp != b.stamp)
            return a.stamp > b.stamp;
        if (a.stamp.empty() && a.modified != b.modified)
            return a.modified > b.modified;
        return a.name < b.name;
    });
    return true;
}
