// Fits and validity tests while a recording is followed: its spectra are summed, as they arrive,
// into blocks of every_s seconds of the recording's own time (MeasCount times the spectrum
// period), and each complete block's complex mean goes to a worker thread that fits the circuit to
// it (started from the previous block's result; the first from the multistart) and runs the
// Kramers-Kronig test on it. The mean and the chain of fits are those of `kalvix-log track --mean`
// over the same blocks. Results are kept compact (LiveResults.h) for the live view's page.
//
// Threads: Restart, Add and Flush come from one thread (the one that follows the file); Series,
// Progress and FittedCurve may come from any other. A fit never runs under the results' lock.
#pragma once

#include "KalvixCtrl.h"
#include "data/Json.h"
#include "fit/Circuit.h"
#include "fit/Fit.h"
#include "fit/KramersKronig.h"

#include <complex>
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct LiveAnalysisSettings {
    std::optional<Circuit> circuit;   // fits when set
    FitOptions fitOptions;            // weighting, fixed values and guesses; `previous` is not used
    bool check = false;               // the Kramers-Kronig test on the same blocks
    KkOptions kkOptions;
    double every_s = 1.0;             // block length in seconds of the recording's time
};

// The shortest and longest block a live analysis takes: at most ten blocks a second of the
// recording, so that the worker keeps up with a recording written in real time.
constexpr double LiveShortestEvery_s = 0.1;
constexpr double LiveLongestEvery_s = 86400;

// False with `error` saying why for settings a live analysis cannot run with: every_s out of
// [LiveShortestEvery_s, LiveLongestEvery_s], fit options the circuit refuses (CheckFitOptions).
bool CheckLiveAnalysisSettings(const LiveAnalysisSettings& settings, std::string& error);

struct LiveAnalysisProgress {
    uint64_t blocksDone = 0;      // results kept for this measurement
    uint64_t blocksPending = 0;   // complete blocks waiting for the worker or in its hands
    double lastTime_s = std::numeric_limits<double>::quiet_NaN();   // middle of the latest result's block
    double busy_s = 0;            // the worker's time on blocks since it started (all measurements)
    size_t bytes = 0;             // what the results hold in memory
};

class LiveAnalysis {
public:
    explicit LiveAnalysis(LiveAnalysisSettings settings);
    ~LiveAnalysis();   // ends the worker: the block in its hands is finished, the rest dropped
    LiveAnalysis(const LiveAnalysis&) = delete;
    LiveAnalysis& operator=(const LiveAnalysis&) = delete;

    bool Enabled() const;   // a circuit or the check

    // A new measurement (another file, or a restart in the file) with this spectrum period and these
    // frequencies: blocks, queue and results are dropped, and a block the worker has in hand is
    // not kept. Spectra before the first Restart are ignored.
    void Restart(double period_s, std::vector<double> frequencies_hz);
    // The next spectrum in file order, `count` on the measurement's axis (time = count x period).
    // It is summed into the open block; a spectrum past the open block's end sends that block to
    // the worker. A spectrum of a block already sent (a count that went back) is left out.
    void Add(uint64_t count, const SpectrumRecord& record);
    // The recording ended (for now): the open block goes to the worker too.
    void Flush();

    LiveAnalysisProgress Progress() const;
    // The fits and tests of the blocks whose middle lies in [from_s, to_s], at most `points` of them
    // picked evenly: see SeriesDocument (LiveResults.h).
    Json Series(double from_s, double to_s, size_t points) const;
    // The fitted circuit's impedance at `frequencies_hz` from the fitted block whose span holds
    // time_s (else the nearest fitted one), whose middle goes to blockTime_s; false when no block
    // is fitted yet or there is no circuit.
    bool FittedCurve(double time_s, const std::vector<double>& frequencies_hz,
                     std::vector<std::complex<double>>& impedance, double& blockTime_s) const;

    struct State;

private:
    std::unique_ptr<State> state_;
};
