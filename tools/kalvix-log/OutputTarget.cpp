#include "OutputTarget.h"

#include "data/PathText.h"

#ifdef _WIN32
#include <windows.h>

#include <vector>
#else
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <system_error>
#endif

#ifdef _WIN32
namespace {

// The full path of the file an open handle is on, links followed ("\\?\C:\...").
std::filesystem::path FinalPath(HANDLE file)
{
    std::vector<wchar_t> name(MAX_PATH);
    while (true) {
        const DWORD length = GetFinalPathNameByHandleW(file, name.data(), static_cast<DWORD>(name.size()),
                                                       FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (length == 0)
            return {};
        if (length < name.size())
            return std::filesystem::path(std::wstring(name.data(), length));
        name.resize(length + 1);
    }
}

} // namespace

bool FindOutputTarget(const std::string& path, OutputTarget& target, std::string& reason)
{
    const std::wstring wide = WideFromUtf8(path);
    target = {std::filesystem::path(wide), OutputWay::Replace};
    // No access asked for: what the name is, whoever has it open. A name that cannot be opened is
    // a new file; creating it says why when it cannot be written.
    const HANDLE file = CreateFileW(wide.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return true;
    bool found = true;
    BY_HANDLE_FILE_INFORMATION information{};
    if (GetFileType(file) != FILE_TYPE_DISK) {
        target.way = OutputWay::Direct;   // NUL, CON, a pipe
    } else if (GetFileInformationByHandle(file, &information) &&
               (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        reason = "is a folder";
        found = false;
    } else if (const DWORD attributes = GetFileAttributesW(wide.c_str());
               attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        if (std::filesystem::path resolved = FinalPath(file); !resolved.empty())
            target.path = resolved;
    }
    CloseHandle(file);
    return found;
}
#else
namespace {

constexpr int MostLinks = 40;

// A link in /proc (what /dev/stdout and /dev/fd/N lead to) stands for a file this process has
// open; it is written through, never replaced.
bool IsOpenFileLink(const std::filesystem::path& link)
{
    std::error_code error;
    const auto folder = std::filesystem::canonical(link.has_parent_path() ? link.parent_path() : ".", error);
    return !error && (folder == "/proc" || folder.native().starts_with("/proc/"));
}

} // namespace

bool FindOutputTarget(const std::string& path, OutputTarget& target, std::string& reason)
{
    std::filesystem::path current = PathFromUtf8(path);
    for (int links = 0;; ++links) {
        struct stat status {};
        if (lstat(current.c_str(), &status) != 0) {
            if (errno != ENOENT) {
                reason = std::strerror(errno);
                return false;
            }
            target = {current, OutputWay::Replace};   // a new file (a link may lead to it)
            return true;
        }
        if (S_ISDIR(status.st_mode)) {
            reason = "is a folder";
            return false;
        }
        if (!S_ISLNK(status.st_mode)) {
            target = {current, S_ISREG(status.st_mode) ? OutputWay::Replace : OutputWay::Direct};
            return true;
        }
        if (IsOpenFileLink(current)) {
            target = {PathFromUtf8(path), OutputWay::Direct};
            return true;
        }
        if (links == MostLinks) {
            reason = "too many levels of symbolic links";
            return false;
        }
        std::error_code error;
        const std::filesystem::path next = std::filesystem::read_symlink(current, error);
        if (error) {
            reason = error.message();
            return false;
        }
        current = next.is_absolute() ? next : current.parent_path() / next;
    }
}
#endif
