// Bounded waits for a condition that another thread, a timer or the test thread's own windows
// bring about. Each checks the condition every few milliseconds and gives up after its time.
#pragma once

#include <windows.h>

#include <functional>

// Waits until the condition holds or timeoutMs has passed; returns the condition's last value.
// Messages for the waiting thread stay queued.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs);

// The same, handling the waiting thread's messages meanwhile (sent and posted messages, timers,
// painting; a WM_QUIT is taken and dropped).
bool PumpUntil(const std::function<bool()>& condition, DWORD timeoutMs);
