// Splines through any knots with any end conditions, and the banded solver on any bands: no
// reads or writes outside the tables, no result for knots that do not rise or an unknown end
// condition, and a spline that does exist passes through every knot it starts an interval at.
#include "FuzzInput.h"
#include "Spline.h"

#include <cmath>
#include <vector>

namespace {

std::unique_ptr<double[]> Doubles(FuzzInput& input, int32_t n)
{
    std::unique_ptr<double[]> values(new double[static_cast<size_t>(n)]);
    for (int32_t i = 0; i < n; ++i)
        values[static_cast<size_t>(i)] = input.Take<double>();
    return values;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput input(data, size);
    const int32_t n = static_cast<int32_t>(1 + input.Below(32));
    const int32_t beginType = static_cast<int32_t>(input.Below(5)); // 4: no such end condition
    const int32_t endType = static_cast<int32_t>(input.Below(5));
    const double beginValue = input.Take<double>(), endValue = input.Take<double>();
    const bool rising = input.Take<uint8_t>() & 1;
    const auto t = Doubles(input, n);
    const auto y = Doubles(input, n);
    if (rising) // knots made to rise, so the solver is reached often
        for (int32_t i = 1; i < n; ++i)
            if (!(t[i] > t[i - 1]))
                t[i] = std::isfinite(t[i - 1]) ? t[i - 1] + 1.0 + std::fabs(std::fmod(t[i], 7.0)) : t[i - 1];

    bool knotsRise = true;
    for (int32_t i = 0; i + 1 < n; ++i)
        knotsRise = knotsRise && t[i] < t[i + 1];
    const std::vector<double> ypp = SplineSecondDerivatives(n, t.get(), y.get(), beginType, beginValue, endType, endValue);
    const bool defined = n >= 2 && knotsRise && beginType <= 3 && endType <= 3 &&
                         !((beginType == SplineEndNotAKnot || endType == SplineEndNotAKnot) && n < 3);
    FUZZ_CHECK(ypp.empty() || defined);
    if (!ypp.empty()) {
        FUZZ_CHECK(ypp.size() == static_cast<size_t>(n));
        const auto second = ExactCopy(ypp.data(), ypp.size() * sizeof(double));
        const double* m = reinterpret_cast<const double*>(second.get());
        for (int32_t i = 0; i + 1 < n; ++i) {
            double slope = 0, curvature = 0;
            const double value = SplineEvaluate(n, t.get(), y.get(), m, t[i], slope, curvature);
            // At the left end of its interval the cubic is exactly the knot's value.
            if (std::isfinite(slope) && std::isfinite(y[i]) && std::isfinite(m[i]) && std::isfinite(m[i + 1]))
                FUZZ_CHECK(value == y[i]);
        }
        double slope = 0, curvature = 0;
        SplineEvaluate(n, t.get(), y.get(), m, input.Take<double>(), slope, curvature);
    }

    // The solver alone, on bands of exactly n entries each.
    const int32_t bands = static_cast<int32_t>(input.Below(12));
    if (bands >= 2) {
        auto a1 = Doubles(input, bands), a2 = Doubles(input, bands), a3 = Doubles(input, bands);
        auto a4 = Doubles(input, bands), a5 = Doubles(input, bands), b = Doubles(input, bands);
        const std::vector<double> x = SolvePentadiagonal(bands, a1.get(), a2.get(), a3.get(), a4.get(), a5.get(), b.get());
        FUZZ_CHECK(x.size() == static_cast<size_t>(bands));
    }
    return 0;
}
