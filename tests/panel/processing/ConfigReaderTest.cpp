#include "ConfigReader.h"
#include "TestFiles.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::vector<float> ShuntValues()
{
    std::vector<float> values;
    for (int i = 0; i < 30; ++i)
        values.push_back(i < 15 ? 10.0f + 1.25f * i : -0.5f * (i - 14));
    return values;
}

std::string Number(float v)
{
    return Printf("%.2f", v);
}

// The documented way: single blanks, a blank before every line end.
std::string DocumentedShunt(int perLine)
{
    std::string text = "SHUNT\r\n";
    const std::vector<float> values = ShuntValues();
    for (size_t i = 0; i < values.size(); ++i) {
        text += Number(values[i]) + " ";
        if ((i + 1) % perLine == 0)
            text += "\r\n";
    }
    return text;
}

std::string CompSection(float first)
{
    std::string text = "COMP\r\n";
    for (int i = 0; i < 30; ++i)
        text += Number(first + i) + " ";
    return text + "\r\n";
}

struct ConfigFixture : ::testing::Test {
    ScratchFolder folder;
    std::string file = folder.File("table.txt");

    std::vector<float> ReadShunt(const std::string& contents, int32_t* result, const char* key = "SHUNT\r\n")
    {
        WriteBytes(file, contents);
        std::vector<float> block(30 + 2, -999.0f); // sentinels behind the table
        *result = ReadConfigSection(file.c_str(), block.data(), 30, key, "%f", DstFloatPtr);
        EXPECT_EQ(block[30], -999.0f);
        EXPECT_EQ(block[31], -999.0f);
        block.resize(30);
        ExpectClosedAndUnchanged(contents);
        return block;
    }

    // Only a file nobody holds can be opened exclusively for writing.
    void ExpectClosedAndUnchanged(const std::string& contents)
    {
        HANDLE exclusive = CreateFileA(file.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL, nullptr);
        EXPECT_NE(exclusive, INVALID_HANDLE_VALUE) << "the reader left the file open";
        if (exclusive != INVALID_HANDLE_VALUE)
            CloseHandle(exclusive);
        EXPECT_EQ(ReadBytes(file), contents);
    }
};

} // namespace

TEST_F(ConfigFixture, DocumentedLayoutGivesTheTableOnOneOrManyLines)
{
    for (int perLine : {30, 15, 7, 1}) {
        int32_t result = 1;
        const std::vector<float> table = ReadShunt(DocumentedShunt(perLine) + CompSection(500), &result);
        EXPECT_EQ(result, 0) << perLine;
        EXPECT_EQ(table, ShuntValues()) << perLine;
    }
    // COMP is found behind SHUNT, and the key may end a longer line.
    WriteBytes(file, "comment line with SHUNT\r\n" + DocumentedShunt(10).substr(7) + CompSection(500));
    std::vector<float> comp(30);
    EXPECT_EQ(ReadConfigSection(file.c_str(), comp.data(), 30, "COMP\r\n", "%f", DstFloatPtr), 0);
    EXPECT_EQ(comp[0], 500.0f);
    EXPECT_EQ(comp[29], 529.0f);
    std::vector<float> shunt(30);
    EXPECT_EQ(ReadConfigSection(file.c_str(), shunt.data(), 30, "SHUNT\r\n", "%f", DstFloatPtr), 0);
    EXPECT_EQ(shunt, ShuntValues());
}

TEST_F(ConfigFixture, QuirkySpacingNeitherDuplicatesNorSkipsValues)
{
    const std::vector<float> v = ShuntValues();
    std::string text = "SHUNT\r\n  "; // blanks before the first value
    for (size_t i = 0; i < v.size(); ++i) {
        text += Number(v[i]);
        if (i % 5 == 4)
            text += "\r\n"; // no blank before the line end
        else if (i % 5 == 1)
            text += "  \t ";
        else
            text += " ";
    }
    int32_t result = 1;
    EXPECT_EQ(ReadShunt(text + "\r\n" + CompSection(1), &result), ShuntValues());
    EXPECT_EQ(result, 0);

    // Two blanks between 1.5 and 2.5 give 1.5, 2.5 (not 2.5 twice); LF-only line ends inside a
    // section separate values too.
    std::string two = "SHUNT\r\n1.5  2.5\n3.5 ";
    for (int i = 3; i < 30; ++i)
        two += std::to_string(i) + " ";
    const std::vector<float> table = ReadShunt(two, &result);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(table[0], 1.5f);
    EXPECT_EQ(table[1], 2.5f);
    EXPECT_EQ(table[2], 3.5f);
    EXPECT_EQ(table[3], 3.0f);
}

TEST_F(ConfigFixture, SectionEndsAtTheNextKey)
{
    // 29 shunt values, then the COMP section: the COMP numbers are not taken into the shunt table.
    std::string text = "SHUNT\r\n";
    for (int i = 0; i < 29; ++i)
        text += std::to_string(i) + " ";
    int32_t result = 0;
    ReadShunt(text + "\r\n" + CompSection(100), &result);
    EXPECT_EQ(result, ConfigTooFewValues);
    // Nor does a key standing at the end of a value line.
    ReadShunt(text + "DAC\r\n1 2 3 ", &result);
    EXPECT_EQ(result, ConfigTooFewValues);
}

TEST_F(ConfigFixture, NonNumericTextInsideASectionIsSkipped)
{
    std::string text = "SHUNT\r\nreal: ";
    const std::vector<float> v = ShuntValues();
    for (size_t i = 0; i < v.size(); ++i)
        text += Number(v[i]) + (i == 14 ? " imaginary: " : " ");
    int32_t result = 1;
    EXPECT_EQ(ReadShunt(text, &result), ShuntValues());
    EXPECT_EQ(result, 0);
}

TEST_F(ConfigFixture, FailureCodes)
{
    int32_t result = 0;
    // Line ends without CR: the key line is not there.
    std::string lf = DocumentedShunt(10);
    for (size_t at; (at = lf.find("\r\n")) != std::string::npos;)
        lf.replace(at, 2, "\n");
    ReadShunt(lf, &result);
    EXPECT_EQ(result, ConfigKeyMissing);

    ReadShunt(CompSection(3), &result);
    EXPECT_EQ(result, ConfigKeyMissing);
    ReadShunt("shunt\r\n1 2 3", &result);
    EXPECT_EQ(result, ConfigKeyMissing);

    ReadShunt(DocumentedShunt(30).substr(0, 60), &result); // the file ends too early
    EXPECT_EQ(result, ConfigTooFewValues);

    ReadShunt("", &result);
    EXPECT_EQ(result, ConfigFileEmpty);

    float table[30];
    EXPECT_EQ(ReadConfigSection(folder.File("missing.txt").c_str(), table, 30, "SHUNT\r\n", "%f", DstFloatPtr),
              ConfigFileNotOpened);
    EXPECT_EQ(ReadConfigSection(folder.path.c_str(), table, 30, "SHUNT\r\n", "%f", DstFloatPtr), ConfigFileNotOpened);
}

TEST_F(ConfigFixture, FileHeldForWritingIsNotOpenedAndReadersAreShared)
{
    WriteBytes(file, DocumentedShunt(30));
    float table[30];
    HANDLE reader = CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    EXPECT_EQ(ReadConfigSection(file.c_str(), table, 30, "SHUNT\r\n", "%f", DstFloatPtr), 0);
    CloseHandle(reader);

    HANDLE writer = CreateFileA(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    EXPECT_EQ(ReadConfigSection(file.c_str(), table, 30, "SHUNT\r\n", "%f", DstFloatPtr), ConfigFileNotOpened);
    CloseHandle(writer);
}

TEST_F(ConfigFixture, DacAndPhasesKeepTheLow16Bits)
{
    std::string text = CompSection(0) + "DAC\r\n";
    std::vector<uint32_t> written;
    for (uint32_t i = 0; i < 1000; ++i) {
        const uint32_t v = i == 3 ? 70000u : i == 4 ? 65535u : i == 5 ? 65536u : i == 6 ? 4294967295u : i * 37u;
        written.push_back(v);
        text += std::to_string(v) + (i % 20 == 19 ? " \r\n" : " ");
    }
    text += "PHASES\r\n";
    for (int i = 0; i < 15; ++i)
        text += std::to_string(100 * i + 7) + " ";
    WriteBytes(file, text);

    std::vector<uint8_t> block(2010, 0);
    ASSERT_EQ(ReadConfigSection(file.c_str(), block.data(), 1000, "DAC\r\n", "%u", DstShortPtr), 0);
    for (size_t i = 0; i < 1000; ++i) {
        uint16_t v;
        std::memcpy(&v, block.data() + 2 * i, 2);
        ASSERT_EQ(v, static_cast<uint16_t>(written[i] & 0xFFFF)) << i;
    }
    uint16_t fourth;
    std::memcpy(&fourth, block.data() + 6, 2);
    EXPECT_EQ(fourth, 4464);
    for (size_t i = 2000; i < block.size(); ++i)
        ASSERT_EQ(block[i], 0);

    uint16_t phases[16] = {};
    ASSERT_EQ(ReadConfigSection(file.c_str(), phases, 15, "PHASES\r\n", "%u", DstShortPtr), 0);
    EXPECT_EQ(phases[0], 7);
    EXPECT_EQ(phases[14], 1407);
    EXPECT_EQ(phases[15], 0);
}

TEST(ConfigValues, EveryDestinationType)
{
    const char text[] = "300 -1 65537\t7.5e1\r\n0.1 word12345 x";
    const size_t length = sizeof text - 1;

    uint8_t bytes[4] = {0, 0, 0, 0xEE};
    EXPECT_EQ(ParseConfigValues(text, length, "%d", " \t\r\n", bytes, 3, 0, DstBytePtr), 3);
    EXPECT_EQ(bytes[0], 44);
    EXPECT_EQ(bytes[1], 255);
    EXPECT_EQ(bytes[2], 1);
    EXPECT_EQ(bytes[3], 0xEE);

    uint32_t longs[3];
    EXPECT_EQ(ParseConfigValues(text, length, "%d", " \t\r\n", longs, 3, 0, DstLongPtr), 3);
    EXPECT_EQ(longs[1], 0xFFFFFFFFu);
    EXPECT_EQ(longs[2], 65537u);

    float floats[5];
    EXPECT_EQ(ParseConfigValues(text, length, "%f", " \t\r\n", floats, 5, 0, DstFloatPtr), 5);
    EXPECT_EQ(floats[3], 75.0f);
    EXPECT_EQ(floats[4], 0.1f);

    double doubles[6];
    // "word12345" yields no number; "x" neither: five values only.
    EXPECT_EQ(ParseConfigValues(text, length, "%lf", " \t\r\n", doubles, 6, 0, DstDoublePtr), 5);
    EXPECT_EQ(doubles[4], 0.1);
    EXPECT_EQ(doubles[1], -1.0);

    char words[7][6];
    std::memset(words, '#', sizeof words);
    EXPECT_EQ(ParseConfigValues(text, length, "%s", " \t\r\n", words, 7, 6, DstStrPtr), 7);
    EXPECT_STREQ(words[0], "300");
    EXPECT_STREQ(words[3], "7.5e1");
    EXPECT_STREQ(words[5], "word1"); // cut to the element's room
    EXPECT_STREQ(words[6], "x");

    uint16_t shorts[3];
    EXPECT_EQ(ParseConfigValues(text, length, "%u", " ", shorts, 3, 0, DstShortPtr), 3);
    EXPECT_EQ(shorts[2], 1);
    // Unknown destination types and texts without room store nothing.
    EXPECT_EQ(ParseConfigValues(text, length, "%u", " ", shorts, 3, 0, 6), 0);
    EXPECT_EQ(ParseConfigValues(text, length, "%s", " ", words, 3, 0, DstStrPtr), 0);
    EXPECT_EQ(ParseConfigValues(text, length, "%s", " ", words, 3, 1, DstStrPtr), 0);
    // The length bounds the text: nothing is read behind it.
    EXPECT_EQ(ParseConfigValues(text, 5, "%u", " ", shorts, 3, 0, DstShortPtr), 1);
    EXPECT_EQ(ParseConfigValues(text, 6, "%u", " ", shorts, 3, 0, DstShortPtr), 2);
    EXPECT_EQ(shorts[1], 0xFFFF);
}

// "%f" into a float table rounds the text once to single precision. Each text lies just above a
// point halfway between two floats, so rounding it to double first lands exactly on that point
// and the float conversion then goes the wrong way (ties to even, downwards).
TEST_F(ConfigFixture, FloatTablesRoundEachNumberOnceFromItsText)
{
    const float one = 1.0f;
    const float aboveOne = std::nextafter(one, 2.0f);       // 1 + 2^-23
    const float twoAbove = std::nextafter(1024.0f, 2048.0f); // 1024 + 2^-13
    std::string text = "SHUNT\r\n1.0000000596046448 1024.00006103515626 ";
    for (int i = 2; i < 30; ++i)
        text += "0.5 ";
    int32_t result = 1;
    const std::vector<float> table = ReadShunt(text, &result);
    ASSERT_EQ(result, 0);
    EXPECT_EQ(table[0], aboveOne);
    EXPECT_EQ(table[1], twoAbove);

    float parsed[2] = {};
    const char pair[] = "1.0000000596046448 -1.0000000596046448";
    EXPECT_EQ(ParseConfigValues(pair, sizeof pair - 1, "%f", " ", parsed, 2, 0, DstFloatPtr), 2);
    EXPECT_EQ(parsed[0], aboveOne);
    EXPECT_EQ(parsed[1], -aboveOne);
}
