// The least-squares problem behind a circuit fit: weighted residuals of a circuit against one
// spectrum in the free parameters' transformed coordinates theta (logarithms of positive
// parameters, logits of exponents), and the Levenberg-Marquardt run that minimises it. Storage
// is of fixed capacity: nothing here touches the heap.
#pragma once

#include "Circuit.h"
#include "Weighting.h"
#include "data/Spectrum.h"

#include <Eigen/Dense>

#include <algorithm>
#include <array>
#include <cmath>
#include <complex>
#include <limits>

constexpr size_t FitMaxParameters = MaxCircuitParameters;
using FitMatrix = Eigen::Matrix<double, Eigen::Dynamic, Eigen::Dynamic, 0, static_cast<int>(FitMaxParameters),
                                static_cast<int>(FitMaxParameters)>;
using FitVector = Eigen::Matrix<double, Eigen::Dynamic, 1, 0, static_cast<int>(FitMaxParameters), 1>;

constexpr double LogLimit = 230.0;     // positive parameters within 1e-100 .. 1e100
constexpr double LogitLimit = 36.0;    // exponents within 2e-16 .. 1 - 2e-16

inline double ClampToLimit(double value, double limit)
{
    return std::clamp(value, -limit, limit);
}

inline double ToTheta(ParameterKind kind, double value)
{
    if (kind == ParameterKind::Positive)
        return ClampToLimit(std::log(value), LogLimit);
    if (value >= 1.0)
        return LogitLimit;
    return ClampToLimit(std::log(value / (1.0 - value)), LogitLimit);
}

inline double FromTheta(ParameterKind kind, double theta)
{
    if (kind == ParameterKind::Positive)
        return std::exp(theta);
    return 1.0 / (1.0 + std::exp(-theta));
}

inline double ThetaLimit(ParameterKind kind)
{
    return kind == ParameterKind::Positive ? LogLimit : LogitLimit;
}

// The weights of the real and imaginary residual at one data point.
inline void ResidualWeights(Weighting weighting, std::complex<double> data, double& real, double& imaginary)
{
    switch (weighting) {
    case Weighting::Unit:
        real = imaginary = 1.0;
        return;
    case Weighting::Modulus:
        real = imaginary = 1.0 / std::abs(data);
        return;
    case Weighting::Proportional: {
        const double floor = 0.01 * std::abs(data);
        real = 1.0 / std::max(std::abs(data.real()), floor);
        imaginary = 1.0 / std::max(std::abs(data.imag()), floor);
        return;
    }
    }
}

// The least-squares problem in the free parameters' transformed coordinates theta.
class FitProblem {
public:
    FitProblem(const Circuit& circuit, const Spectrum& spectrum, Weighting weighting)
        : circuit_(circuit), spectrum_(spectrum), weighting_(weighting)
    {
    }

    // Sets which parameters are free; `full` holds every parameter (the fixed ones' values).
    void Setup(const double* full, const bool* isFree)
    {
        count_ = circuit_.ParameterCount();
        free_ = 0;
        for (size_t i = 0; i < count_; ++i) {
            full_[i] = full[i];
            if (isFree[i]) {
                freeIndex_[free_] = static_cast<uint32_t>(i);
                kind_[free_] = circuit_.parameterKinds[i];
                ++free_;
            }
        }
    }
    size_t Free() const { return free_; }
    const double* Full() const { return full_.data(); }

    void ThetaFromFull(const double* full, FitVector& theta) const
    {
        theta.resize(static_cast<Eigen::Index>(free_));
        for (size_t k = 0; k < free_; ++k)
            theta[static_cast<Eigen::Index>(k)] = ToTheta(kind_[k], full[freeIndex_[k]]);
    }
    void SetTheta(const FitVector& theta)
    {
        for (size_t k = 0; k < free_; ++k)
            full_[freeIndex_[k]] = FromTheta(kind_[k], theta[static_cast<Eigen::Index>(k)]);
    }
    void ClampTheta(FitVector& theta) const
    {
        for (size_t k = 0; k < free_; ++k) {
            const Eigen::Index i = static_cast<Eigen::Index>(k);
            theta[i] = ClampToLimit(theta[i], ThetaLimit(kind_[k]));
        }
    }

    // ssr at theta, with J^T J and J^T r (J in theta); false when anything is not finite.
    bool Evaluate(const FitVector& theta, double& ssr, FitMatrix& normal, FitVector& gradient)
    {
        SetTheta(theta);
        const Eigen::Index m = static_cast<Eigen::Index>(free_);
        normal.setZero(m, m);
        gradient.setZero(m);
        std::array<double, FitMaxParameters> chain;   // dp/dtheta
        for (size_t k = 0; k < free_; ++k) {
            const double p = full_[freeIndex_[k]];
            chain[k] = kind_[k] == ParameterKind::Positive ? p : p * (1.0 - p);
        }
        alignas(16) double gradientStore[2 * FitMaxParameters];
        std::complex<double>* dz = reinterpret_cast<std::complex<double>*>(gradientStore);
        std::array<double, FitMaxParameters> rowRe, rowIm;
        double sum = 0.0;
        const size_t points = spectrum_.frequency.size();
        for (size_t f = 0; f < points; ++f) {
            const std::complex<double> data = spectrum_.impedance[f];
            double wr = 1.0, wi = 1.0;
            ResidualWeights(weighting_, data, wr, wi);
            const std::complex<double> model = CircuitImpedanceGradient(circuit_, full_.data(), spectrum_.frequency[f], dz);
            const double rr = wr * (model.real() - data.real());
            const double ri = wi * (model.imag() - data.imag());
            sum += rr * rr + ri * ri;
            for (size_t k = 0; k < free_; ++k) {
                const std::complex<double> d = dz[freeIndex_[k]] * chain[k];
                rowRe[k] = wr * d.real();
                rowIm[k] = wi * d.imag();
                gradient[static_cast<Eigen::Index>(k)] += rowRe[k] * rr + rowIm[k] * ri;
            }
            for (size_t a = 0; a < free_; ++a)
                for (size_t b = a; b < free_; ++b)
                    normal(static_cast<Eigen::Index>(a), static_cast<Eigen::Index>(b)) +=
                        rowRe[a] * rowRe[b] + rowIm[a] * rowIm[b];
        }
        for (Eigen::Index a = 0; a < m; ++a)
            for (Eigen::Index b = 0; b < a; ++b)
                normal(a, b) = normal(b, a);
        ssr = sum;
        return std::isfinite(sum) && gradient.allFinite() && normal.allFinite();
    }

    // ssr of the full parameter vector `full`, model values only.
    double Ssr(const double* full) const
    {
        double sum = 0.0;
        for (size_t f = 0; f < spectrum_.frequency.size(); ++f) {
            const std::complex<double> data = spectrum_.impedance[f];
            double wr = 1.0, wi = 1.0;
            ResidualWeights(weighting_, data, wr, wi);
            const std::complex<double> model = CircuitImpedance(circuit_, full, spectrum_.frequency[f]);
            const double rr = wr * (model.real() - data.real());
            const double ri = wi * (model.imag() - data.imag());
            sum += rr * rr + ri * ri;
        }
        return std::isfinite(sum) ? sum : std::numeric_limits<double>::infinity();
    }

    // Sum of the squared weighted data, the scale ssr is measured against.
    double DataNorm() const
    {
        double sum = 0.0;
        for (const std::complex<double> data : spectrum_.impedance) {
            double wr = 1.0, wi = 1.0;
            ResidualWeights(weighting_, data, wr, wi);
            sum += wr * wr * data.real() * data.real() + wi * wi * data.imag() * data.imag();
        }
        return sum;
    }

    uint32_t FreeIndex(size_t k) const { return freeIndex_[k]; }

private:
    const Circuit& circuit_;
    const Spectrum& spectrum_;
    Weighting weighting_;
    size_t count_ = 0;
    size_t free_ = 0;
    std::array<double, FitMaxParameters> full_{};
    std::array<uint32_t, FitMaxParameters> freeIndex_{};
    std::array<ParameterKind, FitMaxParameters> kind_{};
};

struct RunOutcome {
    double ssr = std::numeric_limits<double>::infinity();
    bool converged = false;
    int iterations = 0;
};

// Levenberg-Marquardt from theta (changed in place), Nielsen's damping update with Marquardt's
// scaling by the largest diagonal of J^T J seen so far. Stops when a step or the gain in ssr
// becomes negligible, ssr falls below tinySsr, or after maxIterations.
RunOutcome RunLevenbergMarquardt(FitProblem& problem, FitVector& theta, int maxIterations, double tinySsr);
