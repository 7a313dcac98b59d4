#include "OperatorLogFolder.h"

#include "data/PathText.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>
#endif

bool OperatorLogFolder(std::string& folder, std::string& error)
{
    std::filesystem::path documents;
#ifdef _WIN32
    PWSTR known = nullptr;
    if (FAILED(SHGetKnownFolderPath(FOLDERID_Documents, 0, nullptr, &known))) {
        CoTaskMemFree(known);
        error = "the Documents folder cannot be found";
        return false;
    }
    documents = std::filesystem::path(known);
    CoTaskMemFree(known);
#else
    const char* home = std::getenv("HOME");
    if (!home || !*home) {
        error = "HOME is not set: the Documents folder cannot be found";
        return false;
    }
    documents = std::filesystem::path(home) / "Documents";
#endif
    const std::filesystem::path logs = documents / "Kalvix";
    std::error_code failure;
    std::filesystem::create_directories(logs, failure);
    folder = PathToUtf8(logs);
    if (failure) {
        error = folder + ": cannot be made: " + failure.message();
        return false;
    }
    return true;
}
