#include "ParameterUnits.h"

std::string ParameterUnit(const Circuit& circuit, size_t parameter)
{
    for (const CircuitElement& element : circuit.elements) {
        if (parameter < element.firstParameter || parameter >= element.firstParameter + element.parameterCount)
            continue;
        const size_t index = parameter - element.firstParameter;
        switch (element.type) {
        case ElementType::R:
            return "Ω";
        case ElementType::C:
            return "F";
        case ElementType::L:
            return "H";
        case ElementType::CPE:
            return index == 0 ? "F s^(n-1)" : "";
        case ElementType::W:
            return "Ω s^-1/2";
        case ElementType::Wo:
        case ElementType::Ws:
        case ElementType::K:
            return index == 0 ? "Ω" : "s";
        case ElementType::Zarc:
            return index == 0 ? "Ω" : index == 1 ? "s" : "";
        }
    }
    return "";
}
