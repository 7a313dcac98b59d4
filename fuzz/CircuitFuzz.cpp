// Any text read as a circuit string: it parses or gives a reason; a circuit that parses names
// each parameter once, reads back the same from its own text, and evaluates to a finite
// impedance for ordinary values at ordinary frequencies.
#include "fit/Circuit.h"
#include "FuzzInput.h"

#include <cmath>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    Circuit circuit;
    std::string error;
    // The text repeated into a long one (deep nesting, thousands of elements) is refused or kept
    // within the limits, in bounded stack and time.
    if (!text.empty()) {
        std::string repeated;
        while (repeated.size() + text.size() <= MaxCircuitTextLength)
            repeated += text;
        if (ParseCircuit(repeated, circuit, error))
            FUZZ_CHECK(circuit.nodes.size() <= MaxCircuitNodes && circuit.ParameterCount() <= MaxCircuitParameters);
        circuit = Circuit();
    }
    if (!ParseCircuit(text, circuit, error)) {
        FUZZ_CHECK(!error.empty());
        return 0;
    }
    FUZZ_CHECK(circuit.ParameterCount() > 0 && circuit.ParameterCount() <= MaxCircuitParameters);
    FUZZ_CHECK(circuit.parameterKinds.size() == circuit.ParameterCount());
    for (size_t i = 0; i < circuit.ParameterCount(); ++i)
        FUZZ_CHECK(circuit.ParameterIndex(circuit.parameterNames[i]) == static_cast<int>(i));

    Circuit again;
    FUZZ_CHECK(ParseCircuit(circuit.text, again, error));
    FUZZ_CHECK(again.text == circuit.text && again.parameterNames == circuit.parameterNames);

    double values[MaxCircuitParameters];
    for (size_t i = 0; i < circuit.ParameterCount(); ++i)
        values[i] = circuit.parameterKinds[i] == ParameterKind::Exponent ? 0.8 : 1.0;
    for (const double hz : {1e-2, 1.0, 1e3, 1e6}) {
        const std::complex<double> z = CircuitImpedance(circuit, values, hz);
        FUZZ_CHECK(!std::isnan(z.real()) && !std::isnan(z.imag()));
    }
    return 0;
}
