// The fits and validity tests of a followed recording, block by block in time order, kept small
// enough for a day of one-second blocks: one fixed record per block (its index, its spectra, the
// fit's reduced chi-square and status, the test's element count, mu, largest residual and verdict)
// and each parameter's value (double) with its 95 % interval (float). Why a block could not be
// fitted or tested is kept once per distinct text. Block k spans the recording's time
// [k * every_s, (k + 1) * every_s) and is shown at its middle.
#pragma once

#include "ChunkedColumn.h"
#include "data/Json.h"
#include "fit/Circuit.h"
#include "fit/KramersKronig.h"
#include "fit/TrackFitting.h"

#include <complex>
#include <cstdint>
#include <string>
#include <vector>

// A block's fit or test status: done (converged), done but not converged, or the index of the
// reason in LiveResults::reasons plus LiveStatusFirstReason.
constexpr uint16_t LiveStatusOk = 0;
constexpr uint16_t LiveStatusNotConverged = 1;
constexpr uint16_t LiveStatusFirstReason = 2;
// Distinct reasons kept; later ones all read LiveReasonsFull.
constexpr size_t LiveMostReasons = 64;
extern const char* const LiveReasonsFull;

struct LiveBlockRecord {
    uint64_t block = 0;
    uint32_t spectra = 0;          // how many spectra its mean is of
    uint16_t fitStatus = LiveStatusOk;
    uint16_t checkStatus = LiveStatusOk;
    float chi2Reduced = 0;         // NaN when not fitted
    float mu = 0;                  // of the validity test; NaN when not tested
    float largestResidual = 0;     // largest |residual| as a fraction of |Z|; NaN when not tested
    uint16_t elements = 0;         // the test's RC elements M (0 when not tested)
    uint8_t valid = 0;             // 0 no, 1 yes, LiveValidUnknown when not tested
};
constexpr uint8_t LiveValidUnknown = 2;

struct LiveParameterValue {
    double value = 0;   // NaN when not fitted
    float low = 0, high = 0;
};

struct LiveResults {
    size_t parameterCount = 0;
    ChunkedColumn<LiveBlockRecord> blocks;
    ChunkedColumn<LiveParameterValue> parameters;   // parameterCount per block, in block order
    std::vector<std::string> reasons;
};

// One block's outcome in full, as the analysis produced it.
struct LiveBlockOutcome {
    uint64_t block = 0;
    uint64_t spectra = 0;
    bool fitRun = false;        // a circuit was fitted
    TrackOutcome fit;
    bool checkRun = false;      // the validity test ran
    bool checked = false;       // ... and gave a result (else checkError says why)
    std::string checkError;
    KkResult check;
};

// Keeps a block's outcome in its compact form (after the blocks kept so far).
void KeepBlock(LiveResults& results, const LiveBlockOutcome& outcome);
void ClearResults(LiveResults& results);
size_t ResultsBytes(const LiveResults& results);
// The largest |residual| of a test as a fraction of |Z|, real and imaginary parts alike.
double LargestResidual(const KkResult& check);

// The block whose span holds time_s (>= 0). A time a rounding error short of a block's start (a
// count times a period such as 0.001 s) counts as that block's.
uint64_t BlockAt(double time_s, double every_s);
// The middle of block `block`, in seconds of the recording.
double BlockMiddle(uint64_t block, double every_s);

// The kept blocks whose middle lies in [from_s, to_s] as indices [first, last), at most `points` of
// them picked evenly (the first and the last of the range always among them).
std::vector<size_t> SelectBlocks(const LiveResults& results, double every_s, double from_s, double to_s,
                                 size_t points);

// The blocks picked, copied out so that the document is written without holding the results.
struct LiveSelection {
    size_t parameterCount = 0;
    std::vector<LiveBlockRecord> blocks;
    std::vector<LiveParameterValue> parameters;   // parameterCount per block
    std::vector<std::string> reasons;
};
LiveSelection CopyBlocks(const LiveResults& results, const std::vector<size_t>& indices);

struct LiveSeriesHead {
    const Circuit* circuit = nullptr;   // fits shown when set
    bool check = false;                 // validity shown when set
    double every_s = 1;
    uint64_t blocksDone = 0, blocksPending = 0;
};
// {"circuit", "check", "every_s", "blocks_done", "blocks_pending", "fits" (with a circuit),
// "validity" (with the check)}: columns of the selected blocks; a value not computed is null.
Json SeriesDocument(const LiveSeriesHead& head, const LiveSelection& selection);

// The kept block with parameter values whose span holds time_s, else the one whose middle is
// nearest to it (the earlier of two as near); false when no block has values.
bool NearestFittedBlock(const LiveResults& results, double every_s, double time_s, size_t& index);
