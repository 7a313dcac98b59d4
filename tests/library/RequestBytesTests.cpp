// The exact OUT transfer every command sends.
#include "LibraryFixture.h"

namespace {

class RequestBytes : public LibraryTest {
protected:
    void SetUp() override
    {
        LibraryTest::SetUp();
        Connect();
    }
    // Runs the command and returns the single transfer it sent.
    Bytes SentBy(uint32_t command, uint32_t param, uint32_t* record = nullptr, void* data = nullptr)
    {
        FakePlatform::ClearOutTransfers();
        EXPECT_EQ(Call(command, param, record, data), "") << command;
        auto transfers = FakePlatform::OutTransfers();
        EXPECT_EQ(transfers.size(), 1u) << command;
        return transfers.empty() ? Bytes{} : transfers.back();
    }
};

TEST_F(RequestBytes, ValueCommands)
{
    struct Case {
        uint32_t command, param;
        Bytes expected;
    };
    const Case cases[] = {
        {CMD_SET_EXCITATION, 255, Request(6, {255})},
        {CMD_SET_GAINS, 0x0E, Request(7, {0x0E})},
        {CMD_SET_BATTERY, 1, Request(10, {1})},
        {CMD_SET_10X, 1, Request(15, {1})},
        {CMD_SET_VALUE_22, 131, Request(22, {131})},
        {CMD_SET_VALUE_16, 79, Request(16, {79})},
        {CMD_SET_VALUE_50, 0x12345678, Request(50, {0x5678})},
        {CMD_SET_FLAG_51, 0, Request(51, {0})}, // its own parameter, not always 1
        {CMD_SET_FLAG_51, 1, Request(51, {1})},
        {CMD_SET_VALUE_52, 255, Request(52, {255})},
        {CMD_SET_FLAG_53, 1, Request(53, {1})},
        {CMD_SET_VALUE_54, 65535, Request(54, {65535})},
        {CMD_SET_VALUE_65, 0x1FF, Request(65, {0xFF})},
        {CMD_SET_FLAG_67, 0, Request(67, {0})},
        {CMD_SET_VALUE_68, 0x23456, Request(68, {0x3456})},
        {CMD_SET_FLAG_73, 1, Request(73, {1})},
        {CMD_SET_COMPENSATION, 0, Request(5, {0x0000})},
        {CMD_SET_COMPENSATION, 1, Request(5, {0x00FF})},
        {CMD_SET_COMPENSATION, 2, Request(5, {0xFF00})},
        {CMD_SET_DIVIDER, 196, Request(12, {45})},
        {CMD_SET_DIVIDER, 1792, Request(12, {63})},
        {CMD_SET_DIVIDER, 1, Request(12, {0})},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SentBy(c.command, c.param), c.expected) << "command " << c.command << " param " << c.param;
}

TEST_F(RequestBytes, BlockCommandsCopyTheCallersBytesInOrder)
{
    struct Case {
        uint32_t command;
        uint16_t opcode;
        size_t bytes;
    };
    const Case cases[] = {
        {CMD_LOAD_SHUNT, 3, 120},  {CMD_LOAD_COMP, 4, 120},      {CMD_LOAD_DAC, 17, 2000},
        {CMD_LOAD_PHASES, 18, 1024}, {CMD_WRITE_BLOCK_19, 19, 30}, {CMD_WRITE_BLOCK_20, 20, 120},
        {CMD_WRITE_BLOCK_21, 21, 120}, {CMD_WRITE_BLOCK_49, 49, 20}, {CMD_WRITE_BLOCK_55, 55, 10},
        {CMD_WRITE_BLOCK_69, 69, 10},
    };
    Bytes data(2100);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<uint8_t>(i * 13 + 5);
    for (const Case& c : cases) {
        Bytes expected = Request(c.opcode);
        expected.insert(expected.end(), data.begin(), data.begin() + c.bytes);
        EXPECT_EQ(SentBy(c.command, 0, nullptr, data.data()), expected) << c.command;
    }
    // The DAC table is one transfer of 2004 bytes: 03 FF 11 00 and the table.
    EXPECT_EQ(SentBy(CMD_LOAD_DAC, 0, nullptr, data.data()).size(), 2004u);
}

TEST_F(RequestBytes, I2cWriteWidensEachByteToAWord)
{
    uint8_t data[3] = {0x00, 0x10, 0xFE};
    uint32_t record[3] = {3, 0x50, 1};
    EXPECT_EQ(SentBy(CMD_I2C_TRANSFER, 0, record, data), Request(8, {1, 0x50, 3, 0x00, 0x10, 0xFE}));
    uint8_t full[90];
    for (int i = 0; i < 90; ++i)
        full[i] = static_cast<uint8_t>(i);
    record[0] = 90;
    EXPECT_EQ(SentBy(CMD_I2C_TRANSFER, 0, record, full).size(), 2u * (90 + 5));
}

TEST_F(RequestBytes, MeasurementRequests)
{
    EXPECT_EQ(SentBy(CMD_START_MEASUREMENT, 0x10001), Request(1, {1}));
    EXPECT_EQ(SentBy(CMD_STOP_MEASUREMENT, 0), Bytes({0x03, 0xFF, 0xFF, 0x00}));
    EXPECT_EQ(SentBy(CMD_EXT_TRIGGER, 1), Request(9, {1}));
    EXPECT_EQ(SentBy(CMD_EXT_TRIGGER, 0), Request(9, {0}));
    EXPECT_EQ(SentBy(CMD_SET_GPIO, 0x2A, &gpioWord), Request(14, {0x2A}));
}

TEST_F(RequestBytes, SentBytesAreCountedEvenWhenTheWriteFails)
{
    const uint32_t before = counters.bytesSent;
    FakePlatform::QueueWriteError(ERROR_GEN_FAILURE);
    EXPECT_EQ(Call(CMD_SET_GAINS, 3), "ERROR: [00031] " + SystemText(31));
    EXPECT_EQ(Call(CMD_SET_GAINS, 3), "");
    EXPECT_EQ(counters.bytesSent - before, 12u);
}

TEST_F(RequestBytes, AFailedWriteLeavesTheModeAsItWas)
{
    FakePlatform::QueueWriteError(ERROR_GEN_FAILURE);
    EXPECT_NE(Call(CMD_START_MEASUREMENT, 0), "");
    EXPECT_EQ(State->mode.load(), ModeIdle);
    ASSERT_EQ(Call(CMD_START_MEASUREMENT, 0), "");
    FakePlatform::QueueWriteError(ERROR_GEN_FAILURE);
    EXPECT_NE(Call(CMD_STOP_MEASUREMENT), "");
    EXPECT_EQ(State->mode.load(), ModeMeasuring);
    // A rejected divider write has stored the divider already.
    ASSERT_EQ(Call(CMD_STOP_MEASUREMENT), "");
    FakePlatform::QueueWriteError(ERROR_GEN_FAILURE);
    EXPECT_NE(Call(CMD_SET_DIVIDER, 6), "");
    EXPECT_EQ(State->divider, 6);
}

TEST_F(RequestBytes, DisconnectLeavesTheDeviceIdleAtDividerOne)
{
    ASSERT_EQ(Call(CMD_SET_DIVIDER, 8), "");
    ASSERT_EQ(Call(CMD_START_MEASUREMENT, 0), "");
    FakePlatform::ClearOutTransfers();
    ASSERT_EQ(Call(CMD_DISCONNECT), "");
    const auto transfers = FakePlatform::OutTransfers();
    ASSERT_EQ(transfers.size(), 2u);
    EXPECT_EQ(transfers[0], Bytes({0x03, 0xFF, 0xFF, 0x00}));
    EXPECT_EQ(transfers[1], Request(12, {0}));
    EXPECT_EQ(State->divider, 1);
    EXPECT_EQ(State->SpectraPerRead, 4);
    EXPECT_EQ(FakePlatform::CurrentlyOpen().total(), 0);

    Connect();
    ASSERT_EQ(Call(CMD_EXT_TRIGGER, 1), "");
    FakePlatform::ClearOutTransfers();
    ASSERT_EQ(Call(CMD_DISCONNECT), "");
    ASSERT_EQ(FakePlatform::OutTransfers().size(), 1u);
    EXPECT_EQ(FakePlatform::OutTransfers()[0], Request(9, {0}));
}

} // namespace
