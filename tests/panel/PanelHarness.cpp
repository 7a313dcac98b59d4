#include "PanelHarness.h"

#include "ProgramStart.h"

#include <commctrl.h>

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
        PumpUntil(NothingToPaint, 5000);
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

bool NothingToPaint()
{
    return (HIWORD(GetQueueStatus(QS_PAINT)) & QS_PAINT) == 0;
}

Picture CaptureWindow(HWND window)
{
    RECT rect{};
    GetWindowRect(window, &rect);
    HDC dc = GetWindowDC(window);
    Picture picture = CopyPicture(dc, 0, 0, rect.right - rect.left, rect.bottom - rect.top);
    ReleaseDC(window, dc);
    return picture;
}

Picture CaptureClient(HWND window)
{
    RECT client{};
    GetClientRect(window, &client);
    HDC dc = GetDC(window);
    Picture picture = CopyPicture(dc, 0, 0, client.right, client.bottom);
    ReleaseDC(window, dc);
    return picture;
}
