#include "PanelHarness.h"

#include "ProgramStart.h"

#include <commctrl.h>

#include <cstdio>
#include <mutex>

namespace {

HHOOK CatcherHook = nullptr;
std::vector<CaughtBox>* CatcherBoxes = nullptr;

struct FileDialogState {
    std::vector<std::string> titles;
    std::vector<std::string> queued;
    bool answerYes = true;
};
FileDialogState* CatcherDialogs = nullptr;

// The file name box of an open or save dialog: the combo box of the explorer style, or the plain
// edit box.
constexpr int FileNameComboId = 0x47C;
constexpr int FileNameEditId = 0x480;

bool IsFileDialog(HWND box)
{
    return GetDlgItem(box, FileNameComboId) || GetDlgItem(box, FileNameEditId);
}

void AnswerFileDialog(HWND box)
{
    char title[256] = {};
    GetWindowTextA(box, title, sizeof title);
    CatcherDialogs->titles.push_back(title);
    if (CatcherDialogs->queued.empty()) {
        PostMessageA(box, WM_COMMAND, IDCANCEL, 0);
        return;
    }
    const std::string name = CatcherDialogs->queued.front();
    CatcherDialogs->queued.erase(CatcherDialogs->queued.begin());
    HWND field = GetDlgItem(box, FileNameComboId) ? GetDlgItem(box, FileNameComboId) : GetDlgItem(box, FileNameEditId);
    SetWindowTextA(field, name.c_str());
    PostMessageA(box, WM_COMMAND, IDOK, 0);
}

constexpr int MessageTextId = 0xFFFF;
// The icon control's id differs between systems.
constexpr int MessageIconIds[] = {0x14, 0x440};

LRESULT CALLBACK CatchBoxes(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_ACTIVATE && CatcherBoxes) {
        HWND box = reinterpret_cast<HWND>(wParam);
        if (ClassNameOf(box) == "#32770" && IsFileDialog(box)) {
            AnswerFileDialog(box);
        } else if (ClassNameOf(box) == "#32770") {
            CaughtBox caught{};
            char text[1024] = {};
            GetDlgItemTextA(box, MessageTextId, text, sizeof text);
            caught.Text = text;
            caught.Caption = WindowText(box);
            caught.Owner = GetWindow(box, GW_OWNER);
            HICON icon = nullptr;
            for (int id : MessageIconIds)
                if (!icon && GetDlgItem(box, id))
                    icon = reinterpret_cast<HICON>(SendDlgItemMessageA(box, id, STM_GETICON, 0, 0));
            caught.ErrorIcon = icon && icon == LoadIconA(nullptr, IDI_HAND);
            caught.WarningIcon = icon && icon == LoadIconA(nullptr, IDI_EXCLAMATION);
            CatcherBoxes->push_back(caught);
            if (GetDlgItem(box, IDYES))
                PostMessageA(box, WM_COMMAND, CatcherDialogs->answerYes ? IDYES : IDNO, 0);
            else
                PostMessageA(box, WM_COMMAND, IDOK, 0);
        }
    }
    return CallNextHookEx(CatcherHook, code, wParam, lParam);
}

} // namespace

BoxCatcher::BoxCatcher()
{
    CatcherBoxes = new std::vector<CaughtBox>();
    CatcherDialogs = new FileDialogState();
    CatcherHook = SetWindowsHookExA(WH_CBT, CatchBoxes, nullptr, GetCurrentThreadId());
}

BoxCatcher::~BoxCatcher()
{
    UnhookWindowsHookEx(CatcherHook);
    CatcherHook = nullptr;
    delete CatcherBoxes;
    CatcherBoxes = nullptr;
    delete CatcherDialogs;
    CatcherDialogs = nullptr;
}

std::vector<std::string> BoxCatcher::FileDialogTitles() const
{
    return CatcherDialogs->titles;
}

void BoxCatcher::QueueFileName(const std::string& path)
{
    CatcherDialogs->queued.push_back(path);
}

void BoxCatcher::AnswerYes(bool yes)
{
    CatcherDialogs->answerYes = yes;
}

std::vector<CaughtBox> BoxCatcher::Boxes() const
{
    return *CatcherBoxes;
}

void PumpFor(DWORD milliseconds)
{
    DWORD start = GetTickCount();
    do {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT)
                continue;
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        Sleep(5);
    } while (GetTickCount() - start < milliseconds);
}

bool PumpUntil(const std::function<bool()>& condition, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    while (!condition()) {
        if (GetTickCount() - start > timeoutMs)
            return condition();
        PumpFor(10);
    }
    return true;
}

void DrainQuit()
{
    MSG message;
    while (PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
}

HWND OpenPanel()
{
    HWND window = StartControlPanel(GetModuleHandleA(nullptr), SW_SHOW);
    DrainQuit();
    if (window) {
        SetForegroundWindow(window);
        PumpFor(100);
    }
    return window;
}

void ClosePanel(HWND mainWindow)
{
    if (mainWindow && IsWindow(mainWindow))
        DestroyWindow(mainWindow);
    DrainQuit();
    UnregisterControlPanelClasses(GetModuleHandleA(nullptr));
}

RECT ControlRectInClient(HWND mainWindow, int id)
{
    RECT rect{};
    GetWindowRect(GetDlgItem(mainWindow, id), &rect);
    MapWindowPoints(nullptr, mainWindow, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

std::string WindowText(HWND window)
{
    char text[1024] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

std::string ClassNameOf(HWND window)
{
    char name[256] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

std::string StatusPartText(HWND mainWindow, int part)
{
    HWND bar = GetDlgItem(mainWindow, 1100);
    LRESULT length = SendMessageA(bar, SB_GETTEXTLENGTHA, part, 0);
    std::string text(LOWORD(length) + 1, '\0');
    SendMessageA(bar, SB_GETTEXTA, part, reinterpret_cast<LPARAM>(text.data()));
    text.resize(LOWORD(length));
    return text;
}

HICON StatusPartIcon(HWND mainWindow, int part)
{
    return reinterpret_cast<HICON>(SendDlgItemMessageA(mainWindow, 1100, SB_GETICON, part, 0));
}

std::string TestFolder()
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path);
    return folder.substr(0, folder.find_last_of('\\') + 1);
}

uint32_t Capture::AtClient(int x, int y) const
{
    int cx = ClientOrigin.x + x;
    int cy = ClientOrigin.y + y;
    if (cx < 0 || cy < 0 || cx >= Width || cy >= Height)
        return 0xFFFFFFFF;
    return Pixels[static_cast<size_t>(cy) * Width + cx];
}

Capture CaptureWindow(HWND window)
{
    Capture capture;
    RECT rect;
    GetWindowRect(window, &rect);
    capture.Width = rect.right - rect.left;
    capture.Height = rect.bottom - rect.top;
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    capture.ClientOrigin = POINT{origin.x - rect.left, origin.y - rect.top};

    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = capture.Width;
    info.bmiHeader.biHeight = -capture.Height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ former = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, capture.Width, capture.Height, screen, rect.left, rect.top, SRCCOPY);
    GdiFlush();
    const uint32_t* source = static_cast<const uint32_t*>(bits);
    capture.Pixels.assign(source, source + static_cast<size_t>(capture.Width) * capture.Height);
    for (uint32_t& pixel : capture.Pixels)
        pixel &= 0x00FFFFFF;
    SelectObject(memory, former);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return capture;
}

bool SaveBmp(const Capture& capture, const std::string& path)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    BITMAPFILEHEADER fileHeader{};
    BITMAPINFOHEADER header{};
    uint32_t imageSize = static_cast<uint32_t>(capture.Pixels.size() * 4);
    fileHeader.bfType = 0x4D42;
    fileHeader.bfOffBits = sizeof fileHeader + sizeof header;
    fileHeader.bfSize = fileHeader.bfOffBits + imageSize;
    header.biSize = sizeof header;
    header.biWidth = capture.Width;
    header.biHeight = -capture.Height;
    header.biPlanes = 1;
    header.biBitCount = 32;
    header.biCompression = BI_RGB;
    header.biSizeImage = imageSize;
    bool written = std::fwrite(&fileHeader, sizeof fileHeader, 1, file) == 1 &&
                   std::fwrite(&header, sizeof header, 1, file) == 1 &&
                   std::fwrite(capture.Pixels.data(), 4, capture.Pixels.size(), file) == capture.Pixels.size();
    return std::fclose(file) == 0 && written;
}

bool IsRedPixel(uint32_t rgb)
{
    uint32_t red = (rgb >> 16) & 0xFF, green = (rgb >> 8) & 0xFF, blue = rgb & 0xFF;
    return red > 200 && green < 60 && blue < 60;
}
