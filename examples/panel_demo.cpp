// panel_demo: drives the control panel from outside the program, the way UI automation does, and
// keeps pictures of what an operator sees. It starts OstrelControlPanel.exe from its own folder,
// then uses window messages only: chooses a log file in the save dialog, connects, starts a
// measurement at divider 1 with logging on, saves the main window while it measures, stops,
// opens the configuration view and saves it, opens the I2C window, reads the first 16 bytes of
// the AFE's memory (slave 0x50) and saves the window with them, and closes the panel.
//
//   panel_demo <output folder> [seconds] [guide]     (default 4 seconds of measuring)
//
// Writes main_window.bmp, configuration_view.bmp and i2c_window.bmp into the output folder and
// the measurement log there too; prints one line per file ("picture: <path>", "log: <path>").
// With "guide" it also keeps the pictures the operator guide shows: the save dialog, the panel
// connected with the AFE record read, an error in the status bar's red form, and a second panel
// started with no AFE plugged (KALVIX_EMULATOR_AFE=0 for the software device).
// Exit code 0 when every step worked.
#include <windows.h>
#include <dlgs.h> // cmb13 and edt1: the file dialog's file name box and its edit

#include "ControlIds.h" // the panel's control ids, which any UI automation names the controls by
#include "I2cWindow.h"  // the I2C window's control ids

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {


std::string Folder;
bool Guide = false; // also the operator guide's pictures

bool Fail(const char* what)
{
    std::fprintf(stderr, "panel_demo: %s\n", what);
    return false;
}

HWND WaitForWindow(const char* className, const char* title, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    do {
        if (HWND window = FindWindowA(className, title))
            return window;
        Sleep(50);
    } while (GetTickCount() - start < timeoutMs);
    return nullptr;
}

bool IsChecked(HWND window, int id)
{
    return SendDlgItemMessageA(window, id, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

// A click the way a person makes it: the button's own click handling, then the panel's
// WM_COMMAND. Sent, so it returns once the panel has handled it.
void Click(HWND window, int id)
{
    DWORD_PTR result = 0;
    SendMessageTimeoutA(GetDlgItem(window, id), BM_CLICK, 0, 0, SMTO_NORMAL, 20000, &result);
}

// A click that opens a modal dialog must not wait for the dialog to close.
void ClickLater(HWND window, int id)
{
    PostMessageA(GetDlgItem(window, id), BM_CLICK, 0, 0);
}

std::string TextOf(HWND window)
{
    char text[1024] = {};
    DWORD_PTR result = 0;
    SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_NORMAL, 5000, &result);
    return text;
}

// The window's pixels as on the screen, into a 24-bit BMP file.
bool SaveWindowPicture(HWND window, const std::string& name)
{
    SetForegroundWindow(window);
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
    Sleep(400);
    RECT rect;
    GetWindowRect(window, &rect);
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height; // bottom-up, as BMP files store rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ former = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    GdiFlush();
    const DWORD rowBytes = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info.bmiHeader;
    file.bfSize = file.bfOffBits + rowBytes * height;
    const std::string path = Folder + name;
    HANDLE out = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    const bool ok = out != INVALID_HANDLE_VALUE && WriteFile(out, &file, sizeof file, &written, nullptr) &&
                    WriteFile(out, &info.bmiHeader, sizeof info.bmiHeader, &written, nullptr) &&
                    WriteFile(out, bits, rowBytes * height, &written, nullptr);
    if (out != INVALID_HANDLE_VALUE)
        CloseHandle(out);
    SelectObject(memory, former);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    if (ok)
        std::printf("picture: %s\n", path.c_str());
    return ok;
}

// The save dialog of the log file button, answered with a file name.
bool ChooseLogFile(HWND panel, const std::string& path)
{
    ClickLater(panel, IdLogFileButton);
    const DWORD asked = GetTickCount();
    HWND dialog = WaitForWindow("#32770", "Select directory and insert file name suffix ...", 120000);
    std::fprintf(stderr, "panel_demo: the log file dialog opened after %lu ms\n", GetTickCount() - asked);
    // The first file dialog of a fresh Wine prefix takes a while to appear.
    if (!dialog)
        return Fail("the log file dialog did not open");
    HWND field = GetDlgItem(dialog, cmb13);
    if (!field)
        field = GetDlgItem(dialog, edt1);
    if (!field)
        return Fail("the log file dialog has no file name box");
    SendMessageA(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
    if (Guide && !SaveWindowPicture(dialog, "save_dialog.bmp"))
        return Fail("the save dialog picture could not be saved");
    PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    const DWORD start = GetTickCount();
    while (IsWindow(dialog) && GetTickCount() - start < 15000)
        Sleep(50);
    return !IsWindow(dialog) || Fail("the log file dialog stayed open");
}

// In the open I2C window, as an operator does: WRITE 0000 to the AFE's memory (slave 0x50) sets
// its address to the start, READ then brings its first 16 bytes. True once the data field shows
// them.
bool ReadAfeMemory(HWND i2c)
{
    SetDlgItemTextA(i2c, IdI2cAddress, "50");
    // Typed, not set: the window counts the pairs as the editor's text changes by typing.
    HWND data = GetDlgItem(i2c, IdI2cData);
    for (const char c : std::string("0000"))
        SendMessageA(data, WM_CHAR, static_cast<WPARAM>(c), 0);
    if (TextOf(GetDlgItem(i2c, IdI2cByteCount)) != "2")
        return Fail("typing 0000 into the I2C window's data field did not make two bytes");
    Click(i2c, IdI2cWrite);
    SetDlgItemTextA(i2c, IdI2cByteCount, "16");
    Click(i2c, IdI2cRead);
    const DWORD start = GetTickCount();
    while (TextOf(GetDlgItem(i2c, IdI2cData)).size() < 32 && GetTickCount() - start < 5000)
        Sleep(50);
    return TextOf(GetDlgItem(i2c, IdI2cData)).size() >= 32;
}

bool RunDemonstration(HWND panel, DWORD measureMs)
{
    if (!ChooseLogFile(panel, Folder + "demo.txt"))
        return false;
    Click(panel, IdConnectDeviceButton);
    if (!IsChecked(panel, IdConnectDeviceButton))
        return Fail("the panel did not connect");
    Sleep(1000); // the device watch reads the AFE record
    if (Guide && !SaveWindowPicture(panel, "afe_read.bmp"))
        return Fail("the connected panel's picture could not be saved");
    Click(panel, IdLogDataButton);
    if (!IsChecked(panel, IdLogDataButton))
        return Fail("logging did not start");
    Click(panel, IdStart);
    if (!IsChecked(panel, IdStart))
        return Fail("the measurement did not start");
    Sleep(measureMs);
    const bool mainSaved = SaveWindowPicture(panel, "main_window.bmp");
    const std::string logLabel = TextOf(GetDlgItem(panel, IdLogFileName));
    Click(panel, IdStart);
    Click(panel, IdLogDataButton);

    Click(panel, IdViewConf);
    HWND view = WaitForWindow(nullptr, "Device Configuration Data", 5000);
    const bool viewSaved = view && SaveWindowPicture(view, "configuration_view.bmp");
    if (view)
        PostMessageA(view, WM_CLOSE, 0, 0);
    Click(panel, IdI2c);
    HWND i2c = WaitForWindow(nullptr, "I2C Bus Control", 5000);
    const bool i2cRead = i2c && ReadAfeMemory(i2c);
    const bool i2cSaved = i2cRead && SaveWindowPicture(i2c, "i2c_window.bmp");
    if (i2c)
        PostMessageA(i2c, WM_CLOSE, 0, 0);

    const std::string prefix = "Log: ";
    const bool logged = logLabel.rfind(prefix, 0) == 0 && logLabel.size() > prefix.size();
    if (logged)
        std::printf("log: %s%s\n", Folder.c_str(), logLabel.substr(prefix.size()).c_str());
    Click(panel, IdConnectDeviceButton);
    // A command the disconnected device cannot take: the library's refusal in the red form,
    // which the status bar keeps for half a second.
    if (Guide) {
        Click(panel, IdBattery);
        if (!SaveWindowPicture(panel, "status_error.bmp"))
            return Fail("the status bar error picture could not be saved");
    }
    if (!mainSaved)
        return Fail("the main window picture could not be saved");
    if (!view || !viewSaved)
        return Fail("the configuration view did not open");
    if (!i2c)
        return Fail("the I2C window did not open");
    if (!i2cRead)
        return Fail("the I2C window's read brought no bytes");
    if (!i2cSaved)
        return Fail("the I2C window's picture could not be saved");
    return logged || Fail("no log file was written");
}

// The panel connected to a device with no AFE plugged.
bool ShowMissingAfe(HWND panel)
{
    Click(panel, IdConnectDeviceButton);
    if (!IsChecked(panel, IdConnectDeviceButton))
        return Fail("the panel did not connect");
    Sleep(1000); // the device watch sees the presence line
    const bool saved = SaveWindowPicture(panel, "afe_missing.bmp");
    Click(panel, IdConnectDeviceButton);
    return saved || Fail("the picture without AFE could not be saved");
}

// Starts OstrelControlPanel.exe from this program's folder, runs `steps` on its main window, and
// closes it again.
template <typename Steps>
bool RunPanel(Steps steps)
{
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string program(self);
    program = program.substr(0, program.find_last_of('\\') + 1) + "OstrelControlPanel.exe";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::vector<char> command(program.begin(), program.end());
    command.push_back('\0');
    if (!CreateProcessA(program.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return Fail("OstrelControlPanel.exe could not be started");
    WaitForInputIdle(process.hProcess, 10000);
    HWND panel = WaitForWindow("MainWindowClass", nullptr, 15000);
    const bool ok = panel ? steps(panel) : Fail("the panel's window did not appear");
    if (panel)
        PostMessageA(panel, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process.hProcess, 15000) != WAIT_OBJECT_0) {
        Fail("the panel did not end; ending it");
        TerminateProcess(process.hProcess, 1);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: panel_demo <output folder> [seconds] [guide]\n");
        return 2;
    }
    Folder = argv[1];
    if (!Folder.empty() && Folder.back() != '\\')
        Folder += '\\';
    const DWORD measureMs = static_cast<DWORD>((argc > 2 ? std::atof(argv[2]) : 4.0) * 1000.0);

    Guide = argc > 3 && std::strcmp(argv[3], "guide") == 0;
    bool ok = RunPanel([measureMs](HWND panel) { return RunDemonstration(panel, measureMs); });
    if (ok && Guide) {
        SetEnvironmentVariableA("KALVIX_EMULATOR_AFE", "0");
        ok = RunPanel([](HWND panel) { return ShowMissingAfe(panel); });
    }
    return ok ? 0 : 1;
}
