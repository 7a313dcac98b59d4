// Start-up and take-down of the control panel: window classes, title, the library binding with
// its version check, every start-up failure's message box, and the order of shutdown.
#include "PanelHarness.h"

#include "GlobalCtrl.h"
#include "LibraryBinding.h"
#include "ProgramStart.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>

namespace {

const char LoadingErrorText[] = "Error loading 'KalvixCtrl.dll'\nThis library must be copied from Ostrel software "
                                "package to the same folder where this executable locates.";

// The stand-in library and its test entries.
struct Probe {
    HMODULE Module = nullptr;
    void (*SetVersion)(const char*) = nullptr;
    int (*TakeCommands)(uint32_t*, uint32_t**, int) = nullptr;
    void* (*RegisteredCounters)() = nullptr;
};

Probe LoadProbe(const char* file)
{
    Probe probe;
    probe.Module = LoadLibraryA(file);
    if (!probe.Module)
        return probe;
    probe.SetVersion = reinterpret_cast<void (*)(const char*)>(reinterpret_cast<void*>(GetProcAddress(probe.Module, "ProbeSetVersion")));
    probe.TakeCommands = reinterpret_cast<int (*)(uint32_t*, uint32_t**, int)>(
        reinterpret_cast<void*>(GetProcAddress(probe.Module, "ProbeTakeCommands")));
    probe.RegisteredCounters = reinterpret_cast<void* (*)()>(reinterpret_cast<void*>(GetProcAddress(probe.Module, "ProbeRegisteredCounters")));
    return probe;
}

// Points the panel at another library file for one test.
struct LibraryFileOverride {
    explicit LibraryFileOverride(const char* file) : former(KalvixLibraryFile) { KalvixLibraryFile = file; }
    ~LibraryFileOverride() { KalvixLibraryFile = former; }
    const char* former;
};

bool LibraryLoaded(const char* file)
{
    return GetModuleHandleA(file) != nullptr;
}

TEST(Startup, MainWindowHasTitleClassStyleAndSize)
{
    HWND window = OpenPanel();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(WindowText(window), "Ostrel Control Panel v1.6");
    EXPECT_EQ(ClassNameOf(window), "MainWindowClass");
    EXPECT_TRUE(IsWindowVisible(window));
    DWORD style = static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE));
    EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX), DWORD{WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX});
    EXPECT_EQ(style & (WS_THICKFRAME | WS_MAXIMIZEBOX), 0u) << "fixed size";
    EXPECT_EQ(GetWindowLongA(window, GWL_EXSTYLE) & ~WS_EX_WINDOWEDGE, 0);
    RECT rect;
    GetWindowRect(window, &rect);
    EXPECT_EQ(rect.right - rect.left, 1100);
    EXPECT_EQ(rect.bottom - rect.top, 730);
    EXPECT_EQ(GetClassLongPtrA(window, GCLP_HBRBACKGROUND), static_cast<ULONG_PTR>(COLOR_MENU + 1));
    EXPECT_NE(GetClassLongPtrA(window, GCLP_HICON), 0u);
    EXPECT_NE(GetClassLongPtrA(window, GCLP_HICONSM), 0u);
    // The two further classes exist once the panel runs, without icons; no window of them yet.
    WNDCLASSEXA child{};
    child.cbSize = sizeof child;
    for (const char* name : {"I2CControlWindowClass", "ConfViewWindowClass"}) {
        ASSERT_TRUE(GetClassInfoExA(GetModuleHandleA(nullptr), name, &child)) << name;
        EXPECT_EQ(child.hIcon, nullptr);
        EXPECT_EQ(child.hbrBackground, reinterpret_cast<HBRUSH>(COLOR_MENU + 1));
        EXPECT_EQ(FindWindowA(name, nullptr), nullptr);
    }
    // The records exist while the window does, the spectrum buffer with its first record marked.
    ASSERT_NE(PanelCtrl(), nullptr);
    ASSERT_NE(PanelDataBuff(), nullptr);
    EXPECT_EQ(PanelCtrl()->MainWindow, window);
    EXPECT_EQ(PanelCtrl()->SpectrumBuffer, PanelDataBuff());
    EXPECT_EQ(PanelDataBuff()[0].reserved4, 192);
    EXPECT_STREQ(reinterpret_cast<const char*>(PanelCtrl()->AfeArea), "AFE Disconnected");
    EXPECT_STREQ(PanelCtrl()->GainNames[3], "10x");
    EXPECT_TRUE(LibraryLoaded("KalvixCtrl.dll"));
    ClosePanel(window);
    EXPECT_EQ(PanelCtrl(), nullptr);
    EXPECT_EQ(PanelDataBuff(), nullptr);
    EXPECT_FALSE(LibraryLoaded("KalvixCtrl.dll")) << "unloaded with the window";
}

TEST(Startup, RegistersTheErrorWordAndDisconnectsBeforeUnloading)
{
    Probe probe = LoadProbe("kalvix_probe_full.dll");
    ASSERT_NE(probe.Module, nullptr);
    LibraryFileOverride file("kalvix_probe_full.dll");
    uint32_t commands[64];
    uint32_t* records[64];
    probe.TakeCommands(commands, records, 64);

    HWND window = OpenPanel();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(probe.RegisteredCounters(), static_cast<void*>(&ProgramActivityCounters));
    int count = probe.TakeCommands(commands, records, 64);
    ASSERT_EQ(count, 1);
    EXPECT_EQ(commands[0], 3u);
    EXPECT_EQ(records[0], &PanelCtrl()->LibraryErrorWord);

    // Closed while CONNECT DEVICE is down: the library is told to disconnect.
    CheckDlgButton(window, 1102, BST_CHECKED);
    ClosePanel(window);
    count = probe.TakeCommands(commands, records, 64);
    ASSERT_EQ(count, 1);
    EXPECT_EQ(commands[0], 2u);
    FreeLibrary(probe.Module);
}

TEST(Startup, ClosingWhileMeasuringStopsTheRunBeforeDisconnecting)
{
    Probe probe = LoadProbe("kalvix_probe_full.dll");
    ASSERT_NE(probe.Module, nullptr);
    LibraryFileOverride file("kalvix_probe_full.dll");
    HWND window = OpenPanel();
    ASSERT_NE(window, nullptr);
    uint32_t commands[64];
    uint32_t* records[64];
    probe.TakeCommands(commands, records, 64);

    // A poll thread that is blocked in a synchronous send to the window when the window goes:
    // the take-down must handle that send, not deadlock, and free the records only after it.
    struct PollState {
        HWND window;
        std::atomic<int> sends{0};
    } state{window};
    PanelCtrl()->RunFlag.store(1);
    HANDLE thread = CreateThread(
        nullptr, 0,
        [](void* argument) -> DWORD {
            auto* poll = static_cast<PollState*>(argument);
            while (PanelCtrl() && PanelCtrl()->RunFlag.load()) {
                SendMessageA(poll->window, WM_NULL, 0, 0);
                poll->sends.fetch_add(1);
                Sleep(5);
            }
            return 0;
        },
        &state, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    HANDLE kept;
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), thread, GetCurrentProcess(), &kept, 0, FALSE, DUPLICATE_SAME_ACCESS));
    CloseHandle(thread);
    PanelCtrl()->PollThread = HandleToULong(kept);
    CheckDlgButton(window, 1102, BST_CHECKED);
    CheckDlgButton(window, 1164, BST_CHECKED);
    ASSERT_TRUE(PumpUntil([&] { return state.sends.load() > 2; }, 5000));

    DWORD start = GetTickCount();
    ClosePanel(window);
    EXPECT_LT(GetTickCount() - start, 20000u);
    int count = probe.TakeCommands(commands, records, 64);
    ASSERT_EQ(count, 2);
    EXPECT_EQ(commands[0], 7u) << "stop first";
    EXPECT_EQ(commands[1], 2u) << "then disconnect";
    FreeLibrary(probe.Module);
}

TEST(Startup, AcceptsVersion120InAnyLetterCaseOnly)
{
    Probe probe = LoadProbe("kalvix_probe_full.dll");
    ASSERT_NE(probe.Module, nullptr);
    LibraryFileOverride file("kalvix_probe_full.dll");
    struct Case {
        const char* version;
        bool accepted;
    } cases[] = {{"1.20", true}, {"1.2", false}, {"1.20 ", false}, {"1.201", false}, {" 1.20", false}, {"", false}, {"1.21", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.version);
        probe.SetVersion(c.version);
        BoxCatcher catcher;
        HWND window = OpenPanel();
        if (c.accepted) {
            EXPECT_NE(window, nullptr);
            EXPECT_TRUE(catcher.Boxes().empty());
        } else {
            EXPECT_EQ(window, nullptr);
            auto boxes = catcher.Boxes();
            ASSERT_EQ(boxes.size(), 1u) << "one box, the cause";
            EXPECT_EQ(boxes[0].Text, "Incorrect DLL module version!");
            EXPECT_EQ(boxes[0].Caption, "Error!");
            EXPECT_EQ(boxes[0].Icon(), UINT{MB_ICONERROR});
            EXPECT_NE(boxes[0].Owner, nullptr) << "owned by the main window being created";
            EXPECT_EQ(PanelCtrl(), nullptr);
            EXPECT_EQ(PanelDataBuff(), nullptr);
        }
        ClosePanel(window);
    }
    EXPECT_TRUE(IsAcceptedLibraryVersion("1.20"));
    EXPECT_FALSE(IsAcceptedLibraryVersion(nullptr));
    FreeLibrary(probe.Module);
}

TEST(Startup, LibraryFailuresShowTheirCauseAndLeaveNothingBehind)
{
    struct Case {
        const char* file;
        const char* text;
    } cases[] = {
        {"no_such_kalvix_library.dll", LoadingErrorText},
        {"kernel32.dll", "KalvixControl interface module not loaded!"},
        {"kalvix_probe_noversion.dll", "GetDLLVersion module not loaded!"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        LibraryFileOverride file(c.file);
        BoxCatcher catcher;
        HWND window = OpenPanel();
        EXPECT_EQ(window, nullptr);
        auto boxes = catcher.Boxes();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].Text, c.text);
        EXPECT_EQ(boxes[0].Caption, "Error!");
        EXPECT_EQ(boxes[0].Icon(), UINT{MB_ICONERROR});
        EXPECT_NE(boxes[0].Owner, nullptr);
        EXPECT_EQ(FindWindowA("MainWindowClass", nullptr), nullptr);
        EXPECT_EQ(BoundLibrary.Module, nullptr);
        EXPECT_EQ(PanelCtrl(), nullptr);
        ClosePanel(window);
    }
    EXPECT_FALSE(LibraryLoaded("kalvix_probe_noversion.dll")) << "a refused library is unloaded";
}

TEST(Startup, ClassRegistrationFailuresShowUnownedBoxes)
{
    struct Case {
        const char* taken;
        const char* text;
    } cases[] = {
        {"MainWindowClass", "Main Window Registration Failed!"},
        {"I2CControlWindowClass", "Child Window Registration Failed!"},
        {"ConfViewWindowClass", "Conf View Child Window Registration Failed!"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.taken);
        WNDCLASSEXA taken{};
        taken.cbSize = sizeof taken;
        taken.lpfnWndProc = DefWindowProcA;
        taken.hInstance = GetModuleHandleA(nullptr);
        taken.lpszClassName = c.taken;
        ASSERT_TRUE(RegisterClassExA(&taken));
        BoxCatcher catcher;
        HWND window = OpenPanel();
        EXPECT_EQ(window, nullptr);
        auto boxes = catcher.Boxes();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].Text, c.text);
        EXPECT_EQ(boxes[0].Caption, "Error!");
        EXPECT_EQ(boxes[0].Owner, nullptr);
        EXPECT_EQ(boxes[0].Icon(), UINT{MB_ICONERROR});
        // No main window is left running, and with it the library is gone again.
        EXPECT_EQ(FindWindowA("MainWindowClass", "Ostrel Control Panel v1.6"), nullptr);
        EXPECT_EQ(PanelCtrl(), nullptr);
        EXPECT_EQ(BoundLibrary.Module, nullptr);
        ClosePanel(window);
        UnregisterClassA(c.taken, GetModuleHandleA(nullptr));
    }
}

// The program itself, started as the operator starts it.
struct ChildRun {
    PROCESS_INFORMATION process{};
    bool started = false;
};

ChildRun StartProgram(const std::string& folder)
{
    ChildRun run;
    std::string path = folder + "OstrelControlPanel.exe";
    std::string commandLine = "\"" + path + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    run.started = CreateProcessA(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                 folder.c_str(), &startup, &run.process) != 0;
    return run;
}

struct FoundWindow {
    DWORD processId;
    const char* className;
    HWND found;
};

HWND FindProcessWindow(DWORD processId, const char* className)
{
    FoundWindow search{processId, className, nullptr};
    EnumWindows(
        [](HWND window, LPARAM parameter) -> BOOL {
            auto* s = reinterpret_cast<FoundWindow*>(parameter);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner == s->processId && ClassNameOf(window) == s->className) {
                s->found = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

void EndChild(ChildRun& run)
{
    if (WaitForSingleObject(run.process.hProcess, 0) != WAIT_OBJECT_0)
        TerminateProcess(run.process.hProcess, 99);
    CloseHandle(run.process.hThread);
    CloseHandle(run.process.hProcess);
}

TEST(ProgramProcess, WithoutTheLibraryItExplainsAndEndsUnshown)
{
    ChildRun run = StartProgram(TestFolder() + "nodll\\");
    ASSERT_TRUE(run.started);
    HWND box = nullptr;
    bool mainShown = false;
    WaitUntil([&] {
        box = FindProcessWindow(run.process.dwProcessId, "#32770");
        HWND main = FindProcessWindow(run.process.dwProcessId, "MainWindowClass");
        mainShown = mainShown || (main && IsWindowVisible(main));
        return box && IsWindowVisible(box); // shown once its text is in
    }, 30000);
    ASSERT_NE(box, nullptr) << "no message box within 30 s";
    const CaughtBox shown = ReadMessageBox(box);
    EXPECT_EQ(shown.Text, LoadingErrorText);
    EXPECT_EQ(shown.Caption, "Error!");
    AnswerMessageBox(box);
    ASSERT_EQ(WaitForSingleObject(run.process.hProcess, 30000), WAIT_OBJECT_0);
    DWORD exitCode = 1;
    GetExitCodeProcess(run.process.hProcess, &exitCode);
    EXPECT_EQ(exitCode, 0u);
    EXPECT_FALSE(mainShown);
    EndChild(run);
}

TEST(ProgramProcess, BesideTheLibraryItRunsAndEndsWhenClosed)
{
    ChildRun run = StartProgram(TestFolder() + "withdll\\");
    ASSERT_TRUE(run.started);
    HWND main = nullptr;
    WaitUntil([&] {
        main = FindProcessWindow(run.process.dwProcessId, "MainWindowClass");
        return main && IsWindowVisible(main);
    }, 30000);
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(WindowText(main), "Ostrel Control Panel v1.6");
    EXPECT_EQ(FindProcessWindow(run.process.dwProcessId, "#32770"), nullptr);
    PostMessageA(main, WM_CLOSE, 0, 0);
    ASSERT_EQ(WaitForSingleObject(run.process.hProcess, 30000), WAIT_OBJECT_0);
    DWORD exitCode = 1;
    GetExitCodeProcess(run.process.hProcess, &exitCode);
    EXPECT_EQ(exitCode, 0u);
    EndChild(run);
}

} // namespace
