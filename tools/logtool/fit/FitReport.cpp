// The fit's result as JSON and as a readable report.
#include "Fit.h"
#include "data/JsonText.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

using Complex = std::complex<double>;

std::string Format(const char* format, double value)
{
    if (!std::isfinite(value))
        return std::isnan(value) ? "-" : (value > 0 ? "inf" : "-inf");
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, value);
    return buffer;
}

std::string Padded(std::string text, size_t width)
{
    if (text.size() < width)
        text.insert(0, width - text.size(), ' ');
    return text;
}

} // namespace

std::string FitResultJson(const Circuit& circuit, const FitResult& result)
{
    std::string json = "{\"circuit\":" + JsonString(circuit.text) + ",\"parameters\":[";
    for (size_t i = 0; i < result.parameters.size(); ++i) {
        const ParameterEstimate& p = result.parameters[i];
        if (i)
            json += ",";
        json += "{\"name\":" + JsonString(p.name) + ",\"value\":" + JsonNumber(p.value) +
                ",\"stderr\":" + JsonNumber(p.stdError) + ",\"ci95\":[" + JsonNumber(p.ciLow) + "," +
                JsonNumber(p.ciHigh) + "],\"fixed\":" + (p.fixed ? "true" : "false") +
                ",\"undetermined\":" + (p.undetermined ? "true" : "false") + "}";
    }
    json += "],\"chi2_reduced\":" + JsonNumber(result.chi2Reduced) + ",\"ssr\":" + JsonNumber(result.ssr) +
            ",\"points\":" + std::to_string(result.points) + ",\"dof\":" + std::to_string(result.degreesOfFreedom) +
            ",\"weighting\":" + JsonString(WeightingName(result.weighting)) +
            ",\"converged\":" + (result.converged ? "true" : "false") + ",\"residuals\":[";
    for (size_t f = 0; f < result.residuals.size(); ++f) {
        if (f)
            json += ",";
        json += "[" + JsonNumber(result.residuals[f].real()) + "," + JsonNumber(result.residuals[f].imag()) + "]";
    }
    json += "],\"warnings\":[";
    for (size_t w = 0; w < result.warnings.size(); ++w) {
        if (w)
            json += ",";
        json += JsonString(result.warnings[w]);
    }
    return json + "]}";
}

std::string FitResultText(const Circuit& circuit, const Spectrum& spectrum, const FitResult& result)
{
    std::string text = "circuit   " + circuit.text + "\n";
    text += "weighting " + std::string(WeightingName(result.weighting)) + ", " + std::to_string(result.points) +
            " frequencies, " + std::to_string(result.degreesOfFreedom) + " degrees of freedom\n\n";
    size_t width = 9;
    for (const ParameterEstimate& p : result.parameters)
        width = std::max(width, p.name.size());
    text += std::string("parameter") + std::string(width - 9, ' ') +
            "          value     std error            95% interval\n";
    for (const ParameterEstimate& p : result.parameters) {
        text += p.name + std::string(width - p.name.size(), ' ');
        text += Padded(Format("%.6g", p.value), 15);
        if (p.fixed) {
            text += "         fixed\n";
            continue;
        }
        text += " +-" + Padded(Format("%.3g", p.stdError), 11);
        text += "   [" + Format("%.5g", p.ciLow) + ", " + Format("%.5g", p.ciHigh) + "]";
        if (p.undetermined)
            text += "  undetermined";
        text += "\n";
    }
    text += "\nreduced chi-square " + Format("%.6g", result.chi2Reduced) + " (ssr " + Format("%.6g", result.ssr) +
            ", " + WeightingName(result.weighting) + " weighting)" + (result.converged ? "" : ", NOT converged") +
            "\n\n";
    text += "residuals, data - model:\n    frequency/Hz         Z'/ohm        Z''/ohm        dZ'/ohm       dZ''/ohm   |dZ|/|Z|\n";
    for (size_t f = 0; f < result.residuals.size() && f < spectrum.frequency.size(); ++f) {
        const Complex z = spectrum.impedance[f];
        const Complex r = result.residuals[f];
        text += Padded(Format("%.6g", spectrum.frequency[f]), 16) + Padded(Format("%.6g", z.real()), 15) +
                Padded(Format("%.6g", z.imag()), 15) + Padded(Format("%.4g", r.real()), 15) +
                Padded(Format("%.4g", r.imag()), 15) +
                Padded(std::abs(z) > 0 ? Format("%.2e", std::abs(r) / std::abs(z)) : "-", 11) + "\n";
    }
    for (const std::string& warning : result.warnings)
        text += "\nwarning: " + warning;
    if (!result.warnings.empty())
        text += "\n";
    return text;
}
