// Commands that wait for the device's answer: the hand-over from the reader, late or missing
// replies, and the reader's read length around them.
#include "LibraryFixture.h"
#include "Waits.h"

#include <atomic>
#include <cstring>
#include <thread>

namespace {

class Replies : public LibraryTest {
protected:
    void SetUp() override
    {
        LibraryTest::SetUp();
        Connect();
    }
    void TearDown() override
    {
        for (std::thread& t : lateSenders)
            t.join();
        LibraryTest::TearDown();
    }
    // Answers every request with `block`, `delayMs` after it was sent.
    void AnswerLate(Bytes block, DWORD delayMs)
    {
        FakePlatform::SetResponder([this, block, delayMs](const Bytes&) {
            lateSenders.emplace_back([block, delayMs] {
                Sleep(delayMs);
                FakePlatform::QueueInBlock(block);
            });
        });
    }
    std::vector<std::thread> lateSenders;
};

TEST_F(Replies, IdentificationTextIsDeliveredAndTheReaderReturnsToIdleLength)
{
    AnswerLikeTheDevice();
    char text[64];
    memset(text, 0x55, sizeof text);
    ASSERT_EQ(Call(CMD_GET_DEVICE_INFO, 0, nullptr, text), "");
    EXPECT_STREQ(text, identification.c_str());
    EXPECT_EQ(text[54], 0);
    EXPECT_EQ(FakePlatform::OutTransfers().front(), Request(2));
    ExpectPendingRead(6);

    // 48 answers the same way and, unlike before, gives the reader back its idle length.
    memset(text, 0x55, sizeof text);
    ASSERT_EQ(Call(CMD_GET_DEVICE_INFO_48, 0, nullptr, text), "");
    EXPECT_STREQ(text, identification.c_str());
    ExpectPendingRead(6);
    FakePlatform::QueueInBlock(GpioFrame(0x0101));
    uint32_t status = 0;
    EXPECT_TRUE(WaitUntil([&] { return Call(CMD_GET_GPIO_STATUS, 0, &status).empty() && status == 0x0101; }, WaitMs))
        << status;
}

TEST_F(Replies, ReadLengthChangesBeforeTheRequestGoesOut)
{
    std::vector<ULONG> pendingAtSend;
    FakePlatform::SetResponder([&](const Bytes& request) {
        pendingAtSend.push_back(FakePlatform::PendingReadLength());
        const uint16_t opcode = static_cast<uint16_t>(request[2] | (request[3] << 8));
        if (opcode == 11)
            FakePlatform::QueueInBlock(ConfigReplyFrame(configuration));
        if (opcode == 8)
            FakePlatform::QueueInBlock(I2cReplyFrame(i2cData));
    });
    uint8_t config[276] = {};
    ASSERT_EQ(Call(CMD_READ_CONFIGURATION, 0, nullptr, config), "");
    EXPECT_EQ(Bytes(config, config + 272), configuration);
    uint8_t bytes[90] = {};
    uint32_t record[3] = {3, 0x50, 0};
    ASSERT_EQ(Call(CMD_I2C_TRANSFER, 0, record, bytes), "");
    EXPECT_EQ(Bytes(bytes, bytes + 3), Bytes(i2cData.begin(), i2cData.begin() + 3));
    ASSERT_EQ(Call(CMD_SET_DIVIDER, 2), "");
    ASSERT_EQ(Call(CMD_START_MEASUREMENT, 0), "");
    ExpectPendingRead(576);

    // At each request the reader is either between reads or already reading the new length,
    // never still on the old one.
    const ULONG expected[] = {276, 192, 6, 576};
    ASSERT_EQ(pendingAtSend.size(), 4u);
    for (size_t i = 0; i < 4; ++i)
        EXPECT_TRUE(pendingAtSend[i] == 0 || pendingAtSend[i] == expected[i])
            << "request " << i << " sent while a read of " << pendingAtSend[i] << " was pending";
    ASSERT_EQ(Call(CMD_STOP_MEASUREMENT), "");
    ExpectPendingRead(6);
}

TEST_F(Replies, I2cBytesAreTheLowBytesOfTheReplyWords)
{
    i2cData = {0xAA, 0xBB, 0xCC};
    AnswerLikeTheDevice();
    uint8_t bytes[4] = {0, 0, 0, 0x77};
    uint32_t record[3] = {3, 0x50, 0};
    ASSERT_EQ(Call(CMD_I2C_TRANSFER, 0, record, bytes), "");
    EXPECT_EQ(Bytes(bytes, bytes + 4), Bytes({0xAA, 0xBB, 0xCC, 0x77}));
    EXPECT_EQ(FakePlatform::OutTransfers().front(), Request(8, {0, 0x50, 3}));
}

TEST_F(Replies, MissingRepliesGiveTheirErrorsAndLeaveTheReplyLength)
{
    char text[64] = {};
    EXPECT_EQ(Call(CMD_GET_DEVICE_INFO, 0, nullptr, text), "ERROR: Device did not respond to command.");
    ExpectPendingRead(58);
    uint8_t config[276];
    EXPECT_EQ(Call(CMD_READ_CONFIGURATION, 0, nullptr, config), "ERROR: Device did not respond to command.");
    uint8_t bytes[90];
    uint32_t record[3] = {90, 0x51, 0};
    EXPECT_EQ(Call(CMD_I2C_TRANSFER, 0, record, bytes), "ERROR: I2C Slave did not respond.");
    ExpectPendingRead(192);
}

TEST_F(Replies, ALateReplyIsDroppedAndDoesNotAnswerTheNextRequest)
{
    AnswerLate(TextReplyFrame("LATE HW:v9.99"), 400);
    const uint32_t received = counters.bytesReceived;
    char text[64] = {};
    EXPECT_EQ(Call(CMD_GET_DEVICE_INFO, 0, nullptr, text), "ERROR: Device did not respond to command.");
    // The late reply arrives while nobody waits; the reader has parsed it once it counts its bytes.
    EXPECT_TRUE(WaitUntil([&] { return counters.bytesReceived - received == 58; }, WaitMs));
    EXPECT_EQ(FakePlatform::QueuedInItems(), 0u);
    EXPECT_STREQ(text, "");

    identification = "PROMPT HW:v1.02 SW:v1.30";
    AnswerLikeTheDevice();
    ASSERT_EQ(Call(CMD_GET_DEVICE_INFO, 0, nullptr, text), "");
    EXPECT_STREQ(text, "PROMPT HW:v1.02 SW:v1.30");
}

TEST_F(Replies, LateI2cReplyGives119)
{
    AnswerLate(I2cReplyFrame({1, 2}), 400);
    uint8_t bytes[2] = {};
    uint32_t record[3] = {2, 0x50, 0};
    EXPECT_EQ(Call(CMD_I2C_TRANSFER, 0, record, bytes), "ERROR: I2C Slave did not respond.");
    EXPECT_EQ(Bytes(bytes, bytes + 2), Bytes({0, 0}));
}

TEST_F(Replies, I2cReadWhileMeasuringFindsItsReplyInsideASpectrumTransfer)
{
    ASSERT_EQ(Call(CMD_START_MEASUREMENT, 0), "");
    ExpectPendingRead(768);
    FakePlatform::SetResponder([](const Bytes& request) {
        if (request.size() == 10 && request[2] == 8)
            FakePlatform::QueueInBlock(
                Concat({SpectrumFrame(0), I2cReplyFrame({0x11, 0x22}), SpectrumFrame(1), SpectrumFrame(2)}));
    });
    uint8_t bytes[2] = {};
    uint32_t record[3] = {2, 0x50, 0};
    ASSERT_EQ(Call(CMD_I2C_TRANSFER, 0, record, bytes), "");
    EXPECT_EQ(Bytes(bytes, bytes + 2), Bytes({0x11, 0x22}));
    ExpectPendingRead(768); // no length change while measuring
    uint8_t spectra[3 * 192];
    uint32_t delivered = 0;
    ASSERT_EQ(Call(CMD_GET_SPECTRA, 3, &delivered, spectra), "");
    EXPECT_EQ(delivered, 3u);
    EXPECT_EQ(MeasCountOf(spectra + 384), 2u);
}

TEST_F(Replies, GpioRegistrationReceivesEveryStatusFrame)
{
    AnswerLikeTheDevice();
    ASSERT_EQ(Call(CMD_SET_GPIO, 0, &gpioWord), "");
    EXPECT_TRUE(WaitUntil([&] { return gpioWord == 0x0009; }, WaitMs)) << gpioWord;
    ExpectPendingRead(6);
    FakePlatform::QueueInBlock({0x03, 0xFF, 0xDD, 0x04, 0x34, 0x12});
    EXPECT_TRUE(WaitUntil([&] { return gpioWord == 0x1234; }, WaitMs)) << gpioWord;
    EXPECT_GE(counters.bytesReceived, 12u);
}

} // namespace
