#include "SessionFixture.h"

#include "ControlIds.h"
#include "GlobalCtrl.h"
#include "BatchHandling.h"

void SessionTest::SetUp()
{
    ConfigPath[0] = '\0';
    LogPath[0] = '\0';
    boxes = new BoxCatcher();
    window = OpenPanel();
    ASSERT_NE(window, nullptr);
    ASSERT_EQ(Emulator(KALVIX_EMU_RESET, 0), 0) << "the emulated library is loaded";
    // A busy test machine must not make the device drop spectra the tests count.
    Emulator(KALVIX_EMU_FIFO_CAPACITY, 4096);
}

void SessionTest::TearDown()
{
    if (window)
        ClosePanel(window);
    for (const CaughtBox& left : boxes->Take())
        ADD_FAILURE() << "unexpected box \"" << left.Caption << "\": " << left.Text;
    delete boxes;
    EXPECT_EQ(EmulatorState().open, 0u) << "the device is closed with the window";
}

std::vector<CaughtBox> SessionTest::TakeBoxes()
{
    return boxes->Take();
}

void SessionTest::Connect()
{
    ASSERT_TRUE(Click(window, IdConnectDeviceButton));
    ASSERT_TRUE(IsChecked(window, IdConnectDeviceButton)) << StatusPartText(window, StatusPartError);
    // The first watch tick sees the GPIO status: with the presence line low it marks the AFE
    // present and reads its record before it returns; with the line high it mirrors the line.
    ASSERT_TRUE(PumpUntil([&] {
        return PanelCtrl()->AfePresent == 1 || IsChecked(window, IdGpioLevel3) || !IsChecked(window, IdAfeDetection);
    }, 5000));
}

void SessionTest::ChooseLogFile(const std::string& name)
{
    boxes->QueueFileName(name);
    ASSERT_TRUE(Click(window, IdLogFileButton));
    ASSERT_EQ(std::string(LogPath), name);
}

void SessionTest::ChooseConfigFile(const std::string& path)
{
    boxes->QueueFileName(path);
    ASSERT_TRUE(Click(window, IdConfigFileButton));
    ASSERT_EQ(std::string(ConfigPath), path);
}

void SessionTest::StartAndWait(uint32_t batches)
{
    const uint32_t before = HandledSpectrumBatches(window);
    ASSERT_TRUE(Click(window, IdStart));
    ASSERT_TRUE(IsChecked(window, IdStart)) << StatusPartText(window, StatusPartError);
    ASSERT_TRUE(WaitForBatches(before, batches, 10000));
}
