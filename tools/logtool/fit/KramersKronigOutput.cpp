#include "KramersKronigOutput.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace {

// Shortest text that reads back to the same double, '.' as decimal point whatever the locale.
void AppendNumber(std::string& out, double value)
{
    if (!std::isfinite(value)) {
        out += "null";
        return;
    }
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, value).ptr;
    out.append(text, end);
}

void AppendArray(std::string& out, const std::vector<double>& values)
{
    out += '[';
    for (size_t i = 0; i < values.size(); ++i) {
        if (i)
            out += ',';
        AppendNumber(out, values[i]);
    }
    out += ']';
}

void AppendString(std::string& out, const std::string& text)
{
    out += '"';
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += c;
        }
    }
    out += '"';
}

// Fixed-point text with '.' whatever the locale.
std::string Fixed(double value, int decimals)
{
    if (!std::isfinite(value))
        return value < 0 ? "-inf" : "nan";
    char text[64];
    const auto end = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals).ptr;
    return std::string(text, end);
}

std::string General(double value)
{
    if (!std::isfinite(value))
        return value < 0 ? "-inf" : "nan";
    char text[64];
    const auto end = std::to_chars(text, text + sizeof text, value, std::chars_format::general, 6).ptr;
    return std::string(text, end);
}

// Six significant digits, never in exponent form: "0.0125893", "1258.93", "1000000".
std::string FrequencyText(double hertz)
{
    char text[400];
    auto end = std::to_chars(text, text + sizeof text, hertz, std::chars_format::general, 6).ptr;
    double rounded = hertz;
    std::from_chars(text, end, rounded);
    end = std::to_chars(text, text + sizeof text, rounded, std::chars_format::fixed).ptr;
    return std::string(text, end);
}

std::string PadLeft(const std::string& text, size_t width)
{
    return text.size() >= width ? text : std::string(width - text.size(), ' ') + text;
}

} // namespace

std::string KramersKronigJson(const KkResult& result)
{
    std::string out = "{\"M\":" + std::to_string(result.M) + ",\"mu\":";
    AppendNumber(out, result.mu);
    out += ",\"valid\":";
    out += result.valid ? "true" : "false";
    out += ",\"residuals_real\":";
    AppendArray(out, result.residualsReal);
    out += ",\"residuals_imag\":";
    AppendArray(out, result.residualsImag);
    out += ",\"frequencies\":";
    AppendArray(out, result.frequency);
    out += ",\"threshold\":";
    AppendNumber(out, result.threshold);
    out += ",\"c\":";
    AppendNumber(out, result.c);
    out += ",\"fit\":";
    AppendString(out, KkFitModeName(result.mode));
    out += ",\"r0\":";
    AppendNumber(out, result.r0);
    out += ",\"inductance\":";
    AppendNumber(out, result.inductance);
    out += ",\"resistances\":";
    AppendArray(out, result.resistances);
    out += ",\"tau\":";
    AppendArray(out, result.tau);
    out += ",\"mu_by_M\":";
    AppendArray(out, result.muTried);
    out += ",\"too_few_points\":";
    out += result.tooFewPoints ? "true" : "false";
    out += ",\"note\":";
    AppendString(out, result.note);
    out += "}\n";
    return out;
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
        out += PadLeft(FrequencyText(result.frequency[i]), 14) + PadLeft(Fixed(result.residualsReal[i] * percent, 3), 9) +
               PadLeft(Fixed(result.residualsImag[i] * percent, 3), 10) + (over ? "  *" : "") + "\n";
    }
    out += "\nM = " + std::to_string(result.M) + " RC elements, mu = " + Fixed(result.mu, 3) +
           " (c = " + General(result.c) + ")\n";
    out += "R0 = " + General(result.r0) + " ohm, L = " + General(result.inductance) + " H\n";
    if (result.valid)
        out += "verdict: valid, every residual below " + General(result.threshold * percent) + " %\n";
    else
        out += "verdict: not valid, largest residual " + Fixed(worstSize * percent, 3) + " % at " +
               FrequencyText(result.frequency[worst]) + " Hz (threshold " + General(result.threshold * percent) +
               " %, rows over it marked *)\n";
    if (!result.note.empty())
        out += "note: " + result.note + "\n";
    return out;
}
