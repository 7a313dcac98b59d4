#include "AfeRecord.h"
#include "ConfigurationText.h"
#include "GlobalCtrl.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <cstring>
#include <iterator>
#include <string>
#include <vector>

namespace {

std::string FrequencyList(const float* frequencies)
{
    char text[ScratchTextSize];
    TextSink sink = MakeTextSink(text, sizeof text);
    FormatFrequencyList(sink, frequencies);
    return text;
}

// The AFE area with a record head written into it.
std::vector<uint8_t> AfeArea(const std::string& description, uint8_t afeType, uint8_t shuntType, int32_t shuntCount)
{
    std::vector<uint8_t> area(AfeAreaSize, 0);
    std::memcpy(area.data(), description.data(), description.size());
    area[offsetof(AfeRecordHead, AFEType)] = afeType;
    area[offsetof(AfeRecordHead, SHUNTType)] = shuntType;
    std::memcpy(area.data() + offsetof(AfeRecordHead, SHUNTCount), &shuntCount, sizeof shuntCount);
    return area;
}

DeviceConfiguration NumberedConfiguration()
{
    DeviceConfiguration configuration{};
    for (int i = 0; i < 30; ++i) {
        configuration.Shunt[i] = 1000.0f - 37.125f * static_cast<float>(i);
        configuration.Comp[i] = (i % 2 ? -0.005f : 0.015f) * static_cast<float>(i + 1);
    }
    return configuration;
}

// The value rows as printf writes them.
std::string ValueRow(const float* values)
{
    std::string row;
    for (int i = 0; i < 30; ++i)
        row += (i ? ", " : "") + Printf("%.2f", values[i]);
    return row;
}

} // namespace

TEST(ConfigurationText, FrequenciesAreCodeTimes1000OverTheDividerInSinglePrecision)
{
    struct Case {
        uint16_t code;
        uint16_t divider;
        float hz;
        const char* line;
    };
    const Case cases[] = {
        {100, 1, 100000.0f, "  100000.00Hz"},
        {100, 4, 25000.0f, "   25000.00Hz"},
        {3, 6, 500.0f, "     500.00Hz"},
        {1, 3, 1000.0f / 3.0f, "     333.33Hz"},
        {0, 1, 0.0f, "       0.00Hz"},
        // The product needs 32 bits; 16 would wrap it.
        {65535, 1, 65535000.0f, "65535000.00Hz"},
        {65535, 1792, 65535000.0f / 1792.0f, "   36570.87Hz"},
        {1000, 196, 1000000.0f / 196.0f, "    5102.04Hz"},
    };
    // Case k in slot k, and slot k only: every code lands on its own line.
    for (size_t k = 0; k < std::size(cases); ++k) {
        const Case& c = cases[k];
        DeviceConfiguration configuration{};
        configuration.FrequencyCodes[k] = c.code;
        configuration.FrequencyCodes[14 - k] = c.code;
        float frequencies[15];
        ComputeMeasurementFrequencies(configuration, c.divider, frequencies);
        std::string list;
        for (size_t i = 0; i < 15; ++i) {
            const bool mine = i == k || i == 14 - k;
            EXPECT_EQ(frequencies[i], mine ? c.hz : 0.0f) << c.code << " / " << c.divider << " at " << i;
            list += std::string(mine ? c.line : "       0.00Hz") + "\n";
        }
        EXPECT_EQ(FrequencyList(frequencies), list) << c.code << " / " << c.divider;
    }
}

TEST(ConfigurationText, ViewShowsTheAfeHeadAndBothTables)
{
    struct Case {
        std::string description;
        uint8_t afeType, shuntType;
        int32_t shuntCount;
        const char* head;
    };
    const Case cases[] = {
        {"AFE Disconnected", 0x00, 0x00, 0, "Description=AFE Disconnected\r\nAFEType=0x00\r\nSHUNTType=0x00\r\nSHUNTCount=0"},
        {"Probe 7", 0x85, 0x0A, 21, "Description=Probe 7\r\nAFEType=0x85\r\nSHUNTType=0x0A\r\nSHUNTCount=21"},
        {"", 0xFF, 0x01, -1, "Description=\r\nAFEType=0xFF\r\nSHUNTType=0x01\r\nSHUNTCount=-1"},
    };
    const DeviceConfiguration configuration = NumberedConfiguration();
    for (const Case& c : cases) {
        const std::vector<uint8_t> area = AfeArea(c.description, c.afeType, c.shuntType, c.shuntCount);
        char text[ScratchTextSize];
        TextSink sink = MakeTextSink(text, sizeof text);
        FormatConfigurationView(sink, area.data(), configuration);
        EXPECT_FALSE(sink.truncated);
        EXPECT_EQ(std::string(text), std::string("Analog Front End Data:\r\n\r\n") + c.head +
                                         "\r\n\r\nCurrent Configuration Data:\r\n\r\nShunt(re...im...)=\t" +
                                         ValueRow(configuration.Shunt) + "\r\nComp(re...im...)=\t" +
                                         ValueRow(configuration.Comp) + "\r\n");
    }
}

TEST(ConfigurationText, ViewTextIsCutToTheScratchTextNeverPastIt)
{
    const DeviceConfiguration configuration = NumberedConfiguration();
    // The text with an empty description, to find the longest description that still fits.
    char probe[ScratchTextSize];
    TextSink probeSink = MakeTextSink(probe, sizeof probe);
    FormatConfigurationView(probeSink, AfeArea("", 0x85, 1, 21).data(), configuration);
    const size_t room = ScratchTextSize - 1 - probeSink.length;

    struct Case {
        size_t descriptionLength;
        bool cut;
    };
    const Case cases[] = {{room, false}, {room + 1, true}, {999, true}};
    for (const Case& c : cases) {
        std::vector<uint8_t> area = AfeArea(std::string(c.descriptionLength, 'D'), 0x85, 1, 21);
        std::vector<char> buffer(ScratchTextSize + 16, '#');
        TextSink sink = MakeTextSink(buffer.data(), ScratchTextSize);
        FormatConfigurationView(sink, area.data(), configuration);
        const std::string text(buffer.data());
        EXPECT_EQ(sink.truncated, c.cut) << c.descriptionLength;
        EXPECT_EQ(text.size(), c.cut ? ScratchTextSize - 1 : probeSink.length + c.descriptionLength);
        EXPECT_EQ(text.rfind("Analog Front End Data:\r\n\r\nDescription=DDD", 0), 0u);
        EXPECT_EQ(std::string(buffer.data() + ScratchTextSize, 16), std::string(16, '#')) << "written past the text";
    }
}
