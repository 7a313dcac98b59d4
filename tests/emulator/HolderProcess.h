// Runs the helper program that opens one emulated instance and holds it, so a test sees the
// instance taken by another process.
#pragma once

#include <windows.h>

#include <cstdint>

class HolderProcess {
public:
    HolderProcess() = default;
    HolderProcess(const HolderProcess&) = delete;
    HolderProcess& operator=(const HolderProcess&) = delete;
    ~HolderProcess() { Release(); }

    // Starts the helper and waits until it holds `instance`; false if it could not.
    bool Start(uint32_t instance);
    // Tells the helper to let go and waits for it to end.
    void Release();

private:
    HANDLE process_ = nullptr;
    HANDLE ready_ = nullptr;
    HANDLE release_ = nullptr;
};
