// The result texts, exactly, and the thread-local result buffer.
#include "LibraryFixture.h"
#include "ResultText.h"

#include <thread>

namespace {

using ResultTexts = LibraryTest;

TEST_F(ResultTexts, EveryIdHasItsExactText)
{
    const std::pair<int, const char*> texts[] = {
        {101, "ERROR: Dll module is not initialized correctly."},
        {102, "ERROR: Unknown command."},
        {103, "ERROR: Device already connected."},
        {104, "ERROR: Device already disconnected."},
        {105, "ERROR: Expected input variables not initialized."},
        {107, "ERROR: The application is not connected with the device."},
        {109, "ERROR: Device is already in measuring mode."},
        {110, "ERROR: Device is already in idle mode."},
        {111, "ERROR: Device is not in idle mode."},
        {112, "ERROR: Device not in measurement mode."},
        {113, "ERROR: Incorrect divider value."},
        {114, "ERROR: Input value out of range."},
        {115, "ERROR: Device did not respond to command."},
        {116, "WARNING: Data polling timeout."},
        {117, "ERROR: Byte count value out of range."},
        {118, "ERROR: Slave address value out of range."},
        {119, "ERROR: I2C Slave did not respond."},
        {120, "ERROR: Device is already in external trigger measuring mode."},
    };
    for (const auto& [id, text] : texts)
        EXPECT_STREQ(ComposeResultText(id, 77), text) << id;
    EXPECT_STREQ(ComposeResultText(121), "ERROR: Unknown error.");
}

TEST_F(ResultTexts, SystemErrorCarriesTheNumberAndTheSystemTextWithoutLineBreak)
{
    const std::string text = ComposeResultText(RESULT_SYSTEM_ERROR, 5);
    ASSERT_FALSE(SystemText(5).empty());
    EXPECT_EQ(text, "ERROR: [00005] " + SystemText(5));
    EXPECT_NE(text.back(), '\n');
    EXPECT_NE(text.back(), '\r');
    EXPECT_EQ(std::string(ComposeResultText(RESULT_SYSTEM_ERROR, 1167)), "ERROR: [01167] " + SystemText(1167));
    // A number the system has no text for.
    EXPECT_STREQ(ComposeResultText(RESULT_SYSTEM_ERROR, 0x2FFFFFFF), "ERROR: Unknown error.");
}

TEST_F(ResultTexts, InternalErrorCarriesTheLibraryCode)
{
    EXPECT_STREQ(ComposeResultText(RESULT_INTERNAL_ERROR, 14004), "ERROR: [14004] DLL internal error.");
    EXPECT_STREQ(ComposeResultText(RESULT_INTERNAL_ERROR, 14003), "ERROR: [14003] DLL internal error.");
}

TEST_F(ResultTexts, StatusWordIsReportedOnceAndCleared)
{
    uint32_t word = 5;
    EXPECT_EQ(Call(CMD_GET_STATUS, 0, &word), "ERROR: [00005] " + SystemText(5));
    EXPECT_EQ(word, 0u);
    EXPECT_EQ(Call(CMD_GET_STATUS, 0, &word), "");
    word = 14004;
    EXPECT_EQ(Call(CMD_GET_STATUS, 0, &word), "ERROR: [14004] DLL internal error.");
    word = 31;
    EXPECT_EQ(Call(CMD_GET_STATUS, 0, &word), "ERROR: [00031] " + SystemText(31));
    EXPECT_EQ(Call(CMD_GET_STATUS), "ERROR: Expected input variables not initialized.");
}

TEST_F(ResultTexts, VersionTextSharesTheCallersBuffer)
{
    const char* error = KalvixControl(21, 0, nullptr, nullptr);
    ASSERT_STREQ(error, "ERROR: Unknown command.");
    const char* version = GetDLLVersion(&counters);
    EXPECT_STREQ(version, "1.20");
    EXPECT_EQ(version, error);
    EXPECT_STREQ(error, "1.20");
}

TEST_F(ResultTexts, EachThreadKeepsItsOwnText)
{
    const char* mine = KalvixControl(CMD_SET_GAINS, 16, nullptr, nullptr);
    std::string theirs;
    std::thread other([&] { theirs = KalvixControl(CMD_CONNECT, 0, nullptr, nullptr); });
    other.join();
    EXPECT_EQ(theirs, "ERROR: Expected input variables not initialized.");
    EXPECT_STREQ(mine, "ERROR: Input value out of range.");
}

TEST(ResultTextsWithoutLibrary, EveryCommandAnswersNotInitialized)
{
    ASSERT_EQ(State, nullptr);
    EXPECT_STREQ(KalvixControl(CMD_GET_GPIO_STATUS, 0, nullptr, nullptr),
                 "ERROR: Dll module is not initialized correctly.");
}

} // namespace
