// The exact OUT transfer every command sends.
#include "LibraryFixture.h"

#include <optional>

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

// Every command that takes a bounded number, at both sides of each bound: the outermost accepted
// value goes out with exactly these bytes, the first refused one gets its text and sends nothing.
// Disconnected, a refused value gets its text first where the range is checked before the
// connection, and the accepted one is told there is no connection.
TEST_F(RequestBytes, BoundedValuesAtTheEdgesOfTheirRanges)
{
    enum class Via { Param, I2cCount, I2cAddress };
    struct Edge {
        const char* what;
        uint32_t command;
        Via via;
        uint32_t accepted;
        Bytes sent;
        std::optional<uint32_t> refused;
        std::string text;
        bool rangeBeforeConnection;
    };
    const std::string OutOfRange = "ERROR: Input value out of range.";
    const std::string MissingInput = "ERROR: Expected input variables not initialized.";
    const std::string BadCount = "ERROR: Byte count value out of range.";
    const std::string NoValue; // every value of the parameter is taken
    uint8_t data[90];
    for (int i = 0; i < 90; ++i)
        data[i] = static_cast<uint8_t>(0xF0 - i);
    Bytes fullWrite = Request(8, {1, 0x50, 90});
    for (int i = 0; i < 90; ++i)
        fullWrite.insert(fullWrite.end(), {data[i], 0});
    const Edge edges[] = {
        {"excitation", CMD_SET_EXCITATION, Via::Param, 255, Request(6, {255}), 256, OutOfRange, true},
        {"gains", CMD_SET_GAINS, Via::Param, 15, Request(7, {15}), 16, OutOfRange, true},
        {"gains", CMD_SET_GAINS, Via::Param, 0x0E, Request(7, {0x0E}), {}, NoValue, true},
        {"battery", CMD_SET_BATTERY, Via::Param, 1, Request(10, {1}), 2, OutOfRange, true},
        {"10x", CMD_SET_10X, Via::Param, 1, Request(15, {1}), 2, OutOfRange, true},
        {"value 22", CMD_SET_VALUE_22, Via::Param, 131, Request(22, {131}), 132, OutOfRange, false},
        {"value 16", CMD_SET_VALUE_16, Via::Param, 79, Request(16, {79}), 80, OutOfRange, true},
        {"value 50, low word", CMD_SET_VALUE_50, Via::Param, 0xFFFFFFFF, Request(50, {0xFFFF}), {}, NoValue, false},
        {"value 50, low word", CMD_SET_VALUE_50, Via::Param, 0x12345678, Request(50, {0x5678}), {}, NoValue, false},
        {"flag 51", CMD_SET_FLAG_51, Via::Param, 1, Request(51, {1}), 2, MissingInput, true},
        {"flag 51, its own parameter", CMD_SET_FLAG_51, Via::Param, 0, Request(51, {0}), {}, NoValue, true},
        {"value 52", CMD_SET_VALUE_52, Via::Param, 255, Request(52, {255}), 256, MissingInput, true},
        {"flag 53", CMD_SET_FLAG_53, Via::Param, 1, Request(53, {1}), 2, MissingInput, true},
        {"value 54, top", CMD_SET_VALUE_54, Via::Param, 65535, Request(54, {65535}), 65536, MissingInput, true},
        {"value 54, bottom", CMD_SET_VALUE_54, Via::Param, 1, Request(54, {1}), 0, MissingInput, true},
        {"value 65, low byte", CMD_SET_VALUE_65, Via::Param, 0xFFFFFFFF, Request(65, {0xFF}), {}, NoValue, true},
        {"value 65, low byte", CMD_SET_VALUE_65, Via::Param, 0x1FF, Request(65, {0xFF}), {}, NoValue, true},
        {"value 65, bottom", CMD_SET_VALUE_65, Via::Param, 1, Request(65, {1}), 0, MissingInput, true},
        {"flag 67", CMD_SET_FLAG_67, Via::Param, 1, Request(67, {1}), 2, MissingInput, true},
        {"flag 67, cleared", CMD_SET_FLAG_67, Via::Param, 0, Request(67, {0}), {}, NoValue, true},
        {"value 68, low word", CMD_SET_VALUE_68, Via::Param, 0xFFFFFFFF, Request(68, {0xFFFF}), {}, NoValue, true},
        {"value 68, low word", CMD_SET_VALUE_68, Via::Param, 0x23456, Request(68, {0x3456}), {}, NoValue, true},
        {"value 68, bottom", CMD_SET_VALUE_68, Via::Param, 1, Request(68, {1}), 0, MissingInput, true},
        {"flag 73", CMD_SET_FLAG_73, Via::Param, 1, Request(73, {1}), 2, MissingInput, true},
        {"compensation", CMD_SET_COMPENSATION, Via::Param, 2, Request(5, {0xFF00}), 3, OutOfRange, false},
        {"compensation", CMD_SET_COMPENSATION, Via::Param, 1, Request(5, {0x00FF}), {}, NoValue, false},
        {"compensation", CMD_SET_COMPENSATION, Via::Param, 0, Request(5, {0x0000}), {}, NoValue, false},
        {"GPIO lines", CMD_SET_GPIO, Via::Param, 63, Request(14, {63}), 64, OutOfRange, true},
        {"divider, top", CMD_SET_DIVIDER, Via::Param, 1792, Request(12, {63}), 1793, "ERROR: Incorrect divider value.", false},
        {"divider", CMD_SET_DIVIDER, Via::Param, 196, Request(12, {45}), {}, NoValue, false},
        {"divider, bottom", CMD_SET_DIVIDER, Via::Param, 1, Request(12, {0}), 0, MissingInput, true},
        {"I2C byte count, top", CMD_I2C_TRANSFER, Via::I2cCount, 90, fullWrite, 91, BadCount, true},
        {"I2C byte count, bottom", CMD_I2C_TRANSFER, Via::I2cCount, 1, Request(8, {1, 0x50, 1, data[0]}), 0, BadCount, true},
        {"I2C address", CMD_I2C_TRANSFER, Via::I2cAddress, 127, Request(8, {1, 127, 3, data[0], data[1], data[2]}), 128,
         "ERROR: Slave address value out of range.", true},
        // Last: it leaves the device measuring.
        {"external trigger", CMD_EXT_TRIGGER, Via::Param, 1, Request(9, {1}), 2, OutOfRange, true},
    };
    uint32_t record[3];
    const auto call = [&](const Edge& e, uint32_t value) {
        record[0] = e.via == Via::I2cCount ? value : e.via == Via::Param ? 0 : 3;
        record[1] = e.via == Via::I2cAddress ? value : 0x50;
        record[2] = 1; // an I2C write: it sends, and nothing is read back
        return Call(e.command, e.via == Via::Param ? value : 0, record, data);
    };
    const std::string NotConnected = "ERROR: The application is not connected with the device.";

    ASSERT_EQ(Call(CMD_DISCONNECT), "");
    FakePlatform::ClearOutTransfers();
    for (const Edge& e : edges) {
        SCOPED_TRACE(std::string(e.what) + ", disconnected");
        if (e.refused) {
            EXPECT_EQ(call(e, *e.refused), e.rangeBeforeConnection ? e.text : NotConnected) << *e.refused;
        }
        EXPECT_EQ(call(e, e.accepted), NotConnected) << e.accepted;
    }
    EXPECT_TRUE(FakePlatform::OutTransfers().empty());

    Connect();
    for (const Edge& e : edges) {
        SCOPED_TRACE(e.what);
        if (e.refused) {
            FakePlatform::ClearOutTransfers();
            EXPECT_EQ(call(e, *e.refused), e.text) << *e.refused;
            EXPECT_TRUE(FakePlatform::OutTransfers().empty()) << *e.refused << " was sent";
        }
        FakePlatform::ClearOutTransfers();
        EXPECT_EQ(call(e, e.accepted), "") << e.accepted;
        EXPECT_EQ(FakePlatform::OutTransfers(), std::vector<Bytes>{e.sent}) << e.accepted;
    }
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
