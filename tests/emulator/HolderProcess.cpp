#include "HolderProcess.h"

#include <cstdio>
#include <string>

bool HolderProcess::Start(uint32_t instance)
{
    char module[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, module, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return false;
    std::string folder(module, length);
    folder.erase(folder.find_last_of("\\/") + 1);

    char readyName[64], releaseName[64];
    snprintf(readyName, sizeof readyName, "KalvixHolderReady-%lu", GetCurrentProcessId());
    snprintf(releaseName, sizeof releaseName, "KalvixHolderRelease-%lu", GetCurrentProcessId());
    ready_ = CreateEventA(nullptr, TRUE, FALSE, readyName);
    release_ = CreateEventA(nullptr, TRUE, FALSE, releaseName);
    if (!ready_ || !release_)
        return false;

    std::string command = "\"" + folder + "emulator_holder.exe\" " + std::to_string(instance) + " " + readyName + " " +
                          releaseName;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        return false;
    CloseHandle(info.hThread);
    process_ = info.hProcess;
    const HANDLE waits[] = {ready_, process_};
    return WaitForMultipleObjects(2, waits, FALSE, 30000) == WAIT_OBJECT_0;
}

void HolderProcess::Release()
{
    if (release_)
        SetEvent(release_);
    if (process_) {
        WaitForSingleObject(process_, 30000);
        CloseHandle(process_);
    }
    if (ready_)
        CloseHandle(ready_);
    if (release_)
        CloseHandle(release_);
    process_ = ready_ = release_ = nullptr;
}
