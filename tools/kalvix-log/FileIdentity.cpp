#include "FileIdentity.h"

#ifdef _WIN32
#include "data/PathText.h"

#include <windows.h>
#else
#include <sys/stat.h>
#endif

bool operator==(const FileIdentity& a, const FileIdentity& b)
{
    return a.volume == b.volume && a.file == b.file;
}

bool ReadFileIdentity(const std::string& path, FileIdentity& identity)
{
    if (path.empty() || path == "-")
        return false;
#ifdef _WIN32
    // No access asked for: the file's information only, whoever has it open.
    const HANDLE file = CreateFileW(WideFromUtf8(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    BY_HANDLE_FILE_INFORMATION information{};
    const bool regular = GetFileType(file) == FILE_TYPE_DISK && GetFileInformationByHandle(file, &information) &&
                         !(information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    CloseHandle(file);
    if (!regular)
        return false;
    identity.volume = information.dwVolumeSerialNumber;
    identity.file = (static_cast<uint64_t>(information.nFileIndexHigh) << 32) | information.nFileIndexLow;
    return true;
#else
    struct stat status {};
    if (stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode))
        return false;
    identity.volume = static_cast<uint64_t>(status.st_dev);
    identity.file = static_cast<uint64_t>(status.st_ino);
    return true;
#endif
}

bool IsSameFile(const std::string& a, const std::string& b)
{
    FileIdentity first, second;
    return ReadFileIdentity(a, first) && ReadFileIdentity(b, second) && first == second;
}
