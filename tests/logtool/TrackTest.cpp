#include "CommandLine.h"
#include "Commands.h"
#include "data/SeriesThinning.h"
#include "TestLogs.h"
#include "fit/TrackFitting.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <stdexcept>

namespace {

// R0 + R1 || C1 at the device's frequencies, R1 growing by one ohm per spectrum.
TrackItem DriftingSpectrum(uint64_t index)
{
    TrackItem item;
    item.spectrum.measCount = index;
    const double r1 = 1000.0 + static_cast<double>(index);
    for (const float f : TestLogFrequencies) {
        const double omega = 2 * std::numbers::pi * f;
        item.spectrum.frequency.push_back(f);
        item.spectrum.impedance.push_back(100.0 + r1 / std::complex<double>(1.0, omega * r1 * 1e-8));
    }
    return item;
}

Circuit Parsed(const char* text)
{
    Circuit circuit;
    std::string error;
    EXPECT_TRUE(ParseCircuit(text, circuit, error)) << error;
    return circuit;
}

} // namespace

// Whatever the threads and chunks, every spectrum comes back once, in order, fitted; one that
// cannot be fitted says why and the chain goes on after it.
TEST(TrackFitting, EverySpectrumInOrderWhateverTheThreadsAndChunks)
{
    const Circuit circuit = Parsed("R0-p(R1,C1)");
    constexpr uint64_t Count = 40, Broken = 17;
    for (const TrackSettings settings : {TrackSettings{1, 1}, TrackSettings{3, 2}, TrackSettings{7, 3},
                                         TrackSettings{256, 0}}) {
        uint64_t handed = 0;
        std::vector<uint64_t> order;
        RunTrack(
            circuit, FitOptions{}, settings,
            [&](TrackItem& item) {
                if (handed == Count)
                    return false;
                item = DriftingSpectrum(handed);
                if (handed == Broken)
                    item.spectrum.impedance[4] = 0.0;  // |Z| 0: no relative weight
                ++handed;
                return true;
            },
            [&](const TrackItem& item, const TrackOutcome& outcome) {
                order.push_back(item.spectrum.measCount);
                const uint64_t i = item.spectrum.measCount;
                if (i == Broken) {
                    EXPECT_FALSE(outcome.fitted);
                    EXPECT_FALSE(outcome.error.empty());
                    return;
                }
                ASSERT_TRUE(outcome.fitted) << i << ": " << outcome.error;
                EXPECT_NEAR(outcome.fit.values[1], 1000.0 + i, 1e-6 * 1000) << i;
                EXPECT_NEAR(outcome.fit.values[0], 100.0, 1e-6 * 100) << i;
            });
        std::vector<uint64_t> expected(Count);
        for (uint64_t i = 0; i < Count; ++i)
            expected[i] = i;
        EXPECT_EQ(order, expected) << "chunk " << settings.chunkSize << ", threads " << settings.threads;
    }
}

TEST(TrackFitting, AFailingConsumerEndsTheRunWithoutHanging)
{
    uint64_t handed = 0;
    EXPECT_THROW(RunTrack(
                     Parsed("R0-p(R1,C1)"), FitOptions{}, TrackSettings{2, 2},
                     [&](TrackItem& item) {
                         item = DriftingSpectrum(handed++);
                         return handed < 1000;
                     },
                     [&](const TrackItem& item, const TrackOutcome&) {
                         if (item.spectrum.measCount == 5)
                             throw std::runtime_error("disk full");
                     }),
                 std::runtime_error);
    EXPECT_LT(handed, 1000u);  // reading stopped soon after
}

// However many points go in, the kept ones fit in the buckets, stay in time order and hold every
// extreme: the lowest and highest of the whole series and of each stretch a bucket covered.
TEST(SeriesThinning, KeepsPeaksInBoundedMemory)
{
    for (const size_t count : {1u, 7u, 64u, 100000u}) {
        ThinnedSeries series(32);
        double lowest = INFINITY, highest = -INFINITY;
        for (size_t i = 0; i < count; ++i) {
            const double value = std::sin(0.37 * i) + (i == count / 3 ? 50.0 : 0.0) - (i == count / 2 ? 50.0 : 0.0);
            lowest = std::min(lowest, value);
            highest = std::max(highest, value);
            series.Add({static_cast<double>(i), value, 0.1});
        }
        series.Add({static_cast<double>(count), NAN, 0.0});  // a failed fit: counted, not drawn
        const auto points = series.Points();
        EXPECT_EQ(series.Added(), count + 1);
        EXPECT_LE(points.size(), count < 64 ? count : 64u) << count;
        EXPECT_TRUE(std::is_sorted(points.begin(), points.end(),
                                   [](const SeriesPoint& a, const SeriesPoint& b) { return a.time < b.time; }));
        auto [low, high] = std::minmax_element(points.begin(), points.end(), [](const SeriesPoint& a, const SeriesPoint& b) {
            return a.value < b.value;
        });
        EXPECT_EQ(low->value, lowest) << count;
        EXPECT_EQ(high->value, highest) << count;
    }
}

TEST(TrackCommand, TableRowsForEveryMeanAndEveryNth)
{
    std::vector<SpectrumRecord> records;
    for (uint32_t count = 0; count < 10; ++count)
        records.push_back(MakeTestRecord(count));
    const auto log = WriteScratchFile("track.txt", TestLogText(records, 4));
    const auto table = log.parent_path() / "track.csv";
    struct Case {
        Arguments extra;
        const char* titles;
        size_t rows;
        const char* secondRow;
    } cases[] = {
        {{}, "MeasCount,time_s,R0,R0_stderr,R1,R1_stderr,C1,C1_stderr,chi2_reduced,status", 10, "1,0.004,"},
        {{"--every", "4"}, "MeasCount,time_s,R0", 3, "4,0.016,"},
        {{"--mean", "4"}, "MeasCount,time_s,spectra,R0", 3, "4,0.016,4,"},
        {{"--mean", "4", "--range", "2:"}, "MeasCount,time_s,spectra,R0", 2, "6,0.024,4,"},
    };
    for (const Case& c : cases) {
        Arguments arguments{log.string(), "--circuit", "R0-p(R1,C1)", "-o", table.string()};
        arguments.insert(arguments.end(), c.extra.begin(), c.extra.end());
        testing::internal::CaptureStderr();
        ASSERT_EQ(RunTrackCommand(arguments), ExitSuccess);
        testing::internal::GetCapturedStderr();
        const std::string text = ReadWholeFile(table);
        EXPECT_EQ(text.rfind(c.titles, 0), 0u) << text.substr(0, 100);
        EXPECT_EQ(static_cast<size_t>(std::count(text.begin(), text.end(), '\n')), c.rows + 1) << c.titles;
        const size_t second = text.find('\n', text.find('\n') + 1) + 1;
        EXPECT_EQ(text.compare(second, std::strlen(c.secondRow), c.secondRow), 0) << text.substr(second, 40);
    }
    const std::string logPath = log.string();
    for (const Arguments& bad : std::vector<Arguments>{
             {logPath, "--circuit", "R0-p(R1,C1)"},                                   // no -o
             {logPath, "-o", table.string()},                                          // no circuit
             {logPath, "--circuit", "R0-p(R1,C1)", "-o", table.string(), "--plot", "x.gif"},
             {logPath, "--circuit", "R0-p(R1,C1)", "-o", table.string(), "--every", "2", "--mean", "2"},
             {logPath, "--circuit", "R0-p(R1,C1)", "-o", table.string(), "--spectrum", "2"},
             {logPath, "--circuit", "R0-p(R1,C1)", "-o", table.string(), "--fix", "R9=1"}})
        EXPECT_THROW(RunTrackCommand(bad), UsageError) << bad.back();
}

// When a chain compares its warm fit with a fresh multistart of the same spectrum: when due, or
// when the reduced chi-square jumps; a comparison the warm result fails replaces it and brings the
// next one close. The data hold two arcs; the stuck start has lost the small one (R2 1e-90 ohm,
// where no step can bring it back).
TEST(TrackFitting, AChainIsComparedWithAFreshFitWhenDueOrWhenItsMisfitJumps)
{
    const Circuit circuit = Parsed("R0-p(R1,C1)-p(R2,C2)");
    const std::vector<double> truth = {10, 100, 1e-7, 5, 1e-4};
    Spectrum noisy, exact;
    for (int i = 0; i < 30; ++i) {
        const double f = 10.0 * std::pow(1e5, i / 29.0);
        const std::complex<double> z = CircuitImpedance(circuit, truth.data(), f);
        noisy.frequency.push_back(f);
        exact.frequency.push_back(f);
        noisy.impedance.push_back(z * (1.0 + 0.002 * std::sin(f)));   // 0.2% ripple: a misfit well above rounding
        exact.impedance.push_back(z);
    }
    FitResult fresh;
    std::string error;
    ASSERT_TRUE(FitCircuit(circuit, noisy, FitOptions{}, fresh, error)) << error;
    const std::vector<double> stuck = {10, 100, 1e-7, 1e-90, 1e-4};
    const struct {
        const char* what;
        const Spectrum& spectrum;
        bool startStuck;
        double previousChi2;   // the chain's last reduced chi-square
        size_t sinceCheck, interval;
        bool compared;       // a fresh multistart ran
        bool stuckAfter;     // the result stays above the fresh one
        size_t intervalAfter, sinceCheckAfter;
    } cases[] = {
        {"good start, not due", noisy, false, 1.0, 0, 64, false, false, 64, 1},
        {"good start, due: passes, the next check further off", noisy, false, 1.0, 63, 64, true, false, 128, 0},
        {"good start, due at the longest interval", noisy, false, 1.0, 255, LastCheckInterval, true, false,
         LastCheckInterval, 0},
        {"stuck, due: fails, the next check close", noisy, true, 1.0, 63, 64, true, false, FirstCheckInterval, 0},
        {"stuck, not due, misfit jumps", noisy, true, 1e-6, 0, 64, true, false, FirstCheckInterval, 0},
        {"stuck, not due, misfit as before: stays stuck until due", noisy, true, 1.0, 0, 64, false, true, 64, 1},
        {"exact data, misfit jumps under the rounding floor", exact, false, 0.0, 0, 64, false, false, 64, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        FitChain chain;
        chain.start = c.startStuck ? stuck : fresh.values;
        chain.chi2Reduced = c.previousChi2;
        chain.sinceCheck = c.sinceCheck;
        chain.checkInterval = c.interval;
        TrackOutcome outcome;
        FitInChain(circuit, FitOptions{}, c.spectrum, chain, outcome);
        ASSERT_TRUE(outcome.fitted) << outcome.error;
        EXPECT_EQ(outcome.fit.starts > 1, c.compared);
        if (&c.spectrum == &noisy)
            EXPECT_EQ(outcome.fit.ssr > 1.01 * fresh.ssr, c.stuckAfter) << outcome.fit.ssr << " " << fresh.ssr;
        EXPECT_EQ(chain.checkInterval, c.intervalAfter);
        EXPECT_EQ(chain.sinceCheck, c.sinceCheckAfter);
        EXPECT_EQ(chain.start, outcome.fit.values);
        EXPECT_EQ(chain.chi2Reduced, outcome.fit.chi2Reduced);
    }
    // A chain without a start begins with the multistart and counts from there.
    FitChain empty;
    TrackOutcome outcome;
    FitInChain(circuit, FitOptions{}, noisy, empty, outcome);
    EXPECT_GT(outcome.fit.starts, 1);
    EXPECT_EQ(empty.sinceCheck, 0u);
    EXPECT_EQ(empty.checkInterval, FirstCheckInterval);
}

// A CPE fitted to an ideal capacitor ends with its exponent at 1. The first result there is checked
// against a fresh multistart at once; while the chain stays at the edge it is held there and checked
// only on the schedule, so tracking such a recording costs one quick warm run per spectrum, not a
// multistart (or a run walking the exponent back to the edge) each.
TEST(TrackFitting, AnExponentThatStaysAtItsEdgeIsCheckedOnTheScheduleOnly)
{
    const Circuit ideal = Parsed("R0-p(R1,C1)");
    const Circuit circuit = Parsed("R0-p(R1,CPE1)");
    const std::vector<double> truth = {10, 100, 1e-6};
    Spectrum spectrum;
    for (int i = 0; i < 20; ++i) {
        const double f = 10.0 * std::pow(1e5, i / 19.0);
        spectrum.frequency.push_back(f);
        spectrum.impedance.push_back(CircuitImpedance(ideal, truth.data(), f));
    }
    FitChain chain;
    TrackOutcome outcome;
    FitInChain(circuit, FitOptions{}, spectrum, chain, outcome);   // the chain's fresh start
    ASSERT_TRUE(outcome.fitted) << outcome.error;
    ASSERT_TRUE(outcome.fit.exponentAtBound) << outcome.fit.values[3];
    EXPECT_TRUE(chain.atBound);
    chain.checkInterval = 64;   // as after passed checks
    for (int i = 0; i < 5; ++i) {
        FitInChain(circuit, FitOptions{}, spectrum, chain, outcome);
        ASSERT_TRUE(outcome.fitted) << outcome.error;
        EXPECT_TRUE(outcome.fit.warmStarted) << i;
        EXPECT_EQ(outcome.fit.starts, 1) << i;   // the warm run alone
        EXPECT_LE(outcome.fit.iterations, 10) << i;
    }
    // Arriving at the edge from inside is checked at once.
    chain.start[3] = 0.9;
    chain.atBound = false;
    FitInChain(circuit, FitOptions{}, spectrum, chain, outcome);
    EXPECT_GT(outcome.fit.starts, 1);
    EXPECT_TRUE(chain.atBound);
}
