// Paths that CMake hands the test program (source files, built binaries) as the build machine
// writes them. A Linux path ("/work/...") is turned into the Windows path Wine maps it to; a
// Windows path is used as it is.
#pragma once

#include <windows.h>

#include <string>

inline std::string WindowsPathOf(const char* buildPath)
{
    if (buildPath[0] != '/')
        return buildPath;
    // Wine's own conversion, which knows the prefix's drive mapping.
    using DosName = WCHAR* (CDECL*)(const char*);
    auto toDos = reinterpret_cast<DosName>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_dos_file_name")));
    if (!toDos)
        return buildPath;
    WCHAR* wide = toDos(buildPath);
    if (!wide)
        return buildPath;
    char narrow[MAX_PATH * 2] = {};
    WideCharToMultiByte(CP_ACP, 0, wide, -1, narrow, sizeof narrow, nullptr, nullptr);
    HeapFree(GetProcessHeap(), 0, wide);
    return narrow;
}
