#include "ProgramStart.h"

#include "ConfigurationView.h"
#include "I2cWindow.h"
#include "LogFormat.h"
#include "MainWindow.h"
#include "ProgramIcons.h"
#include "ResourceIds.h"

#include <cstring>
#include <initializer_list>

namespace {

void StartupError(const char* text)
{
    MessageBoxA(nullptr, text, "Error!", MB_ICONERROR);
}

} // namespace

HWND StartControlPanel(HINSTANCE instance, int showCommand)
{
    char szTitle[ProgramNameSize] = {};
    char szWindowClass[ProgramNameSize] = {};
    LoadStringA(instance, IDS_APPLICATION_TITLE, szTitle, ProgramNameSize);
    LoadStringA(instance, IDS_MAIN_WINDOW_CLASS, szWindowClass, ProgramNameSize);
    LoadProgramIcons(instance);

    WNDCLASSEXA wcex{};
    wcex.cbSize = sizeof(wcex);
    wcex.style = 0;
    wcex.lpfnWndProc = MainWndProc;
    wcex.hInstance = instance;
    wcex.hIcon = Icons.Program;
    wcex.hIconSm = Icons.ProgramSmall;
    wcex.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wcex.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_MENU + 1);
    wcex.lpszClassName = szWindowClass;
    if (!RegisterClassExA(&wcex)) {
        StartupError("Main Window Registration Failed!");
        return nullptr;
    }

    const size_t used = std::strlen(szTitle);
    TextSink title = MakeTextSink(szTitle + used, ProgramNameSize - used);
    Print(title, "{}", ApplicationVersion);

    bool creationFailureShown = false;
    HWND window = CreateWindowExA(0, szWindowClass, szTitle, MainWindowStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                                  MainWindowWidth, MainWindowHeight, nullptr, nullptr, instance, &creationFailureShown);
    if (!window) {
        // A failure inside the window's creation has already told the operator its cause.
        if (!creationFailureShown)
            StartupError("Window Creation Failed!");
        return nullptr;
    }

    LoadStringA(instance, IDS_I2C_CONTROL_WINDOW_CLASS, szWindowClass, ProgramNameSize);
    wcex.lpfnWndProc = I2CControlWndProc;
    wcex.cbClsExtra = 0;
    wcex.cbWndExtra = 0;
    wcex.hIcon = nullptr;
    wcex.hIconSm = nullptr;
    if (!RegisterClassExA(&wcex)) {
        StartupError("Child Window Registration Failed!");
        DestroyWindow(window);
        return nullptr;
    }

    LoadStringA(instance, IDS_CONF_VIEW_WINDOW_CLASS, szWindowClass, ProgramNameSize);
    wcex.lpfnWndProc = ConfViewWndProc;
    if (!RegisterClassExA(&wcex)) {
        StartupError("Conf View Child Window Registration Failed!");
        DestroyWindow(window);
        return nullptr;
    }

    ShowWindow(window, showCommand);
    UpdateWindow(window);
    return window;
}

int RunMessageLoop()
{
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return static_cast<int>(message.wParam);
}

int RunControlPanel(HINSTANCE instance, int showCommand)
{
    if (!StartControlPanel(instance, showCommand))
        return 0;
    return RunMessageLoop();
}

void UnregisterControlPanelClasses(HINSTANCE instance)
{
    for (int id : {IDS_MAIN_WINDOW_CLASS, IDS_I2C_CONTROL_WINDOW_CLASS, IDS_CONF_VIEW_WINDOW_CLASS}) {
        char name[ProgramNameSize] = {};
        LoadStringA(instance, id, name, ProgramNameSize);
        UnregisterClassA(name, instance);
    }
}
