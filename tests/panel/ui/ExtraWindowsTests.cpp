// The two windows the main window opens beside itself: the configuration view with the
// configuration read-back and frequency list, and the I2C bus control window with its input
// checks and transfers against the software device.
#include "PanelHarness.h"

#include "AfeRecord.h"
#include "ConfigurationText.h"
#include "ConfigurationView.h"
#include "EmulatedDevice.h"
#include "GlobalCtrl.h"
#include "I2cWindow.h"
#include "LibraryBinding.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr DWORD OwnedWindowStyle = WS_VISIBLE | WS_CAPTION | WS_SYSMENU;
constexpr int I2cOpcode = 8;
constexpr int ConfigurationOpcode = 11;

// The view text the formatter makes of the AFE area and a configuration (the formatter itself
// is tested with the processing code).
std::string ExpectedViewText(const uint8_t* afeArea, const DeviceConfiguration& configuration)
{
    char text[1024];
    TextSink sink = MakeTextSink(text, sizeof text);
    FormatConfigurationView(sink, afeArea, configuration);
    return text;
}

std::string Repeat(const char* pair, int times)
{
    std::string text;
    for (int i = 0; i < times; ++i)
        text += pair;
    return text;
}

bool FontDeleted(HFONT font)
{
    return font && GetObjectType(font) == 0;
}

// One panel for the whole suite (every visible top-level window that goes costs two seconds
// here); each test starts from the program's first state and opens the windows it needs, the
// windows themselves are closed only where closing is what is tested.
class ExtraWindows : public ::testing::Test {
protected:
    static void TearDownTestSuite()
    {
        ClosePanel(Panel);
        Panel = nullptr;
    }

    void SetUp() override
    {
        if (!Panel)
            Panel = OpenPanel();
        window = Panel;
        ASSERT_NE(window, nullptr);
        ctrl = PanelCtrl();
        ASSERT_EQ(Emulator(KALVIX_EMU_RESET, 0), 0) << "the emulated library is loaded";
        for (int id : {1102, 1164, 1120})
            SendDlgItemMessageA(window, id, BM_SETCHECK, BST_UNCHECKED, 0);
        ctrl->Configuration = DeviceConfiguration{};
        std::memset(ctrl->Frequencies, 0, sizeof ctrl->Frequencies);
        ctrl->DividerIndex = 0;
        ResetAfeArea(ctrl->AfeArea);
        SetDlgItemTextA(window, 1169, "");
        SendDlgItemMessageA(window, 1100, SB_SETTEXTA, 5, reinterpret_cast<LPARAM>(""));
    }
    void TearDown() override
    {
        if (connected)
            CallKalvix(CMD_DISCONNECT, 0, nullptr, nullptr);
    }

    // Connected the way CONNECT DEVICE leaves the panel: the library holds the device and the
    // button is down.
    void Connect()
    {
        uint32_t index = 0;
        const char* text = CallKalvix(CMD_CONNECT, 0, &index, ctrl->DeviceSerial);
        ASSERT_EQ(text, nullptr) << text;
        connected = true;
        SendDlgItemMessageA(window, 1102, BM_SETCHECK, BST_CHECKED, 0);
    }

    std::vector<uint8_t> AfeMemory(int address, int count)
    {
        std::vector<uint8_t> bytes(count);
        Emulator(KALVIX_EMU_AFE_READ, address, bytes.data(), count);
        return bytes;
    }

    // The last I2C request: {write flag, slave, count, data bytes...} as its 16-bit words.
    std::vector<uint16_t> LastI2cRequest()
    {
        uint8_t frame[512] = {};
        int length = Emulator(KALVIX_EMU_GET_LAST_FRAME, I2cOpcode, frame, sizeof frame);
        std::vector<uint16_t> words;
        for (int offset = 4; offset + 1 < length; offset += 2)
            words.push_back(static_cast<uint16_t>(frame[offset] | frame[offset + 1] << 8));
        return words;
    }

    // The window open, or opened now (fresh: any open one closed first).
    HWND Ensure(HWND GlobalCtrl::*field, void (*open)(GlobalCtrl*), bool fresh)
    {
        if (fresh && ctrl->*field)
            SendMessageA(ctrl->*field, WM_CLOSE, 0, 0);
        if (!(ctrl->*field))
            open(ctrl);
        return ctrl->*field;
    }
    HWND View(bool fresh = false) { return Ensure(&GlobalCtrl::ConfViewWindow, OpenConfigurationView, fresh); }
    HWND I2c(bool fresh = false) { return Ensure(&GlobalCtrl::I2cWindow, OpenI2cWindow, fresh); }

    // The editor as the operator's typing leaves it: its text, then the change notification the
    // edit sends for typing. (A multi-line edit sends none for WM_SETTEXT, and with this Wine's
    // font it takes in by pasting only what fits its visible lines.)
    void SetEditor(const std::string& text)
    {
        HWND editor = GetDlgItem(ctrl->I2cWindow, IdI2cData);
        SetWindowTextA(editor, text.c_str());
        SendMessageA(ctrl->I2cWindow, WM_COMMAND, MAKEWPARAM(IdI2cData, EN_UPDATE), reinterpret_cast<LPARAM>(editor));
    }
    void SetI2cText(int id, const std::string& text) { SetDlgItemTextA(ctrl->I2cWindow, id, text.c_str()); }
    std::string I2cText(int id) { return WindowText(GetDlgItem(ctrl->I2cWindow, id)); }
    void Click(int id) { SendDlgItemMessageA(ctrl->I2cWindow, id, BM_CLICK, 0, 0); }

    std::string ViewText() { return WindowText(GetDlgItem(ctrl->ConfViewWindow, IdConfViewText)); }
    std::string FrequencyList() { return WindowText(GetDlgItem(window, 1169)); }

    // The window sits 20 pixels right of and below the main window's corner, owned by it.
    void ExpectOwnedWindow(HWND owned, const char* className, const char* title, int width, int height)
    {
        ASSERT_TRUE(IsWindow(owned));
        EXPECT_EQ(ClassNameOf(owned), className);
        EXPECT_EQ(WindowText(owned), title);
        EXPECT_EQ(GetWindow(owned, GW_OWNER), window);
        const DWORD style = static_cast<DWORD>(GetWindowLongA(owned, GWL_STYLE));
        EXPECT_EQ(style & (OwnedWindowStyle | WS_CHILD | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX),
                  OwnedWindowStyle) << std::hex << style;
        EXPECT_NE(GetWindowLongA(owned, GWL_EXSTYLE) & WS_EX_DLGMODALFRAME, 0);
        RECT main, rect;
        GetWindowRect(window, &main);
        GetWindowRect(owned, &rect);
        EXPECT_EQ(rect.left, main.left + 20);
        EXPECT_EQ(rect.top, main.top + 20);
        EXPECT_EQ(rect.right - rect.left, width);
        EXPECT_EQ(rect.bottom - rect.top, height);
    }

    static HWND Panel;
    HWND window = nullptr;
    GlobalCtrl* ctrl = nullptr;
    bool connected = false;
    BoxCatcher boxes; // the boxes of each test, caught and answered with OK
};

HWND ExtraWindows::Panel = nullptr;

struct ChildExpected {
    int Id;
    const char* ClassName;
    const char* Text; // null: not checked here
    DWORD Style; // exactly, beside WS_CHILD | WS_VISIBLE
    bool ClientEdge;
    int X, Y, W, H;
    const char* Font;
    LONG FontHeight;
};

const ChildExpected I2cControls[] = {
    {1142, "Edit", "", ES_MULTILINE | ES_UPPERCASE | 0x200, true, 7, 50, 265, 100, "Fixedsys", 0},
    {1143, "Button", "WRITE", BS_PUSHBUTTON, false, 7, 10, 50, 30, "Tahoma", 13},
    {1144, "Button", "READ", BS_PUSHBUTTON, false, 67, 10, 50, 30, "Tahoma", 13},
    {1145, "Edit", "7F", ES_UPPERCASE | 0x200, true, 252, 15, 20, 20, "Tahoma", 13},
    {1146, "Edit", "0", ES_NUMBER | 0x200, true, 167, 15, 20, 20, "Tahoma", 13},
    {1147, "Static", "BYTES", SS_LEFT, false, 127, 17, 38, 17, "Tahoma", 13},
    {1148, "Static", "ADDR[0x]", SS_LEFT, false, 198, 17, 53, 17, "Tahoma", 13},
};

void ExpectChild(HWND parent, const ChildExpected& expected)
{
    SCOPED_TRACE(expected.Id);
    HWND control = GetDlgItem(parent, expected.Id);
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(_stricmp(ClassNameOf(control).c_str(), expected.ClassName), 0) << ClassNameOf(control);
    if (expected.Text) {
        EXPECT_EQ(WindowText(control), expected.Text);
    }
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(control, GWL_STYLE)), WS_CHILD | WS_VISIBLE | expected.Style);
    EXPECT_EQ((GetWindowLongA(control, GWL_EXSTYLE) & WS_EX_CLIENTEDGE) != 0, expected.ClientEdge);
    RECT rect;
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    EXPECT_EQ(rect.left, expected.X);
    EXPECT_EQ(rect.top, expected.Y);
    EXPECT_EQ(rect.right - rect.left, expected.W);
    EXPECT_EQ(rect.bottom - rect.top, expected.H);
    if (expected.Font) {
        LOGFONTA font{};
        ASSERT_NE(GetObjectA(reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0)), sizeof font, &font), 0);
        EXPECT_STREQ(font.lfFaceName, expected.Font);
        EXPECT_EQ(font.lfHeight, expected.FontHeight);
    } else {
        EXPECT_EQ(SendMessageA(control, WM_GETFONT, 0, 0), 0);
    }
}

const char DisconnectedHead[] =
    "Analog Front End Data:\r\n\r\nDescription=AFE Disconnected\r\nAFEType=0x00\r\nSHUNTType=0x00\r\nSHUNTCount=0\r\n"
    "\r\nCurrent Configuration Data:\r\n\r\nShunt(re...im...)=\t";

} // namespace

TEST_F(ExtraWindows, ConfigurationViewOpensBesideTheMainWindowWithItsTextBox)
{
    HWND view = View(true);
    ExpectOwnedWindow(view, "ConfViewWindowClass", "Device Configuration Data", 600, 345);
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(window, 1105)));
    ExpectChild(view, {1141, "Edit", nullptr, 0x00100B04, true, 7, 7, 580, 301, nullptr, 0});
    // Disconnected: the view shows the program's copy, and the frequency list is left alone.
    EXPECT_EQ(ViewText().rfind(DisconnectedHead, 0), 0u);
    EXPECT_EQ(ViewText(), ExpectedViewText(ctrl->AfeArea, DeviceConfiguration{}));
    EXPECT_EQ(FrequencyList(), "");
}

TEST_F(ExtraWindows, ClosingTheViewEnablesViewConfAndReopeningMakesANewWindow)
{
    HWND first = View();
    OpenConfigurationView(ctrl); // while one is open nothing more opens
    EXPECT_EQ(ctrl->ConfViewWindow, first);
    EXPECT_EQ(FindWindowExA(nullptr, first, "ConfViewWindowClass", nullptr), nullptr);

    SendMessageA(first, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(first));
    EXPECT_EQ(ctrl->ConfViewWindow, nullptr);
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(window, 1105)));
    // With the view closed a refresh only updates the frequencies.
    Connect();
    EXPECT_EQ(RefreshConfiguration(ctrl), 0);
    EXPECT_NE(FrequencyList(), "");
    EXPECT_EQ(ctrl->ConfViewWindow, nullptr);

    std::strcpy(reinterpret_cast<char*>(ctrl->AfeArea), "Second head");
    OpenConfigurationView(ctrl);
    ExpectOwnedWindow(ctrl->ConfViewWindow, "ConfViewWindowClass", "Device Configuration Data", 600, 345);
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(window, 1105)));
    EXPECT_EQ(ViewText().rfind("Analog Front End Data:\r\n\r\nDescription=Second head\r\n", 0), 0u);
}

TEST_F(ExtraWindows, I2cWindowHasEveryControlInItsPlaceWithItsFont)
{
    HWND i2c = I2c(true);
    ExpectOwnedWindow(i2c, "I2CControlWindowClass", "I2C Bus Control", 285, 182);
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(window, 1122)));
    EXPECT_EQ(I2cTransferRecordOf(i2c)[I2cByteCountWord], 0u);
    for (const ChildExpected& expected : I2cControls)
        ExpectChild(i2c, expected);
}

TEST_F(ExtraWindows, EditorPairCountGoesToTheRecordAndBytes)
{
    I2c();
    const std::pair<std::string, uint32_t> cases[] = {
        {"A5", 1}, {"A", 0}, {"A53", 1}, {"A5 3C", 2}, {"A5\r\n3C", 3},
        {Repeat("00", 90), 90}, {Repeat("00", 91), 91}, {"", 0},
    };
    for (const auto& [text, pairs] : cases) {
        SetEditor(text);
        EXPECT_EQ(I2cTransferRecordOf(ctrl->I2cWindow)[I2cByteCountWord], pairs) << text;
        EXPECT_EQ(I2cText(1146), std::to_string(pairs)) << text;
    }
    // The edit's own notification, as typing or pasting sends it.
    HWND editor = GetDlgItem(ctrl->I2cWindow, IdI2cData);
    SendMessageA(editor, EM_SETSEL, 0, -1);
    SendMessageA(editor, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>("0A0B0"));
    EXPECT_EQ(I2cTransferRecordOf(ctrl->I2cWindow)[I2cByteCountWord], 2u);
    EXPECT_EQ(I2cText(1146), "2");
}

TEST_F(ExtraWindows, InputErrorsShowTheirBoxOwnedByTheWindowAndCallNothing)
{
    Connect();
    HWND i2c = I2c();
    struct Case {
        int button;
        std::string editor;
        const char* bytes; // BYTES field, set after the editor (null: as the editor leaves it)
        const char* address;
        const char* box;
    };
    const Case cases[] = {
        {1143, "A", nullptr, "50", "No bytes to send!"},
        {1143, "", nullptr, "", "No bytes to send!"},
        {1143, Repeat("00", 91), nullptr, "50", "Maximum of 90 bytes allowed!"},
        {1143, "A5", nullptr, "", "No slave address provided!"},
        {1143, "A5", nullptr, "  ", "No slave address provided!"},
        {1143, "A5", nullptr, "G1", "No slave address provided!"},
        {1143, "A5  ", nullptr, "50", "Not HEX format data!"},
        {1143, "ZZ", nullptr, "50", "Not HEX format data!"},
        {1143, "A5Z0", nullptr, "50", "Not HEX format data!"},
        // The BYTES field counts for READ, not the editor.
        {1144, "A5A5", "0", "50", "No byte count specified!"},
        {1144, "", "", "50", "No byte count specified!"},
        {1144, "", "x", "50", "No byte count specified!"},
        {1144, "", "0", "", "No byte count specified!"},
        {1144, "", "91", "50", "Maximum of 90 bytes allowed!"},
        {1144, "", "3", "", "No slave address provided!"},
        {1144, "", "3", " Z", "No slave address provided!"},
    };
    const int requestsBefore = OpcodeCount(I2cOpcode);
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.box) + " editor \"" + c.editor + "\" address \"" + c.address + "\"");
        SetEditor(c.editor);
        if (c.bytes)
            SetI2cText(1146, c.bytes);
        SetI2cText(1145, c.address);
        Click(c.button);
        const std::vector<CaughtBox> shown = boxes.Take();
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].Text, c.box);
        EXPECT_EQ(shown[0].Caption, "Error");
        EXPECT_EQ(shown[0].Type, UINT{MB_ICONERROR});
        EXPECT_EQ(shown[0].Owner, i2c);
        EXPECT_EQ(OpcodeCount(I2cOpcode), requestsBefore) << "the library was called";
    }
    EXPECT_EQ(StatusPartText(window, 5), "");
}

TEST_F(ExtraWindows, WriteSendsTheConvertedPairsToTheSlave)
{
    Connect();
    I2c();
    struct Case {
        std::string editor;
        const char* address;
        uint16_t slave;
        std::vector<uint16_t> bytes;
    };
    const Case cases[] = {
        {"A53", "50", 0x50, {0xA5}},
        {"A5 3C", "50", 0x50, {0xA5, 0x3C}},
        {"A5\r\n3C", "50", 0x50, {0xA5, 0x3C, 0x3C}},
        {"0000", " 5", 0x05, {0x00, 0x00}},
        {"A5", "7F", 0x7F, {0xA5}},
        {"FF", "0", 0x00, {0xFF}},
        {Repeat("5A", 90), "50", 0x50, std::vector<uint16_t>(90, 0x5A)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.editor);
        SetEditor(c.editor);
        SetI2cText(1145, c.address);
        const int requestsBefore = OpcodeCount(I2cOpcode);
        Click(1143);
        ASSERT_EQ(OpcodeCount(I2cOpcode), requestsBefore + 1);
        std::vector<uint16_t> expected = {1, c.slave, static_cast<uint16_t>(c.bytes.size())};
        expected.insert(expected.end(), c.bytes.begin(), c.bytes.end());
        EXPECT_EQ(LastI2cRequest(), expected);
    }
    EXPECT_TRUE(boxes.Boxes().empty());
    EXPECT_EQ(StatusPartText(window, 5), "");
}

TEST_F(ExtraWindows, ReadShowsTheMemoryBytesAndWrittenBytesReadBack)
{
    Connect();
    I2c();
    // Address counter to 0, then the first three bytes of the record: its description.
    SetEditor("0000");
    SetI2cText(1145, "50");
    Click(1143);
    SetI2cText(1146, "3");
    Click(1144);
    const std::vector<uint8_t> head = AfeMemory(0, 3);
    char expected[8];
    std::snprintf(expected, sizeof expected, "%02X%02X%02X", head[0], head[1], head[2]);
    EXPECT_EQ(I2cText(1142), expected);
    EXPECT_EQ(I2cText(1146), "3");
    EXPECT_EQ(I2cTransferRecordOf(ctrl->I2cWindow)[I2cByteCountWord], 3u);
    for (uint8_t byte : head)
        EXPECT_TRUE(byte >= 0x20 && byte < 0x7F) << int(byte);

    // Three bytes written at 0x0100 and read back through the window; the pair count follows
    // the text the read put in the editor.
    SetEditor("0100C0FFEE");
    Click(1143);
    EXPECT_EQ(AfeMemory(0x100, 3), (std::vector<uint8_t>{0xC0, 0xFF, 0xEE}));
    SetEditor("0100");
    Click(1143);
    SetI2cText(1146, "03");
    Click(1144);
    EXPECT_EQ(I2cText(1142), "C0FFEE");
    EXPECT_EQ(I2cText(1146), "3");
    EXPECT_TRUE(boxes.Boxes().empty());
    EXPECT_EQ(StatusPartText(window, 5), "");
}

TEST_F(ExtraWindows, LibraryErrorsGoToTheStatusBarAndTheEditorKeepsItsText)
{
    Connect();
    I2c();
    struct Case {
        int button;
        const char* address;
        const char* status;
    };
    const Case cases[] = {
        {1143, "80", "ERROR: Slave address value out of range."},
        {1144, "80", "ERROR: Slave address value out of range."},
        {1144, "FF", "ERROR: Slave address value out of range."},
        {1144, "51", "ERROR: I2C Slave did not respond."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.address);
        SendDlgItemMessageA(window, 1100, SB_SETTEXTA, 5, reinterpret_cast<LPARAM>(""));
        SetEditor("A5B6");
        SetI2cText(1146, "3");
        SetI2cText(1145, c.address);
        Click(c.button);
        EXPECT_EQ(StatusPartText(window, 5), c.status);
        EXPECT_EQ(I2cText(1142), "A5B6");
    }
    EXPECT_TRUE(boxes.Boxes().empty());
}

TEST_F(ExtraWindows, ClosingEnablesI2cAndReopeningGivesAFreshWindow)
{
    HWND first = I2c();
    SetEditor("A5A5");
    SetI2cText(1145, "12");
    HFONT editorFont = reinterpret_cast<HFONT>(SendDlgItemMessageA(first, 1142, WM_GETFONT, 0, 0));
    HFONT labelFont = reinterpret_cast<HFONT>(SendDlgItemMessageA(first, 1143, WM_GETFONT, 0, 0));
    SendMessageA(first, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(first));
    EXPECT_EQ(ctrl->I2cWindow, nullptr);
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(window, 1122)));
    EXPECT_TRUE(FontDeleted(editorFont));
    EXPECT_TRUE(FontDeleted(labelFont));
    EXPECT_EQ(I2cTransferRecordOf(first), nullptr) << "the record went with the window";

    HWND second = I2c();
    ASSERT_TRUE(IsWindow(second));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(window, 1122)));
    EXPECT_EQ(I2cText(1142), "");
    EXPECT_EQ(I2cText(1146), "0");
    EXPECT_EQ(I2cText(1145), "7F");
    EXPECT_EQ(I2cTransferRecordOf(second)[I2cByteCountWord], 0u);
    Click(1143);
    const std::vector<CaughtBox> shown = boxes.Take();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].Text, "No bytes to send!");
    EXPECT_EQ(shown[0].Owner, second);
    // No device: the library's refusal shows in the status bar.
    SetI2cText(1146, "3");
    Click(1144);
    EXPECT_EQ(StatusPartText(window, 5), "ERROR: The application is not connected with the device.");
}

TEST_F(ExtraWindows, RefreshWhileConnectedFillsTheFrequencyListAndTheOpenView)
{
    Connect();
    float shunt[30], comp[30];
    for (int i = 0; i < 30; ++i) {
        shunt[i] = 100.5f + 3.25f * static_cast<float>(i);
        comp[i] = -0.125f * static_cast<float>(i);
    }
    ASSERT_EQ(CallKalvix(CMD_LOAD_SHUNT, 0, nullptr, shunt), nullptr);
    ASSERT_EQ(CallKalvix(CMD_LOAD_COMP, 0, nullptr, comp), nullptr);
    ctrl->DividerIndex = 2; // divider 4
    View();
    const int readsBefore = OpcodeCount(ConfigurationOpcode);

    EXPECT_EQ(RefreshConfiguration(ctrl), 0);
    EXPECT_EQ(OpcodeCount(ConfigurationOpcode), readsBefore + 1);
    std::string list;
    for (int i = 0; i < 15; ++i) {
        const uint16_t code = ctrl->Configuration.FrequencyCodes[i];
        EXPECT_GT(code, i > 0 ? ctrl->Configuration.FrequencyCodes[i - 1] : 0) << i;
        EXPECT_EQ(ctrl->Frequencies[i], code * 1000 / 4.0f) << i;
        list += Printf("%11.2fHz\n", code * 1000 / 4.0);
    }
    EXPECT_EQ(FrequencyList(), list);
    // The tables as the device holds them now.
    DeviceConfiguration loaded{};
    std::memcpy(loaded.Shunt, shunt, sizeof shunt);
    std::memcpy(loaded.Comp, comp, sizeof comp);
    EXPECT_EQ(ViewText().rfind(DisconnectedHead, 0), 0u);
    EXPECT_EQ(ViewText(), ExpectedViewText(ctrl->AfeArea, loaded));
    EXPECT_EQ(StatusPartText(window, 5), "");
}

TEST_F(ExtraWindows, RefreshReadsTheDeviceOnlyWhenConnectedAndIdle)
{
    Connect();
    View();
    struct Case {
        bool connectDown, startDown, triggerDown;
        bool reads;
    };
    const Case cases[] = {
        {false, false, false, false}, {true, false, false, true}, {true, true, false, false},
        {true, false, true, false},   {true, true, true, false},
    };
    int row = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(row);
        const std::pair<int, bool> buttons[] = {{1102, c.connectDown}, {1164, c.startDown}, {1120, c.triggerDown}};
        for (auto [id, down] : buttons)
            SendDlgItemMessageA(window, id, BM_SETCHECK, down ? BST_CHECKED : BST_UNCHECKED, 0);
        SetDlgItemTextA(window, 1169, "before");
        ctrl->Frequencies[0] = -1.0f;
        std::snprintf(reinterpret_cast<char*>(ctrl->AfeArea), 32, "Head %d", ++row);
        const int readsBefore = OpcodeCount(ConfigurationOpcode);

        EXPECT_EQ(RefreshConfiguration(ctrl), 0);
        EXPECT_EQ(OpcodeCount(ConfigurationOpcode), readsBefore + (c.reads ? 1 : 0));
        EXPECT_EQ(FrequencyList() == "before", !c.reads);
        EXPECT_EQ(ctrl->Frequencies[0] == -1.0f, !c.reads);
        // The open view always shows the program's copy.
        EXPECT_NE(ViewText().find("Description=Head " + std::to_string(row) + "\r\n"), std::string::npos);
    }
}

TEST_F(ExtraWindows, RefusedReadChangesNothingAndReportsInTheStatusBar)
{
    Connect();
    View();
    ASSERT_EQ(RefreshConfiguration(ctrl), 0);
    const std::string list = FrequencyList();
    const std::string view = ViewText();
    const DeviceConfiguration configuration = ctrl->Configuration;
    float frequencies[15];
    std::memcpy(frequencies, ctrl->Frequencies, sizeof frequencies);
    ASSERT_NE(list, "");

    ASSERT_EQ(Emulator(KALVIX_EMU_REPLY_DELAY_MS, -1), 0);
    std::strcpy(reinterpret_cast<char*>(ctrl->AfeArea), "Changed head");
    ctrl->DividerIndex = 36;
    EXPECT_EQ(RefreshConfiguration(ctrl), -1);
    EXPECT_EQ(StatusPartText(window, 5), "ERROR: Device did not respond to command.");
    EXPECT_EQ(FrequencyList(), list);
    EXPECT_EQ(ViewText(), view);
    EXPECT_EQ(std::memcmp(&ctrl->Configuration, &configuration, sizeof configuration), 0);
    EXPECT_EQ(std::memcmp(ctrl->Frequencies, frequencies, sizeof frequencies), 0);
}

namespace {
KalvixControlProc LibraryControl = nullptr;
uintptr_t ConfigurationDestination = 0;

// Every fourth byte 0x42 keeps each float of the block finite (32 .. 128).
uint8_t ReplyByte(size_t i)
{
    return i % 4 == 3 ? 0x42 : static_cast<uint8_t>(i);
}

// A library that writes the whole 276 bytes the configuration read may write.
char* WholeConfigurationReply(uint32_t command, uint32_t param, uint32_t* record, uint8_t* data)
{
    if (command != CMD_READ_CONFIGURATION)
        return LibraryControl(command, param, record, data);
    ConfigurationDestination = reinterpret_cast<uintptr_t>(data);
    for (size_t i = 0; i < ConfigurationReadSize; ++i)
        data[i] = ReplyByte(i);
    return nullptr;
}
} // namespace

TEST_F(ExtraWindows, RefreshGivesTheReadRoomForAll276BytesAndKeepsTheBlock)
{
    Connect();
    View();
    LibraryControl = BoundLibrary.Control;
    BoundLibrary.Control = WholeConfigurationReply;
    const int32_t result = RefreshConfiguration(ctrl);
    BoundLibrary.Control = LibraryControl;
    ASSERT_EQ(result, 0);
    EXPECT_EQ(ConfigurationDestination % 4, 0u) << "the floats of the block are aligned";
    const auto* bytes = reinterpret_cast<const uint8_t*>(&ctrl->Configuration);
    for (size_t i = 0; i < sizeof(DeviceConfiguration); ++i)
        ASSERT_EQ(bytes[i], ReplyByte(i)) << i;
    EXPECT_EQ(ViewText(), ExpectedViewText(ctrl->AfeArea, ctrl->Configuration));
}

// Last: it takes the suite's panel down (a later test would open a new one).
TEST_F(ExtraWindows, MainWindowClosingWithBothWindowsOpenEndsCleanly)
{
    Connect();
    HWND view = View();
    HWND i2c = I2c();
    SetEditor("A5A5");
    HFONT editorFont = reinterpret_cast<HFONT>(SendDlgItemMessageA(i2c, 1142, WM_GETFONT, 0, 0));
    HFONT labelFont = reinterpret_cast<HFONT>(SendDlgItemMessageA(i2c, 1148, WM_GETFONT, 0, 0));

    ClosePanel(Panel);
    Panel = nullptr;
    connected = false; // the main window disconnected on its way out
    EXPECT_FALSE(IsWindow(view));
    EXPECT_FALSE(IsWindow(i2c));
    EXPECT_TRUE(FontDeleted(editorFont));
    EXPECT_TRUE(FontDeleted(labelFont));
    EXPECT_EQ(PanelCtrl(), nullptr);
}
