#include "AxisTicks.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>

namespace {

// Exponent of the largest power of ten not above `value` (> 0), robust against 1e3 = 999.99..
int DecadeOf(double value)
{
    return static_cast<int>(std::floor(std::log10(value) + 1e-9));
}

std::string FixedText(double value, int decimals)
{
    std::string text = fmt::format("{:.{}f}", value, std::clamp(decimals, 0, 15));
    if (text.starts_with('-') && text.find_first_not_of("-0.") == std::string::npos)
        text.erase(0, 1);   // "-0.00" is zero
    return text;
}

int DecimalsFor(double step)
{
    return std::max(0, -static_cast<int>(std::floor(std::log10(step) + 1e-9)));
}

// The SI prefix of 10^exponent (a multiple of 3 from -12 to 12).
const char* SiPrefix(int exponent)
{
    switch (exponent) {
    case -12: return "p";
    case -9: return "n";
    case -6: return "µ";
    case -3: return "m";
    case 3: return "k";
    case 6: return "M";
    case 9: return "G";
    case 12: return "T";
    default: return "";
    }
}

// Linear labels: plain decimals for moderate numbers, else scaled by a shared power of 1000
// written as an SI prefix ("2.5µ", "120k").
std::vector<std::string> LinearLabels(const std::vector<double>& values, double step)
{
    double largest = 0;
    for (double value : values)
        largest = std::max(largest, std::fabs(value));
    int shift = 0;
    if (largest >= 1e5 || (largest > 0 && largest < 1e-2)) {
        shift = static_cast<int>(std::floor(DecadeOf(largest) / 3.0)) * 3;
        if (shift < -12 || shift > 12)
            shift = DecadeOf(largest);   // beyond the prefixes: a power of ten
    }
    const double scale = std::pow(10.0, shift);
    std::vector<std::string> labels;
    for (double value : values) {
        std::string label = FixedText(value / scale, DecimalsFor(step / scale));
        if (value != 0 && shift != 0) {
            const char* prefix = SiPrefix(shift);
            label += *prefix ? std::string(prefix) : "×10^{" + std::to_string(shift) + "}";
        }
        labels.push_back(label);
    }
    return labels;
}

double NiceStep(double span, double maxLabels)
{
    const double rough = span / std::max(1.0, maxLabels);
    const double magnitude = std::pow(10.0, std::floor(std::log10(rough)));
    for (double factor : {1.0, 2.0, 5.0, 10.0})
        if (factor * magnitude >= rough * (1 - 1e-9))
            return factor * magnitude;
    return 10 * magnitude;
}

std::vector<AxisTick> LinearTicks(double low, double high, double maxLabels)
{
    const double step = NiceStep(high - low, maxLabels);
    std::vector<double> values;
    const double first = std::ceil(low / step - 1e-9);
    for (double index = first; index * step <= high + step * 1e-9; index += 1) {
        const double value = std::fabs(index) < 0.5 ? 0.0 : index * step;
        values.push_back(value);
    }
    const std::vector<std::string> labels = LinearLabels(values, step);
    std::vector<AxisTick> ticks;
    for (size_t i = 0; i < values.size(); ++i)
        ticks.push_back({values[i], labels[i]});
    return ticks;
}

std::string DecadeLabel(int exponent, bool powerForm)
{
    if (powerForm)
        return "10^{" + std::to_string(exponent) + "}";
    return FormatDecadeTick(exponent);
}

// Multiples m·10^e (m from `multiples`) inside [low, high].
std::vector<double> LogMultiples(double low, double high, std::initializer_list<int> multiples)
{
    std::vector<double> values;
    for (int exponent = DecadeOf(low) - 1; exponent <= DecadeOf(high) + 1; ++exponent)
        for (int multiple : multiples) {
            const double value = multiple * std::pow(10.0, exponent);
            if (value >= low * (1 - 1e-9) && value <= high * (1 + 1e-9))
                values.push_back(value);
        }
    return values;
}

std::vector<AxisTick> DecadeTicks(double low, double high, double maxLabels)
{
    const int lowExponent = static_cast<int>(std::ceil(std::log10(low) - 1e-9));
    const int highExponent = DecadeOf(high);
    const int decades = highExponent - lowExponent + 1;
    const int every = static_cast<int>(std::ceil(decades / std::max(1.0, maxLabels) - 1e-9));
    const bool powerForm = lowExponent < -3 || highExponent > 6;
    const bool minorBetween = every == 1 && std::log10(high / low) <= 12;
    std::vector<AxisTick> ticks;
    for (int exponent = lowExponent - 1; exponent <= highExponent; ++exponent) {
        const double decade = std::pow(10.0, exponent);
        if (exponent >= lowExponent) {
            const bool labelled = ((exponent % every) + every) % every == 0;
            ticks.push_back({decade, labelled ? DecadeLabel(exponent, powerForm) : ""});
        }
        if (minorBetween)
            for (int multiple = 2; multiple <= 9; ++multiple)
                if (const double value = multiple * decade; value >= low && value <= high)
                    ticks.push_back({value, ""});
    }
    std::sort(ticks.begin(), ticks.end(), [](auto& a, auto& b) { return a.value < b.value; });
    return ticks;
}

// Labelled `labelled` multiples, the other whole multiples as minor ticks.
std::vector<AxisTick> MultipleTicks(double low, double high, const std::vector<double>& labelled)
{
    std::vector<AxisTick> ticks;
    for (double value : LogMultiples(low, high, {1, 2, 3, 4, 5, 6, 7, 8, 9})) {
        const bool isLabelled = std::any_of(labelled.begin(), labelled.end(), [&](double v) {
            return std::fabs(v - value) <= 1e-9 * value;
        });
        ticks.push_back({value, isLabelled ? FormatLogTick(value) : ""});
    }
    return ticks;
}

std::vector<AxisTick> LogTicks(double low, double high, double maxLabels)
{
    const int decades = DecadeOf(high) - static_cast<int>(std::ceil(std::log10(low) - 1e-9)) + 1;
    if (decades >= 3)
        return DecadeTicks(low, high, maxLabels);
    // Two decades or less: 1-2-5 labelled when that gives a few ticks, else decades, else every
    // whole multiple, else linear ticks.
    const auto fits = [&](const std::vector<double>& values) {
        return values.size() >= 3 && static_cast<double>(values.size()) <= maxLabels + 1;
    };
    if (const auto values = LogMultiples(low, high, {1, 2, 5}); fits(values))
        return MultipleTicks(low, high, values);
    if (decades == 2)
        return DecadeTicks(low, high, maxLabels);
    if (const auto values = LogMultiples(low, high, {1, 2, 3, 4, 5, 6, 7, 8, 9}); fits(values))
        return MultipleTicks(low, high, values);
    return LinearTicks(low, high, std::min(maxLabels, 5.0));
}

} // namespace

std::vector<AxisTick> AxisTicks(AxisScale scale, double low, double high, double maxLabels)
{
    if (!(low < high) || !std::isfinite(low) || !std::isfinite(high))
        return {};
    if (scale == AxisScale::Log10)
        return low > 0 ? LogTicks(low, high, std::max(2.0, maxLabels)) : std::vector<AxisTick>{};
    return LinearTicks(low, high, std::max(2.0, maxLabels));
}

std::string FormatLinearTick(double value, double step)
{
    return LinearLabels({value}, step).front();
}

std::string FormatDecadeTick(int exponent)
{
    if (exponent < -3 || exponent > 6)
        return "10^{" + std::to_string(exponent) + "}";
    if (exponent < 0)
        return FixedText(std::pow(10.0, exponent), -exponent);
    static const char* const Plain[] = {"1", "10", "100", "1k", "10k", "100k", "1M"};
    return Plain[exponent];
}

std::string FormatLogTick(double value)
{
    const int exponent = DecadeOf(value);
    if (exponent < -3 || exponent > 6) {
        const std::string mantissa = FixedText(value / std::pow(10.0, exponent), 0);
        return (mantissa == "1" ? "" : mantissa + "×") + "10^{" + std::to_string(exponent) + "}";
    }
    if (value >= 1000 * (1 - 1e-9)) {
        const bool mega = value >= 1e6 * (1 - 1e-9);
        const double scaled = value / (mega ? 1e6 : 1e3);
        return FixedText(scaled, 0) + (mega ? "M" : "k");
    }
    return FixedText(value, std::max(0, -exponent));
}
