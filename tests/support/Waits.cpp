#include "Waits.h"

namespace {

constexpr DWORD StepMs = 5;

void HandleQueuedMessages()
{
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT)
            continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

bool PollUntil(const std::function<bool()>& condition, DWORD timeoutMs, bool pump)
{
    const ULONGLONG start = GetTickCount64();
    for (;;) {
        if (pump)
            HandleQueuedMessages();
        if (condition())
            return true;
        if (GetTickCount64() - start >= timeoutMs)
            return condition();
        Sleep(StepMs);
    }
}

} // namespace

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs)
{
    return PollUntil(condition, timeoutMs, false);
}

bool PumpUntil(const std::function<bool()>& condition, DWORD timeoutMs)
{
    return PollUntil(condition, timeoutMs, true);
}
