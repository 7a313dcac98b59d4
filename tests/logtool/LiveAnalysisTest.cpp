// The live view's fits and validity tests: blocks of a followed recording fitted and tested as
// `track --mean` fits the same blocks, their boundaries, restarts, the series document and the
// fitted curve, and the memory a day of results takes.
#include "TestLogs.h"
#include "data/Json.h"
#include "data/SpectrumThinning.h"
#include "fit/TrackFitting.h"
#include "live/LiveAnalysis.h"
#include "live/LiveResults.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <numbers>
#include <optional>
#include <tuple>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

Circuit Parsed(const char* text)
{
    Circuit circuit;
    std::string error;
    EXPECT_TRUE(ParseCircuit(text, circuit, error)) << error;
    return circuit;
}

std::vector<double> DeviceFrequencies()
{
    return std::vector<double>(std::begin(TestLogFrequencies), std::end(TestLogFrequencies));
}

// R0 + R1 || C1 as the panel logs it (module and phase as floats). `sweepDrift` makes R1 change
// along the sweep itself (by that fraction from the first frequency to the last), which no causal
// linear system does.
SpectrumRecord RcRecord(double r0, double r1, double c1, double sweepDrift = 0)
{
    SpectrumRecord record{};
    for (size_t k = 0; k < 15; ++k) {
        const double r = r1 * (1 + sweepDrift * static_cast<double>(k) / 14);
        const double omega = 2 * std::numbers::pi * TestLogFrequencies[k];
        const std::complex<double> z = r0 + r / std::complex<double>(1.0, omega * r * c1);
        record.Module[k] = static_cast<float>(std::abs(z));
        record.Phase[k] = static_cast<float>(std::arg(z) * 180 / std::numbers::pi);
    }
    return record;
}

Spectrum SpectrumOf(const SpectrumRecord& record, uint64_t count)
{
    Spectrum spectrum;
    spectrum.frequency = DeviceFrequencies();
    for (size_t k = 0; k < 15; ++k)
        spectrum.impedance.push_back(ImpedanceFromPolar(record.Module[k], record.Phase[k]));
    spectrum.measCount = count;
    return spectrum;
}

// The drifting recording: R1 grows by 0.1 ohm per count from 1000.
SpectrumRecord DriftRecord(uint64_t count)
{
    return RcRecord(100, 1000 + 0.1 * static_cast<double>(count), 1e-8);
}

LiveAnalysisSettings Settings(bool circuit, bool check, double every_s)
{
    LiveAnalysisSettings settings;
    if (circuit)
        settings.circuit = Parsed("R0-p(R1,C1)");
    settings.check = check;
    settings.every_s = every_s;
    return settings;
}

// Waits until the worker has nothing left; false after 60 s.
bool WaitIdle(const LiveAnalysis& analysis)
{
    const auto until = Clock::now() + std::chrono::seconds(60);
    while (analysis.Progress().blocksPending != 0)
        if (Clock::now() > until)
            return false;
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
    return true;
}

Json AllSeries(const LiveAnalysis& analysis)
{
    return analysis.Series(-1e300, 1e300, 1000000);
}

std::vector<double> Numbers(const Json& column)
{
    std::vector<double> numbers;
    for (const Json& value : column)
        numbers.push_back(value.is_null() ? std::nan("") : value.get<double>());
    return numbers;
}

// A block outcome for the pure result tests: fitted with R0 = value, R1 = 10 value, C1 = 1e-8.
LiveBlockOutcome FittedOutcome(uint64_t block, double value)
{
    LiveBlockOutcome outcome;
    outcome.block = block;
    outcome.spectra = 3;
    outcome.fitRun = true;
    outcome.fit.fitted = true;
    outcome.fit.fit.converged = true;
    outcome.fit.fit.chi2Reduced = 0.25;
    for (const double v : {value, 10 * value, 1e-8})
        outcome.fit.fit.parameters.push_back({"", v, 0.0, v * 0.9, v * 1.1, false, false});
    outcome.checkRun = true;
    outcome.checked = true;
    outcome.check.M = 4;
    outcome.check.mu = 0.5;
    outcome.check.valid = true;
    outcome.check.residualsReal = {0.001, -0.003};
    outcome.check.residualsImag = {0.002, 0.0};
    return outcome;
}

LiveBlockOutcome UnfittedOutcome(uint64_t block)
{
    LiveBlockOutcome outcome;
    outcome.block = block;
    outcome.spectra = 1;
    outcome.fitRun = true;
    outcome.fit.error = "the impedance at 1000 Hz is zero";
    outcome.checkRun = true;
    outcome.checkError = "an impedance is 0";
    return outcome;
}

LiveResults ResultsOf(const std::vector<uint64_t>& blocks, const std::vector<uint64_t>& unfitted = {})
{
    LiveResults results;
    results.parameterCount = 3;
    for (const uint64_t block : blocks)
        KeepBlock(results, std::count(unfitted.begin(), unfitted.end(), block) ? UnfittedOutcome(block)
                                                                                : FittedOutcome(block, 1.0 + block));
    return results;
}

} // namespace

// Row by row, every block's fit and test equal those of the same blocks' means fitted as track
// --mean fits them (one chain, each from the one before) and tested as check tests them, and the
// fitted R1 follows the drift.
TEST(LiveAnalysis, FollowsTheDriftAsTrackMeanFitsTheSameBlocks)
{
    constexpr uint64_t PerBlock = 100, Blocks = 12;
    LiveAnalysis analysis(Settings(true, true, 1.0));
    analysis.Restart(0.01, DeviceFrequencies());
    for (uint64_t count = 0; count < PerBlock * Blocks; ++count)
        analysis.Add(count, DriftRecord(count));
    analysis.Flush();
    ASSERT_TRUE(WaitIdle(analysis));

    SpectrumThinning thinning({1, PerBlock});
    uint64_t next = 0;
    std::vector<TrackOutcome> expected;
    std::vector<KkResult> expectedChecks;
    RunTrack(
        *Settings(true, false, 1).circuit, FitOptions{}, TrackSettings{1, 1},
        [&](TrackItem& item) {
            for (; !thinning.Ready() && next < PerBlock * Blocks; ++next)
                thinning.Offer(SpectrumOf(DriftRecord(next), next));
            if (!thinning.FinishLastBlock())
                return false;
            ThinnedSpectrum block = thinning.Take();
            item.spectrum = std::move(block.spectrum);
            item.spectra = block.spectra;
            return true;
        },
        [&](const TrackItem& item, const TrackOutcome& outcome) {
            expected.push_back(outcome);
            KkResult check;
            std::string error;
            EXPECT_TRUE(RunKramersKronig(item.spectrum, KkOptions{}, check, error)) << error;
            expectedChecks.push_back(check);
        });
    ASSERT_EQ(expected.size(), Blocks);

    const Json series = AllSeries(analysis);
    const Json& fits = series["fits"];
    const Json& validity = series["validity"];
    EXPECT_EQ(series["circuit"], "R0-p(R1,C1)");
    EXPECT_EQ(series["blocks_done"], Blocks);
    EXPECT_EQ(series["blocks_pending"], 0);
    ASSERT_EQ(fits["time_s"].size(), Blocks);
    for (uint64_t b = 0; b < Blocks; ++b) {
        SCOPED_TRACE(b);
        const FitResult& fit = expected[b].fit;
        ASSERT_TRUE(expected[b].fitted) << expected[b].error;
        EXPECT_EQ(fits["time_s"][b], b + 0.5);
        EXPECT_EQ(fits["spectra"][b], PerBlock);
        EXPECT_EQ(fits["status"][b], "ok");
        EXPECT_EQ(static_cast<float>(fits["chi2_reduced"][b].get<double>()), static_cast<float>(fit.chi2Reduced));
        for (size_t p = 0; p < 3; ++p) {
            const Json& parameter = fits["parameters"][p];
            EXPECT_EQ(parameter["name"], fit.parameters[p].name);
            EXPECT_EQ(parameter["value"][b].get<double>(), fit.values[p]);
            EXPECT_EQ(static_cast<float>(parameter["low"][b].get<double>()), static_cast<float>(fit.parameters[p].ciLow));
            EXPECT_EQ(static_cast<float>(parameter["high"][b].get<double>()), static_cast<float>(fit.parameters[p].ciHigh));
        }
        // The block's mean R1 (the mean of a straight drift), to the second-order effect of the mean.
        EXPECT_NEAR(fits["parameters"][1]["value"][b].get<double>(), 1000 + 0.1 * (PerBlock * b + 49.5), 0.05);
        EXPECT_EQ(validity["time_s"][b], b + 0.5);
        EXPECT_EQ(validity["M"][b], expectedChecks[b].M);
        EXPECT_EQ(static_cast<float>(validity["mu"][b].get<double>()), static_cast<float>(expectedChecks[b].mu));
        EXPECT_EQ(static_cast<float>(validity["largest_residual"][b].get<double>()),
                  static_cast<float>(LargestResidual(expectedChecks[b])));
        EXPECT_EQ(validity["valid"][b], true);
        EXPECT_EQ(validity["status"][b], "ok");
    }
    EXPECT_EQ(fits["parameters"][0]["unit"], "Ω");
    EXPECT_EQ(fits["parameters"][2]["unit"], "F");
    const LiveAnalysisProgress progress = analysis.Progress();
    EXPECT_EQ(progress.blocksDone, Blocks);
    EXPECT_EQ(progress.lastTime_s, Blocks - 0.5);
    EXPECT_GT(progress.busy_s, 0);
}

// Where each spectrum goes: blocks by the recording's time, a block complete only once a spectrum
// past it arrives (or at Flush), gaps inside a block and over whole blocks, counts that go back.
TEST(LiveAnalysis, BlockBoundaries)
{
    struct Case {
        const char* name;
        double period_s, every_s;
        std::vector<uint64_t> counts;
        std::vector<std::pair<uint64_t, uint64_t>> beforeFlush, afterFlush;   // (block, spectra)
    };
    const std::vector<Case> cases = {
        {"three a block", 1, 3, {0, 1, 2, 3, 4, 5, 6, 7, 8}, {{0, 3}, {1, 3}}, {{0, 3}, {1, 3}, {2, 3}}},
        {"a gap inside a block", 1, 3, {0, 1, 2, 3, 5, 6, 7}, {{0, 3}, {1, 2}}, {{0, 3}, {1, 2}, {2, 2}}},
        {"a gap over a whole block", 1, 3, {0, 1, 2, 7, 8}, {{0, 3}}, {{0, 3}, {2, 2}}},
        {"the first block late", 1, 3, {4, 5, 6}, {{1, 2}}, {{1, 2}, {2, 1}}},
        {"counts that go back", 1, 3, {0, 1, 2, 3, 4, 1, 5, 2, 6}, {{0, 3}, {1, 3}}, {{0, 3}, {1, 3}, {2, 1}}},
        {"milliseconds into tenths", 0.001, 0.3, {0, 299, 300, 599, 600, 601}, {{0, 2}, {1, 2}},
         {{0, 2}, {1, 2}, {2, 2}}},
        {"one spectrum, only at Flush", 1, 1, {0}, {}, {{0, 1}}},
        {"nothing", 1, 1, {}, {}, {}},
    };
    auto blocksOf = [](const LiveAnalysis& analysis, double every_s) {
        const Json series = AllSeries(analysis);
        std::vector<std::pair<uint64_t, uint64_t>> blocks;
        for (size_t i = 0; i < series["fits"]["time_s"].size(); ++i)
            blocks.emplace_back(std::llround(series["fits"]["time_s"][i].get<double>() / every_s - 0.5),
                                series["fits"]["spectra"][i].get<uint64_t>());
        return blocks;
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LiveAnalysis analysis(Settings(true, false, c.every_s));
        analysis.Restart(c.period_s, DeviceFrequencies());
        for (const uint64_t count : c.counts)
            analysis.Add(count, DriftRecord(count));
        ASSERT_TRUE(WaitIdle(analysis));
        EXPECT_EQ(blocksOf(analysis, c.every_s), c.beforeFlush);
        analysis.Flush();
        ASSERT_TRUE(WaitIdle(analysis));
        EXPECT_EQ(blocksOf(analysis, c.every_s), c.afterFlush);
        analysis.Flush();   // nothing open: nothing more
        ASSERT_TRUE(WaitIdle(analysis));
        EXPECT_EQ(analysis.Progress().blocksDone, c.afterFlush.size());
    }
}

// A block arriving over several polls is one block: the mean of all of its spectra, fitted once.
TEST(LiveAnalysis, ABlockSplitOverPollsIsOneMean)
{
    LiveAnalysis analysis(Settings(true, false, 1.0));
    analysis.Restart(0.1, DeviceFrequencies());
    // Two spectra of different R1 whose mean is fitted: as one block, never as two.
    analysis.Add(0, RcRecord(100, 900, 1e-8));
    ASSERT_TRUE(WaitIdle(analysis));
    EXPECT_EQ(analysis.Progress().blocksDone, 0u);
    for (uint64_t count = 1; count < 10; ++count)
        analysis.Add(count, RcRecord(100, count < 5 ? 900 : 1100, 1e-8));
    analysis.Add(10, RcRecord(100, 5000, 1e-8));   // the next block's first
    ASSERT_TRUE(WaitIdle(analysis));
    const Json fits = AllSeries(analysis)["fits"];
    ASSERT_EQ(fits["time_s"].size(), 1u);
    EXPECT_EQ(fits["spectra"][0], 10);
    EXPECT_NEAR(fits["parameters"][1]["value"][0].get<double>(), 1000, 5);
}

// The blocks a document shows: by their middle in [from, to], evenly thinned to at most `points`,
// the first and last of the range always kept.
TEST(LiveResults, SeriesRangeAndThinning)
{
    struct Case {
        double from, to;
        size_t points;
        std::vector<uint64_t> blocks;   // of ResultsOf({0..9, 15, 16})
    };
    const std::vector<Case> cases = {
        {0, 100, 100, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 15, 16}},
        {2, 5, 100, {2, 3, 4}},
        {2.5, 4.5, 100, {2, 3, 4}},
        {2.6, 4.4, 100, {3}},
        {9.6, 15.4, 100, {}},
        {9.5, 15.5, 100, {9, 15}},
        {0, 100, 4, {0, 3, 7, 16}},
        {0, 9.5, 4, {0, 3, 6, 9}},
        {0, 9.5, 3, {0, 4, 9}},
        {0, 100, 1, {0}},
        {0, 100, 0, {}},
        {20, 30, 10, {}},
        {5, 2, 10, {}},
        {std::nan(""), 10, 10, {}},
        {-1e300, 1e300, 12, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 15, 16}},
    };
    const LiveResults results = ResultsOf({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 15, 16});
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.from << ".." << c.to << " at " << c.points);
        std::vector<uint64_t> blocks;
        for (const size_t index : SelectBlocks(results, 1.0, c.from, c.to, c.points))
            blocks.push_back(ColumnAt(results.blocks, index).block);
        EXPECT_EQ(blocks, c.blocks);
    }
}

// A value not computed is null (never NaN in the text), with the reason as the block's status;
// kept floats read as their shortest digits; fits and validity only when asked for.
TEST(LiveResults, SeriesDocumentNullsAndReasons)
{
    LiveResults results = ResultsOf({0, 1, 2}, {1});
    LiveBlockOutcome notConverged = FittedOutcome(3, 1);
    notConverged.fit.fit.converged = false;
    notConverged.check.valid = false;
    KeepBlock(results, notConverged);
    const Circuit circuit = Parsed("R0-p(R1,C1)");
    LiveSeriesHead head{&circuit, true, 2.0, 4, 1};
    const Json document = SeriesDocument(head, CopyBlocks(results, SelectBlocks(results, 2.0, 0, 100, 100)));
    const std::string text = JsonText(document);
    EXPECT_EQ(text.find("nan"), std::string::npos) << text;
    EXPECT_EQ(text.find("inf"), std::string::npos) << text;
    const Json& fits = document["fits"];
    const Json& validity = document["validity"];
    EXPECT_EQ(Numbers(fits["time_s"]), (std::vector<double>{1, 3, 5, 7}));
    EXPECT_EQ(fits["status"], Json({"ok", "the impedance at 1000 Hz is zero", "ok", "not converged"}));
    EXPECT_EQ(fits["chi2_reduced"], Json({0.25, nullptr, 0.25, 0.25}));
    EXPECT_EQ(fits["parameters"][0]["value"], Json({1.0, nullptr, 3.0, 1.0}));
    EXPECT_EQ(fits["parameters"][0]["low"], Json({0.9, nullptr, 2.7, 0.9}));
    EXPECT_EQ(fits["parameters"][1]["high"], Json({11.0, nullptr, 33.0, 11.0}));
    EXPECT_EQ(validity["M"], Json({4, nullptr, 4, 4}));
    EXPECT_EQ(validity["mu"], Json({0.5, nullptr, 0.5, 0.5}));
    EXPECT_EQ(validity["largest_residual"], Json({0.003, nullptr, 0.003, 0.003}));
    EXPECT_EQ(validity["valid"], Json({true, nullptr, true, false}));
    EXPECT_EQ(validity["status"], Json({"ok", "an impedance is 0", "ok", "ok"}));
    EXPECT_EQ(document["every_s"], 2.0);
    EXPECT_EQ(document["blocks_done"], 4);
    EXPECT_EQ(document["blocks_pending"], 1);

    for (const auto& [withCircuit, check] : {std::pair{false, true}, std::pair{true, false}}) {
        const Json part = SeriesDocument({withCircuit ? &circuit : nullptr, check, 1, 0, 0}, {});
        EXPECT_EQ(part.contains("fits"), withCircuit);
        EXPECT_EQ(part.contains("validity"), check);
        EXPECT_EQ(part["circuit"].is_null(), !withCircuit);
        EXPECT_EQ(part["check"], check);
    }
}

// However many different reasons blocks fail for, a bounded number of texts is kept.
TEST(LiveResults, ReasonsAreKeptOnceAndBounded)
{
    LiveResults results;
    results.parameterCount = 3;
    for (uint64_t block = 0; block < 3 * LiveMostReasons; ++block) {
        LiveBlockOutcome outcome = UnfittedOutcome(block);
        outcome.fit.error = "reason " + std::to_string(block % (2 * LiveMostReasons));
        outcome.checkRun = false;
        KeepBlock(results, outcome);
    }
    EXPECT_EQ(results.reasons.size(), LiveMostReasons);
    const Circuit circuit = Parsed("R0-p(R1,C1)");
    const Json fits =
        SeriesDocument({&circuit, false, 1, 0, 0}, CopyBlocks(results, SelectBlocks(results, 1, 0, 1e9, 1000)))["fits"];
    EXPECT_EQ(fits["status"][0], "reason 0");
    EXPECT_EQ(fits["status"][LiveMostReasons - 2], "reason " + std::to_string(LiveMostReasons - 2));
    EXPECT_EQ(fits["status"][LiveMostReasons - 1], LiveReasonsFull);
    EXPECT_EQ(fits["status"][2 * LiveMostReasons - 1], LiveReasonsFull);
    EXPECT_EQ(fits["status"][2 * LiveMostReasons], "reason 0");   // the same text again: the same entry
}

// The fitted block for a curve: the one holding the time, else the nearest with values.
TEST(LiveResults, NearestFittedBlock)
{
    const LiveResults results = ResultsOf({0, 1, 2, 5, 6}, {1, 6});
    const std::vector<std::pair<double, int64_t>> cases = {
        {0.2, 0}, {1.2, 0}, {1.6, 2}, {2.9, 2}, {4.0, 2}, {4.1, 5}, {5.9, 5}, {6.5, 5}, {100, 5}, {-3, 0}, {std::nan(""), -1},
    };
    for (const auto& [time, block] : cases) {
        SCOPED_TRACE(time);
        size_t index = 99;
        const bool found = NearestFittedBlock(results, 1.0, time, index);
        EXPECT_EQ(found, block >= 0);
        if (found) {
            EXPECT_EQ(ColumnAt(results.blocks, index).block, static_cast<uint64_t>(block));
        }
    }
    size_t index = 0;
    EXPECT_FALSE(NearestFittedBlock(ResultsOf({0, 1}, {0, 1}), 1.0, 0.5, index));
    EXPECT_FALSE(NearestFittedBlock(LiveResults{}, 1.0, 0.5, index));
}

// The curve of a fitted block is the circuit's impedance with the block's values.
TEST(LiveAnalysis, FittedCurve)
{
    const std::vector<double> frequencies = {10, 1000, 1e5};
    std::vector<std::complex<double>> impedance;
    double blockTime = -1;
    LiveAnalysis checkOnly(Settings(false, true, 1.0));
    checkOnly.Restart(1, DeviceFrequencies());
    checkOnly.Add(0, DriftRecord(0));
    checkOnly.Flush();
    ASSERT_TRUE(WaitIdle(checkOnly));
    EXPECT_FALSE(checkOnly.FittedCurve(0.5, frequencies, impedance, blockTime));

    LiveAnalysis analysis(Settings(true, false, 2.0));
    analysis.Restart(1, DeviceFrequencies());
    EXPECT_FALSE(analysis.FittedCurve(0.5, frequencies, impedance, blockTime));
    for (uint64_t count = 0; count < 4; ++count)
        analysis.Add(count, RcRecord(100, count < 2 ? 1000 : 2000, 1e-8));
    analysis.Flush();
    ASSERT_TRUE(WaitIdle(analysis));
    const Circuit circuit = Parsed("R0-p(R1,C1)");
    for (const auto& [time, r1, middle] : {std::tuple{0.3, 1000.0, 1.0}, std::tuple{3.9, 2000.0, 3.0},
                                           std::tuple{50.0, 2000.0, 3.0}}) {
        SCOPED_TRACE(time);
        ASSERT_TRUE(analysis.FittedCurve(time, frequencies, impedance, blockTime));
        EXPECT_EQ(blockTime, middle);
        ASSERT_EQ(impedance.size(), frequencies.size());
        const double exact[] = {100, r1, 1e-8};
        for (size_t i = 0; i < frequencies.size(); ++i)
            EXPECT_LT(std::abs(impedance[i] - CircuitImpedance(circuit, exact, frequencies[i])),
                      1e-5 * std::abs(impedance[i]));
    }
}

// The test's verdict per block: a clean RC spectrum is valid; one that drifts along its own
// sweep is not, and its largest residual says by how much.
TEST(LiveAnalysis, CheckVerdicts)
{
    struct Case {
        double sweepDrift;
        bool valid;
    };
    LiveAnalysis analysis(Settings(false, true, 1.0));
    analysis.Restart(0.5, DeviceFrequencies());
    const std::vector<Case> cases = {{0, true}, {0.5, false}, {0, true}, {-0.3, false}};
    uint64_t count = 0;
    for (const Case& c : cases)
        for (int i = 0; i < 2; ++i, ++count)
            analysis.Add(count, RcRecord(100, 1000, 1e-8, c.sweepDrift));
    analysis.Flush();
    ASSERT_TRUE(WaitIdle(analysis));
    const Json series = AllSeries(analysis);
    EXPECT_FALSE(series.contains("fits"));
    const Json& validity = series["validity"];
    ASSERT_EQ(validity["valid"].size(), cases.size());
    for (size_t b = 0; b < cases.size(); ++b) {
        SCOPED_TRACE(b);
        EXPECT_EQ(validity["valid"][b], cases[b].valid);
        const double largest = validity["largest_residual"][b].get<double>();
        if (cases[b].valid)
            EXPECT_LT(largest, 0.01);
        else
            EXPECT_GT(largest, 0.01);
        EXPECT_GE(validity["M"][b].get<int>(), 1);
    }
}

// A restart while the worker is busy drops the old blocks, queued or in hand: only the new
// measurement's results are kept, its chain of fits starting afresh.
TEST(LiveAnalysis, RestartWhileBusyDropsTheOldResults)
{
    LiveAnalysis analysis(Settings(true, true, 1.0));
    analysis.Restart(1, DeviceFrequencies());
    for (uint64_t count = 0; count < 3000; ++count)
        analysis.Add(count, RcRecord(100, 1000, 1e-8));
    ASSERT_GT(analysis.Progress().blocksPending, 0u);
    analysis.Restart(0.5, DeviceFrequencies());
    EXPECT_EQ(analysis.Progress().blocksDone, 0u);
    EXPECT_EQ(analysis.Progress().blocksPending, 0u);
    for (uint64_t count = 0; count < 10; ++count)
        analysis.Add(count, RcRecord(300, 3000, 1e-8));
    analysis.Flush();
    ASSERT_TRUE(WaitIdle(analysis));
    const Json fits = AllSeries(analysis)["fits"];
    EXPECT_EQ(Numbers(fits["time_s"]), (std::vector<double>{0.5, 1.5, 2.5, 3.5, 4.5}));
    for (const Json& r0 : fits["parameters"][0]["value"])
        EXPECT_NEAR(r0.get<double>(), 300, 0.01);
    EXPECT_EQ(analysis.Progress().blocksDone, 5u);
}

// Destroyed with a long queue, the analysis ends after the block in hand, not after the queue.
TEST(LiveAnalysis, DestructionWhileBusyEndsPromptly)
{
    constexpr uint64_t Blocks = 20000;
    std::optional<LiveAnalysis> analysis(std::in_place, Settings(true, true, 1.0));
    analysis->Restart(1, DeviceFrequencies());
    for (uint64_t count = 0; count < Blocks; ++count)
        analysis->Add(count, DriftRecord(count));
    while (analysis->Progress().blocksDone < 50)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const LiveAnalysisProgress progress = analysis->Progress();
    const double perBlock_s = progress.busy_s / static_cast<double>(progress.blocksDone);
    const uint64_t left = progress.blocksPending;
    const auto ending = Clock::now();
    analysis.reset();
    const double destruction_s = std::chrono::duration<double>(Clock::now() - ending).count();
    const double queue_s = perBlock_s * static_cast<double>(left);
    ASSERT_GT(queue_s, 0.5) << "the queue must take long enough for the test to tell";
    EXPECT_LT(destruction_s, queue_s / 10) << "per block " << perBlock_s << " s, " << left << " left";
}

// Without a circuit or the check there is nothing to do; spectra before the first Restart, or of a
// restart without a usable period, are ignored.
TEST(LiveAnalysis, DisabledAndNotStarted)
{
    LiveAnalysis idle(LiveAnalysisSettings{});
    EXPECT_FALSE(idle.Enabled());
    idle.Restart(1, DeviceFrequencies());
    idle.Add(0, DriftRecord(0));
    idle.Flush();
    EXPECT_EQ(idle.Progress().blocksDone + idle.Progress().blocksPending, 0u);
    EXPECT_TRUE(std::isnan(idle.Progress().lastTime_s));

    for (const double period : {-1.0, 0.0, std::nan("")}) {
        LiveAnalysis analysis(Settings(true, false, 1.0));
        EXPECT_TRUE(analysis.Enabled());
        analysis.Add(0, DriftRecord(0));   // before any Restart
        analysis.Restart(period, DeviceFrequencies());
        analysis.Add(1, DriftRecord(1));
        analysis.Flush();
        ASSERT_TRUE(WaitIdle(analysis));
        EXPECT_EQ(analysis.Progress().blocksDone, 0u) << period;
    }
}

TEST(LiveAnalysis, SettingsChecked)
{
    struct Case {
        double every_s;
        const char* fix;   // a --fix name, or nullptr
        const char* error;   // part of the message, or nullptr when accepted
    };
    const std::vector<Case> cases = {
        {1, nullptr, nullptr},          {0.1, nullptr, nullptr},
        {86400, nullptr, nullptr},      {0.05, nullptr, "the block length must be 0.1 to 86400 s, not 0.05"},
        {1e6, nullptr, "not 1e+06"},    {std::nan(""), nullptr, "not nan"},
        {1, "R1", nullptr},             {1, "R7", "has no parameter \"R7\""},
    };
    for (const Case& c : cases) {
        LiveAnalysisSettings settings = Settings(true, true, c.every_s);
        if (c.fix)
            settings.fitOptions.fixed.emplace_back(c.fix, 10.0);
        std::string error;
        EXPECT_EQ(CheckLiveAnalysisSettings(settings, error), c.error == nullptr) << c.every_s;
        if (c.error) {
            EXPECT_NE(error.find(c.error), std::string::npos) << error;
        }
    }
}

// The block of a time, counts times periods that land a rounding error short of a block's start
// included.
TEST(LiveResults, BlockAt)
{
    const std::vector<std::tuple<double, double, uint64_t>> cases = {
        {0, 1, 0},       {0.999, 1, 0},   {1, 1, 1},        {-5, 1, 0},
        {300 * 0.001, 0.3, 1}, {299 * 0.001, 0.3, 0}, {3000 * 0.001, 0.3, 10}, {86399.9, 1, 86399},
        {0.7 * 3, 0.7, 3}, {0.1 * 3, 0.1, 3},
    };
    for (const auto& [time, every, block] : cases)
        EXPECT_EQ(BlockAt(time, every), block) << time << " / " << every;
}

// A day of one-second blocks of a two-RC fit with the check stays well under 20 MiB, and the
// figure counts at least what the blocks hold.
TEST(LiveResults, ADayOfBlocksIsSmall)
{
    constexpr uint64_t Blocks = 86400;
    LiveResults results;
    results.parameterCount = 5;
    LiveBlockOutcome outcome = FittedOutcome(0, 1);
    outcome.fit.fit.parameters.resize(5, outcome.fit.fit.parameters[0]);
    for (uint64_t block = 0; block < Blocks; ++block) {
        outcome.block = block;
        KeepBlock(results, outcome);
    }
    const size_t bytes = ResultsBytes(results);
    EXPECT_GE(bytes, Blocks * (sizeof(LiveBlockRecord) + 5 * sizeof(LiveParameterValue)));
    EXPECT_LT(bytes, 12u << 20);
    ClearResults(results);
    EXPECT_EQ(ResultsBytes(results), 0u);
}
