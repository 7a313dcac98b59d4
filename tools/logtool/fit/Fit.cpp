#include "Fit.h"
#include "FitProblem.h"
#include "FitStarts.h"
#include "data/NumberText.h"

#include <fmt/format.h>
#include <Eigen/Dense>
#include <boost/math/distributions/students_t.hpp>

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <cmath>
#include <limits>
#include <numbers>

namespace {

using Complex = std::complex<double>;
constexpr size_t MaxP = MaxCircuitParameters;
using Matrix = FitMatrix;
using Vector = FitVector;
constexpr double Infinity = std::numeric_limits<double>::infinity();
constexpr int BriefIterations = 40;      // of each automatic start
constexpr size_t PolishedCandidates = 3; // the best briefly-run starts taken to convergence

bool ValueInRange(ParameterKind kind, double value)
{
    if (!std::isfinite(value) || value <= 0.0)
        return false;
    return kind == ParameterKind::Positive || value <= 1.0;
}

std::string RangeText(ParameterKind kind)
{
    return kind == ParameterKind::Positive ? "a positive number" : "an exponent in (0, 1]";
}

// Standard errors in the original parameters, from J^T J at the solution.
void Statistics(const Circuit& circuit, const Spectrum& spectrum, Weighting weighting, const FitProblem& problem,
                double variance, std::array<double, MaxP>& stdError, std::array<double, MaxP>& influence,
                FitResult& result)
{
    influence.fill(0.0);
    const size_t free = problem.Free();
    const Eigen::Index m = static_cast<Eigen::Index>(free);
    Matrix normal;
    normal.setZero(m, m);
    alignas(16) double gradientStore[2 * MaxP];
    Complex* dz = reinterpret_cast<Complex*>(gradientStore);
    std::array<double, MaxP> rowRe, rowIm;
    result.residuals.resize(spectrum.frequency.size());
    for (size_t f = 0; f < spectrum.frequency.size(); ++f) {
        const Complex data = spectrum.impedance[f];
        double wr = 1.0, wi = 1.0;
        ResidualWeights(weighting, data, wr, wi);
        const Complex model = CircuitImpedanceGradient(circuit, problem.Full(), spectrum.frequency[f], dz);
        result.residuals[f] = data - model;
        const double size = std::max(std::abs(data), std::abs(model));
        for (size_t k = 0; k < free; ++k) {
            const uint32_t index = problem.FreeIndex(k);
            influence[k] = std::max(influence[k], std::abs(dz[index]) * problem.Full()[index] / size);
            rowRe[k] = wr * dz[problem.FreeIndex(k)].real();
            rowIm[k] = wi * dz[problem.FreeIndex(k)].imag();
        }
        for (size_t a = 0; a < free; ++a)
            for (size_t b = a; b < free; ++b)
                normal(static_cast<Eigen::Index>(a), static_cast<Eigen::Index>(b)) += rowRe[a] * rowRe[b] + rowIm[a] * rowIm[b];
    }
    for (Eigen::Index a = 0; a < m; ++a)
        for (Eigen::Index b = 0; b < a; ++b)
            normal(a, b) = normal(b, a);
    if (m == 0)
        return;
    // Correlation form, then an eigen-decomposition: directions the data do not see (eigenvalue
    // below 1e-13 of the largest) make every parameter taking part in them undetermined.
    Vector norm(m);
    for (Eigen::Index i = 0; i < m; ++i)
        norm[i] = std::sqrt(normal(i, i));
    Matrix correlation(m, m);
    for (Eigen::Index a = 0; a < m; ++a)
        for (Eigen::Index b = 0; b < m; ++b)
            correlation(a, b) = (norm[a] > 0.0 && norm[b] > 0.0) ? normal(a, b) / (norm[a] * norm[b]) : (a == b ? 1.0 : 0.0);
    Eigen::SelfAdjointEigenSolver<Matrix> solver(correlation);
    const bool solved = solver.info() == Eigen::Success && normal.allFinite();
    const double largest = solved ? solver.eigenvalues().cwiseAbs().maxCoeff() : 0.0;
    for (Eigen::Index i = 0; i < m; ++i) {
        double sum = 0.0;
        bool singular = !solved || !(norm[i] > 0.0);
        for (Eigen::Index k = 0; k < m && !singular; ++k) {
            const double lambda = solver.eigenvalues()[k];
            const double v = solver.eigenvectors()(i, k);
            if (lambda <= 1e-13 * largest) {
                if (std::abs(v) > 1e-6)
                    singular = true;
                continue;
            }
            sum += v * v / lambda;
        }
        stdError[static_cast<size_t>(i)] = singular ? Infinity : std::sqrt(variance * sum) / norm[i];
    }
}

// An exponent moved in from the very edge of (0, 1), where the logistic map has no slope left
// and a run could never move it; other values as they are.
double AwayFromBound(ParameterKind kind, double value)
{
    constexpr double Margin = 1e-4;
    return kind == ParameterKind::Exponent ? std::clamp(value, Margin, 1.0 - Margin) : value;
}

// The multistart: the user's guesses first (the first automatic start with the guessed values in
// it), then every automatic start as it is, each briefly; then the guesses' run and the most
// promising few to full convergence. Fixed parameters hold in every start. `best` stays at
// infinity when no start gives a finite impedance.
void Multistart(const Circuit& circuit, const Spectrum& spectrum, const FitOptions& options, const bool* isFree,
                const bool* guessed, const double* fixedOrGuess, FitProblem& problem, double tinySsr, RunOutcome& best,
                Vector& bestTheta, int& starts)
{
    const size_t count = circuit.ParameterCount();
    std::vector<std::vector<double>> automatic = BuildStarts(circuit, spectrum);
    const bool anyGuess = std::any_of(guessed, guessed + count, [](bool g) { return g; });
    if (anyGuess) {
        std::vector<double> first = automatic.front();
        for (size_t i = 0; i < count; ++i)
            if (guessed[i])
                first[i] = fixedOrGuess[i];
        automatic.insert(automatic.begin(), std::move(first));
    }
    struct Candidate {
        double ssr;
        Vector theta;
        bool guess;
    };
    std::vector<std::vector<double>> tried;
    std::vector<Candidate> candidates;
    Vector theta;
    for (std::vector<double> candidate : automatic) {
        for (size_t i = 0; i < count; ++i)
            if (!isFree[i])
                candidate[i] = fixedOrGuess[i];
        if (std::find(tried.begin(), tried.end(), candidate) != tried.end())
            continue;
        tried.push_back(candidate);
        problem.Setup(candidate.data(), isFree);
        problem.ThetaFromFull(candidate.data(), theta);
        const RunOutcome outcome = RunLevenbergMarquardt(problem, theta, BriefIterations, tinySsr);
        ++starts;
        if (std::isfinite(outcome.ssr))
            candidates.push_back({outcome.ssr, theta, anyGuess && tried.size() == 1});
    }
    std::stable_sort(candidates.begin(), candidates.end(),
                     [](const Candidate& a, const Candidate& b) { return a.ssr < b.ssr; });
    std::array<double, MaxP> full;
    for (size_t i = 0; i < count; ++i)
        full[i] = isFree[i] ? 1.0 : fixedOrGuess[i];
    problem.Setup(full.data(), isFree);
    for (size_t c = 0; c < candidates.size(); ++c) {
        if (c >= PolishedCandidates && !candidates[c].guess)
            continue;
        theta = candidates[c].theta;
        const RunOutcome polished = RunLevenbergMarquardt(problem, theta, options.maxIterations, tinySsr);
        if (std::isfinite(polished.ssr) && (polished.ssr < best.ssr || !std::isfinite(best.ssr))) {
            best = polished;
            bestTheta = theta;
        }
    }
}

// value -+ halfWidth, taken in the fitted variable: a positive parameter's logarithm (a width
// of halfWidth / value there), an exponent's logit (halfWidth / (p (1 - p))), then mapped back.
void IntervalInFittedVariable(ParameterKind kind, double value, double halfWidth, double& low, double& high)
{
    const double slope = kind == ParameterKind::Positive ? value : value * (1.0 - value);   // dp/dtheta
    const double theta = kind == ParameterKind::Positive ? std::log(value) : std::log(value / (1.0 - value));
    const double width = slope > 0.0 ? halfWidth / slope : Infinity;
    low = FromTheta(kind, theta - width);
    high = FromTheta(kind, theta + width);
    if (!std::isfinite(theta)) {   // an exponent of exactly 1 (only a fixed one can be)
        low = high = value;
    }
}

} // namespace

bool ParseWeighting(std::string_view text, Weighting& weighting)
{
    if (text == "unit")
        weighting = Weighting::Unit;
    else if (text == "modulus")
        weighting = Weighting::Modulus;
    else if (text == "proportional")
        weighting = Weighting::Proportional;
    else
        return false;
    return true;
}

const char* WeightingName(Weighting weighting)
{
    switch (weighting) {
    case Weighting::Unit: return "unit";
    case Weighting::Modulus: return "modulus";
    case Weighting::Proportional: return "proportional";
    }
    return "?";
}

double StudentT975(int degreesOfFreedom)
{
    if (degreesOfFreedom < 1)
        return std::nan("");
    constexpr int Cached = 512;
    static const std::array<double, Cached + 1> table = [] {
        std::array<double, Cached + 1> values{};
        for (int dof = 1; dof <= Cached; ++dof)
            values[static_cast<size_t>(dof)] = boost::math::quantile(boost::math::students_t(dof), 0.975);
        return values;
    }();
    if (degreesOfFreedom <= Cached)
        return table[static_cast<size_t>(degreesOfFreedom)];
    return boost::math::quantile(boost::math::students_t(degreesOfFreedom), 0.975);
}

bool CheckFitOptions(const Circuit& circuit, const FitOptions& options, std::string& error)
{
    const size_t count = circuit.ParameterCount();
    if (count > MaxP) {
        error = "the circuit has too many parameters";
        return false;
    }
    std::array<bool, MaxP> seenFixed{}, seenGuess{};
    auto check = [&](const std::vector<std::pair<std::string, double>>& list, const char* option,
                     std::array<bool, MaxP>& seen) {
        for (const auto& [name, value] : list) {
            const int index = circuit.ParameterIndex(name);
            if (index < 0) {
                error = std::string(option) + ": the circuit " + circuit.text + " has no parameter \"" + name +
                        "\" (it has";
                for (const std::string& parameter : circuit.parameterNames)
                    error += " " + parameter;
                error += ")";
                return false;
            }
            const ParameterKind kind = circuit.parameterKinds[static_cast<size_t>(index)];
            if (!ValueInRange(kind, value)) {
                error = std::string(option) + " " + name + "=" + CompactText(value) + ": " + name + " must be " +
                        RangeText(kind);
                return false;
            }
            if (seen[static_cast<size_t>(index)]) {
                error = std::string(option) + " " + name + " is given twice";
                return false;
            }
            seen[static_cast<size_t>(index)] = true;
        }
        return true;
    };
    if (!check(options.fixed, "--fix", seenFixed) || !check(options.guess, "--guess", seenGuess))
        return false;
    for (size_t i = 0; i < count; ++i) {
        if (seenFixed[i] && seenGuess[i]) {
            error = circuit.parameterNames[i] + " is both fixed and guessed";
            return false;
        }
    }
    if (options.previous) {
        if (options.previous->size() != count) {
            error = "the previous result has " + std::to_string(options.previous->size()) + " values, the circuit " +
                    std::to_string(count) + " parameters";
            return false;
        }
        for (size_t i = 0; i < count; ++i) {
            if (!ValueInRange(circuit.parameterKinds[i], (*options.previous)[i])) {
                error = "the previous value of " + circuit.parameterNames[i] + " is not " +
                        RangeText(circuit.parameterKinds[i]);
                return false;
            }
        }
    }
    if (options.maxIterations < 1) {
        error = "the iteration limit must be at least 1";
        return false;
    }
    return true;
}

bool FitCircuit(const Circuit& circuit, const Spectrum& spectrum, const FitOptions& options, FitResult& result,
                std::string& error)
{
    const size_t count = circuit.ParameterCount();
    if (count == 0 || circuit.nodes.empty()) {
        error = "the circuit is empty";
        return false;
    }
    if (count > MaxP) {
        error = "the circuit has too many parameters";
        return false;
    }
    // Options first; the common case (no --fix, --guess, previous) costs nothing here.
    if ((!options.fixed.empty() || !options.guess.empty() || options.previous || options.maxIterations < 1) &&
        !CheckFitOptions(circuit, options, error))
        return false;
    const size_t points = spectrum.frequency.size();
    if (spectrum.impedance.size() != points) {
        error = "the spectrum has " + std::to_string(points) + " frequencies but " +
                std::to_string(spectrum.impedance.size()) + " impedances";
        return false;
    }
    for (size_t f = 0; f < points; ++f) {
        const double frequency = spectrum.frequency[f];
        const Complex z = spectrum.impedance[f];
        if (!std::isfinite(frequency) || frequency <= 0.0) {
            error = "frequency " + std::to_string(f + 1) + " of the spectrum is not a positive number";
            return false;
        }
        if (!std::isfinite(z.real()) || !std::isfinite(z.imag())) {
            error = "the impedance at " + CompactText(frequency) + " Hz is not a finite number";
            return false;
        }
        if (options.weighting != Weighting::Unit && std::abs(z) == 0.0) {
            error = "the impedance at " + CompactText(frequency) + " Hz is zero, which " +
                    WeightingName(options.weighting) + " weighting cannot divide by";
            return false;
        }
    }

    std::array<bool, MaxP> isFree;
    std::array<double, MaxP> fixedOrGuess;   // the user's value, where given
    std::array<bool, MaxP> guessed{};
    isFree.fill(true);
    for (const auto& [name, value] : options.fixed) {
        const size_t index = static_cast<size_t>(circuit.ParameterIndex(name));
        isFree[index] = false;
        fixedOrGuess[index] = value;
    }
    for (const auto& [name, value] : options.guess) {
        const size_t index = static_cast<size_t>(circuit.ParameterIndex(name));
        guessed[index] = true;
        fixedOrGuess[index] = value;
    }
    size_t free = 0;
    for (size_t i = 0; i < count; ++i)
        free += isFree[i] ? 1 : 0;
    const int dof = static_cast<int>(2 * points) - static_cast<int>(free);
    if (dof < 1) {
        error = "fewer data than free parameters: " + std::to_string(points) +
                (points == 1 ? " frequency gives " : " frequencies give ") +
                std::to_string(2 * points) + " real data, " + std::to_string(free) +
                " free parameters need at least " + std::to_string(free + 1);
        return false;
    }

    FitProblem problem(circuit, spectrum, options.weighting);
    const double dataNorm = problem.DataNorm();
    const double tinySsr = 1e-28 * dataNorm;
    Vector theta, bestTheta;
    RunOutcome best;
    std::array<double, MaxP> start;
    int starts = 0;
    bool warm = false;
    bool freshRun = false;   // the multistart ran (to check a warm result)

    const auto exponentAtEdge = [&](const Vector& at) {
        problem.SetTheta(at);
        bool edge = false;
        for (size_t i = 0; i < count; ++i)
            edge = edge || (isFree[i] && circuit.parameterKinds[i] == ParameterKind::Exponent &&
                            AwayFromBound(ParameterKind::Exponent, problem.Full()[i]) != problem.Full()[i]);
        return edge;
    };

    if (options.previous) {
        for (size_t i = 0; i < count; ++i)
            start[i] = !isFree[i]          ? fixedOrGuess[i]
                       : options.leaveEdge ? AwayFromBound(circuit.parameterKinds[i], (*options.previous)[i])
                                           : (*options.previous)[i];
        problem.Setup(start.data(), isFree.data());
        problem.ThetaFromFull(start.data(), theta);
        best = RunLevenbergMarquardt(problem, theta, std::min(options.maxIterations, 60), tinySsr);
        bestTheta = theta;
        starts = 1;
        const bool atBound = exponentAtEdge(theta);
        // Failing badly: not converged, or explaining less than 95% (rms) of the data. A run that
        // walks an exponent back to the edge it started near does not converge in its steps (the
        // logistic map flattens there) but has stopped changing the impedance: that counts as done.
        warm = (best.converged || (atBound && options.leaveEdge)) && best.ssr <= 0.0025 * dataNorm;
        best.converged = best.converged || warm;
        // A warm result with an exponent at the edge of its range may sit in a corner the chain
        // led it into: a fresh multistart of the same spectrum decides, as it does when asked to.
        if (warm && ((atBound && options.leaveEdge) || options.compareWithFresh)) {
            RunOutcome fresh;
            Vector freshTheta;
            Multistart(circuit, spectrum, options, isFree.data(), guessed.data(), fixedOrGuess.data(), problem, tinySsr,
                       fresh, freshTheta, starts);
            freshRun = true;
            // The fresh result replaces the warm one only where it is clearly lower.
            if (std::isfinite(fresh.ssr) && fresh.ssr < best.ssr * (1.0 - 1e-9)) {
                best = fresh;
                bestTheta = freshTheta;
                warm = false;
            }
        }
    }
    if (!warm && !freshRun) {
        RunOutcome fresh;
        Vector freshTheta;
        Multistart(circuit, spectrum, options, isFree.data(), guessed.data(), fixedOrGuess.data(), problem, tinySsr,
                   fresh, freshTheta, starts);
        if (!std::isfinite(fresh.ssr) && !std::isfinite(best.ssr)) {
            error = "the fit found no starting point where the circuit's impedance is finite";
            return false;
        }
        if (std::isfinite(fresh.ssr) && (fresh.ssr < best.ssr || !std::isfinite(best.ssr))) {
            best = fresh;
            bestTheta = freshTheta;
        }
    }
    // In a chain, a run that walks an exponent to the edge of its range takes its every step without
    // converging (the logistic map flattens there) while the impedance no longer changes: done.
    if (options.previous && !best.converged && std::isfinite(best.ssr) && exponentAtEdge(bestTheta))
        best.converged = true;
    problem.SetTheta(bestTheta);
    if (!circuit.interchangeable.empty()) {
        std::array<double, MaxP> ordered;
        std::copy(problem.Full(), problem.Full() + count, ordered.begin());
        OrderInterchangeable(circuit, isFree.data(), guessed.data(), ordered.data());
        problem.ThetaFromFull(ordered.data(), bestTheta);
        problem.SetTheta(bestTheta);
    }

    // Results.
    const double variance = best.ssr / dof;
    std::array<double, MaxP> stdError;
    stdError.fill(0.0);
    result.residuals.clear();
    result.warnings.clear();
    std::array<double, MaxP> influence;   // largest relative change of Z per relative change of each
    Statistics(circuit, spectrum, options.weighting, problem, variance, stdError, influence, result);
    const double t = StudentT975(dof);
    result.parameters.resize(count);
    result.values.resize(count);
    result.exponentAtBound = false;
    size_t k = 0;
    for (size_t i = 0; i < count; ++i) {
        ParameterEstimate& estimate = result.parameters[i];
        estimate.name = circuit.parameterNames[i];
        estimate.value = problem.Full()[i];
        estimate.fixed = !isFree[i];
        result.values[i] = estimate.value;
        if (estimate.fixed) {
            estimate.stdError = 0.0;
            estimate.ciLow = estimate.ciHigh = estimate.value;
            estimate.undetermined = false;
            continue;
        }
        estimate.stdError = stdError[k];
        IntervalInFittedVariable(circuit.parameterKinds[i], estimate.value, t * estimate.stdError, estimate.ciLow,
                                 estimate.ciHigh);
        estimate.undetermined = !(estimate.stdError <= std::abs(estimate.value));
        result.exponentAtBound = result.exponentAtBound || (circuit.parameterKinds[i] == ParameterKind::Exponent &&
                                                            AwayFromBound(ParameterKind::Exponent, estimate.value) != estimate.value);
        // A parameter that ran off to where it no longer changes the impedance (or an exponent to 1).
        if (circuit.parameterKinds[i] == ParameterKind::Exponent && estimate.value > 1.0 - 1e-6) {
            result.warnings.push_back(estimate.name + " ran to 1, the edge of its range: the element behaves "
                                                      "as an ideal one (a CPE as a capacitor)");
        } else if (circuit.parameterKinds[i] == ParameterKind::Exponent ? estimate.value < 1e-6
                                                                          : influence[k] < 1e-7) {
            result.warnings.push_back(estimate.name + " ran to " + fmt::format("{:.3g}", estimate.value) +
                                      ", where it no longer changes the impedance: the circuit may hold an "
                                      "element the data do not need");
        }
        if (estimate.undetermined)
            result.warnings.push_back(estimate.name + ": the data cannot determine it (standard error " +
                                      fmt::format("{:.3g}", estimate.stdError) + " larger than the value " +
                                      fmt::format("{:.6g}", estimate.value) + ")");
        ++k;
    }
    result.ssr = best.ssr;
    result.chi2Reduced = variance;
    result.points = points;
    result.degreesOfFreedom = dof;
    result.converged = best.converged;
    result.weighting = options.weighting;
    result.iterations = best.iterations;
    result.starts = starts;
    result.warmStarted = warm;
    if (!best.converged)
        result.warnings.push_back("the fit did not converge; the values may be off");
    return true;
}
