// The fit's result as JSON and as a readable report.
#include "Fit.h"

#include <algorithm>
#include <cmath>
#include <fmt/format.h>

namespace {

using Complex = std::complex<double>;

// A number of the report with '.' whatever the locale: `digits` significant digits (style 'g')
// or decimals after one digit (style 'e'); "-" when it is not a number.
std::string Number(double value, int digits, char style = 'g')
{
    if (!std::isfinite(value))
        return std::isnan(value) ? "-" : (value > 0 ? "inf" : "-inf");
    return style == 'e' ? fmt::format("{:.{}e}", value, digits) : fmt::format("{:.{}g}", value, digits);
}

} // namespace

Json FitResultDocument(const Circuit& circuit, const FitResult& result)
{
    Json parameters = Json::array();
    for (const ParameterEstimate& p : result.parameters)
        parameters.push_back({{"name", p.name},
                              {"value", p.value},
                              {"stderr", p.stdError},
                              {"ci95", {p.ciLow, p.ciHigh}},
                              {"fixed", p.fixed},
                              {"undetermined", p.undetermined}});
    Json residuals = Json::array();
    for (const Complex& r : result.residuals)
        residuals.push_back({r.real(), r.imag()});
    return {{"circuit", circuit.text},
            {"parameters", std::move(parameters)},
            {"chi2_reduced", result.chi2Reduced},
            {"ssr", result.ssr},
            {"points", result.points},
            {"dof", result.degreesOfFreedom},
            {"weighting", WeightingName(result.weighting)},
            {"converged", result.converged},
            {"residuals", std::move(residuals)},
            {"warnings", result.warnings}};
}

std::string FitResultText(const Circuit& circuit, const Spectrum& spectrum, const FitResult& result)
{
    std::string text = fmt::format("circuit   {}\nweighting {}, {} frequencies, {} degrees of freedom\n\n", circuit.text,
                                   WeightingName(result.weighting), result.points, result.degreesOfFreedom);
    size_t width = 9;
    for (const ParameterEstimate& p : result.parameters)
        width = std::max(width, p.name.size());
    text += fmt::format("{:<{}}          value     std error            95% interval\n", "parameter", width);
    for (const ParameterEstimate& p : result.parameters) {
        text += fmt::format("{:<{}}{:>15}", p.name, width, Number(p.value, 6));
        if (p.fixed) {
            text += "         fixed\n";
            continue;
        }
        text += fmt::format(" +-{:>11}   [{}, {}]{}\n", Number(p.stdError, 3), Number(p.ciLow, 5), Number(p.ciHigh, 5),
                            p.undetermined ? "  undetermined" : "");
    }
    text += fmt::format("\nreduced chi-square {} (ssr {}, {} weighting){}\n\n", Number(result.chi2Reduced, 6),
                        Number(result.ssr, 6), WeightingName(result.weighting),
                        result.converged ? "" : ", NOT converged");
    text += "residuals, data - model:\n    frequency/Hz         Z'/ohm        Z''/ohm        dZ'/ohm       dZ''/ohm   |dZ|/|Z|\n";
    for (size_t f = 0; f < result.residuals.size() && f < spectrum.frequency.size(); ++f) {
        const Complex z = spectrum.impedance[f];
        const Complex r = result.residuals[f];
        text += fmt::format("{:>16}{:>15}{:>15}{:>15}{:>15}{:>11}\n", Number(spectrum.frequency[f], 6),
                            Number(z.real(), 6), Number(z.imag(), 6), Number(r.real(), 4), Number(r.imag(), 4),
                            std::abs(z) > 0 ? Number(std::abs(r) / std::abs(z), 2, 'e') : "-");
    }
    for (const std::string& warning : result.warnings)
        text += "\nwarning: " + warning;
    if (!result.warnings.empty())
        text += "\n";
    return text;
}
