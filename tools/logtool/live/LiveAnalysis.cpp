#include "LiveAnalysis.h"

#include "LiveResults.h"
#include "RecordLayouts.h"
#include "data/NumberText.h"
#include "data/SpectrumThinning.h"
#include "fit/TrackFitting.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>
#include <utility>

namespace {

// A complete block's mean, waiting for the worker.
struct PendingBlock {
    uint64_t generation = 0;   // the measurement it belongs to
    uint64_t block = 0;
    ThinnedSpectrum mean;
};

// The spectra of the open block are summed by the same code as `track --mean` sums its blocks,
// with blocks that end only when told to.
SpectrumThinning BlockSummer()
{
    return SpectrumThinning({1, std::numeric_limits<uint64_t>::max()});
}

void AnalyseBlock(const LiveAnalysisSettings& settings, const PendingBlock& pending, FitChain& chain,
                  LiveBlockOutcome& outcome)
{
    outcome.block = pending.block;
    outcome.spectra = pending.mean.spectra;
    outcome.fitRun = settings.circuit.has_value();
    outcome.checkRun = settings.check;
    outcome.fit.fitted = outcome.checked = false;
    // Out of memory in a fit or a test ends that block, not the program.
    try {
        if (outcome.fitRun)
            FitInChain(*settings.circuit, settings.fitOptions, pending.mean.spectrum, chain, outcome.fit);
        if (outcome.checkRun)
            outcome.checked =
                RunKramersKronig(pending.mean.spectrum, settings.kkOptions, outcome.check, outcome.checkError);
    } catch (const std::exception& failure) {
        if (outcome.fitRun && !outcome.fit.fitted)
            outcome.fit.error = failure.what();
        if (outcome.checkRun && !outcome.checked)
            outcome.checkError = failure.what();
    }
}

} // namespace

struct LiveAnalysis::State {
    LiveAnalysisSettings settings;
    bool enabled = false;

    // The following thread's own.
    bool measuring = false;      // Restart was called with a usable period
    double period_s = 0;
    Spectrum incoming;           // the spectrum being added (its storage reused)
    SpectrumThinning summer = BlockSummer();
    bool blockOpen = false;
    uint64_t openBlock = 0;
    uint64_t nextBlock = 0;      // blocks before it were sent to the worker

    // Shared, under `mutex`.
    mutable std::mutex mutex;
    std::condition_variable work;
    std::deque<PendingBlock> queue;
    uint64_t generation = 0;     // one more at every Restart
    bool inHand = false;         // the worker holds a block...
    uint64_t inHandGeneration = 0;   // ... of this measurement
    bool stopping = false;
    LiveResults results;
    double busy_s = 0;

    std::thread worker;

    void SendOpenBlock();
    void Work();
    uint64_t Pending() const   // under `mutex`
    {
        return queue.size() + (inHand && inHandGeneration == generation ? 1 : 0);
    }
};

void LiveAnalysis::State::SendOpenBlock()
{
    summer.FinishLastBlock();
    PendingBlock pending{0, openBlock, summer.Take()};
    blockOpen = false;
    nextBlock = openBlock + 1;
    std::lock_guard lock(mutex);
    pending.generation = generation;
    queue.push_back(std::move(pending));
    work.notify_one();
}

void LiveAnalysis::State::Work()
{
    FitChain chain;   // the warm start: the last good fit of the measurement
    uint64_t startGeneration = 0;
    LiveBlockOutcome outcome;
    for (;;) {
        PendingBlock pending;
        {
            std::unique_lock lock(mutex);
            work.wait(lock, [&] { return stopping || !queue.empty(); });
            if (stopping)
                return;
            pending = std::move(queue.front());
            queue.pop_front();
            inHand = true;
            inHandGeneration = pending.generation;
        }
        if (pending.generation != startGeneration) {
            chain = FitChain{};
            startGeneration = pending.generation;
        }
        const auto began = std::chrono::steady_clock::now();
        AnalyseBlock(settings, pending, chain, outcome);
        const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
        std::lock_guard lock(mutex);
        inHand = false;
        busy_s += took;
        if (pending.generation == generation)
            KeepBlock(results, outcome);
    }
}

bool CheckLiveAnalysisSettings(const LiveAnalysisSettings& settings, std::string& error)
{
    if (!(settings.every_s >= LiveShortestEvery_s && settings.every_s <= LiveLongestEvery_s)) {
        error = "the block length must be " + CompactText(LiveShortestEvery_s) + " to " +
                CompactText(LiveLongestEvery_s) + " s, not " + CompactText(settings.every_s);
        return false;
    }
    if (settings.circuit && !CheckFitOptions(*settings.circuit, settings.fitOptions, error))
        return false;
    return true;
}

LiveAnalysis::LiveAnalysis(LiveAnalysisSettings settings) : state_(std::make_unique<State>())
{
    State& state = *state_;
    state.settings = std::move(settings);
    state.settings.fitOptions.previous = nullptr;
    if (!(state.settings.every_s > 0) || !std::isfinite(state.settings.every_s))
        state.settings.every_s = 1.0;
    state.enabled = state.settings.circuit || state.settings.check;
    state.results.parameterCount = state.settings.circuit ? state.settings.circuit->ParameterCount() : 0;
    if (state.enabled)
        state.worker = std::thread([&state] { state.Work(); });
}

LiveAnalysis::~LiveAnalysis()
{
    State& state = *state_;
    {
        std::lock_guard lock(state.mutex);
        state.stopping = true;
        state.queue.clear();
        state.work.notify_all();
    }
    if (state.worker.joinable())
        state.worker.join();
}

bool LiveAnalysis::Enabled() const
{
    return state_->enabled;
}

void LiveAnalysis::Restart(double period_s, std::vector<double> frequencies_hz)
{
    State& state = *state_;
    {
        std::lock_guard lock(state.mutex);
        ++state.generation;
        state.queue.clear();
        ClearResults(state.results);
    }
    state.measuring = period_s > 0 && std::isfinite(period_s);
    state.period_s = period_s;
    frequencies_hz.resize(std::min<size_t>(frequencies_hz.size(), MeasurementFrequencyCount));
    state.incoming.impedance.assign(frequencies_hz.size(), {});
    state.incoming.frequency = std::move(frequencies_hz);
    state.summer = BlockSummer();
    state.blockOpen = false;
    state.nextBlock = 0;
}

void LiveAnalysis::Add(uint64_t count, const SpectrumRecord& record)
{
    State& state = *state_;
    if (!state.enabled || !state.measuring)
        return;
    const uint64_t block = BlockAt(static_cast<double>(count) * state.period_s, state.settings.every_s);
    if (block < (state.blockOpen ? state.openBlock : state.nextBlock))
        return;
    if (state.blockOpen && block != state.openBlock)
        state.SendOpenBlock();
    for (size_t i = 0; i < state.incoming.impedance.size(); ++i)
        state.incoming.impedance[i] = ImpedanceFromPolar(record.Module[i], record.Phase[i]);
    state.incoming.measCount = count;
    state.summer.Offer(state.incoming);
    state.blockOpen = true;
    state.openBlock = block;
}

void LiveAnalysis::Flush()
{
    State& state = *state_;
    if (state.blockOpen)
        state.SendOpenBlock();
}

LiveAnalysisProgress LiveAnalysis::Progress() const
{
    const State& state = *state_;
    std::lock_guard lock(state.mutex);
    LiveAnalysisProgress progress;
    progress.blocksDone = state.results.blocks.size;
    progress.blocksPending = state.Pending();
    if (progress.blocksDone)
        progress.lastTime_s =
            BlockMiddle(ColumnAt(state.results.blocks, state.results.blocks.size - 1).block, state.settings.every_s);
    progress.busy_s = state.busy_s;
    progress.bytes = ResultsBytes(state.results);
    return progress;
}

Json LiveAnalysis::Series(double from_s, double to_s, size_t points) const
{
    const State& state = *state_;
    LiveSeriesHead head;
    head.circuit = state.settings.circuit ? &*state.settings.circuit : nullptr;
    head.check = state.settings.check;
    head.every_s = state.settings.every_s;
    LiveSelection selection;
    {
        std::lock_guard lock(state.mutex);
        selection = CopyBlocks(state.results,
                               SelectBlocks(state.results, state.settings.every_s, from_s, to_s, points));
        head.blocksDone = state.results.blocks.size;
        head.blocksPending = state.Pending();
    }
    return SeriesDocument(head, selection);
}

bool LiveAnalysis::FittedCurve(double time_s, const std::vector<double>& frequencies_hz,
                               std::vector<std::complex<double>>& impedance, double& blockTime_s) const
{
    const State& state = *state_;
    if (!state.settings.circuit)
        return false;
    std::vector<double> values(state.results.parameterCount);
    {
        std::lock_guard lock(state.mutex);
        size_t index = 0;
        if (!NearestFittedBlock(state.results, state.settings.every_s, time_s, index))
            return false;
        for (size_t i = 0; i < values.size(); ++i)
            values[i] = ColumnAt(state.results.parameters, index * values.size() + i).value;
        blockTime_s = BlockMiddle(ColumnAt(state.results.blocks, index).block, state.settings.every_s);
    }
    impedance.resize(frequencies_hz.size());
    for (size_t i = 0; i < frequencies_hz.size(); ++i)
        impedance[i] = CircuitImpedance(*state.settings.circuit, values.data(), frequencies_hz[i]);
    return true;
}
