// Each command's checks, in the order they are made, before anything goes to the device.
#include "LibraryFixture.h"

namespace {

const std::string MissingInput = "ERROR: Expected input variables not initialized.";
const std::string NotConnected = "ERROR: The application is not connected with the device.";
const std::string OutOfRange = "ERROR: Input value out of range.";
const std::string NotIdle = "ERROR: Device is not in idle mode.";

using CommandChecks = LibraryTest;

TEST_F(CommandChecks, UnknownCodesAndTheLowByteSelection)
{
    for (uint32_t code : {0u, 21u, 29u, 47u, 56u, 64u, 66u, 70u, 72u, 74u, 255u})
        EXPECT_EQ(Call(code), "ERROR: Unknown command.") << code;
    // Only the low 8 bits select: 0x10D is CMD_SET_GPIO, 0x30F is CMD_EXT_TRIGGER.
    EXPECT_EQ(Call(0x10D, 64, &gpioWord), OutOfRange);
    EXPECT_EQ(Call(0x30F, 2), OutOfRange);
    uint32_t index = 7;
    EXPECT_EQ(Call(0x101, 0, &index, serial), "");
    EXPECT_EQ(index, 0u);
    EXPECT_EQ(Call(0x101, 0, &index, serial), "ERROR: Device already connected.");
}

// The bounds of the value commands, connected and not, are checked edge by edge in
// RequestBytes.BoundedValuesAtTheEdgesOfTheirRanges.
TEST_F(CommandChecks, ArgumentAndRangeChecksComeBeforeTheConnection)
{
    uint8_t data[2100] = {};
    uint32_t record[3] = {0, 0, 0};
    EXPECT_EQ(Call(CMD_CONNECT, 0, record, nullptr), MissingInput);
    EXPECT_EQ(Call(CMD_CONNECT, 0, nullptr, data), MissingInput);
    EXPECT_EQ(Call(CMD_DISCONNECT), "ERROR: Device already disconnected.");
    EXPECT_EQ(Call(CMD_GET_DEVICE_INFO), MissingInput);
    EXPECT_EQ(Call(CMD_GET_DEVICE_INFO, 0, nullptr, data), NotConnected);
    EXPECT_EQ(Call(CMD_START_MEASUREMENT), NotConnected);
    EXPECT_EQ(Call(CMD_GET_SPECTRA, 0, nullptr, data), MissingInput);
    EXPECT_EQ(Call(CMD_GET_SPECTRA, 1, nullptr, nullptr), MissingInput);
    EXPECT_EQ(Call(CMD_GET_SPECTRA, 1, nullptr, data), NotConnected);
    EXPECT_EQ(Call(CMD_STOP_MEASUREMENT), NotConnected);
    EXPECT_EQ(Call(CMD_SET_DIVIDER, 3), NotConnected); // the divider is looked up only when connected
    EXPECT_EQ(Call(CMD_READ_CONFIGURATION), MissingInput);
    EXPECT_EQ(Call(CMD_EXT_TRIGGER, 0), NotConnected);
    for (uint32_t code : {16u, 17u, 22u, 23u, 24u, 25u, 26u, 49u, 55u, 69u}) {
        EXPECT_EQ(Call(code), MissingInput) << code;
        EXPECT_EQ(Call(code, 0, nullptr, data), NotConnected) << code;
    }
    EXPECT_EQ(Call(CMD_GET_DEVICE_INFO_48, 0, nullptr, data), NotConnected);
    EXPECT_TRUE(FakePlatform::OutTransfers().empty());
}

TEST_F(CommandChecks, I2cCountThenAddressThenConnection)
{
    uint8_t data[90] = {};
    uint32_t record[3] = {0, 128, 0};
    EXPECT_EQ(Call(CMD_I2C_TRANSFER, 0, record, nullptr), MissingInput);
    EXPECT_EQ(Call(CMD_I2C_TRANSFER, 0, nullptr, data), MissingInput);
    EXPECT_EQ(Call(CMD_I2C_TRANSFER, 0, record, data), "ERROR: Byte count value out of range.");
    record[0] = 91;
    EXPECT_EQ(Call(CMD_I2C_TRANSFER, 0, record, data), "ERROR: Byte count value out of range.");
    record[0] = 90;
    EXPECT_EQ(Call(CMD_I2C_TRANSFER, 0, record, data), "ERROR: Slave address value out of range.");
    record[1] = 127;
    EXPECT_EQ(Call(CMD_I2C_TRANSFER, 0, record, data), NotConnected);
}

TEST_F(CommandChecks, StatusAndGpioWordsRegisterWithoutADevice)
{
    EXPECT_EQ(Call(CMD_SET_GPIO, 0, nullptr), MissingInput);
    EXPECT_EQ(Call(CMD_SET_GPIO, 64, &gpioWord), OutOfRange);
    EXPECT_EQ(State->GpioWord.load(), nullptr);
    EXPECT_EQ(Call(CMD_SET_GPIO, 63, &gpioWord), NotConnected);
    EXPECT_EQ(State->GpioWord.load(), &gpioWord);
    EXPECT_EQ(Call(CMD_GET_STATUS, 0, &statusWord), "");
    EXPECT_EQ(State->StatusWord.load(), &statusWord);
    uint32_t status = 0xDEAD;
    EXPECT_EQ(Call(CMD_GET_GPIO_STATUS, 0, &status), "");
    EXPECT_EQ(status, 0u);
    EXPECT_EQ(Call(CMD_GET_GPIO_STATUS), MissingInput);
}

TEST_F(CommandChecks, StateChecksWhileConnected)
{
    Connect();
    AnswerLikeTheDevice();
    uint8_t data[300] = {};
    uint32_t record[3] = {};
    EXPECT_EQ(Call(CMD_CONNECT, 0, record, data), "ERROR: Device already connected.");
    EXPECT_EQ(Call(CMD_GET_SPECTRA, 1, nullptr, data), "ERROR: Device not in measurement mode.");
    EXPECT_EQ(Call(CMD_STOP_MEASUREMENT), "ERROR: Device is already in idle mode.");
    EXPECT_EQ(Call(CMD_EXT_TRIGGER, 0), "ERROR: Device is already in idle mode.");

    EXPECT_EQ(Call(CMD_SET_DIVIDER, 3), "ERROR: Incorrect divider value.");
    EXPECT_EQ(State->divider, 1);
    EXPECT_EQ(State->SpectraPerRead, 4);

    ASSERT_EQ(Call(CMD_START_MEASUREMENT, 0), "");
    EXPECT_EQ(Call(CMD_START_MEASUREMENT, 0), "ERROR: Device is already in measuring mode.");
    EXPECT_EQ(Call(CMD_EXT_TRIGGER, 1), "ERROR: Device is already in measuring mode.");
    EXPECT_EQ(Call(CMD_SET_DIVIDER, 2), NotIdle);
    EXPECT_EQ(Call(CMD_GET_DEVICE_INFO, 0, nullptr, data), NotIdle);
    EXPECT_EQ(Call(CMD_GET_DEVICE_INFO_48, 0, nullptr, data), NotIdle);
    EXPECT_EQ(Call(CMD_READ_CONFIGURATION, 0, nullptr, data), NotIdle);
    EXPECT_EQ(Call(CMD_SET_GAINS, 5), ""); // settings may change while measuring
    ASSERT_EQ(Call(CMD_STOP_MEASUREMENT), "");

    ASSERT_EQ(Call(CMD_EXT_TRIGGER, 1), "");
    EXPECT_EQ(Call(CMD_EXT_TRIGGER, 1), "ERROR: Device is already in external trigger measuring mode.");
    EXPECT_EQ(Call(CMD_START_MEASUREMENT, 0), "ERROR: Device is already in measuring mode.");
    ASSERT_EQ(Call(CMD_EXT_TRIGGER, 0), "");

    ASSERT_EQ(Call(CMD_DISCONNECT), "");
    EXPECT_EQ(Call(CMD_DISCONNECT), "ERROR: Device already disconnected.");
}

TEST_F(CommandChecks, DividerDecidesSpectraPerRead)
{
    Connect();
    const std::pair<uint32_t, int> cases[] = {{1, 4}, {2, 3}, {4, 2}, {6, 1}, {196, 1}, {1792, 1}, {2, 3}};
    for (const auto& [divider, perRead] : cases) {
        ASSERT_EQ(Call(CMD_SET_DIVIDER, divider), "") << divider;
        EXPECT_EQ(State->divider, divider);
        EXPECT_EQ(State->SpectraPerRead, perRead) << divider;
    }
    for (uint32_t bad : {3u, 5u, 208u, 1793u, 0x10001u})
        EXPECT_EQ(Call(CMD_SET_DIVIDER, bad), "ERROR: Incorrect divider value.") << bad;
    EXPECT_EQ(State->divider, 2);
    EXPECT_EQ(State->SpectraPerRead, 3);
}

} // namespace
