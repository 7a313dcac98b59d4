#include "live/LiveApi.h"

#include "data/PathText.h"
#include "data/Spectrum.h"
#include "live/SpectrumLookup.h"
#include "live/TrendQuery.h"

#include <cmath>
#include <limits>

namespace {

Json NumberOrNull(bool known, double value)
{
    return known ? Json(value) : Json(nullptr);
}

struct QuantityName {
    const char* name;
    TrendQuantity quantity;
};
constexpr QuantityName Quantities[] = {
    {"modulus", TrendQuantity::Modulus}, {"phase", TrendQuantity::Phase},
    {"real", TrendQuantity::Real},       {"imag", TrendQuantity::Imag},
};

bool ReadQuantity(const QueryParameters& query, TrendQuantity& quantity, std::string& error)
{
    const std::string* text = query.Find("quantity");
    if (!text)
        return true;
    for (const QuantityName& known : Quantities)
        if (*text == known.name) {
            quantity = known.quantity;
            return true;
        }
    error = "'quantity' is one of modulus, phase, real, imag";
    return false;
}

// The index of the log's frequency named by frequency_hz (within 0.1 %).
bool ReadFrequency(const LiveLog& log, const QueryParameters& query, size_t& index, std::string& error)
{
    double hz = std::numeric_limits<double>::quiet_NaN();
    if (!QueryNumber(query, "frequency_hz", hz, error))
        return false;
    if (std::isnan(hz)) {
        error = "'frequency_hz' is missing";
        return false;
    }
    if (log.frequencies_hz.empty()) {
        error = "the log's header has no frequencies";
        return false;
    }
    for (size_t i = 0; i < log.frequencies_hz.size(); ++i)
        if (std::abs(log.frequencies_hz[i] - hz) <= 1e-3 * std::abs(log.frequencies_hz[i])) {
            index = i;
            return true;
        }
    error = "'frequency_hz' is not one of the log's frequencies";
    return false;
}

Json SpectrumArrays(const std::vector<double>& frequencies, const std::vector<std::complex<double>>& z)
{
    Json document;
    Json modulus = Json::array(), phase = Json::array(), real = Json::array(), imag = Json::array();
    for (const std::complex<double>& value : z) {
        modulus.push_back(std::abs(value));
        phase.push_back(std::arg(value) * 180.0 / 3.14159265358979323846);
        real.push_back(value.real());
        imag.push_back(value.imag());
    }
    document["frequencies_hz"] = frequencies;
    document["modulus"] = std::move(modulus);
    document["phase_deg"] = std::move(phase);
    document["real"] = std::move(real);
    document["imag"] = std::move(imag);
    return document;
}

// Log-spaced frequencies over the spectrum's span, for a smooth fitted curve.
std::vector<double> DenseFrequencies(const std::vector<double>& frequencies)
{
    double low = std::numeric_limits<double>::infinity(), high = 0;
    for (double hz : frequencies)
        if (hz > 0) {
            low = std::min(low, hz);
            high = std::max(high, hz);
        }
    std::vector<double> dense;
    if (!(high > 0))
        return dense;
    for (size_t i = 0; i < FittedCurvePoints; ++i)
        dense.push_back(low * std::pow(high / low, static_cast<double>(i) / (FittedCurvePoints - 1)));
    return dense;
}

} // namespace

Json LiveLogStatus(const LiveLog& log, double now_s)
{
    const SpectrumSummary& summary = log.summary;
    Json status;
    status["file"] = FileNameOf(log.path);
    status["path"] = log.path;
    status["state"] = LiveStateName(LiveStateOf(log, now_s));
    status["follow"] = FollowStateName(log.follower.state);
    // Following as it should says nothing; anything else says what is the matter.
    std::string message = log.follower.state == FollowState::Following ? std::string() : log.follower.message;
    if (log.hasSummary && !log.caughtUp)
        message = "reading the log: " + std::to_string(summary.spectra) + " spectra so far";
    status["message"] = message;
    const std::string* serial = log.hasSummary ? log.follower.header.Find("DeviceSerial") : nullptr;
    status["serial"] = serial ? *serial : std::string();
    status["divider"] = log.hasSummary ? log.follower.header.divider : 0;
    status["period_s"] = summary.period_s;
    status["frequencies_hz"] = log.frequencies_hz;
    status["spectra"] = summary.spectra;
    status["lost"] = summary.lost;
    status["gaps"] = summary.gaps;
    uint64_t first = 0;
    const bool any = log.hasSummary && FirstCount(summary, first);
    status["first_meascount"] = any ? Json(first) : Json(nullptr);
    status["last_meascount"] = any ? Json(summary.lastCount) : Json(nullptr);
    status["first_time_s"] = NumberOrNull(any, CountTime(summary, first));
    status["last_time_s"] = NumberOrNull(any, CountTime(summary, summary.lastCount));
    status["duration_s"] = any ? CountTime(summary, summary.lastCount) - CountTime(summary, first) : 0.0;
    status["rate_hz"] = LiveRate(log, now_s);
    status["earlier_measurements"] = summary.earlierSegments;
    status["unreadable_rows"] = log.follower.problemCount;
    return status;
}

HttpReply TrendReply(const LiveLog& log, const QueryParameters& query)
{
    std::string error;
    TrendRequest request;
    long long points = TrendDefaultPoints;
    request.from_s = -std::numeric_limits<double>::infinity();
    request.to_s = std::numeric_limits<double>::infinity();
    if (!ReadQuantity(query, request.quantity, error) || !ReadFrequency(log, query, request.frequency, error) ||
        !QueryNumber(query, "from_s", request.from_s, error) || !QueryNumber(query, "to_s", request.to_s, error) ||
        !QueryInteger(query, "points", 1, TrendMostPoints, points, error))
        return JsonError(400, error);
    request.mostPoints = static_cast<size_t>(points);
    uint64_t first = 0;
    if (log.hasSummary && FirstCount(log.summary, first)) {
        request.from_s = std::max(request.from_s, CountTime(log.summary, first));
        request.to_s = std::min(request.to_s, CountTime(log.summary, log.summary.lastCount));
    }

    Json document;
    const std::string* quantityText = query.Find("quantity");
    document["quantity"] = quantityText ? *quantityText : std::string("modulus");
    document["frequency_hz"] = log.frequencies_hz[request.frequency];
    document["from_s"] = NumberOrNull(std::isfinite(request.from_s), request.from_s);
    document["to_s"] = NumberOrNull(std::isfinite(request.to_s), request.to_s);
    std::vector<TrendPoint> trend;
    bool fromRows = false;
    if (log.hasSummary && request.from_s <= request.to_s) {
        const TrendAnswer answer = QueryTrend(log.summary, request);
        fromRows = answer.fromRows;
        if (!fromRows)
            trend = answer.points;
        else if (!TrendFromRows(log.path, log.summary, request, answer, trend, error))
            return JsonError(409, error);
    }
    Json time = Json::array(), mean = Json::array(), low = Json::array(), high = Json::array(), spectra = Json::array();
    uint64_t most = 0;
    for (const TrendPoint& point : trend) {
        time.push_back(point.time_s);
        mean.push_back(point.mean);
        low.push_back(point.min);
        high.push_back(point.max);
        spectra.push_back(point.spectra);
        most = std::max(most, point.spectra);
    }
    document["time_s"] = std::move(time);
    document["mean"] = std::move(mean);
    document["min"] = std::move(low);
    document["max"] = std::move(high);
    document["spectra"] = std::move(spectra);
    document["spectra_per_point"] = most;
    document["source"] = fromRows ? "rows" : "summary";
    return JsonReply(document);
}

HttpReply SpectrumReply(const LiveLog& log, const QueryParameters& query, const FittedCurveSource& fitted)
{
    const std::string* which = query.Find("meascount");
    const bool last = !which || *which == "last";
    long long count = 0;
    std::string error;
    if (!last && !QueryInteger(query, "meascount", 0, std::numeric_limits<long long>::max(), count, error))
        return JsonError(400, "'meascount' is a whole number or last");
    if (!log.hasSummary)
        return JsonError(404, "no spectrum yet");
    SpectrumRecord record{};
    const bool found = last ? ReadLastSpectrum(log.path, log.summary, record, error)
                            : ReadSpectrumAt(log.path, log.summary, static_cast<uint64_t>(count), record, error);
    if (!found)
        return JsonError(404, error);
    const uint64_t at = last ? log.summary.lastCount : static_cast<uint64_t>(count);
    std::vector<std::complex<double>> z;
    for (size_t i = 0; i < log.frequencies_hz.size(); ++i)
        z.push_back(ImpedanceFromPolar(record.Module[i], record.Phase[i]));
    Json document;
    document["meascount"] = at;
    document["time_s"] = CountTime(log.summary, at);
    Json arrays = SpectrumArrays(log.frequencies_hz, z);
    // As logged: the phase is the log's own (540 stays 540), the modulus too.
    Json modulus = Json::array(), phase = Json::array();
    for (size_t i = 0; i < log.frequencies_hz.size(); ++i) {
        modulus.push_back(record.Module[i]);
        phase.push_back(record.Phase[i]);
    }
    arrays["modulus"] = std::move(modulus);
    arrays["phase_deg"] = std::move(phase);
    document.update(arrays);
    document["fit"] = nullptr;
    const std::vector<double> dense = DenseFrequencies(log.frequencies_hz);
    std::vector<std::complex<double>> curve;
    double blockTime_s = 0;
    if (fitted && !dense.empty() && fitted(CountTime(log.summary, at), dense, curve, blockTime_s)) {
        Json fit = SpectrumArrays(dense, curve);
        fit["block_time_s"] = blockTime_s;
        document["fit"] = std::move(fit);
    }
    return JsonReply(document);
}
