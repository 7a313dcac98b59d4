#include "LibraryFixture.h"

#include <cstring>

std::string Call(uint32_t command, uint32_t param, uint32_t* record, void* data)
{
    const char* text = KalvixControl(command, param, record, static_cast<uint8_t*>(data));
    return text ? std::string(text) : std::string();
}

std::string SystemText(DWORD code)
{
    char text[512] = {};
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                                  text, sizeof text, nullptr);
    while (length > 0 && (text[length - 1] == '\r' || text[length - 1] == '\n'))
        text[--length] = 0;
    return text;
}

void LibraryTest::SetUp()
{
    FakePlatform::Reset();
    UsePlatformOps(&FakePlatform::Ops());
    ASSERT_TRUE(AttachLibrary(GetModuleHandleA(nullptr)));
    GetDLLVersion(&counters);
    for (size_t i = 0; i < configuration.size(); ++i)
        configuration[i] = static_cast<uint8_t>(i * 7 + 1);
    for (size_t i = 0; i < i2cData.size(); ++i)
        i2cData[i] = static_cast<uint8_t>(0xA0 + i);
}

void LibraryTest::TearDown()
{
    FakePlatform::SetResponder(nullptr); // it may refer to the finished test's locals
    DetachLibrary();
    FakePlatform::Reset();
    UsePlatformOps(nullptr);
}

void LibraryTest::Connect()
{
    uint32_t index = 99;
    ASSERT_EQ(Call(CMD_CONNECT, 0, &index, serial), "");
    ASSERT_EQ(index, 0u);
    ExpectPendingRead(6);
    FakePlatform::ClearOutTransfers();
}

void LibraryTest::ExpectPendingRead(ULONG length)
{
    ASSERT_TRUE(FakePlatform::WaitForPendingRead(length, WaitMs))
        << "pending read is " << FakePlatform::PendingReadLength() << " bytes, expected " << length;
}

void LibraryTest::AnswerLikeTheDevice()
{
    FakePlatform::SetResponder([this](const Bytes& request) {
        if (request.size() < 4)
            return;
        const uint16_t opcode = static_cast<uint16_t>(request[2] | (request[3] << 8));
        if (opcode == 2 || opcode == 48)
            FakePlatform::QueueInBlock(TextReplyFrame(identification));
        else if (opcode == 11)
            FakePlatform::QueueInBlock(ConfigReplyFrame(configuration));
        else if (opcode == 14)
            FakePlatform::QueueInBlock(GpioFrame(0x0009));
        else if (opcode == 8 && request.size() == 10 && request[4] == 0) {
            const size_t count = request[8];
            FakePlatform::QueueInBlock(I2cReplyFrame(Bytes(i2cData.begin(), i2cData.begin() + count)));
        }
    });
}
