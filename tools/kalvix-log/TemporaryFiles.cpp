#include "TemporaryFiles.h"

#include <atomic>
#include <csignal>
#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {

// The handlers only read these: each slot's path is written before the slot is marked held, in
// buffers made before any signal can come, so removing them needs no allocation and no lock.
enum SlotState : int { Free, Filling, Held };

struct Slot {
    std::atomic<int> state{Free};
    std::filesystem::path::value_type path[LongestTemporaryPath + 1];
};

Slot slots[MostTemporaryFiles];

void RemoveHeldFiles()
{
    for (Slot& slot : slots)
        if (slot.state.load() == Held) {
#ifdef _WIN32
            DeleteFileW(slot.path);
#else
            unlink(slot.path);
#endif
        }
}

#ifdef _WIN32
BOOL WINAPI RemoveOnConsoleEvent(DWORD)
{
    RemoveHeldFiles();
    return FALSE;   // the next handler, in the end the system's, ends the process
}
#else
void RemoveAndRaise(int signal)
{
    RemoveHeldFiles();
    // SA_RESETHAND gave the signal its default action back: raised again, it ends the program as
    // it would have without this handler, once the handler returns.
    std::raise(signal);
}
#endif

} // namespace

void RemoveTemporaryFilesOnInterrupt()
{
#ifdef _WIN32
    SetConsoleCtrlHandler(RemoveOnConsoleEvent, TRUE);
#else
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) {
        struct sigaction old {};
        if (sigaction(signal, nullptr, &old) != 0 || old.sa_handler == SIG_IGN)
            continue;   // ignored when started (nohup, a background job): it stays ignored
        struct sigaction action {};
        action.sa_handler = RemoveAndRaise;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESETHAND;
        sigaction(signal, &action, nullptr);
    }
#endif
}

int RegisterTemporaryFile(const std::filesystem::path& path)
{
    const auto& native = path.native();
    if (native.size() > LongestTemporaryPath)
        return -1;
    for (int handle = 0; handle < MostTemporaryFiles; ++handle) {
        Slot& slot = slots[handle];
        int expected = Free;
        if (!slot.state.compare_exchange_strong(expected, Filling))
            continue;
        native.copy(slot.path, native.size());
        slot.path[native.size()] = 0;
        slot.state.store(Held);
        return handle;
    }
    return -1;
}

void ForgetTemporaryFile(int handle)
{
    if (handle >= 0 && handle < MostTemporaryFiles)
        slots[handle].state.store(Free);
}
