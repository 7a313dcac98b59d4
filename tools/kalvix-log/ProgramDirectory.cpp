#include "ProgramDirectory.h"

#include "data/PathText.h"

#include <filesystem>
#include <system_error>
#include <vector>
#ifdef _WIN32
#include <windows.h>
#endif

std::string ProgramDirectory()
{
#ifdef _WIN32
    std::vector<wchar_t> name(MAX_PATH);
    while (true) {
        const DWORD length = GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
        if (length == 0)
            return "";
        if (length < name.size())
            return PathToUtf8(std::filesystem::path(std::wstring(name.data(), length)).parent_path());
        if (name.size() > 32768)
            return "";
        name.resize(name.size() * 2);
    }
#else
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        return "";
    return PathToUtf8(program.parent_path());
#endif
}
