// Replay of a measurement log by the software device: the model with time given by the test, and
// the control entry's answers to bad input.
#include "EmulatorRegistry.h"
#include "EmulatorTestSupport.h"
#include "KalvixEmulator.h"
#include "LogFormat.h"
#include "ScratchFiles.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr Micros T0 = 1'000'000'000;
constexpr Micros Ms = 1000;
constexpr const char* BadRow = "\t    12\t\tnot a row\r\n";

// A spectrum whose every field depends on its MeasCount.
SpectrumRecord RowOf(uint32_t count)
{
    SpectrumRecord row{};
    row.MeasCount = count;
    for (int i = 0; i < 15; ++i) {
        row.Module[i] = 1000.25f + count * 3.5f + i;
        row.Phase[i] = -45.5f + count * 0.25f - i;
    }
    const auto word = [&](uint32_t base) { return static_cast<uint16_t>(base + count); };
    row.ProcPeriod = 2000 + count;
    row.MaxChA = word(30000), row.MinChA = word(100), row.MaxChB = word(20000), row.MinChB = word(200);
    row.SysErrors = count & 0x6, row.GPIOStatus = count & 0x7, row.ChargerStatus = count % 3;
    row.BatteryLevel = static_cast<uint16_t>(3900 - count);
    return row;
}

std::string RowText(const SpectrumRecord& row)
{
    char buffer[1024];
    TextSink sink = MakeTextSink(buffer, sizeof buffer);
    FormatLogRow(sink, row);
    return std::string(buffer, sink.length);
}

// A log as the panel writes it; a count of UINT32_MAX stands for a row the reader cannot use.
std::string LogText(int32_t divider, const std::vector<uint32_t>& counts)
{
    float frequencies[15], shunt[30] = {}, comp[30] = {};
    for (int i = 0; i < 15; ++i)
        frequencies[i] = 1000.0f * (i + 1) / static_cast<float>(divider);
    const LogHeaderData header{"replay.txt", {2026, 1, 2, 3, 4, 5}, "Kalvix Z-Meter", "KX10240001", "AFE", divider,
                               127, "x1", "x1", 0, 0, 0, 0, frequencies, shunt, comp};
    char buffer[8192];
    TextSink sink = MakeTextSink(buffer, sizeof buffer);
    FormatLogHeader(sink, header);
    std::string text(buffer, sink.length);
    for (uint32_t count : counts)
        text += count == UINT32_MAX ? std::string(BadRow) : RowText(RowOf(count));
    return text;
}

struct Sent {
    Micros at;
    SpectrumRecord record;
};

struct ReplayModelTest : ::testing::Test {
    DeviceModel device;
    ScratchFolder folder;

    void SetUp() override
    {
        ResetDevice(device, 0, T0);
        Send(device, Req(OpDivider, {6}), T0); // the host's divider: one spectrum per transfer
    }
    std::string WriteLog(int32_t divider, const std::vector<uint32_t>& counts)
    {
        const std::string path = folder.File("log" + std::to_string(++logs) + ".txt");
        WriteBytes(path, LogText(divider, counts));
        return path;
    }
    void Replay(const std::string& path, bool loop, Micros at = T0)
    {
        LogReplay replay;
        std::string error;
        ASSERT_TRUE(OpenLogReplay(replay, path, loop, error)) << error;
        SetReplay(device, std::move(replay), at);
    }
    // Reads every millisecond from `from` to `until`: the spectra and when each came.
    std::vector<Sent> Collect(Micros from, Micros until)
    {
        std::vector<Sent> sent;
        for (Micros t = from; t <= until; t += Ms) {
            for (auto block = Take(device, 4 * SpectrumFrameLength, t); !block.empty();
                 block = Take(device, 4 * SpectrumFrameLength, t))
                for (const FoundFrame& frame : FramesIn(block))
                    if (frame.tag == TagSpectrum)
                        sent.push_back({t, SpectrumAt(block, frame.offset)});
        }
        return sent;
    }
    int logs = 0;
};

TEST_F(ReplayModelTest, RowsComeAsRecordedPacedByTheLogsDividerAndCountGaps)
{
    struct Case {
        const char* what;
        int32_t divider;
        std::vector<uint32_t> counts;        // UINT32_MAX: an unusable row
        std::vector<uint32_t> periodsAfterStart;
    } cases[] = {
        {"no gaps", 5, {0, 1, 2, 3}, {1, 2, 3, 4}},
        {"gaps kept", 2, {7, 8, 12, 13, 20}, {1, 2, 6, 7, 14}},
        {"backwards and a long jump take one period", 3, {100, 99, 5000, 5001}, {1, 2, 3, 4}},
        {"unusable rows skipped", 4, {1, UINT32_MAX, 2, 3, UINT32_MAX}, {1, 2, 3}},
    };
    for (const Case& c : cases) {
        SetUp();
        Replay(WriteLog(c.divider, c.counts), false);
        Send(device, Req(OpStart, {0}), T0);
        const Micros period = static_cast<Micros>(c.divider) * Ms;
        const std::vector<Sent> sent = Collect(T0, T0 + 40 * period);
        std::vector<uint32_t> rows;
        for (uint32_t count : c.counts)
            if (count != UINT32_MAX)
                rows.push_back(count);
        ASSERT_EQ(sent.size(), rows.size()) << c.what;
        for (size_t k = 0; k < rows.size(); ++k) {
            EXPECT_EQ(RowText(sent[k].record), RowText(RowOf(rows[k]))) << c.what << " row " << k;
            EXPECT_EQ(sent[k].at, T0 + c.periodsAfterStart[k] * period) << c.what << " row " << k;
        }
        EXPECT_EQ(device.replay.rowsSkipped, c.counts.size() - rows.size()) << c.what;
    }
}

TEST_F(ReplayModelTest, EndOfLogStopsOrStartsOverAndEveryStartBeginsAtTheFirstRow)
{
    struct Case {
        bool loop;
        std::vector<uint32_t> expected; // counts sent in 8 periods after each of two starts
    } cases[] = {
        {false, {4, 5, 6}},
        {true, {4, 5, 6, 4, 5, 6, 4, 5}},
    };
    for (const Case& c : cases) {
        SetUp();
        Replay(WriteLog(1, {4, 5, 6}), c.loop);
        for (Micros start : {T0, T0 + 100 * Ms}) {
            Send(device, Req(OpStart, {0}), start);
            std::vector<uint32_t> counts;
            for (const Sent& s : Collect(start, start + 8 * Ms + Ms / 2))
                counts.push_back(s.record.MeasCount);
            EXPECT_EQ(counts, c.expected) << (c.loop ? "loop" : "once");
            Send(device, Req(OpcodeStop), start + 50 * Ms);
            Collect(start + 50 * Ms, start + 99 * Ms);
        }
    }
}

TEST_F(ReplayModelTest, LastRowsGoOutInAShortGroupWhenTheLogEnds)
{
    ASSERT_EQ(DividerForCode(0), 1);
    for (uint32_t rows : {1u, 4u, 5u, 7u}) {
        SetUp();
        Send(device, Req(OpDivider, {0}), T0); // four spectra per transfer
        std::vector<uint32_t> counts(rows);
        for (uint32_t k = 0; k < rows; ++k)
            counts[k] = k;
        Replay(WriteLog(1, counts), false);
        Send(device, Req(OpStart, {0}), T0);
        std::vector<uint32_t> sent;
        for (const Sent& s : Collect(T0, T0 + 20 * Ms))
            sent.push_back(s.record.MeasCount);
        EXPECT_EQ(sent, counts) << rows << " rows";
    }
}

TEST_F(ReplayModelTest, EndingReplayMeasuresTheObjectAgain)
{
    Replay(WriteLog(1, {900, 901}), false);
    Send(device, Req(OpStart, {0}), T0);
    ASSERT_EQ(Collect(T0, T0 + 5 * Ms).size(), 2u);
    SetReplay(device, LogReplay{}, T0 + 5 * Ms);
    const std::vector<Sent> sent = Collect(T0 + 6 * Ms, T0 + 30 * Ms);
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(sent[0].record.MeasCount, 902u) << "the device goes on after the last count sent";
    EXPECT_NE(RowText(sent[0].record), RowText(RowOf(902)));
}

// The source of spectra is chosen as a measurement starts (a replay set while idle waits for
// it); a replay set or ended while measuring switches the running measurement at once.
TEST_F(ReplayModelTest, StartChoosesTheSourceOfSpectra)
{
    enum Change { None, SetLog, EndLog };
    struct Case {
        const char* what;
        Change beforeStart;
        uint16_t startOpcode;
        Change whileMeasuring;
        const SpectrumSource* source;
    } cases[] = {
        {"no log: the object", None, OpStart, None, &ObjectSpectra},
        {"log set while idle: its rows", SetLog, OpStart, None, &LogRows},
        {"log set while idle, external trigger: its rows on pulses", SetLog, OpTrigger, None, &LogRows},
        {"log set and ended while idle: the object", EndLog, OpStart, None, &ObjectSpectra},
        {"log set while measuring the object: its rows at once", None, OpStart, SetLog, &LogRows},
        {"log ended while measuring it: the object at once", SetLog, OpStart, EndLog, &ObjectSpectra},
        {"log set under external trigger: the next burst's rows", None, OpTrigger, SetLog, &LogRows},
    };
    for (const Case& c : cases) {
        SetUp();
        const std::string log = WriteLog(3, {500, 501, 502});
        const auto change = [&](Change what, Micros at) {
            if (what != None)
                Replay(log, false, at);
            if (what == EndLog)
                SetReplay(device, LogReplay{}, at);
        };
        change(c.beforeStart, T0);
        EXPECT_EQ(device.source, &ObjectSpectra) << c.what << ": an idle device has not chosen";
        Send(device, Req(c.startOpcode, {1}), T0);
        const Micros from = c.whileMeasuring == None ? T0 : T0 + Ms;
        change(c.whileMeasuring, from);
        EXPECT_EQ(device.source, c.source) << c.what;
        if (c.startOpcode == OpTrigger)
            FireTriggerPulses(device, 1, from);
        const Micros period = (c.source == &LogRows ? 3 : 6) * Ms; // the log's divider or the host's
        EXPECT_TRUE(Take(device, SpectrumFrameLength, from + period - 1).empty()) << c.what;
        const std::vector<uint32_t> first = MeasCountsIn(Take(device, SpectrumFrameLength, from + period));
        EXPECT_EQ(first, std::vector<uint32_t>({c.source == &LogRows ? 500u : 0u})) << c.what;
    }
}

TEST_F(ReplayModelTest, AStartWhoseLogIsGoneSendsNothing)
{
    const std::string log = WriteLog(1, {7, 8});
    Replay(log, false);
    Send(device, Req(OpStart, {0}), T0);
    ASSERT_EQ(Collect(T0, T0 + 10 * Ms).size(), 2u);
    Send(device, Req(OpcodeStop), T0 + 20 * Ms);
    Collect(T0 + 20 * Ms, T0 + 50 * Ms);
    ASSERT_EQ(std::remove(log.c_str()), 0);
    Send(device, Req(OpStart, {0}), T0 + 100 * Ms);
    EXPECT_EQ(device.source, &LogRows);
    EXPECT_TRUE(device.outbox.grouping.sourceEnded);
    EXPECT_TRUE(Collect(T0 + 100 * Ms, T0 + 150 * Ms).empty());
}

struct ReplayControlTest : ::testing::Test {
    ScratchFolder folder;
    void SetUp() override { ASSERT_EQ(KalvixEmulatorControl(0, KALVIX_EMU_RESET, 0, nullptr, 0), 0); }
    void TearDown() override { KalvixEmulatorControl(0, KALVIX_EMU_RESET, 0, nullptr, 0); }
    int32_t SetReplayPath(uint32_t instance, const std::string& path, int32_t loop)
    {
        std::string text = path;
        return KalvixEmulatorControl(instance, KALVIX_EMU_REPLAY, loop, text.data(), static_cast<uint32_t>(text.size() + 1));
    }
    static const LogReplay& ReplayOf(uint32_t instance) { return TheEmulator().instances[instance].device.replay; }
};

TEST_F(ReplayControlTest, BadInputIsRefusedAndLeavesTheReplayAsItWas)
{
    const std::string good = folder.File("good.txt"), log = LogText(2, {1});
    WriteBytes(good, LogText(2, {1, 2, 3}));
    std::string noDivider = log;
    noDivider.replace(noDivider.find("FrequencyDivider="), 17, "FrequencyDividr=");
    struct Case {
        const char* what;
        uint32_t instance;
        const char* file;     // nullptr: no such file
        std::string contents;
        int32_t loop;
        int32_t expected;
    } cases[] = {
        {"missing file", 0, nullptr, "", 0, KALVIX_EMU_ERR_LOG},
        {"not a log", 0, "text.txt", "just some text\r\nnothing more\r\n", 0, KALVIX_EMU_ERR_LOG},
        {"empty file", 0, "empty.txt", "", 1, KALVIX_EMU_ERR_LOG},
        {"header without the rows' titles", 0, "head.txt", log.substr(0, log.find("\t\t\t\tModule")), 0, KALVIX_EMU_ERR_LOG},
        {"no divider", 0, "nodivider.txt", noDivider, 0, KALVIX_EMU_ERR_LOG},
        {"loop not 0 or 1", 0, "log.txt", log, 2, KALVIX_EMU_ERR_VALUE},
        {"no such instance", MaxInstances, "log.txt", log, 0, KALVIX_EMU_ERR_INSTANCE},
    };
    ASSERT_EQ(SetReplayPath(0, good, 1), 0);
    for (const Case& c : cases) {
        const std::string path = folder.File(c.file ? c.file : "missing.txt");
        if (c.file)
            WriteBytes(path, c.contents);
        EXPECT_EQ(SetReplayPath(c.instance, path, c.loop), c.expected) << c.what;
        EXPECT_EQ(ReplayOf(0).path, good) << c.what;
        EXPECT_TRUE(ReplayOf(0).loop) << c.what;
        EXPECT_EQ(ReplayOf(0).divider, 2) << c.what;
    }
    char unterminated[4] = {'a', 'b', 'c', 'd'};
    EXPECT_EQ(KalvixEmulatorControl(0, KALVIX_EMU_REPLAY, 0, unterminated, sizeof unterminated), KALVIX_EMU_ERR_DATA);
    EXPECT_EQ(ReplayOf(0).path, good);
}

TEST_F(ReplayControlTest, EmptyPathOrNoDataEndsTheReplay)
{
    const std::string good = folder.File("good.txt");
    WriteBytes(good, LogText(1, {1}));
    struct Case {
        const char* what;
        bool noData;
    } cases[] = {{"empty path", false}, {"no data", true}};
    ASSERT_EQ(SetReplayPath(0, good, 0), 0);
    for (const Case& c : cases) {
        ASSERT_EQ(SetReplayPath(1, good, 0), 0) << c.what;
        ASSERT_EQ(ReplayOf(1).path, good) << c.what;
        const int32_t result = c.noData ? KalvixEmulatorControl(1, KALVIX_EMU_REPLAY, 0, nullptr, 0) : SetReplayPath(1, "", 0);
        EXPECT_EQ(result, 0) << c.what;
        EXPECT_FALSE(IsReplaying(ReplayOf(1))) << c.what;
        EXPECT_EQ(ReplayOf(0).path, good) << c.what << ": another instance is untouched";
    }
}

} // namespace
