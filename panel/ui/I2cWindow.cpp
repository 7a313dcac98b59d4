#include "I2cWindow.h"

#include "ControlIds.h"
#include "GlobalCtrl.h"
#include "I2cText.h"
#include "LibraryBinding.h"
#include "OwnedWindow.h"
#include "ResourceIds.h"
#include "StatusBar.h"

#include <cstring>
#include <new>

uint32_t I2cTransferRecord[3] = {0, 0, 0};

namespace {

constexpr size_t I2cDataSize = 100;
constexpr DWORD UnnamedEditBit = 0x0200; // carried by every edit field of the program's layouts

// What the one open window holds; everything is released when it closes or is destroyed.
GlobalCtrl* I2cCtrl = nullptr;
uint8_t* I2cData = nullptr;
HFONT EditorFont = nullptr; // Fixedsys, the data editor
HFONT LabelFont = nullptr;  // Tahoma, the buttons, fields and labels

struct I2cControl {
    int Id;
    const char* ClassName;
    const char* Text;
    DWORD Style;
    DWORD ExStyle;
    int X, Y, Width, Height;
};

// In creation order; the editor's font is set right after it, the others' after the last one.
constexpr I2cControl Controls[] = {
    {IdI2cData, "EDIT", "", ES_MULTILINE | ES_UPPERCASE | UnnamedEditBit, WS_EX_CLIENTEDGE, 7, 50, 265, 100},
    {IdI2cWrite, "BUTTON", "WRITE", 0, 0, 7, 10, 50, 30},
    {IdI2cRead, "BUTTON", "READ", 0, 0, 67, 10, 50, 30},
    {IdI2cAddress, "EDIT", "7F", ES_UPPERCASE | UnnamedEditBit, WS_EX_CLIENTEDGE, 252, 15, 20, 20},
    {IdI2cByteCount, "EDIT", "0", ES_NUMBER | UnnamedEditBit, WS_EX_CLIENTEDGE, 167, 15, 20, 20},
    {IdI2cBytesLabel, "STATIC", "BYTES", 0, 0, 127, 17, 38, 17},
    {IdI2cAddressLabel, "STATIC", "ADDR[0x]", 0, 0, 198, 17, 53, 17},
};

HFONT MakeFont(int height, const char* face)
{
    return CreateFontA(height, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, face);
}

void CreateControls(HWND window, HINSTANCE instance)
{
    for (const I2cControl& control : Controls) {
        HWND child = CreateWindowExA(control.ExStyle, control.ClassName, control.Text,
                                     WS_CHILD | WS_VISIBLE | control.Style, control.X, control.Y, control.Width,
                                     control.Height, window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(control.Id)),
                                     instance, nullptr);
        if (control.Id == IdI2cData) {
            EditorFont = MakeFont(0, "Fixedsys");
            SendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(EditorFont), TRUE);
        }
    }
    LabelFont = MakeFont(13, "Tahoma");
    for (int id = IdI2cWrite; id <= IdI2cAddressLabel; ++id)
        SendDlgItemMessageA(window, id, WM_SETFONT, reinterpret_cast<WPARAM>(LabelFont), TRUE);
}

// Both ways out (WM_CLOSE, and WM_DESTROY when the owner takes the window down with it) come
// here; the second call finds nothing left to release.
void ReleaseWindowState(HWND window)
{
    for (HFONT* font : {&EditorFont, &LabelFont}) {
        if (*font)
            DeleteObject(*font);
        *font = nullptr;
    }
    if (I2cCtrl && I2cCtrl->I2cWindow == window)
        I2cCtrl->I2cWindow = nullptr;
    delete[] I2cData;
    I2cData = nullptr;
    I2cCtrl = nullptr;
}

LRESULT OnCreate(HWND window, const CREATESTRUCTA* create)
{
    I2cCtrl = static_cast<GlobalCtrl*>(create->lpCreateParams);
    I2cCtrl->I2cWindow = window;
    I2cTransferRecord[I2cByteCountWord] = 0;
    I2cData = new (std::nothrow) uint8_t[I2cDataSize];
    if (!I2cData) {
        SendMessageA(window, WM_CLOSE, 0, 0);
        return 0;
    }
    CreateControls(window, create->hInstance);
    return 0;
}

void OnClose(HWND window)
{
    if (I2cCtrl)
        EnableOpener(I2cCtrl, IdI2c);
    ReleaseWindowState(window);
    DestroyWindow(window);
}

bool ShowInputError(HWND window, I2cInputError error)
{
    if (error == I2cInputError::None)
        return false;
    MessageBoxA(window, I2cInputErrorText(error), "Error", MB_ICONERROR);
    return true;
}

// The pair count of the editor, kept in the record and shown in BYTES.
void UpdatePairCount(HWND window)
{
    const int length = GetWindowTextLengthA(GetDlgItem(window, IdI2cData));
    I2cTransferRecord[I2cByteCountWord] = HexPairCount(length > 0 ? static_cast<size_t>(length) : 0);
    SetDlgItemInt(window, IdI2cByteCount, I2cTransferRecord[I2cByteCountWord], FALSE);
}

// Two characters of the address field, "%2X" converted into the record.
bool ReadSlaveAddress(HWND window)
{
    GetDlgItemTextA(window, IdI2cAddress, I2cCtrl->Text, 3);
    uint8_t address = 0;
    if (!ScanHexByte(I2cCtrl->Text, address))
        return false;
    I2cTransferRecord[I2cSlaveAddressWord] = address;
    return true;
}

bool Transfer(uint32_t writeFlag)
{
    I2cTransferRecord[I2cWriteFlagWord] = writeFlag;
    if (char* text = CallKalvix(CMD_I2C_TRANSFER, 0, I2cTransferRecord, I2cData)) {
        ShowStatusMessage(I2cCtrl->MainWindow, text, 0);
        return false;
    }
    return true;
}

void Write(HWND window)
{
    std::memset(I2cData, 0, I2cDataSize);
    const uint32_t count = I2cTransferRecord[I2cByteCountWord];
    if (ShowInputError(window, CheckWriteByteCount(count)))
        return;
    if (!ReadSlaveAddress(window)) {
        ShowInputError(window, I2cInputError::NoSlaveAddress);
        return;
    }
    // 2n + 1 characters, so the last pair's conversion sees what follows it as well.
    GetDlgItemTextA(window, IdI2cData, I2cCtrl->Text, static_cast<int>(2 * count + 2));
    // A pair that is not hexadecimal abandons the write: nothing half-converted is sent.
    if (ScanHexPairs(I2cCtrl->Text, count, I2cData) < count) {
        ShowInputError(window, I2cInputError::NotHexData);
        return;
    }
    Transfer(1);
}

void Read(HWND window)
{
    std::memset(I2cData, 0, I2cDataSize);
    GetDlgItemTextA(window, IdI2cByteCount, I2cCtrl->Text, ScratchTextSize);
    const uint32_t count = ReadByteCountText(I2cCtrl->Text);
    I2cTransferRecord[I2cByteCountWord] = count;
    if (ShowInputError(window, CheckReadByteCount(count)))
        return;
    if (!ReadSlaveAddress(window)) {
        ShowInputError(window, I2cInputError::NoSlaveAddress);
        return;
    }
    if (!Transfer(0))
        return;
    TextSink sink = MakeTextSink(I2cCtrl->Text, ScratchTextSize);
    FormatHexBytes(sink, I2cData, count);
    SetDlgItemTextA(window, IdI2cData, "");
    SetDlgItemTextA(window, IdI2cData, I2cCtrl->Text);
    // A multi-line edit sends no change notification for a text set this way, so the pair
    // count (n again) is taken here.
    UpdatePairCount(window);
}

void OnCommand(HWND window, int id, int notification)
{
    // Nothing to act on before the controls exist or after the window has let go of its state.
    if (!I2cCtrl || !I2cData)
        return;
    if (id == IdI2cData && notification == EN_UPDATE)
        UpdatePairCount(window);
    else if (id == IdI2cWrite)
        Write(window);
    else if (id == IdI2cRead)
        Read(window);
}

} // namespace

void OpenI2cWindow(GlobalCtrl* ctrl)
{
    // One window at a time: its state is program-wide.
    if (ctrl->I2cWindow)
        return;
    OpenOwnedWindow(ctrl, OwnedWindowPlan{IDS_I2C_CONTROL_WINDOW_CLASS, "I2C Bus Control", 285, 182, IdI2c});
}

LRESULT CALLBACK I2CControlWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        return OnCreate(window, reinterpret_cast<const CREATESTRUCTA*>(lParam));
    case WM_COMMAND:
        OnCommand(window, LOWORD(wParam), HIWORD(wParam));
        return 0;
    case WM_CLOSE:
        OnClose(window);
        return 0;
    case WM_DESTROY:
        ReleaseWindowState(window);
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}
