#include "I2cWindow.h"

#include "ControlIds.h"
#include "GdiOwners.h"
#include "GlobalCtrl.h"
#include "I2cText.h"
#include "LibraryBinding.h"
#include "OwnedWindow.h"
#include "ResourceIds.h"
#include "StatusBar.h"
#include "WindowDpi.h"

#include <cstring>
#include <new>
#include <utility>

namespace {

constexpr size_t I2cDataSize = 100;

// What the open window holds, made in WM_CREATE and freed in WM_DESTROY.
struct I2cWindowState {
    GlobalCtrl* Ctrl;            // the record the window was created with
    uint32_t TransferRecord[3];
    uint8_t Data[I2cDataSize];   // the bytes of one transfer
    OwnedFont EditorFont;        // Fixedsys, the data editor
    OwnedFont LabelFont;         // Tahoma, the buttons, fields and labels
    DpiScale Scale;              // the controls' places and the fonts are at it
};

constexpr OwnedWindowPlan I2cPlan{IDS_I2C_CONTROL_WINDOW_CLASS, "I2C Bus Control", 285, 182, IdI2c};

// Fixedsys at its default height (0) at the factor 1, else from its 15-pixel cell at 96 DPI.
constexpr int FixedsysCellHeight = 15;

I2cWindowState* StateOf(HWND window)
{
    return reinterpret_cast<I2cWindowState*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

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
    {IdI2cData, "EDIT", "", ES_MULTILINE | ES_UPPERCASE | LayoutEditBit, WS_EX_CLIENTEDGE, 7, 50, 265, 100},
    {IdI2cWrite, "BUTTON", "WRITE", 0, 0, 7, 10, 50, 30},
    {IdI2cRead, "BUTTON", "READ", 0, 0, 67, 10, 50, 30},
    {IdI2cAddress, "EDIT", "7F", ES_UPPERCASE | LayoutEditBit, WS_EX_CLIENTEDGE, 252, 15, 20, 20},
    {IdI2cByteCount, "EDIT", "0", ES_NUMBER | LayoutEditBit, WS_EX_CLIENTEDGE, 167, 15, 20, 20},
    {IdI2cBytesLabel, "STATIC", "BYTES", 0, 0, 127, 17, 38, 17},
    {IdI2cAddressLabel, "STATIC", "ADDR[0x]", 0, 0, 198, 17, 53, 17},
};

ScaledRect Rect96(const I2cControl& control)
{
    return ScaledRect{control.X, control.Y, control.Width, control.Height};
}

// The fonts made for the window's scale and given to the controls; the former ones are deleted
// after the controls have the new ones.
void SetFonts(HWND window, I2cWindowState& state)
{
    OwnedFont editor =
        MakeOwnedFont(state.Scale == DpiScale{} ? 0 : ScaleFontHeight(state.Scale, FixedsysCellHeight), "Fixedsys", ANSI_CHARSET);
    SendDlgItemMessageA(window, IdI2cData, WM_SETFONT, reinterpret_cast<WPARAM>(editor.Get()), TRUE);
    OwnedFont labels = MakeOwnedFont(ScaleFontHeight(state.Scale, 13), "Tahoma", ANSI_CHARSET);
    for (int id = IdI2cWrite; id <= IdI2cAddressLabel; ++id)
        SendDlgItemMessageA(window, id, WM_SETFONT, reinterpret_cast<WPARAM>(labels.Get()), TRUE);
    state.EditorFont = std::move(editor);
    state.LabelFont = std::move(labels);
}

void CreateControls(HWND window, HINSTANCE instance, I2cWindowState& state)
{
    for (const I2cControl& control : Controls) {
        const ScaledRect r = ScaleRect(state.Scale, Rect96(control));
        CreateWindowExA(control.ExStyle, control.ClassName, control.Text, WS_CHILD | WS_VISIBLE | control.Style, r.X,
                        r.Y, r.Width, r.Height, window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(control.Id)),
                        instance, nullptr);
    }
    SetFonts(window, state);
}

void OnDpiChanged(HWND window, WPARAM wParam, LPARAM lParam)
{
    I2cWindowState* state = StateOf(window);
    if (!state)
        return;
    state->Scale = FollowOwnedDpiChange(window, I2cPlan, wParam, lParam);
    for (const I2cControl& control : Controls)
        PlaceChildAtScale(GetDlgItem(window, control.Id), state->Scale, Rect96(control));
    SetFonts(window, *state);
}

// WM_DESTROY comes both after WM_CLOSE and when the owner takes the window down with it.
void OnDestroy(HWND window)
{
    I2cWindowState* state = StateOf(window);
    if (!state)
        return;
    SetWindowLongPtrA(window, GWLP_USERDATA, 0);
    if (state->Ctrl->I2cWindow == window)
        state->Ctrl->I2cWindow = nullptr;
    delete state; // its fonts with it
}

LRESULT OnCreate(HWND window, const CREATESTRUCTA* create)
{
    I2cWindowState* state = new (std::nothrow) I2cWindowState{};
    if (!state)
        return -1; // the window is not made
    state->Ctrl = static_cast<GlobalCtrl*>(create->lpCreateParams);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state));
    state->Ctrl->I2cWindow = window;
    state->Scale = OwnedWindowScale(window, I2cPlan);
    CreateControls(window, create->hInstance, *state);
    return 0;
}

void OnClose(HWND window)
{
    if (const I2cWindowState* state = StateOf(window))
        EnableOpener(state->Ctrl, IdI2c);
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
void UpdatePairCount(HWND window, I2cWindowState& state)
{
    const int length = GetWindowTextLengthA(GetDlgItem(window, IdI2cData));
    state.TransferRecord[I2cByteCountWord] = HexPairCount(length > 0 ? static_cast<size_t>(length) : 0);
    SetDlgItemInt(window, IdI2cByteCount, state.TransferRecord[I2cByteCountWord], FALSE);
}

// Two characters of the address field, "%2X" converted into the record.
bool ReadSlaveAddress(HWND window, I2cWindowState& state)
{
    char text[3] = {};
    GetDlgItemTextA(window, IdI2cAddress, text, sizeof text);
    uint8_t address = 0;
    if (!ScanHexByte(text, address))
        return false;
    state.TransferRecord[I2cSlaveAddressWord] = address;
    return true;
}

bool Transfer(I2cWindowState& state, uint32_t writeFlag)
{
    state.TransferRecord[I2cWriteFlagWord] = writeFlag;
    if (const char* text = CallKalvix(CMD_I2C_TRANSFER, 0, state.TransferRecord, state.Data)) {
        ShowStatusMessage(state.Ctrl->MainWindow, text, 0);
        return false;
    }
    return true;
}

void Write(HWND window, I2cWindowState& state)
{
    std::memset(state.Data, 0, sizeof state.Data);
    const uint32_t count = state.TransferRecord[I2cByteCountWord];
    if (ShowInputError(window, CheckWriteByteCount(count)))
        return;
    if (!ReadSlaveAddress(window, state)) {
        ShowInputError(window, I2cInputError::NoSlaveAddress);
        return;
    }
    // 2n + 1 characters, so the last pair's conversion sees what follows it as well.
    char text[ScratchTextSize] = {};
    GetDlgItemTextA(window, IdI2cData, text, static_cast<int>(2 * count + 2));
    // A pair that is not hexadecimal abandons the write: nothing half-converted is sent.
    if (ScanHexPairs(text, count, state.Data) < count) {
        ShowInputError(window, I2cInputError::NotHexData);
        return;
    }
    Transfer(state, 1);
}

void Read(HWND window, I2cWindowState& state)
{
    std::memset(state.Data, 0, sizeof state.Data);
    char text[ScratchTextSize] = {};
    GetDlgItemTextA(window, IdI2cByteCount, text, sizeof text);
    const uint32_t count = ReadByteCountText(text);
    state.TransferRecord[I2cByteCountWord] = count;
    if (ShowInputError(window, CheckReadByteCount(count)))
        return;
    if (!ReadSlaveAddress(window, state)) {
        ShowInputError(window, I2cInputError::NoSlaveAddress);
        return;
    }
    if (!Transfer(state, 0))
        return;
    TextSink sink = MakeTextSink(text, sizeof text);
    FormatHexBytes(sink, state.Data, count);
    SetDlgItemTextA(window, IdI2cData, "");
    SetDlgItemTextA(window, IdI2cData, text);
    // A multi-line edit sends no change notification for a text set this way, so the pair
    // count (n again) is taken here.
    UpdatePairCount(window, state);
}

void OnCommand(HWND window, int id, int notification)
{
    // Nothing to act on before the window has its record or after it has let go of it.
    I2cWindowState* state = StateOf(window);
    if (!state)
        return;
    if (id == IdI2cData && notification == EN_UPDATE)
        UpdatePairCount(window, *state);
    else if (id == IdI2cWrite)
        Write(window, *state);
    else if (id == IdI2cRead)
        Read(window, *state);
}

} // namespace

const uint32_t* I2cTransferRecordOf(HWND i2cWindow)
{
    const I2cWindowState* state = StateOf(i2cWindow);
    return state ? state->TransferRecord : nullptr;
}

void OpenI2cWindow(GlobalCtrl* ctrl)
{
    // One window at a time.
    if (ctrl->I2cWindow)
        return;
    OpenOwnedWindow(ctrl, I2cPlan);
}

LRESULT CALLBACK I2CControlWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        return OnCreate(window, reinterpret_cast<const CREATESTRUCTA*>(lParam));
    case WM_COMMAND:
        OnCommand(window, LOWORD(wParam), HIWORD(wParam));
        return 0;
    case WM_DPICHANGED:
        OnDpiChanged(window, wParam, lParam);
        return 0;
    case WM_CLOSE:
        OnClose(window);
        return 0;
    case WM_DESTROY:
        OnDestroy(window);
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}
