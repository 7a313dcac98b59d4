#include "MessageBoxes.h"

#include <algorithm>
#include <utility>

namespace {

BoxCatcher* Active = nullptr;

constexpr int MessageTextId = 0xFFFF;
// The icon control's id differs between systems.
constexpr int MessageIconIds[] = {0x14, 0x440};
// The file name box of an open or save dialog: the combo box of the explorer style, or the plain
// edit box.
constexpr int FileNameComboId = 0x47C;
constexpr int FileNameEditId = 0x480;

std::string TextOf(HWND window)
{
    char text[1024] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

bool IsDialog(HWND window)
{
    char name[16] = {};
    GetClassNameA(window, name, sizeof name);
    return std::string(name) == "#32770";
}

HWND FileNameField(HWND dialog)
{
    HWND combo = GetDlgItem(dialog, FileNameComboId);
    return combo ? combo : GetDlgItem(dialog, FileNameEditId);
}

UINT ButtonsOf(HWND box)
{
    auto has = [box](int id) { return GetDlgItem(box, id) != nullptr; };
    const UINT help = has(IDHELP) ? MB_HELP : 0;
    if (has(IDYES))
        return help | (has(IDCANCEL) ? MB_YESNOCANCEL : MB_YESNO);
    if (has(IDABORT))
        return help | MB_ABORTRETRYIGNORE;
    if (has(IDTRYAGAIN))
        return help | MB_CANCELTRYCONTINUE;
    if (has(IDRETRY))
        return help | MB_RETRYCANCEL;
    return help | (has(IDCANCEL) ? MB_OKCANCEL : MB_OK);
}

UINT IconOf(HWND box)
{
    HICON icon = nullptr;
    for (int id : MessageIconIds)
        if (!icon && GetDlgItem(box, id))
            icon = reinterpret_cast<HICON>(SendDlgItemMessageA(box, id, STM_GETICON, 0, 0));
    if (!icon)
        return 0;
    const std::pair<LPCSTR, UINT> standard[] = {
        {IDI_HAND, MB_ICONHAND}, {IDI_QUESTION, MB_ICONQUESTION},
        {IDI_EXCLAMATION, MB_ICONEXCLAMATION}, {IDI_ASTERISK, MB_ICONASTERISK}};
    for (const auto& [name, flag] : standard)
        if (icon == LoadIconA(nullptr, name))
            return flag;
    return MB_USERICON;
}

// The default button's place among the buttons counted from the left, as MB_DEFBUTTONn.
UINT DefaultButtonOf(HWND box)
{
    std::vector<std::pair<LONG, bool>> buttons; // left edge, default
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        const int id = GetDlgCtrlID(child);
        if (id < IDOK || id > IDCONTINUE)
            continue;
        RECT rect{};
        GetWindowRect(child, &rect);
        buttons.push_back({rect.left, (GetWindowLongA(child, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON});
    }
    std::sort(buttons.begin(), buttons.end());
    for (size_t i = 0; i < buttons.size(); ++i)
        if (buttons[i].second)
            return static_cast<UINT>(i) << 8;
    return MB_DEFBUTTON1;
}

} // namespace

CaughtBox ReadMessageBox(HWND box)
{
    char text[1024] = {};
    GetDlgItemTextA(box, MessageTextId, text, sizeof text);
    return {text, TextOf(box), GetWindow(box, GW_OWNER), ButtonsOf(box) | IconOf(box) | DefaultButtonOf(box)};
}

void AnswerMessageBox(HWND box, bool yes)
{
    PostMessageA(box, WM_COMMAND, GetDlgItem(box, IDYES) ? (yes ? IDYES : IDNO) : IDOK, 0);
}

BoxCatcher::BoxCatcher()
{
    Active = this;
    hook = SetWindowsHookExA(WH_CBT, Catch, nullptr, GetCurrentThreadId());
}

BoxCatcher::~BoxCatcher()
{
    UnhookWindowsHookEx(hook);
    Active = nullptr;
}

std::vector<CaughtBox> BoxCatcher::Take()
{
    return std::exchange(boxes, {});
}

// A dialog is answered as it is first activated, when it shows its text and controls.
LRESULT CALLBACK BoxCatcher::Catch(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_ACTIVATE && Active && IsDialog(reinterpret_cast<HWND>(wParam)))
        Active->Answer(reinterpret_cast<HWND>(wParam));
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

void BoxCatcher::Answer(HWND dialog)
{
    if (HWND field = FileNameField(dialog)) {
        titles.push_back(TextOf(dialog));
        if (queued.empty()) {
            PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
            return;
        }
        SetWindowTextA(field, queued.front().c_str());
        queued.erase(queued.begin());
        PostMessageA(dialog, WM_COMMAND, IDOK, 0);
        return;
    }
    boxes.push_back(ReadMessageBox(dialog));
    AnswerMessageBox(dialog, answerYes);
}
