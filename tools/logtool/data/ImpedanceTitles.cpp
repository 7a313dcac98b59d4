#include "ImpedanceTitles.h"

#include <algorithm>
#include <array>

namespace {

// Units a title may end with, in brackets or after '/' (already lower case, without blanks).
constexpr std::array<std::string_view, 16> Units = {
    "hz", "ohm", "ohms", "\xce\xa9", "\xcf\x89", "deg", "degree", "degrees", "\xc2\xb0", "rad", "a", "b", "s", "sec", "khz", "mohm"};

bool IsUnit(std::string_view text)
{
    return std::find(Units.begin(), Units.end(), text) != Units.end();
}

// Lower case, blanks and '_' dropped, and a unit at the end cut off; `radians` tells whether it
// was "rad".
std::string NormalTitle(std::string_view title, bool& radians)
{
    std::string text;
    for (const char c : title)
        if (c != ' ' && c != '\t' && c != '_' && c != '\r')
            text += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    radians = false;
    const size_t slash = text.find('/');
    if (slash != std::string::npos && slash > 0) {
        radians = text.substr(slash + 1) == "rad";
        text.resize(slash);
    }
    const char close = text.empty() ? 0 : text.back();
    const size_t open = close == ')' ? text.rfind('(') : close == ']' ? text.rfind('[') : std::string::npos;
    if (open != std::string::npos && open > 0) {
        const std::string unit = text.substr(open + 1, text.size() - open - 2);
        if (IsUnit(unit)) {
            radians = radians || unit == "rad";
            text.resize(open);
        }
    }
    return text;
}

bool OneOf(std::string_view text, std::initializer_list<std::string_view> names)
{
    return std::find(names.begin(), names.end(), text) != names.end();
}

ImpedanceTitle TitleOfNormal(std::string_view text)
{
    if (OneOf(text, {"f", "freq", "freq.", "frequency"}))
        return ImpedanceTitle::Frequency;
    if (OneOf(text, {"z'", "zreal", "zre", "re(z)", "real(z)", "realz", "z'real"}))
        return ImpedanceTitle::Real;
    if (OneOf(text, {"z''", "z\"", "zimag", "zim", "im(z)", "imag(z)", "imagz", "z''imag"}))
        return ImpedanceTitle::Imaginary;
    if (OneOf(text, {"|z|", "z", "zmod", "mod(z)", "|z|mod", "modz"}))
        return ImpedanceTitle::Modulus;
    if (OneOf(text, {"phase", "phase(z)", "zphz", "phz", "phi", "zphase"}))
        return ImpedanceTitle::Phase;
    if (!text.empty() && text.front() == '-') {
        const ImpedanceTitle negated = TitleOfNormal(text.substr(1));
        if (negated == ImpedanceTitle::Imaginary)
            return ImpedanceTitle::NegativeImaginary;
        if (negated == ImpedanceTitle::Phase)
            return ImpedanceTitle::NegativePhase;
    }
    return ImpedanceTitle::Other;
}

} // namespace

ImpedanceTitle ImpedanceTitleOf(std::string_view title)
{
    bool radians = false;
    return TitleOfNormal(NormalTitle(title, radians));
}

bool ImpedanceColumnsOf(const std::vector<std::string>& titles, ImpedanceColumns& columns)
{
    ImpedanceColumns found;
    for (size_t i = 0; i < titles.size(); ++i) {
        bool radians = false;
        const ImpedanceTitle title = TitleOfNormal(NormalTitle(titles[i], radians));
        const size_t column = i + 1;
        switch (title) {
        case ImpedanceTitle::Frequency:
            found.frequency = found.frequency ? found.frequency : column;
            break;
        case ImpedanceTitle::Real:
            found.real = found.real ? found.real : column;
            break;
        case ImpedanceTitle::Imaginary:
        case ImpedanceTitle::NegativeImaginary:
            if (!found.imaginary) {
                found.imaginary = column;
                found.negativeImaginary = title == ImpedanceTitle::NegativeImaginary;
            }
            break;
        case ImpedanceTitle::Modulus:
            found.modulus = found.modulus ? found.modulus : column;
            break;
        case ImpedanceTitle::Phase:
        case ImpedanceTitle::NegativePhase:
            if (!found.phase) {
                found.phase = column;
                found.negativePhase = title == ImpedanceTitle::NegativePhase;
                found.phaseInRadians = radians;
            }
            break;
        case ImpedanceTitle::Other:
            break;
        }
    }
    if (!found.frequency)
        return false;
    if (found.real && found.imaginary) {
        found.modulus = found.phase = 0;
    } else if (found.modulus && found.phase) {
        found.real = found.imaginary = 0;
    } else {
        return false;
    }
    columns = found;
    return true;
}
