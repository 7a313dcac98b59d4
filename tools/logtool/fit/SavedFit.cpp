#include "SavedFit.h"

#include "Circuit.h"
#include "data/Json.h"

#include <cmath>

bool ParseSavedFit(std::string_view json, SavedFit& fit, std::string& error)
{
    Json document;
    if (!ParseJson(json, document, error))
        return false;
    if (!document.is_object()) {
        error = "not a fit result: the JSON is not an object";
        return false;
    }
    const auto circuit = document.find("circuit");
    const auto parameters = document.find("parameters");
    if (circuit == document.end() || !circuit->is_string() || parameters == document.end() ||
        !parameters->is_array()) {
        error = "not a fit result: it has no \"circuit\" text and \"parameters\" list";
        return false;
    }
    if (parameters->size() > MaxCircuitParameters) {
        error = "not a fit result: " + std::to_string(parameters->size()) + " parameters, more than any circuit has (" +
                std::to_string(MaxCircuitParameters) + ")";
        return false;
    }
    fit = {circuit->get<std::string>(), {}};
    for (size_t i = 0; i < parameters->size(); ++i) {
        const Json& parameter = (*parameters)[i];
        const auto name = parameter.is_object() ? parameter.find("name") : parameter.end();
        const auto value = parameter.is_object() ? parameter.find("value") : parameter.end();
        if (name == parameter.end() || !name->is_string() || value == parameter.end() || !value->is_number() ||
            !std::isfinite(value->get<double>())) {
            error = "parameter " + std::to_string(i + 1) + " has no name or no finite \"value\"";
            return false;
        }
        fit.values.emplace_back(name->get<std::string>(), value->get<double>());
    }
    return true;
}
