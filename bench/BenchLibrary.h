// The emulated KalvixCtrl.dll as the benchmarks load it: by name from their own folder, the way a
// program loads it, with its two exports and the software device's control entry.
#pragma once

#include "KalvixCtrl.h"
#include "KalvixEmulator.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

struct BenchLibrary {
    HMODULE module = nullptr;
    KalvixControlProc control = nullptr;
    KalvixEmulatorControlProc emulator = nullptr;
    GetDLLVersionProc version = nullptr;
};

inline bool LoadEmulatedLibrary(BenchLibrary& library)
{
    HMODULE module = LoadLibraryA("KalvixCtrl.dll");
    library.module = module;
    if (module) {
        library.control = reinterpret_cast<KalvixControlProc>(reinterpret_cast<void*>(GetProcAddress(module, "KalvixControl")));
        library.emulator = reinterpret_cast<KalvixEmulatorControlProc>(
            reinterpret_cast<void*>(GetProcAddress(module, "KalvixEmulatorControl")));
        library.version = reinterpret_cast<GetDLLVersionProc>(reinterpret_cast<void*>(GetProcAddress(module, "GetDLLVersion")));
    }
    if (!library.control || !library.emulator || !library.version) {
        fprintf(stderr, "run beside the emulated KalvixCtrl.dll\n");
        return false;
    }
    return true;
}

// False (and the text on stderr) when a command's result text is an error.
inline bool Ok(const char* text, const char* what)
{
    if (text && strncmp(text, "ERRO", 4) == 0) {
        fprintf(stderr, "%s: %s\n", what, text);
        return false;
    }
    return true;
}
