// A recorder bound to the panel hooks that keeps every call the processing routines make to the
// window; and the scratch files every test program shares.
#pragma once

#include "PanelHooks.h"
#include "ScratchFiles.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

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
