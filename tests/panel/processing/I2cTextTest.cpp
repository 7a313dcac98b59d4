#include "I2cText.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

TEST(I2cText, PairCountIsTheNumberOfCompleteTwoCharacterPairs)
{
    const std::pair<size_t, uint32_t> cases[] = {{0, 0}, {1, 0}, {2, 1}, {3, 1}, {5, 2}, {179, 89}, {180, 90}, {182, 91}};
    for (auto [length, pairs] : cases)
        EXPECT_EQ(HexPairCount(length), pairs) << length;
}

TEST(I2cText, ScanHexByteSkipsBlanksThenTakesOneOrTwoHexDigits)
{
    struct Case {
        std::string text;
        bool converts;
        uint8_t value;
    };
    const Case cases[] = {
        {"7F", true, 0x7F},   {"A53", true, 0xA5},   {"FFF", true, 0xFF},  {"3", true, 0x03},
        {"3C", true, 0x3C},   {" 3C", true, 0x3C},   {"\r\n3C", true, 0x3C}, {"\t 5 ", true, 0x05},
        {"a5", true, 0xA5},   {"0x7", true, 0x00},   {"5G", true, 0x05},   {"00", true, 0x00},
        {"", false, 0},       {"  ", false, 0},      {"\r\n", false, 0},   {"G1", false, 0},
        {"-1", false, 0},     {"+1", false, 0},      {" Z", false, 0},
    };
    for (const Case& c : cases) {
        uint8_t value = 0x99;
        EXPECT_EQ(ScanHexByte(c.text, value), c.converts) << '"' << c.text << '"';
        EXPECT_EQ(value, c.converts ? c.value : 0x99) << '"' << c.text << '"';
    }
}

TEST(I2cText, PairsConvertFromEveryEvenPositionUntilOneYieldsNoDigit)
{
    struct Case {
        std::string text;
        uint32_t count;
        std::vector<uint8_t> bytes; // converted ones
    };
    const Case cases[] = {
        {"A53", 1, {0xA5}},
        {"A5 3C", 2, {0xA5, 0x3C}},
        // Line breaks count as characters: three pairs, the second skips the break.
        {"A5\r\n3C", 3, {0xA5, 0x3C, 0x3C}},
        // Cut to four characters the last conversion would see only "3".
        {"A5 3", 2, {0xA5, 0x03}},
        {"0001FF", 3, {0x00, 0x01, 0xFF}},
        {"A5  ", 2, {0xA5}},
        {"ZZA5", 2, {}},
        {"A5", 2, {0xA5}}, // fewer characters than pairs
        {"", 1, {}},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> bytes(c.count + 1, 0xEE);
        EXPECT_EQ(ScanHexPairs(c.text, c.count, bytes.data()), c.bytes.size()) << '"' << c.text << '"';
        EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + c.bytes.size()), c.bytes) << '"' << c.text << '"';
        EXPECT_EQ(bytes[c.count], 0xEE) << "written past the pairs";
    }

    std::string longest;
    for (int i = 0; i < 90; ++i)
        longest += "5A";
    std::vector<uint8_t> bytes(90);
    EXPECT_EQ(ScanHexPairs(longest, 90, bytes.data()), 90u);
    EXPECT_EQ(bytes, std::vector<uint8_t>(90, 0x5A));
}

TEST(I2cText, ByteCountFieldIsAnUnsignedDecimalNumberOrZero)
{
    const std::pair<const char*, uint32_t> cases[] = {
        {"3", 3},        {"0", 0},           {"", 0},     {"  ", 0},   {"abc", 0},         {" 12 ", 12},
        {"12a", 0},      {"-1", 0},          {"+1", 0},   {"91", 91},  {"0090", 90},       {"4294967295", 4294967295u},
        {"4294967296", 4294967295u},         {"123456789012345678901234567890", 4294967295u},
    };
    for (auto [text, value] : cases)
        EXPECT_EQ(ReadByteCountText(text), value) << '"' << text << '"';
}

TEST(I2cText, ByteCountChecksAndTheirTexts)
{
    const std::tuple<uint32_t, I2cInputError, I2cInputError> cases[] = {
        {0, I2cInputError::NoBytesToSend, I2cInputError::NoByteCount},
        {1, I2cInputError::None, I2cInputError::None},
        {90, I2cInputError::None, I2cInputError::None},
        {91, I2cInputError::TooManyBytes, I2cInputError::TooManyBytes},
        {4294967295u, I2cInputError::TooManyBytes, I2cInputError::TooManyBytes},
    };
    for (auto [count, write, read] : cases) {
        EXPECT_EQ(CheckWriteByteCount(count), write) << count;
        EXPECT_EQ(CheckReadByteCount(count), read) << count;
    }
    const std::pair<I2cInputError, std::string> texts[] = {
        {I2cInputError::None, ""},
        {I2cInputError::NoBytesToSend, "No bytes to send!"},
        {I2cInputError::TooManyBytes, "Maximum of 90 bytes allowed!"},
        {I2cInputError::NoByteCount, "No byte count specified!"},
        {I2cInputError::NoSlaveAddress, "No slave address provided!"},
        {I2cInputError::NotHexData, "Not HEX format data!"},
    };
    for (const auto& [error, text] : texts)
        EXPECT_EQ(I2cInputErrorText(error), text);
}

TEST(I2cText, ReadBytesShowAsTwoUpperCaseDigitsEach)
{
    char text[256];
    const uint8_t read[] = {0x01, 0xAB, 0x00};
    TextSink sink = MakeTextSink(text, sizeof text);
    FormatHexBytes(sink, read, 3);
    EXPECT_EQ(std::string(text), "01AB00");

    const std::vector<uint8_t> erased(90, 0xFF);
    sink = MakeTextSink(text, sizeof text);
    FormatHexBytes(sink, erased.data(), 90);
    EXPECT_EQ(std::string(text), std::string(180, 'F'));
}
