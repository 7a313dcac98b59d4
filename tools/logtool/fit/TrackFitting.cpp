#include "TrackFitting.h"
#include "FitProblem.h"

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace {

struct Chunk {
    std::vector<TrackItem> items;
    std::vector<TrackOutcome> outcomes;
    FitChain chain;   // where the chunk's second spectrum starts: the last good result
    bool done = false;
};

class ChunkQueue {
public:
    void Push(std::shared_ptr<Chunk> chunk)
    {
        std::lock_guard lock(mutex_);
        waiting_.push_back(std::move(chunk));
        changed_.notify_all();
    }
    // The next chunk to fit, or nullptr once Close() was called and nothing is left.
    std::shared_ptr<Chunk> Pop()
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return closed_ || !waiting_.empty(); });
        if (waiting_.empty())
            return nullptr;
        auto chunk = std::move(waiting_.front());
        waiting_.pop_front();
        return chunk;
    }
    void MarkDone(Chunk& chunk)
    {
        std::lock_guard lock(mutex_);
        chunk.done = true;
        changed_.notify_all();
    }
    void WaitDone(const Chunk& chunk)
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return chunk.done; });
    }
    bool IsDone(const Chunk& chunk)
    {
        std::lock_guard lock(mutex_);
        return chunk.done;
    }
    void Close()
    {
        std::lock_guard lock(mutex_);
        closed_ = true;
        changed_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::shared_ptr<Chunk>> waiting_;
    bool closed_ = false;
};

} // namespace

namespace {

// The fit's weighted misfit as a share of the data's own size (rms), 0 where the data are all 0.
double RelativeMisfit(const Circuit& circuit, const Spectrum& spectrum, const FitResult& fit)
{
    const double norm = FitProblem(circuit, spectrum, fit.weighting).DataNorm();
    return norm > 0.0 ? std::sqrt(fit.ssr / norm) : 0.0;
}

} // namespace

void FitInChain(const Circuit& circuit, const FitOptions& base, const Spectrum& spectrum, FitChain& chain,
                TrackOutcome& outcome)
{
    FitOptions options = base;
    options.previous = chain.start.empty() ? nullptr : &chain.start;
    options.compareWithFresh = base.compareWithFresh || chain.sinceCheck + 1 >= chain.checkInterval;
    // An exponent that has just reached the edge of its range is checked at once; one that stays
    // there (a CPE fitted to an ideal capacitor) is held there and only tries to leave on the
    // schedule or a jump, like any other check, so such a chain costs one quick run a spectrum.
    options.leaveEdge = !chain.atBound || options.compareWithFresh;
    outcome.fitted = FitCircuit(circuit, spectrum, options, outcome.fit, outcome.error);
    if (!outcome.fitted)
        return;
    // A warm result well above the chain's last may have slipped into a worse minimum.
    if (options.previous && !options.compareWithFresh && outcome.fit.warmStarted &&
        outcome.fit.chi2Reduced > JumpFactor * chain.chi2Reduced &&
        RelativeMisfit(circuit, spectrum, outcome.fit) > JumpFloor) {
        options.compareWithFresh = true;
        options.leaveEdge = true;
        outcome.fitted = FitCircuit(circuit, spectrum, options, outcome.fit, outcome.error);
        if (!outcome.fitted)
            return;
    }
    if (!options.previous || options.compareWithFresh) {
        // Passed (the warm result held): check less often; failed: start over.
        if (options.previous)
            chain.checkInterval = outcome.fit.warmStarted ? std::min(2 * chain.checkInterval, LastCheckInterval)
                                                          : FirstCheckInterval;
        chain.sinceCheck = 0;
    } else {
        ++chain.sinceCheck;
    }
    chain.start = outcome.fit.values;
    chain.chi2Reduced = outcome.fit.chi2Reduced;
    chain.atBound = outcome.fit.exponentAtBound;
}

void RunTrack(const Circuit& circuit, const FitOptions& options, const TrackSettings& settings,
              const std::function<bool(TrackItem&)>& next,
              const std::function<void(const TrackItem&, const TrackOutcome&)>& take)
{
    const unsigned threads =
        settings.threads ? settings.threads : std::max(1u, std::thread::hardware_concurrency());
    const size_t chunkSize = std::max<size_t>(settings.chunkSize, 1);
    ChunkQueue queue;
    std::vector<std::thread> workers;
    for (unsigned i = 0; i < threads; ++i)
        workers.emplace_back([&] {
            while (auto chunk = queue.Pop()) {
                FitChain chain = chunk->chain;
                for (size_t i = 1; i < chunk->items.size(); ++i)
                    FitInChain(circuit, options, chunk->items[i].spectrum, chain, chunk->outcomes[i]);
                queue.MarkDone(*chunk);
            }
        });

    std::deque<std::shared_ptr<Chunk>> inFlight;
    // Hands the finished chunks at the front back, waiting while more than `keep` are in flight.
    auto handBack = [&](size_t keep) {
        while (!inFlight.empty()) {
            if (inFlight.size() > keep)
                queue.WaitDone(*inFlight.front());
            else if (!queue.IsDone(*inFlight.front()))
                break;
            const Chunk& chunk = *inFlight.front();
            for (size_t i = 0; i < chunk.items.size(); ++i)
                take(chunk.items[i], chunk.outcomes[i]);
            inFlight.pop_front();
        }
    };

    FitChain seed;
    if (options.previous)
        seed.start = *options.previous;
    try {
        for (bool more = true; more;) {
            auto chunk = std::make_shared<Chunk>();
            chunk->items.reserve(chunkSize);
            while (chunk->items.size() < chunkSize) {
                TrackItem item;
                if (!(more = next(item)))
                    break;
                chunk->items.push_back(std::move(item));
            }
            if (chunk->items.empty())
                break;
            chunk->outcomes.resize(chunk->items.size());
            // The chain's first spectrum of each chunk is checked against a fresh multistart, so
            // that a chain led into a worse minimum gets out of it at the next chunk.
            FitOptions checked = options;
            checked.compareWithFresh = true;
            FitInChain(circuit, checked, chunk->items[0].spectrum, seed, chunk->outcomes[0]);
            chunk->chain = seed;
            inFlight.push_back(chunk);
            queue.Push(chunk);
            handBack(2 * threads);
        }
        handBack(0);
    } catch (...) {
        queue.Close();
        for (auto& worker : workers)
            worker.join();
        throw;
    }
    queue.Close();
    for (auto& worker : workers)
        worker.join();
}
