#include "FitSettings.h"

#include "WholeNumber.h"

#include <cmath>

namespace {

// "NAME=VALUE" into its parts; UsageError otherwise.
std::pair<std::string, double> NameValue(const std::string& option, const std::string& text)
{
    const size_t equals = text.find('=');
    double value = 0.0;
    if (equals == 0 || equals == std::string::npos)
        throw UsageError(option + " needs NAME=VALUE, not \"" + text + "\"");
    if (!ParseWholeNumber(std::string_view(text).substr(equals + 1), value) || !std::isfinite(value))
        throw UsageError(option + " needs NAME=VALUE with a number, not \"" + text + "\"");
    return {text.substr(0, equals), value};
}

} // namespace

void AddFitOptions(CommandGrammar& grammar)
{
    grammar.valueOptions.insert(grammar.valueOptions.end(), {"--circuit", "--weight"});
    grammar.repeatable.insert(grammar.repeatable.end(), {"--fix", "--guess"});
}

Circuit ReadCircuitOption(const CommandLine& line)
{
    const auto text = line.Value("--circuit");
    if (!text)
        throw UsageError("--circuit is missing (for example --circuit \"R0-p(R1,C1)\")");
    Circuit circuit;
    std::string error;
    if (!ParseCircuit(*text, circuit, error))
        throw UsageError("--circuit \"" + *text + "\": " + error);
    return circuit;
}

FitOptions ReadFitOptions(const CommandLine& line, const Circuit& circuit)
{
    FitOptions options;
    if (const auto weight = line.Value("--weight"); weight && !ParseWeighting(*weight, options.weighting))
        throw UsageError("--weight is unit, modulus or proportional, not \"" + *weight + "\"");
    for (const std::string& text : line.Values("--fix"))
        options.fixed.push_back(NameValue("--fix", text));
    for (const std::string& text : line.Values("--guess"))
        options.guess.push_back(NameValue("--guess", text));
    std::string error;
    if (!CheckFitOptions(circuit, options, error))
        throw UsageError(error);
    return options;
}
