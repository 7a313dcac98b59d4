// The main window as the operator first sees it: every control in its place with its class,
// caption, kind, initial state and font.
#include "PanelHarness.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <cstring>

namespace {

struct Expected {
    int Id;
    const char* ClassName;
    const char* Caption;
    DWORD StyleBits;  // must all be set
    int X, Y, W, H;
};

constexpr DWORD Toggle = BS_AUTOCHECKBOX | BS_PUSHLIKE;
constexpr DWORD Track = TBS_VERT | TBS_LEFT | TBS_AUTOTICKS | TBS_FIXEDLENGTH;

const Expected Controls[] = {
    {1160, "Button", "", BS_GROUPBOX, 10, 8, 180, 43},
    {1101, "Button", "Interface Control", BS_GROUPBOX, 10, 53, 180, 149},
    {1102, "Button", "CONNECT DEVICE", Toggle, 20, 70, 160, 30},
    {1103, "Button", "Display Data", BS_AUTOCHECKBOX, 20, 110, 90, 20},
    {1104, "Button", "Enable AFE Detection", BS_AUTOCHECKBOX, 20, 135, 130, 20},
    {1105, "Button", "VIEW CONF", BS_PUSHBUTTON, 20, 162, 75, 30},
    {1155, "Button", "10X", Toggle, 105, 162, 75, 30},
    {1106, "Button", "Device Configuration Data and Logging", BS_GROUPBOX, 200, 10, 290, 192},
    {1161, "Button", "", BS_ICON, 210, 30, 30, 30},
    {1107, "Edit", "Select file ...", ES_READONLY | ES_AUTOHSCROLL | 0x0200, 250, 30, 228, 30},
    {1149, "Button", "LD SHUNT", BS_PUSHBUTTON, 210, 70, 60, 30},
    {1150, "Button", "LD COMP", BS_PUSHBUTTON, 280, 70, 60, 30},
    {1151, "Button", "LD DAC", BS_PUSHBUTTON, 350, 70, 60, 30},
    {1152, "Button", "LD PHASE", BS_PUSHBUTTON, 420, 70, 60, 30},
    {1163, "Static", "", SS_SUNKEN, 210, 110, 270, 2},
    {1162, "Button", "", BS_ICON, 210, 122, 30, 30},
    {1108, "Edit", "Select log file directory ...", ES_READONLY | ES_AUTOHSCROLL | 0x0200, 250, 122, 228, 30},
    {1109, "Button", "LOG DATA", Toggle, 210, 162, 100, 30},
    {1110, "Static", "Log Entry Count:", SS_LEFT, 320, 162, 158, 15},
    {1111, "Static", "Log:", SS_ENDELLIPSIS, 320, 177, 158, 15},
    {1132, "Static", "Y Scale: MAX MIN", SS_LEFT, 500, 314, 105, 17},
    {1133, "Edit", "1100 900", 0x0200, 610, 312, 110, 18},
    {1134, "Button", "Fixed Scale", BS_AUTOCHECKBOX, 725, 311, 80, 20},
    {1135, "Button", "X Logarithmic Scale", BS_AUTOCHECKBOX, 805, 311, 115, 20},
    {1136, "Button", "Y Logarithmic Scale", BS_AUTOCHECKBOX, 930, 311, 115, 20},
    {1137, "Static", "Y Scale: MAX MIN", SS_LEFT, 500, 644, 105, 17},
    {1138, "Edit", "2 -2", 0x0200, 610, 642, 110, 18},
    {1139, "Button", "Fixed Scale", BS_AUTOCHECKBOX, 725, 641, 80, 20},
    {1140, "Button", "X Logarithmic Scale", BS_AUTOCHECKBOX, 805, 641, 115, 20},
    {1112, "Button", "Device Controls", BS_GROUPBOX, 10, 204, 480, 161},
    {1164, "Button", "START", Toggle, 20, 222, 60, 30},
    {1156, "Button", "P", BS_AUTORADIOBUTTON, 90, 221, 30, 16},
    {1157, "Button", "D", BS_AUTORADIOBUTTON, 90, 238, 30, 16},
    {1113, "Button", "GET STATUS", BS_PUSHBUTTON, 20, 262, 100, 30},
    {1167, "Edit", "", ES_MULTILINE | ES_READONLY | 0x0200, 20, 302, 200, 53},
    {1114, "Button", "1", Toggle | WS_DISABLED, 130, 222, 30, 30},
    {1115, "Button", "2", Toggle | WS_DISABLED, 160, 222, 30, 30},
    {1116, "Button", "3", Toggle | WS_DISABLED, 190, 222, 30, 30},
    {1117, "Button", "I", Toggle, 130, 262, 30, 30},
    {1118, "Button", "I", Toggle, 160, 262, 30, 30},
    {1119, "Button", "I", Toggle | WS_DISABLED, 190, 262, 30, 30},
    {1120, "Button", "EXT TRIGGER", Toggle, 230, 222, 80, 30},
    {1121, "Button", "BATTERY", Toggle, 230, 262, 80, 30},
    {1153, "Button", "EN COMP", Toggle, 230, 302, 80, 21},
    {1154, "Button", "MEAS COMP", Toggle, 230, 333, 80, 21},
    {1122, "Button", "I2C", BS_PUSHBUTTON, 320, 222, 60, 30},
    {1123, "Static", "Gain CH-A:", SS_CENTER, 320, 262, 60, 17},
    {1124, "ComboBox", "1x", CBS_DROPDOWNLIST | WS_TABSTOP, 320, 279, 60, -1},
    {1125, "Static", "Gain CH-B:", SS_CENTER, 320, 316, 60, 17},
    {1126, "ComboBox", "1x", CBS_DROPDOWNLIST | WS_TABSTOP, 320, 333, 60, -1},
    {1165, "msctls_trackbar32", "Divider", Track, 388, 222, 40, 90},
    {1127, "Static", "Samplrate\r\nDivider\r\n1", SS_CENTER, 383, 313, 50, 41},
    {1166, "msctls_trackbar32", "Excitation Level", Track | TBS_ENABLESELRANGE, 438, 222, 40, 90},
    {1128, "Static", "Excitation\r\nLevel\r\n90", SS_CENTER, 436, 313, 48, 41},
    {1129, "Button", "Impedance Data", BS_GROUPBOX, 10, 367, 320, 293},
    {1168, "Static", "  Frequency   |   Module   |    Phase   |", SS_LEFT, 20, 385, 300, 18},
    {1169, "Static", "", SS_RIGHT, 20, 402, 98, 248},
    {1130, "Button", "Measurement Status Data", BS_GROUPBOX, 340, 367, 150, 293},
    {1131, "Static", "  CH-A        CH-B", SS_LEFT, 350, 524, 90, 17},
};

std::string FontFace(HWND control)
{
    HFONT font = reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0));
    if (!font)
        return "";
    LOGFONTA logFont{};
    GetObjectA(font, sizeof logFont, &logFont);
    return logFont.lfFaceName;
}

LONG FontHeight(HWND control)
{
    HFONT font = reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0));
    LOGFONTA logFont{};
    GetObjectA(font, sizeof logFont, &logFont);
    return logFont.lfHeight;
}

class MainLayout : public ::testing::Test {
protected:
    void SetUp() override
    {
        window = OpenPanel();
        ASSERT_NE(window, nullptr);
    }
    void TearDown() override { ClosePanel(window); }
    HWND window = nullptr;
};

TEST_F(MainLayout, EveryControlHasItsIdClassCaptionKindAndPlace)
{
    for (const Expected& expected : Controls) {
        SCOPED_TRACE(expected.Id);
        HWND control = GetDlgItem(window, expected.Id);
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(GetParent(control), window);
        EXPECT_EQ(_stricmp(ClassNameOf(control).c_str(), expected.ClassName), 0) << ClassNameOf(control);
        EXPECT_EQ(WindowText(control), expected.Caption);
        DWORD style = static_cast<DWORD>(GetWindowLongA(control, GWL_STYLE));
        EXPECT_EQ(style & (WS_CHILD | WS_VISIBLE), DWORD{WS_CHILD | WS_VISIBLE});
        EXPECT_EQ(style & expected.StyleBits, expected.StyleBits) << std::hex << style;
        EXPECT_EQ((style & WS_DISABLED) != 0, (expected.StyleBits & WS_DISABLED) != 0);
        if (std::strcmp(expected.ClassName, "Button") == 0) {
            EXPECT_EQ(style & BS_TYPEMASK, expected.StyleBits & BS_TYPEMASK);
        }
        bool edit = std::strcmp(expected.ClassName, "Edit") == 0;
        EXPECT_EQ((GetWindowLongA(control, GWL_EXSTYLE) & WS_EX_CLIENTEDGE) != 0, edit);
        RECT rect = ControlRectInClient(window, expected.Id);
        EXPECT_EQ(rect.left, expected.X);
        EXPECT_EQ(rect.top, expected.Y);
        EXPECT_EQ(rect.right - rect.left, expected.W);
        if (expected.H >= 0) {
            EXPECT_EQ(rect.bottom - rect.top, expected.H);
        }
    }
}

TEST_F(MainLayout, StartsWithTheOperatorsDefaults)
{
    for (int id : {1103, 1104, 1135, 1136, 1140, 1156})
        EXPECT_EQ(IsDlgButtonChecked(window, id), BST_CHECKED) << id;
    for (int id : {1102, 1155, 1109, 1134, 1139, 1164, 1157, 1114, 1115, 1116, 1117, 1118, 1119, 1120, 1121, 1153, 1154})
        EXPECT_EQ(IsDlgButtonChecked(window, id), BST_UNCHECKED) << id;
    for (int id : {1124, 1126}) {
        ASSERT_EQ(SendDlgItemMessageA(window, id, CB_GETCOUNT, 0, 0), 4);
        const char* names[] = {"1x", "2x", "5x", "10x"};
        for (int i = 0; i < 4; ++i) {
            char item[16] = {};
            SendDlgItemMessageA(window, id, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item));
            EXPECT_STREQ(item, names[i]);
        }
        EXPECT_EQ(SendDlgItemMessageA(window, id, CB_GETCURSEL, 0, 0), 0);
    }
    HWND divider = GetDlgItem(window, 1165);
    EXPECT_EQ(SendMessageA(divider, TBM_GETRANGEMIN, 0, 0), 0);
    EXPECT_EQ(SendMessageA(divider, TBM_GETRANGEMAX, 0, 0), 36);
    EXPECT_EQ(SendMessageA(divider, TBM_GETPOS, 0, 0), 0);
    EXPECT_EQ(SendMessageA(divider, TBM_GETTHUMBLENGTH, 0, 0), 20);
    HWND excitation = GetDlgItem(window, 1166);
    EXPECT_EQ(SendMessageA(excitation, TBM_GETRANGEMAX, 0, 0), 255);
    EXPECT_EQ(SendMessageA(excitation, TBM_GETPOS, 0, 0), 165);
    EXPECT_EQ(SendMessageA(excitation, TBM_GETSELSTART, 0, 0), 165);
    EXPECT_EQ(SendMessageA(excitation, TBM_GETSELEND, 0, 0), 255);
    EXPECT_EQ(SendMessageA(excitation, TBM_GETTHUMBLENGTH, 0, 0), 24);
    // Icon buttons carry their images.
    EXPECT_NE(SendDlgItemMessageA(window, 1161, BM_GETIMAGE, IMAGE_ICON, 0), 0);
    EXPECT_NE(SendDlgItemMessageA(window, 1162, BM_GETIMAGE, IMAGE_ICON, 0), 0);
}

TEST_F(MainLayout, FontsFollowTheIdRanges)
{
    for (int id : {1100, 1102, 1107, 1113, 1124, 1131, 1140, 1149, 1155, 1157}) {
        EXPECT_EQ(FontFace(GetDlgItem(window, id)), "Tahoma") << id;
        EXPECT_EQ(FontHeight(GetDlgItem(window, id)), 13) << id;
    }
    // The logo frame, icon buttons, etched line, START and the trackbars keep the system font.
    for (int id : {1160, 1161, 1162, 1163, 1164, 1165, 1166})
        EXPECT_EQ(SendDlgItemMessageA(window, id, WM_GETFONT, 0, 0), 0) << id;
    EXPECT_EQ(FontFace(GetDlgItem(window, 1167)), "Fixedsys");
    for (int id : {1168, 1169}) {
        EXPECT_EQ(FontFace(GetDlgItem(window, id)), "Courier New") << id;
        EXPECT_EQ(FontHeight(GetDlgItem(window, id)), -12) << id;
    }
}

TEST_F(MainLayout, ButtonsClickTheWayTheirKindSays)
{
    // A toggle the library refuses (10X while disconnected) comes back to its former state; a push
    // button does not stay down.
    SendDlgItemMessageA(window, 1155, BM_CLICK, 0, 0);
    EXPECT_EQ(IsDlgButtonChecked(window, 1155), BST_UNCHECKED);
    SendDlgItemMessageA(window, 1113, BM_CLICK, 0, 0);
    EXPECT_EQ(IsDlgButtonChecked(window, 1113), BST_UNCHECKED) << "GET STATUS";
    // The two mode radios exclude each other.
    SendDlgItemMessageA(window, 1157, BM_CLICK, 0, 0);
    EXPECT_EQ(IsDlgButtonChecked(window, 1157), BST_CHECKED);
    EXPECT_EQ(IsDlgButtonChecked(window, 1156), BST_UNCHECKED);
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(window, 1114)));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(window, 1117)));
}

} // namespace
