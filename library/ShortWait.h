// Waits of microseconds between the reader and the caller's threads, without kernel objects.
// A kernel mutex or event costs a system call each way, and under Wine a round trip to its server;
// at thousands of spectra per second those calls, not the copying, set the ceiling. What is
// waited for here is always held for microseconds, so the wait spins, then yields the processor,
// then sleeps; every wait is bounded.
#pragma once

#include <windows.h>

// Polls `done` until it is true or `timeoutMs` has passed; true when it came true.
template <typename Done>
bool WaitBriefly(Done done, DWORD timeoutMs)
{
    constexpr unsigned SpinRounds = 64;
    constexpr unsigned YieldRounds = 2048;
    if (done())
        return true;
    const DWORD start = GetTickCount();
    for (unsigned round = 1;; ++round) {
        if (round < SpinRounds)
            YieldProcessor();
        else if (round < YieldRounds)
            SwitchToThread();
        else
            Sleep(1);
        if (done())
            return true;
        if (GetTickCount() - start >= timeoutMs)
            return false;
    }
}

// A lock for holds of microseconds. Taking it free and giving it back are a few atomic
// instructions. A thread that ended while holding it never gives it back, which is why every
// take is bounded.
class ShortLock {
public:
    bool TakeWithin(DWORD timeoutMs)
    {
        return WaitBriefly([this] { return TryAcquireSRWLockExclusive(&lock_) != FALSE; }, timeoutMs);
    }
    void Release() { ReleaseSRWLockExclusive(&lock_); }

private:
    SRWLOCK lock_ = SRWLOCK_INIT;
};
