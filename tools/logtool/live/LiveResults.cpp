#include "LiveResults.h"

#include "fit/ParameterUnits.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

const char* const LiveReasonsFull = "could not be computed (too many different reasons to keep them all)";

namespace {

constexpr float NotComputed = std::numeric_limits<float>::quiet_NaN();

uint16_t ReasonStatus(LiveResults& results, const std::string& reason)
{
    const auto found = std::find(results.reasons.begin(), results.reasons.end(), reason);
    if (found == results.reasons.end()) {
        if (results.reasons.size() + 1 < LiveMostReasons)
            results.reasons.push_back(reason);
        else if (results.reasons.size() + 1 == LiveMostReasons)
            results.reasons.push_back(LiveReasonsFull);
        return static_cast<uint16_t>(LiveStatusFirstReason + results.reasons.size() - 1);
    }
    return static_cast<uint16_t>(LiveStatusFirstReason + (found - results.reasons.begin()));
}

// A kept float as the double its shortest digits spell: 0.1f appears as 0.1, not 0.100000001490116.
double FloatAsShown(float value)
{
    if (!std::isfinite(value))
        return value;
    char text[64];
    const auto written = std::to_chars(text, text + sizeof text, value);
    double shown = value;
    std::from_chars(text, written.ptr, shown);
    return shown;
}

Json NumberOrNull(double value)
{
    return std::isfinite(value) ? Json(value) : Json(nullptr);
}

Json StatusText(uint16_t status, const std::vector<std::string>& reasons)
{
    if (status == LiveStatusOk)
        return "ok";
    if (status == LiveStatusNotConverged)
        return "not converged";
    const size_t reason = status - LiveStatusFirstReason;
    return reason < reasons.size() ? reasons[reason] : std::string(LiveReasonsFull);
}

bool HasValues(const LiveResults& results, size_t index)
{
    return results.parameterCount > 0 && !std::isnan(ColumnAt(results.parameters, index * results.parameterCount).value);
}

// The first kept block whose middle is at or past time_s (blocks are kept in time order).
size_t FirstFrom(const LiveResults& results, double every_s, double time_s)
{
    size_t low = 0, high = results.blocks.size;
    while (low < high) {
        const size_t middle = low + (high - low) / 2;
        if (BlockMiddle(ColumnAt(results.blocks, middle).block, every_s) < time_s)
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

} // namespace

uint64_t BlockAt(double time_s, double every_s)
{
    const double position = time_s / every_s;
    if (!(position > 0))
        return 0;
    return static_cast<uint64_t>(std::floor(position * (1 + 1e-12)));
}

double BlockMiddle(uint64_t block, double every_s)
{
    return (static_cast<double>(block) + 0.5) * every_s;
}

double LargestResidual(const KkResult& check)
{
    double largest = 0;
    for (const double residual : check.residualsReal)
        largest = std::max(largest, std::abs(residual));
    for (const double residual : check.residualsImag)
        largest = std::max(largest, std::abs(residual));
    return largest;
}

void KeepBlock(LiveResults& results, const LiveBlockOutcome& outcome)
{
    LiveBlockRecord record;
    record.block = outcome.block;
    record.spectra = static_cast<uint32_t>(std::min<uint64_t>(outcome.spectra, std::numeric_limits<uint32_t>::max()));
    const bool fitted = outcome.fitRun && outcome.fit.fitted;
    record.chi2Reduced = fitted ? static_cast<float>(outcome.fit.fit.chi2Reduced) : NotComputed;
    if (fitted)
        record.fitStatus = outcome.fit.fit.converged ? LiveStatusOk : LiveStatusNotConverged;
    else if (outcome.fitRun)
        record.fitStatus = ReasonStatus(results, outcome.fit.error);
    for (size_t i = 0; i < results.parameterCount; ++i) {
        LiveParameterValue value{std::numeric_limits<double>::quiet_NaN(), NotComputed, NotComputed};
        if (fitted && i < outcome.fit.fit.parameters.size()) {
            const ParameterEstimate& estimate = outcome.fit.fit.parameters[i];
            value = {estimate.value, static_cast<float>(estimate.ciLow), static_cast<float>(estimate.ciHigh)};
        }
        AppendTo(results.parameters, value);
    }

    const bool checked = outcome.checkRun && outcome.checked;
    record.mu = checked ? static_cast<float>(outcome.check.mu) : NotComputed;
    record.largestResidual = checked ? static_cast<float>(LargestResidual(outcome.check)) : NotComputed;
    record.elements = checked ? static_cast<uint16_t>(std::clamp(outcome.check.M, 0, 65535)) : 0;
    record.valid = checked ? (outcome.check.valid ? 1 : 0) : LiveValidUnknown;
    if (outcome.checkRun && !outcome.checked)
        record.checkStatus = ReasonStatus(results, outcome.checkError);
    AppendTo(results.blocks, record);
}

void ClearResults(LiveResults& results)
{
    ClearColumn(results.blocks);
    ClearColumn(results.parameters);
    results.reasons.clear();
}

size_t ResultsBytes(const LiveResults& results)
{
    size_t bytes = ColumnBytes(results.blocks) + ColumnBytes(results.parameters);
    for (const std::string& reason : results.reasons)
        bytes += sizeof reason + reason.capacity();
    return bytes;
}

std::vector<size_t> SelectBlocks(const LiveResults& results, double every_s, double from_s, double to_s,
                                 size_t points)
{
    std::vector<size_t> indices;
    if (!(from_s <= to_s) || points == 0)
        return indices;
    const size_t first = FirstFrom(results, every_s, from_s);
    const size_t last =
        std::max(first, FirstFrom(results, every_s, std::nextafter(to_s, std::numeric_limits<double>::infinity())));
    const size_t count = last - first;
    if (count <= points) {
        for (size_t i = first; i < last; ++i)
            indices.push_back(i);
        return indices;
    }
    indices.reserve(points);
    if (points == 1) {
        indices.push_back(first);
        return indices;
    }
    for (size_t i = 0; i < points; ++i)
        indices.push_back(first + static_cast<size_t>(static_cast<double>(i) * static_cast<double>(count - 1) /
                                                      static_cast<double>(points - 1)));
    return indices;
}

LiveSelection CopyBlocks(const LiveResults& results, const std::vector<size_t>& indices)
{
    LiveSelection selection;
    selection.parameterCount = results.parameterCount;
    selection.blocks.reserve(indices.size());
    selection.parameters.reserve(indices.size() * results.parameterCount);
    for (const size_t index : indices) {
        selection.blocks.push_back(ColumnAt(results.blocks, index));
        for (size_t i = 0; i < results.parameterCount; ++i)
            selection.parameters.push_back(ColumnAt(results.parameters, index * results.parameterCount + i));
    }
    selection.reasons = results.reasons;
    return selection;
}

Json SeriesDocument(const LiveSeriesHead& head, const LiveSelection& selection)
{
    Json document = Json::object();
    document["circuit"] = head.circuit ? Json(head.circuit->text) : Json(nullptr);
    document["check"] = head.check;
    document["every_s"] = head.every_s;
    document["blocks_done"] = head.blocksDone;
    document["blocks_pending"] = head.blocksPending;
    Json times = Json::array();
    for (const LiveBlockRecord& block : selection.blocks)
        times.push_back(BlockMiddle(block.block, head.every_s));

    // Columns are filled as locals and added whole: adding a member to an ordered document may move
    // the members added before it.
    if (head.circuit) {
        Json spectra = Json::array(), chi2 = Json::array(), status = Json::array();
        for (const LiveBlockRecord& block : selection.blocks) {
            spectra.push_back(block.spectra);
            chi2.push_back(NumberOrNull(FloatAsShown(block.chi2Reduced)));
            status.push_back(StatusText(block.fitStatus, selection.reasons));
        }
        Json parameters = Json::array();
        for (size_t p = 0; p < selection.parameterCount; ++p) {
            Json value = Json::array(), low = Json::array(), high = Json::array();
            for (size_t b = 0; b < selection.blocks.size(); ++b) {
                const LiveParameterValue& kept = selection.parameters[b * selection.parameterCount + p];
                value.push_back(NumberOrNull(kept.value));
                low.push_back(NumberOrNull(FloatAsShown(kept.low)));
                high.push_back(NumberOrNull(FloatAsShown(kept.high)));
            }
            parameters.push_back({{"name", head.circuit->parameterNames[p]},
                                  {"unit", ParameterUnit(*head.circuit, p)},
                                  {"value", std::move(value)},
                                  {"low", std::move(low)},
                                  {"high", std::move(high)}});
        }
        document["fits"] = {{"time_s", times},
                            {"spectra", std::move(spectra)},
                            {"chi2_reduced", std::move(chi2)},
                            {"status", std::move(status)},
                            {"parameters", std::move(parameters)}};
    }

    if (head.check) {
        Json elements = Json::array(), mu = Json::array(), largest = Json::array(), valid = Json::array(),
             status = Json::array();
        for (const LiveBlockRecord& block : selection.blocks) {
            const bool tested = block.valid != LiveValidUnknown;
            elements.push_back(tested ? Json(block.elements) : Json(nullptr));
            mu.push_back(NumberOrNull(FloatAsShown(block.mu)));
            largest.push_back(NumberOrNull(FloatAsShown(block.largestResidual)));
            valid.push_back(tested ? Json(block.valid == 1) : Json(nullptr));
            status.push_back(StatusText(block.checkStatus, selection.reasons));
        }
        document["validity"] = {{"time_s", std::move(times)},
                                {"M", std::move(elements)},
                                {"mu", std::move(mu)},
                                {"largest_residual", std::move(largest)},
                                {"valid", std::move(valid)},
                                {"status", std::move(status)}};
    }
    return document;
}

bool NearestFittedBlock(const LiveResults& results, double every_s, double time_s, size_t& index)
{
    if (results.parameterCount == 0 || results.blocks.size == 0 || std::isnan(time_s))
        return false;
    const size_t after = FirstFrom(results, every_s, time_s);   // the first block whose middle is at or past it
    const uint64_t holding = BlockAt(std::max(time_s, 0.0), every_s);
    // The block that holds time_s is `after` or the one before it.
    for (const size_t candidate : {after, after - 1})
        if (candidate < results.blocks.size && ColumnAt(results.blocks, candidate).block == holding &&
            HasValues(results, candidate)) {
            index = candidate;
            return true;
        }
    size_t later = after;
    while (later < results.blocks.size && !HasValues(results, later))
        ++later;
    size_t earlier = after;
    while (earlier > 0 && !HasValues(results, earlier - 1))
        --earlier;
    const bool hasLater = later < results.blocks.size, hasEarlier = earlier > 0;
    if (!hasLater && !hasEarlier)
        return false;
    if (hasLater && hasEarlier) {
        const double toLater = BlockMiddle(ColumnAt(results.blocks, later).block, every_s) - time_s;
        const double toEarlier = time_s - BlockMiddle(ColumnAt(results.blocks, earlier - 1).block, every_s);
        index = toEarlier <= toLater ? earlier - 1 : later;
    } else
        index = hasLater ? later : earlier - 1;
    return true;
}
