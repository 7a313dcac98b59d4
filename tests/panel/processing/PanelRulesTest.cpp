// Window-free rules of the main window: batch texts, fixed scales, the spectrum counter, gain
// codes, batch sizes, GPIO masks and how library texts are told apart.
#include "PanelRules.h"
#include "CounterTracking.h"
#include "DisplayTexts.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

SpectrumRecord RecordWith(float module, float phase)
{
    SpectrumRecord record{};
    for (int i = 0; i < 15; ++i) {
        record.Module[i] = module * static_cast<float>(i + 1);
        record.Phase[i] = phase - static_cast<float>(i);
    }
    return record;
}

std::string Text(void (*format)(TextSink&, const SpectrumRecord&), const SpectrumRecord& record)
{
    char buffer[1024];
    TextSink sink = MakeTextSink(buffer, sizeof buffer);
    format(sink, record);
    return std::string(buffer, sink.length);
}

} // namespace

TEST(DisplayTexts, NumbersAreFifteenLinesOfTwoFieldsOfThirteen)
{
    const SpectrumRecord record = RecordWith(1234.5f, -45.25f);
    const std::string text = Text(FormatImpedanceNumbers, record);
    std::string expected;
    for (int i = 0; i < 15; ++i) {
        char line[64];
        std::snprintf(line, sizeof line, "%13.2f%13.2f", record.Module[i], record.Phase[i]);
        expected += (i ? "\r\n" : "") + std::string(line);
    }
    EXPECT_EQ(text, expected);
    EXPECT_EQ(text.substr(0, 26), "      1234.50       -45.25");
    EXPECT_NE(text.substr(text.size() - 2), "\r\n") << "the last line has no line end";
}

TEST(DisplayTexts, StatusValuesWidenSixteenBitFieldsWithoutSign)
{
    SpectrumRecord record{};
    record.MeasCount = 4000000000u; // shown as a signed decimal, as the device's counter wraps
    record.ProcPeriod = 1000;
    record.MaxChA = 65535;
    record.MinChA = 1;
    record.MaxChB = 4095;
    record.MinChB = 0;
    record.ChargerStatus = 2;
    record.BatteryLevel = 3700;
    record.SysErrors = 0xA05;
    record.GPIOStatus = 0x1F7;
    char expected[512];
    std::snprintf(expected, sizeof expected,
                  "MeasCount: %-10d\nProcPeriod[us]: %-8d\nMaxChA: %-5d\nMinChA: %-5d\nMaxChB: %-5d\nMinChB: %-5d\n"
                  "ChargerStatus: %d\nBatteryLevel[mV]: %4d\nSysErrors: 0x%04X\nGPIOStatus: 0x%02X",
                  static_cast<int>(record.MeasCount), static_cast<int>(record.ProcPeriod), record.MaxChA, record.MinChA,
                  record.MaxChB, record.MinChB, record.ChargerStatus, record.BatteryLevel, record.SysErrors,
                  record.GPIOStatus);
    EXPECT_EQ(Text(FormatStatusValues, record), expected);
}

TEST(DisplayTexts, FixedScaleNeedsTwoIntegersInTheFirstNineteenCharacters)
{
    struct Case {
        const char* text;
        int32_t maximum, minimum;
    } cases[] = {
        {"1100 900", 1100, 900},   {"2 -2", 2, -2},         {"  7\t\r\n 3", 7, 3},     {"1100-900", 1100, -900},
        {"1100", 0, 0},            {"abc", 0, 0},           {"", 0, 0},                {"5 x", 0, 0},
        {"12 34 56", 12, 34},      {"1.5 2", 0, 0},         {"+8 -0", 8, 0},
        {"                 1 2", 0, 0}, // the second number lies beyond character 19
        {"4294967295 1", -1, 1},   // "%d" keeps the low 32 bits of what was written
    };
    for (const Case& c : cases) {
        const FixedScale scale = ReadFixedScale(c.text, std::strlen(c.text));
        EXPECT_EQ(scale.maximum, c.maximum) << '"' << c.text << '"';
        EXPECT_EQ(scale.minimum, c.minimum) << '"' << c.text << '"';
    }
}

TEST(CounterTracking, GapsAreCountedPerRecordWithTheUnsignedWrap)
{
    struct Case {
        uint32_t last;
        std::vector<uint32_t> counts;
        std::vector<uint32_t> lost; // one entry per reported gap, in order
        uint32_t lastAfter;
    } cases[] = {
        {6, {7, 8, 10}, {1}, 10},
        {0, {5}, {4}, 5},                       // first batch after program start
        {100, {50}, {4294967245u}, 50},        // backwards: 2^32 - 51
        {9, {10, 0, 1, 2}, {}, 2},              // a new counting sequence
        {9, {10, 0, 3}, {2}, 3},
        {UINT32_MAX - 1, {UINT32_MAX}, {}, UINT32_MAX},
        {UINT32_MAX, {1}, {1}, 1},              // m - 1 - last wraps too
        {3, {3}, {UINT32_MAX}, 3},              // the same spectrum twice
    };
    for (const Case& c : cases) {
        CounterTracking sequence{c.last, 0};
        std::vector<uint32_t> lost;
        for (uint32_t m : c.counts) {
            uint32_t n = 0;
            if (FollowMeasCount(sequence, m, &n))
                lost.push_back(n);
        }
        EXPECT_EQ(lost, c.lost) << "after " << c.last;
        EXPECT_EQ(sequence.LastMeasCount, c.lastAfter);
    }
}

TEST(CounterTracking, CountZeroMakesTheNextGpioStatusAChange)
{
    CounterTracking sequence{};
    EXPECT_TRUE(GpioStatusChanged(sequence, 0x06)) << "0 at program start";
    EXPECT_FALSE(GpioStatusChanged(sequence, 0x06));
    FollowMeasCount(sequence, 0, nullptr);
    EXPECT_TRUE(GpioStatusChanged(sequence, 0x06));
    EXPECT_FALSE(GpioStatusChanged(sequence, 0x06));
    EXPECT_TRUE(GpioStatusChanged(sequence, 0x07));
}

TEST(PanelRules, GainCodesBatchSizesAndGpioMasks)
{
    EXPECT_EQ(GainCode(0, 0), 0u);
    EXPECT_EQ(GainCode(3, 0), 3u);
    EXPECT_EQ(GainCode(0, 3), 12u);
    EXPECT_EQ(GainCode(2, 1), 6u);
    EXPECT_EQ(GainCode(-1, -1), 15u) << "no selection (CB_ERR) keeps its low bits";
    EXPECT_EQ(GainCode(7, 5), 7u);

    const struct {
        uint32_t divider;
        uint16_t perPoll;
    } sizes[] = {{1, 50}, {2, 25}, {4, 12}, {6, 8}, {14, 3}, {24, 2}, {28, 1}, {40, 1}, {48, 1}, {1792, 1}, {0, 1}};
    for (const auto& s : sizes)
        EXPECT_EQ(SpectraPerPollFor(s.divider), s.perPoll) << s.divider;

    for (uint32_t bits = 0; bits < 64; ++bits) {
        const bool levels[3] = {(bits & 1) != 0, (bits & 2) != 0, (bits & 4) != 0};
        const bool directions[3] = {(bits & 8) != 0, (bits & 16) != 0, (bits & 32) != 0};
        const uint32_t expected = (levels[0] ? 0x04 : 0) | (levels[1] ? 0x02 : 0) | (levels[2] ? 0x01 : 0) |
                                  (directions[0] ? 0x20 : 0) | (directions[1] ? 0x10 : 0) | (directions[2] ? 0x08 : 0);
        EXPECT_EQ(GpioMask(levels, directions), expected) << bits;
    }
    EXPECT_TRUE(GpioLineHigh(0x04, 1));
    EXPECT_TRUE(GpioLineHigh(0x02, 2));
    EXPECT_TRUE(GpioLineHigh(0x01, 3));
    EXPECT_FALSE(GpioLineHigh(0x0B, 1));
    EXPECT_FALSE(GpioLineHigh(0xFF, 0));
}

TEST(PanelRules, LibraryTextsToldApart)
{
    const struct {
        const char* text;
        bool error;
        bool deviceLoss;
    } cases[] = {
        {"ERROR: [00031] A device attached to the system is not functioning.", true, true},
        {"ERROR: [10031] DLL internal error.", true, true},
        {"ERROR: [00022] The device does not recognize the command.", true, false},
        {"ERROR: [14004] DLL internal error.", true, false},
        {"WARNING: Data polling timeout.", false, false},
        {"ERROR: [0003", true, false},
        {"ERROR: [00031", true, true},
        {"ERRO", true, false},
        {"ERR", false, false},
        {"", false, false},
        {nullptr, false, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsErrorText(c.text), c.error) << (c.text ? c.text : "null");
        EXPECT_EQ(ReportsDeviceLoss(c.text), c.deviceLoss) << (c.text ? c.text : "null");
    }
}
