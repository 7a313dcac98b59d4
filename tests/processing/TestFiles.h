// Helpers shared by the processing tests: scratch folders and files, and a recorder bound to the
// panel hooks that keeps every call the processing routines make to the window.
#pragma once

#include "PanelHooks.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// A fresh folder under the temporary folder, removed with its files at destruction.
struct ScratchFolder {
    std::string path; // ends with a backslash
    ScratchFolder();
    ~ScratchFolder();
    std::string File(const std::string& name) const { return path + name; }
};

void WriteBytes(const std::string& fileName, const std::string& bytes);
std::string ReadBytes(const std::string& fileName); // whole file, opened shared for reading and writing
bool FileExists(const std::string& fileName);
std::vector<std::string> FolderEntries(const std::string& folder);

// printf-style formatting in the C locale, as an independent reference for the locale-free
// formatter under test.
std::string Printf(const char* format, ...);

struct HookCall {
    std::string kind; // "status", "box", "text", "check", "command"
    int32_t id;       // control id, notice flag or box icon
    std::string text; // message text or caption
    std::string caption;
};

// Binds PanelBinding to itself while alive; unbinds at destruction.
struct HookRecorder {
    std::vector<HookCall> calls;
    int32_t connected = 1;          // check state of CONNECT DEVICE
    LogSettings settings{};
    LogTime now{2026, 12, 8, 4, 39, 5};
    std::function<void(int32_t)> onCommand; // what the window does for WM_COMMAND

    HookRecorder();
    ~HookRecorder();
    std::vector<HookCall> Of(const std::string& kind) const;
    std::string LastText(int32_t controlId) const; // "" when never set
};
