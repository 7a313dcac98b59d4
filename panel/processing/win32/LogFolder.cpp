#include "LogFolder.h"

#include "LogFormat.h"
#include "TextFormat.h"

#include <knownfolders.h>
#include <shlobj.h>

#include <cstring>

namespace {

// Probe names taken by something else are skipped; a folder full of them is not a folder problem.
constexpr uint32_t ProbeAttempts = 16;

} // namespace

DWORD LogFolderCreateError(const char* logPath)
{
    const LogPathParts parts = SplitLogPath(logPath ? std::string_view(logPath) : std::string_view());
    for (uint32_t attempt = 0; attempt < ProbeAttempts; ++attempt) {
        char probe[MAX_PATH];
        TextSink name = MakeTextSink(probe, sizeof probe);
        Print(name, "{}~kalvix-folder-check-{}-{}.tmp", parts.directory, static_cast<uint32_t>(GetCurrentProcessId()),
              attempt);
        if (name.truncated || name.length >= MAX_PATH)
            return ERROR_FILENAME_EXCED_RANGE;
        // The same access and disposition as the log file itself.
        const HANDLE file = CreateFileA(probe, FILE_APPEND_DATA, 0, nullptr, CREATE_NEW,
                                        FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            CloseHandle(file);
            DeleteFileA(probe);
            return ERROR_SUCCESS;
        }
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS)
            return error != ERROR_SUCCESS ? error : ERROR_GEN_FAILURE;
    }
    return ERROR_SUCCESS;
}

bool DefaultLogFolder(char* folder, size_t capacity)
{
    if (!folder || capacity == 0)
        return false;
    folder[0] = '\0';
    PWSTR documents = nullptr;
    if (FAILED(SHGetKnownFolderPath(FOLDERID_Documents, KF_FLAG_DEFAULT, nullptr, &documents))) {
        CoTaskMemFree(documents);
        return false;
    }
    constexpr wchar_t Subfolder[] = L"\\Kalvix";
    wchar_t wide[MAX_PATH];
    const size_t documentsLength = wcslen(documents);
    const bool fits = documentsLength + wcslen(Subfolder) < MAX_PATH;
    if (fits) {
        std::memcpy(wide, documents, documentsLength * sizeof(wchar_t));
        std::memcpy(wide + documentsLength, Subfolder, sizeof Subfolder);
    }
    CoTaskMemFree(documents);
    if (!fits)
        return false;
    if (!CreateDirectoryW(wide, nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
        return false;
    // The dialogs and LogPath are ANSI: a name without an exact ANSI form is not used.
    BOOL lossy = FALSE;
    const int length = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, -1, folder, static_cast<int>(capacity),
                                           nullptr, &lossy);
    if (length <= 0 || lossy) {
        folder[0] = '\0';
        return false;
    }
    return true;
}
