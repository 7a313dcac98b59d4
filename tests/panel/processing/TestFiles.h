// A recorder bound to a record's panel hooks that keeps every call the processing routines make
// to the window; and the scratch files every test program shares.
#pragma once

#include "GlobalCtrl.h"
#include "ScratchFiles.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct HookCall {
    // "status", "box", "entries" (log entry count label), "logfile" (log file label), "refuse"
    // (LOG DATA unticked), "logoff" (LOG DATA released), "disconnect" (CONNECT DEVICE released)
    std::string kind;
    int32_t id;       // notice flag or box icon
    std::string text; // message or label text
    std::string caption;
};

// Binds the record's hooks to itself while alive; unbinds them at destruction.
struct HookRecorder {
    std::vector<HookCall> calls;
    int32_t connected = 1;          // CONNECT DEVICE is down
    LogSettings settings{};
    LogTime now{2026, 12, 8, 4, 39, 5};
    uint64_t tick = 5000;           // the monotonic clock, in milliseconds
    std::function<void()> onLoggingOff; // what the window does when LOG DATA is released
    std::function<void()> onReadSettings; // run as the log settings are read, before they are handed over

    explicit HookRecorder(GlobalCtrl* ctrl);
    ~HookRecorder();
    std::vector<HookCall> Of(const std::string& kind) const;
    std::string LastText(const std::string& kind) const; // "" when never set

private:
    GlobalCtrl* bound;
};
