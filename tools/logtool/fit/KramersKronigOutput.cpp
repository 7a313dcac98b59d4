#include "KramersKronigOutput.h"

#include "data/Json.h"
#include "data/NumberText.h"

#include <fmt/format.h>

#include <algorithm>
#include <charconv>
#include <cmath>

namespace {

// Numbers of the report with '.' whatever the locale; a residual that is not finite reads
// "-inf" (no element fits) or "nan".
std::string NotFinite(double value)
{
    return value < 0 ? "-inf" : "nan";
}

std::string Fixed(double value, int decimals)
{
    return std::isfinite(value) ? fmt::format("{:.{}f}", value, decimals) : NotFinite(value);
}

std::string General(double value)
{
    return std::isfinite(value) ? fmt::format("{:.6g}", value) : NotFinite(value);
}

// Six significant digits, never in exponent form: "0.0125893", "1258.93", "1000000".
std::string FrequencyText(double hertz)
{
    double rounded = hertz;
    const std::string sixDigits = fmt::format("{:.6g}", hertz);
    std::from_chars(sixDigits.data(), sixDigits.data() + sixDigits.size(), rounded);
    std::string text;
    AppendShortestFixed(text, rounded);
    return text;
}

} // namespace

std::string KramersKronigJson(const KkResult& result)
{
    const Json document = {{"M", result.M},
                           {"mu", result.mu},
                           {"valid", result.valid},
                           {"residuals_real", result.residualsReal},
                           {"residuals_imag", result.residualsImag},
                           {"frequencies", result.frequency},
                           {"threshold", result.threshold},
                           {"c", result.c},
                           {"fit", KkFitModeName(result.mode)},
                           {"rule", KkRuleName(result.rule)},
                           {"r0", result.r0},
                           {"inductance", result.inductance},
                           {"capacitance", result.withCapacitance ? Json(result.capacitance) : Json(nullptr)},
                           {"resistances", result.resistances},
                           {"tau", result.tau},
                           {"mu_by_M", result.muTried},
                           {"too_few_points", result.tooFewPoints},
                           {"note", result.note}};
    return JsonText(document) + "\n";
}

std::string KramersKronigReport(const KkResult& result)
{
    const char* fittedTo = result.mode == KkFitMode::Real   ? "fitted to Z'"
                           : result.mode == KkFitMode::Imag ? "fitted to Z''"
                                                             : "fitted to Z' and Z''";
    std::string out = std::string("Linear Kramers-Kronig test (") + fittedTo + ", weights 1/|Z|)\n\n";
    out += "  frequency/Hz   real/%    imag/%\n";
    const double percent = 100;
    size_t worst = 0;
    double worstSize = -1;
    for (size_t i = 0; i < result.frequency.size(); ++i) {
        const double size = std::max(std::abs(result.residualsReal[i]), std::abs(result.residualsImag[i]));
        const bool over = !(size < result.threshold);
        if (size > worstSize || std::isnan(size)) {
            worst = i;
            worstSize = size;
        }
        out += fmt::format("{:>14}{:>9}{:>10}{}\n", FrequencyText(result.frequency[i]),
                           Fixed(result.residualsReal[i] * percent, 3), Fixed(result.residualsImag[i] * percent, 3),
                           over ? "  *" : "");
    }
    out += fmt::format("\nM = {} RC elements, mu = {} (c = {}, rule {})\n", result.M, Fixed(result.mu, 3),
                       General(result.c), KkRuleName(result.rule));
    out += fmt::format("R0 = {} ohm, L = {} H", General(result.r0), General(result.inductance));
    out += result.withCapacitance ? fmt::format(", series C = {} F\n", General(result.capacitance)) : "\n";
    if (result.valid)
        out += fmt::format("verdict: valid, every residual below {} %\n", General(result.threshold * percent));
    else
        out += fmt::format("verdict: not valid, largest residual {} % at {} Hz (threshold {} %, rows over it marked *)\n",
                           Fixed(worstSize * percent, 3), FrequencyText(result.frequency[worst]),
                           General(result.threshold * percent));
    if (!result.note.empty())
        out += "note: " + result.note + "\n";
    return out;
}
