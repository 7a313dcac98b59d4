#include "KramersKronig.h"

#include <fmt/format.h>
#include <Eigen/Dense>

#include <algorithm>
#include <initializer_list>
#include <cmath>
#include <cstdio>
#include <limits>
#include <numbers>

namespace {

constexpr double LeastFrequenciesPerDecade = 2;
// -Z'' rising at least this fast (log-log slope against frequency) over the three lowest
// frequencies: a capacitive tail (a capacitor -1, a Warburg -0.5, an RC arc's foot +1).
constexpr double CapacitiveTailSlope = -0.4;

std::string FormatNumber(double value, int digits = 6)
{
    return fmt::format("{:.{}g}", value, digits);
}

std::string CheckOptions(const KkOptions& options)
{
    if (!(options.c >= 0 && options.c <= 1))
        return "c must lie from 0 to 1, not " + FormatNumber(options.c);
    if (!(options.threshold > 0) || !std::isfinite(options.threshold))
        return "the threshold must be a number above 0, not " + FormatNumber(options.threshold);
    if (options.maxM < 1)
        return "the most RC elements must be 1 or more, not " + std::to_string(options.maxM);
    if (options.fixedM < 0)
        return "a fixed number of RC elements must be 1 or more, not " + std::to_string(options.fixedM);
    return {};
}

std::string CheckSpectrum(const Spectrum& spectrum)
{
    const size_t count = spectrum.frequency.size();
    if (spectrum.impedance.size() != count)
        return "the spectrum has " + std::to_string(count) + " frequencies but " +
               std::to_string(spectrum.impedance.size()) + " impedances";
    if (count < 3)
        return "the test needs at least 3 frequencies, the spectrum has " + std::to_string(count);
    for (size_t i = 0; i < count; ++i) {
        const double f = spectrum.frequency[i];
        const std::complex<double> z = spectrum.impedance[i];
        if (!std::isfinite(f) || f <= 0)
            return "frequency " + std::to_string(i + 1) + " (" + FormatNumber(f) +
                   " Hz) is not a finite number above 0";
        if (!std::isfinite(z.real()) || !std::isfinite(z.imag()))
            return "the impedance at " + FormatNumber(f) + " Hz is not a finite number";
        if (std::abs(z) == 0)
            return "the impedance at " + FormatNumber(f) + " Hz is 0: its residuals have no scale";
    }
    std::vector<double> sorted = spectrum.frequency;
    std::sort(sorted.begin(), sorted.end());
    if (const auto twice = std::adjacent_find(sorted.begin(), sorted.end()); twice != sorted.end())
        return "the frequency " + FormatNumber(*twice) + " Hz appears twice";
    return {};
}

// tau_1 = 1/(2 pi f_max) up to tau_M = 1/(2 pi f_min), log-spaced; one element in the middle.
std::vector<double> TimeConstants(double fMin, double fMax, int count)
{
    const double tauMin = 1 / (2 * std::numbers::pi * fMax);
    const double tauMax = 1 / (2 * std::numbers::pi * fMin);
    if (count == 1)
        return {std::sqrt(tauMin * tauMax)};
    std::vector<double> tau(count);
    const double logMin = std::log(tauMin), logSpan = std::log(tauMax / tauMin);
    for (int k = 0; k < count; ++k)
        tau[k] = std::exp(logMin + logSpan * k / (count - 1));
    tau.front() = tauMin;
    tau.back() = tauMax;
    return tau;
}

// The weighted rows the fits work on: angular frequency, Z and 1/|Z|.
struct WeightedRows {
    Eigen::VectorXd omega, real, imag, weight;
};

WeightedRows RowsOf(const Spectrum& spectrum)
{
    const Eigen::Index count = static_cast<Eigen::Index>(spectrum.frequency.size());
    WeightedRows rows{Eigen::VectorXd(count), Eigen::VectorXd(count), Eigen::VectorXd(count),
                      Eigen::VectorXd(count)};
    for (Eigen::Index i = 0; i < count; ++i) {
        rows.omega(i) = 2 * std::numbers::pi * spectrum.frequency[i];
        rows.real(i) = spectrum.impedance[i].real();
        rows.imag(i) = spectrum.impedance[i].imag();
        rows.weight(i) = 1 / std::abs(spectrum.impedance[i]);
    }
    return rows;
}

// Real and imaginary part of 1/(1 + j w tau) for every row (rows) and element (columns).
struct ElementResponse {
    Eigen::MatrixXd real, imag;
};

ElementResponse ResponseOf(const WeightedRows& rows, const std::vector<double>& tau)
{
    const Eigen::Index count = rows.omega.size(), elements = static_cast<Eigen::Index>(tau.size());
    ElementResponse response{Eigen::MatrixXd(count, elements), Eigen::MatrixXd(count, elements)};
    for (Eigen::Index k = 0; k < elements; ++k)
        for (Eigen::Index i = 0; i < count; ++i) {
            const double x = rows.omega(i) * tau[k];
            response.real(i, k) = 1 / (1 + x * x);
            response.imag(i, k) = -x / (1 + x * x);
        }
    return response;
}

// Least squares of a x = b, the columns brought to unit length first so that the resistance and
// inductance columns, many orders of magnitude apart, weigh alike in the rank decision; the
// minimum-norm solution where the columns are nearly dependent.
Eigen::VectorXd SolveLeastSquares(Eigen::MatrixXd a, const Eigen::VectorXd& b)
{
    Eigen::VectorXd scale(a.cols());
    for (Eigen::Index column = 0; column < a.cols(); ++column) {
        const double length = a.col(column).norm();
        scale(column) = length > 0 ? 1 / length : 1;
        a.col(column) *= scale(column);
    }
    const Eigen::VectorXd solution = a.completeOrthogonalDecomposition().solve(b);
    return solution.cwiseProduct(scale);
}

struct Circuit {
    double r0 = 0;
    double inductance = 0;
    double inverseCapacitance = 0;   // 1/C, 0 without a series capacitance
    Eigen::VectorXd resistances;
};

// The columns of the series terms in Z'' per row, weighted: w*omega for L and, with a series
// capacitance, -w/omega for 1/C.
Eigen::MatrixXd SeriesImagColumns(const WeightedRows& rows, bool withCapacitance)
{
    Eigen::MatrixXd columns(rows.omega.size(), withCapacitance ? 2 : 1);
    columns.col(0) = rows.weight.cwiseProduct(rows.omega);
    if (withCapacitance)
        columns.col(1) = -rows.weight.cwiseQuotient(rows.omega);
    return columns;
}

void SetSeriesImag(const Eigen::VectorXd& values, Circuit& circuit)
{
    circuit.inductance = values(0);
    if (values.size() > 1)
        circuit.inverseCapacitance = values(1);
}

Circuit FitCircuit(const WeightedRows& rows, const ElementResponse& response, KkFitMode mode, bool withCapacitance)
{
    const Eigen::Index count = rows.omega.size(), elements = response.real.cols();
    const Eigen::VectorXd& w = rows.weight;
    const Eigen::MatrixXd series = SeriesImagColumns(rows, withCapacitance);
    const Eigen::Index seriesCount = series.cols();
    Circuit circuit;
    switch (mode) {
    case KkFitMode::Real: {
        Eigen::MatrixXd a(count, elements + 1);
        a.col(0) = w;
        a.rightCols(elements) = w.asDiagonal() * response.real;
        const Eigen::VectorXd x = SolveLeastSquares(a, w.cwiseProduct(rows.real));
        circuit.r0 = x(0);
        circuit.resistances = x.tail(elements);
        const Eigen::VectorXd rest = rows.imag - response.imag * circuit.resistances;
        SetSeriesImag(SolveLeastSquares(series, w.cwiseProduct(rest)), circuit);
        break;
    }
    case KkFitMode::Imag: {
        Eigen::MatrixXd a(count, elements + seriesCount);
        a.leftCols(elements) = w.asDiagonal() * response.imag;
        a.rightCols(seriesCount) = series;
        const Eigen::VectorXd x = SolveLeastSquares(a, w.cwiseProduct(rows.imag));
        circuit.resistances = x.head(elements);
        SetSeriesImag(x.tail(seriesCount), circuit);
        const Eigen::VectorXd rest = rows.real - response.real * circuit.resistances;
        const Eigen::VectorXd w2 = w.cwiseProduct(w);
        circuit.r0 = w2.dot(rest) / w2.sum();
        break;
    }
    case KkFitMode::Complex: {
        Eigen::MatrixXd a = Eigen::MatrixXd::Zero(2 * count, elements + 1 + seriesCount);
        a.block(0, 0, count, 1) = w;
        a.block(0, 1, count, elements) = w.asDiagonal() * response.real;
        a.block(count, 1, count, elements) = w.asDiagonal() * response.imag;
        a.block(count, elements + 1, count, seriesCount) = series;
        Eigen::VectorXd b(2 * count);
        b << w.cwiseProduct(rows.real), w.cwiseProduct(rows.imag);
        const Eigen::VectorXd x = SolveLeastSquares(a, b);
        circuit.r0 = x(0);
        circuit.resistances = x.segment(1, elements);
        SetSeriesImag(x.tail(seriesCount), circuit);
        break;
    }
    }
    return circuit;
}

double Mu(const Eigen::VectorXd& resistances)
{
    double positive = 0, negative = 0;
    for (const double r : resistances)
        (r < 0 ? negative : positive) += std::abs(r);
    if (negative == 0)
        return 1;
    if (positive == 0)
        return -std::numeric_limits<double>::infinity();
    return 1 - negative / positive;
}

// The weighted residuals (Z - Zfit)/|Z| of the real and the imaginary part.
std::pair<Eigen::VectorXd, Eigen::VectorXd> Residuals(const WeightedRows& rows, const ElementResponse& response,
                                                      const Circuit& circuit)
{
    const Eigen::VectorXd fitReal = (response.real * circuit.resistances).array() + circuit.r0;
    const Eigen::VectorXd fitImag = response.imag * circuit.resistances + circuit.inductance * rows.omega -
                                    circuit.inverseCapacitance * rows.omega.cwiseInverse();
    return {(rows.real - fitReal).cwiseProduct(rows.weight), (rows.imag - fitImag).cwiseProduct(rows.weight)};
}

// The sum of the squared weighted residuals of both parts.
double SquaredResiduals(const WeightedRows& rows, const ElementResponse& response, const Circuit& circuit)
{
    const auto [real, imag] = Residuals(rows, response, circuit);
    return real.squaredNorm() + imag.squaredNorm();
}

// mu and the misfit of every M from 1 (or just fixedM), then M by the rule. The least-misfit and
// settled rules look no further than N - 2 elements in any mode: fitted to Z' and Z'' together,
// more elements follow any data and say nothing about the spectrum. Fitted to both parts, the
// misfit only falls with M, so there the least-misfit rule takes the settled rule's M.
void ChooseElementCount(const WeightedRows& rows, double fMin, double fMax, const KkOptions& options,
                        int dataMost, bool withCapacitance, KkResult& out)
{
    const int first = options.fixedM > 0 ? options.fixedM : 1;
    const int most = options.fixedM > 0 ? options.fixedM : std::min(options.maxM, dataMost);
    const int searched = KkMostElements(static_cast<size_t>(rows.real.size()), KkFitMode::Real);
    std::vector<double> misfit;
    for (int m = first; m <= most; ++m) {
        const ElementResponse response = ResponseOf(rows, TimeConstants(fMin, fMax, m));
        const Circuit circuit = FitCircuit(rows, response, options.mode, withCapacitance);
        out.muTried.push_back(Mu(circuit.resistances));
        misfit.push_back(SquaredResiduals(rows, response, circuit));
    }
    out.M = options.fixedM > 0 ? options.fixedM
                               : KkChosenCount(options.rule, options.mode, {out.muTried, misfit, options.c, searched});
}

// (Z - Zfit)/|Z| per row; valid when every one is below the threshold (a NaN is not).
void SetResidualsAndVerdict(const WeightedRows& rows, const ElementResponse& response, const Circuit& circuit,
                            KkResult& out)
{
    const auto [real, imag] = Residuals(rows, response, circuit);
    out.residualsReal.assign(real.begin(), real.end());
    out.residualsImag.assign(imag.begin(), imag.end());
    out.valid = (real.array().abs() < out.threshold).all() && (imag.array().abs() < out.threshold).all();
}

void AddNote(std::string& note, const std::string& text)
{
    if (!note.empty())
        note += "; ";
    note += text;
}

// Fewer than 2 frequencies per decade, or M held by the number of frequencies while mu was
// still above c: the verdict carries little weight, and the note says why.
void NoteSparseData(double fMin, double fMax, size_t count, const KkOptions& options, int dataMost,
                    KkResult& out)
{
    const double perDecade = static_cast<double>(count - 1) / std::log10(fMax / fMin);
    if (perDecade < LeastFrequenciesPerDecade) {
        out.tooFewPoints = true;
        AddNote(out.note, "only " + FormatNumber(perDecade, 2) + " frequencies per decade, fewer than " +
                              FormatNumber(LeastFrequenciesPerDecade) + ": too few to judge firmly");
    }
    if (options.fixedM == 0 && out.mu > options.c && out.M == dataMost && dataMost < options.maxM) {
        out.tooFewPoints = true;
        out.limitedByPoints = true;
        AddNote(out.note, "M stopped at " + std::to_string(out.M) + " by the " + std::to_string(count) +
                              " frequencies before mu came down to c: the residuals may be too small to judge by");
    }
}

// The candidate whose name is `text`, in `value`; false (value untouched) when none is.
template <typename Enum>
bool ParseName(std::string_view text, std::initializer_list<Enum> candidates, const char* (*nameOf)(Enum), Enum& value)
{
    for (const Enum candidate : candidates)
        if (text == nameOf(candidate)) {
            value = candidate;
            return true;
        }
    return false;
}

} // namespace

int KkMostElements(size_t frequencies, KkFitMode mode)
{
    if (frequencies < 3)
        return 0;
    const size_t most = mode == KkFitMode::Complex ? 2 * frequencies - 3 : frequencies - 2;
    return static_cast<int>(std::min<size_t>(most, std::numeric_limits<int>::max()));
}

bool RunKramersKronig(const Spectrum& spectrum, const KkOptions& options, KkResult& result,
                      std::string& error)
{
    error = CheckOptions(options);
    if (error.empty())
        error = CheckSpectrum(spectrum);
    const size_t count = spectrum.frequency.size();
    const int dataMost = KkMostElements(count, options.mode);
    if (error.empty() && options.fixedM > dataMost)
        error = std::to_string(count) + " frequencies carry at most " + std::to_string(dataMost) +
                " RC elements in this fit, not " + std::to_string(options.fixedM);
    if (!error.empty())
        return false;

    const auto [fMin, fMax] = std::minmax_element(spectrum.frequency.begin(), spectrum.frequency.end());
    const WeightedRows rows = RowsOf(spectrum);
    KkResult out;
    out.mode = options.mode;
    out.c = options.c;
    out.threshold = options.threshold;
    out.rule = options.rule;
    out.withCapacitance = options.capacitance == KkCapacitance::Always ||
                          (options.capacitance == KkCapacitance::Auto && options.rule != KkRule::Schoenleber &&
                           HasCapacitiveTail(spectrum));
    ChooseElementCount(rows, *fMin, *fMax, options, dataMost, out.withCapacitance, out);
    out.tau = TimeConstants(*fMin, *fMax, out.M);
    const ElementResponse response = ResponseOf(rows, out.tau);
    const Circuit circuit = FitCircuit(rows, response, options.mode, out.withCapacitance);
    out.mu = Mu(circuit.resistances);
    out.r0 = circuit.r0;
    out.inductance = circuit.inductance;
    if (out.withCapacitance)
        out.capacitance = 1 / circuit.inverseCapacitance;
    out.resistances.assign(circuit.resistances.begin(), circuit.resistances.end());
    out.frequency = spectrum.frequency;
    SetResidualsAndVerdict(rows, response, circuit, out);
    NoteSparseData(*fMin, *fMax, count, options, dataMost, out);
    result = std::move(out);
    return true;
}

int KkChosenCount(KkRule rule, KkFitMode mode, const KkCurves& curves)
{
    const auto& mu = curves.mu;
    const size_t tried = mu.size(), searched = std::min(tried, static_cast<size_t>(std::max(curves.searched, 1)));
    if (tried == 0)
        return 0;
    if (rule == KkRule::Schoenleber) {
        const auto first = std::find_if(mu.begin(), mu.end(), [&](double value) { return value <= curves.c; });
        return static_cast<int>(first == mu.end() ? tried : first - mu.begin() + 1);
    }
    if (rule == KkRule::LeastMisfit && mode != KkFitMode::Complex && curves.misfit.size() == tried) {
        const auto least = std::min_element(curves.misfit.begin(), curves.misfit.begin() + searched);
        return static_cast<int>(least - curves.misfit.begin()) + 1;
    }
    // Settled: one past the last mu above c among the counts searched, at most the last searched.
    size_t settled = 1;
    for (size_t i = 0; i < searched; ++i)
        if (mu[i] > curves.c)
            settled = i + 2;
    return static_cast<int>(std::min(settled, searched));
}

bool HasCapacitiveTail(const Spectrum& spectrum)
{
    if (spectrum.frequency.size() < 3 || spectrum.impedance.size() != spectrum.frequency.size())
        return false;
    std::vector<size_t> order(spectrum.frequency.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::partial_sort(order.begin(), order.begin() + 3, order.end(),
                      [&](size_t a, size_t b) { return spectrum.frequency[a] < spectrum.frequency[b]; });
    const double lowest = -spectrum.impedance[order[0]].imag(), third = -spectrum.impedance[order[2]].imag();
    if (!(lowest > 0 && third > 0))
        return false;
    const double slope = std::log(lowest / third) / std::log(spectrum.frequency[order[0]] / spectrum.frequency[order[2]]);
    return slope <= CapacitiveTailSlope;
}

bool ParseKkRule(std::string_view text, KkRule& rule)
{
    return ParseName(text, {KkRule::LeastMisfit, KkRule::Settled, KkRule::Schoenleber}, KkRuleName, rule);
}

const char* KkRuleName(KkRule rule)
{
    switch (rule) {
    case KkRule::LeastMisfit: return "least-misfit";
    case KkRule::Settled: return "settled";
    case KkRule::Schoenleber: return "schoenleber";
    }
    return "?";
}

bool ParseKkFitMode(std::string_view text, KkFitMode& mode)
{
    return ParseName(text, {KkFitMode::Real, KkFitMode::Imag, KkFitMode::Complex}, KkFitModeName, mode);
}

const char* KkFitModeName(KkFitMode mode)
{
    switch (mode) {
    case KkFitMode::Real: return "real";
    case KkFitMode::Imag: return "imag";
    case KkFitMode::Complex: return "complex";
    }
    return "?";
}
