// Lifetimes: many connect/disconnect cycles leave no threads or handles behind, and the
// emulated DLL unloads after a disconnect and, promptly, when freed while still measuring.
#include "LibraryOverEmulator.h"

#include <tlhelp32.h>

#include <cstring>
#include <string>

namespace {

// Threads whose code lies in this program (the library's reader, the device's pump); threads
// the system starts for itself (thread pools and the like) come and go on their own.
bool StartsInThisProgram(DWORD threadId)
{
    using QueryThread = LONG(WINAPI*)(HANDLE, int, PVOID, ULONG, PULONG);
    static const auto query = reinterpret_cast<QueryThread>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryInformationThread")));
    const HANDLE thread = OpenThread(THREAD_QUERY_INFORMATION, FALSE, threadId);
    if (!thread || !query)
        return true;
    void* start = nullptr;
    const LONG status = query(thread, 9 /* start address */, &start, sizeof start, nullptr);
    CloseHandle(thread);
    HMODULE module = nullptr;
    if (status != 0 || !GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                                GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                            static_cast<LPCSTR>(start), &module))
        return false;
    // The runtime's thread start (the library's reader) counts as this program's.
    return module == GetModuleHandleA(nullptr) || module == GetModuleHandleA("msvcrt.dll") ||
           module == GetModuleHandleA("ucrtbase.dll");
}

size_t ThreadsOfThisProcess()
{
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return 0;
    size_t count = 0;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        if (entry.th32OwnerProcessID == GetCurrentProcessId() && StartsInThisProgram(entry.th32ThreadID))
            ++count;
    CloseHandle(snapshot);
    return count;
}

DWORD HandlesOfThisProcess()
{
    DWORD count = 0;
    return GetProcessHandleCount(GetCurrentProcess(), &count) ? count : 0;
}

// No SCOPED_TRACE here: on Windows it makes the test framework start a thread of its own in this
// program, which would be counted.
TEST_F(LibraryOverEmulator, ManyConnectCyclesLeaveNoThreadsOrHandlesBehind)
{
    // One cycle first, so that lazily made process-wide objects exist before counting.
    ASSERT_EQ(Connect(), "");
    ASSERT_EQ(Call(CMD_DISCONNECT), "");
    ASSERT_TRUE(Eventually([&] { return ThreadsOfThisProcess() <= 1; }));
    const size_t threadsBefore = ThreadsOfThisProcess();
    const DWORD handlesBefore = HandlesOfThisProcess();

    for (int cycle = 0; cycle < 60; ++cycle) {
        ASSERT_EQ(Connect(), "") << cycle;
        ASSERT_EQ(Call(CMD_SET_GPIO, 0, &gpioWord), "") << cycle;
        if (cycle == 0) {
            EXPECT_GE(ThreadsOfThisProcess(), threadsBefore + 2) << "the reader and the pump are counted";
        }
        if (cycle % 10 == 0) {
            ASSERT_EQ(Call(CMD_START_MEASUREMENT, 0), "") << cycle;
            ASSERT_GE(Collect(8, 8).size(), 8u) << cycle;
            ASSERT_EQ(Call(CMD_STOP_MEASUREMENT), "") << cycle;
        }
        ASSERT_EQ(Call(CMD_DISCONNECT), "") << cycle;
        ASSERT_EQ(EmuState().open, 0u) << cycle;
    }
    // The reader and the device's pump both end once nothing is open (while connected there are
    // three: this one, the reader and the pump).
    EXPECT_TRUE(Eventually([&] { return ThreadsOfThisProcess() <= threadsBefore; }, 5000))
        << ThreadsOfThisProcess() << " threads, " << threadsBefore << " before";
    if (handlesBefore > 0) { // a platform that counts handles
        EXPECT_LE(HandlesOfThisProcess(), handlesBefore + 4) << "before: " << handlesBefore;
    }
    EXPECT_EQ(statusWord, 0u);
}

// The emulated KalvixCtrl.dll, loaded by path the way a program loads it.
struct EmulatedDll : ::testing::Test {
    static std::string Path()
    {
        char module[MAX_PATH];
        const DWORD length = GetModuleFileNameA(nullptr, module, MAX_PATH);
        std::string folder(module, length);
        folder.erase(folder.find_last_of("\\/") + 1);
        return folder + KALVIX_EMULATED_DLL_FROM_TESTS;
    }
    static bool Loaded() { return GetModuleHandleA("KalvixCtrl.dll") != nullptr; }

    using Control = const char*(__cdecl*)(uint32_t, uint32_t, uint32_t*, uint8_t*);
    static Control ControlOf(HMODULE module)
    {
        return reinterpret_cast<Control>(reinterpret_cast<void*>(GetProcAddress(module, "KalvixControl")));
    }
    // Spectra delivered by polling for up to a few seconds (the first ones wait for the pump).
    static uint32_t SomeSpectra(Control control)
    {
        std::vector<uint8_t> spectra(8 * 192);
        uint32_t delivered = 0;
        for (int i = 0; i < 50 && delivered == 0; ++i)
            control(CMD_GET_SPECTRA, 8, &delivered, spectra.data());
        return delivered;
    }
    void SetUp() override { ASSERT_FALSE(Loaded()) << "nothing else has the library loaded"; }
};

constexpr char ChildMarker[] = "--kalvix-test-child";

bool InChild()
{
    return strstr(GetCommandLineA(), ChildMarker) != nullptr;
}

// Runs `test` alone in a second run of this program, its output going where ours goes, and
// expects it to pass within `ms`. A child that has not ended by then (a thread left behind in a
// freed library can keep the loader lock, or FreeLibrary wait for it, for good) is ended and the
// test fails, rather than hanging the run.
void ExpectPassesInChildWithin(const std::string& test, DWORD ms)
{
    char program[MAX_PATH];
    GetModuleFileNameA(nullptr, program, MAX_PATH);
    std::string command = "\"" + std::string(program) + "\" --gtest_filter=" + test + " " + ChildMarker;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION child{};
    ASSERT_TRUE(CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &child))
        << GetLastError();
    CloseHandle(child.hThread);
    const DWORD ended = WaitForSingleObject(child.hProcess, ms);
    if (ended != WAIT_OBJECT_0) {
        TerminateProcess(child.hProcess, 99);
        WaitForSingleObject(child.hProcess, 5000);
    }
    DWORD code = 0;
    GetExitCodeProcess(child.hProcess, &code);
    CloseHandle(child.hProcess);
    EXPECT_EQ(ended, static_cast<DWORD>(WAIT_OBJECT_0)) << test << " did not end within " << ms << " ms";
    EXPECT_EQ(code, 0u) << test << " failed in its own process (its output is above)";
}

// Loading and freeing the library is done in a process of its own (see ExpectPassesInChildWithin).
TEST_F(EmulatedDll, UnloadsAfterEachDisconnectAndAtOnceWhenFreedWhileMeasuring)
{
    if (!InChild()) {
        ExpectPassesInChildWithin("EmulatedDll.UnloadsAfterEachDisconnectAndAtOnceWhenFreedWhileMeasuring", 60000);
        return;
    }
    for (int cycle = 0; cycle < 5; ++cycle) {
        SCOPED_TRACE(cycle);
        HMODULE module = LoadLibraryA(Path().c_str());
        ASSERT_NE(module, nullptr) << Path();
        const Control control = ControlOf(module);
        ASSERT_NE(control, nullptr);
        uint32_t index = 0;
        char serial[16] = {};
        ASSERT_EQ(control(CMD_CONNECT, 0, &index, reinterpret_cast<uint8_t*>(serial)), nullptr);
        ASSERT_EQ(control(CMD_START_MEASUREMENT, 0, nullptr, nullptr), nullptr);
        EXPECT_GT(SomeSpectra(control), 0u);
        ASSERT_EQ(control(CMD_DISCONNECT, 0, nullptr, nullptr), nullptr);
        ASSERT_TRUE(FreeLibrary(module));
        EXPECT_TRUE(Eventually([] { return !Loaded(); })) << "the device's pump let the library go";
    }

    // Freed while measuring: the library leaves the device idle, ends its reader and closes the
    // device, the pump ends with it, and the module goes at once. Loaded again, it finds the
    // device free (and its first instance, not the next one).
    for (int cycle = 0; cycle < 3; ++cycle) {
        SCOPED_TRACE(cycle);
        HMODULE module = LoadLibraryA(Path().c_str());
        ASSERT_NE(module, nullptr);
        uint32_t index = 99;
        char serial[16] = {};
        ASSERT_EQ(ControlOf(module)(CMD_CONNECT, 0, &index, reinterpret_cast<uint8_t*>(serial)), nullptr);
        EXPECT_EQ(index, 0u);
        ASSERT_EQ(ControlOf(module)(CMD_START_MEASUREMENT, 0, nullptr, nullptr), nullptr);
        EXPECT_GT(SomeSpectra(ControlOf(module)), 0u);
        const DWORD start = GetTickCount();
        ASSERT_TRUE(FreeLibrary(module));
        EXPECT_LT(GetTickCount() - start, 1000u) << "the unload waited for its threads in vain";
        EXPECT_FALSE(Loaded()) << "nothing keeps the library loaded";
    }
}
// A program ending while connected: the library's teardown at the end of the process runs after
// the system has ended every other thread, wherever it was. It must not wait for a poll thread
// ended inside CMD_GET_SPECTRA, nor hang on the lock the device's pump held when it was ended.
TEST_F(EmulatedDll, AProcessEndingWhileConnectedEndsPromptly)
{
    char module[MAX_PATH];
    std::string folder(module, GetModuleFileNameA(nullptr, module, MAX_PATH));
    folder.erase(folder.find_last_of("\\/") + 1);
    for (const char* scenario : {"measuring", "poll", "pump"}) {
        SCOPED_TRACE(scenario);
        const std::string name = "KalvixProbeExiting-" + std::to_string(GetCurrentProcessId()) + "-" + scenario;
        const HANDLE exiting = CreateEventA(nullptr, TRUE, FALSE, name.c_str());
        ASSERT_NE(exiting, nullptr);
        std::string command = "\"" + folder + "emulator_exit_probe.exe\" \"" + Path() + "\" " + scenario + " " + name;
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION probe{};
        ASSERT_TRUE(CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &probe));
        CloseHandle(probe.hThread);
        const HANDLE waits[] = {exiting, probe.hProcess};
        const DWORD ready = WaitForMultipleObjects(2, waits, FALSE, 30000);
        const DWORD start = GetTickCount();
        const DWORD ended = WaitForSingleObject(probe.hProcess, 15000);
        const DWORD elapsed = GetTickCount() - start;
        if (ended != WAIT_OBJECT_0)
            TerminateProcess(probe.hProcess, 99);
        DWORD code = 0;
        GetExitCodeProcess(probe.hProcess, &code);
        CloseHandle(probe.hProcess);
        CloseHandle(exiting);
        ASSERT_EQ(ready, static_cast<DWORD>(WAIT_OBJECT_0)) << "the probe did not get to its end; exit code " << code;
        EXPECT_EQ(ended, static_cast<DWORD>(WAIT_OBJECT_0)) << "the process hangs at its end";
        EXPECT_LT(elapsed, 500u) << "a waiting poll thread ended inside the library makes the end of the process wait a second";
        EXPECT_EQ(code, 0u);
    }
}

} // namespace
