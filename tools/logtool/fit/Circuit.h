// Equivalent circuits in the common circuit-string notation: elements in series joined by '-',
// parallel branches as p(a,b,...) (nestable, at least two branches), each element named by its
// type and a number: R0, C1, L0, CPE1, W1, Wo2, Ws1, K1, Zarc3. Whitespace is allowed anywhere
// between tokens.
//
// Elements (w = 2*pi*f, j the imaginary unit):
//   R    (R)          R
//   C    (C)          1/(j w C)
//   L    (L)          j w L
//   CPE  (Q, n)       1/(Q (j w)^n)
//   W    (Aw)         Aw (1 - j)/sqrt(w)                      semi-infinite Warburg
//   Wo   (Z0, tau)    Z0 coth(sqrt(j w tau))/sqrt(j w tau)    finite-length Warburg, open end
//   Ws   (Z0, tau)    Z0 tanh(sqrt(j w tau))/sqrt(j w tau)    finite-length Warburg, short end
//   K    (R, tau)     R/(1 + j w tau)                         Voigt RC element
//   Zarc (R, tau, n)  R/(1 + (j w tau)^n)                     R parallel to a CPE
// A parameter is named after its element when the element has one parameter (R0, C1, L0, W1),
// else element_index (CPE1_0 is Q, CPE1_1 is n; Wo1_0, Wo1_1; Zarc1_0, Zarc1_1, Zarc1_2).
// Parameters are positive, except the exponents n of CPE and Zarc, which lie in (0, 1].
#pragma once

#include <complex>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

enum class ElementType : uint8_t { R, C, L, CPE, W, Wo, Ws, K, Zarc };
enum class ParameterKind : uint8_t { Positive, Exponent };

struct CircuitElement {
    std::string name;         // "CPE1"
    ElementType type;
    uint32_t firstParameter;  // index of its first parameter in Circuit::parameterNames
    uint32_t parameterCount;
};

// One node of the circuit's tree, stored children first (post-order): an element, or a series
// or parallel combination of the nodes childIndex[firstChild .. firstChild + childCount).
struct CircuitNode {
    enum class Kind : uint8_t { Element, Series, Parallel };
    Kind kind = Kind::Element;
    uint32_t element = 0;     // index into Circuit::elements, for Kind::Element
    uint32_t firstChild = 0;
    uint32_t childCount = 0;
    int32_t parent = -1;      // -1 for the root (the last node)
};

struct Circuit {
    std::string text;                            // as parsed, without whitespace
    std::vector<std::string> parameterNames;     // in the order of the text
    std::vector<ParameterKind> parameterKinds;   // one per parameter
    std::vector<CircuitElement> elements;        // in the order of the text
    std::vector<CircuitNode> nodes;              // post-order, root last
    std::vector<uint32_t> childIndex;
    // Sets of top-level series parts of identical structure (R0-Zarc1-Zarc2: {Zarc1, Zarc2}), as
    // node indices: their values can trade places without changing the impedance, so a fit
    // reports them in a fixed order (the slowest time constant first).
    std::vector<std::vector<uint32_t>> interchangeable;

    size_t ParameterCount() const { return parameterNames.size(); }
    // Index of the named parameter, or -1.
    int ParameterIndex(std::string_view name) const;
};

// Limits that keep the evaluation free of heap allocation; far above any sensible circuit.
constexpr size_t MaxCircuitParameters = 32;
constexpr size_t MaxCircuitNodes = 96;
// Bounds on the text itself, checked before it is parsed, so that no text (typed, or read from a
// saved fit) costs more than a bounded stack depth and time: characters, and p(...) inside p(...).
constexpr size_t MaxCircuitTextLength = 4096;
constexpr size_t MaxCircuitNesting = 32;

// Parses `text` into `circuit`. On failure returns false and sets `error` to what is wrong and
// where ("unknown element \"X1\" at character 4").
bool ParseCircuit(std::string_view text, Circuit& circuit, std::string& error);

// The circuit's impedance in ohm at `frequencyHz`; `parameters` holds ParameterCount() values.
std::complex<double> CircuitImpedance(const Circuit& circuit, const double* parameters, double frequencyHz);
// The impedance and its derivative with respect to every parameter (analytic),
// gradient[i] = dZ/dparameters[i], ParameterCount() of them.
std::complex<double> CircuitImpedanceGradient(const Circuit& circuit, const double* parameters,
                                              double frequencyHz, std::complex<double>* gradient);

// One element's impedance (and, when `gradient` is not null, its derivative with respect to each
// of its own parameters) at angular frequency `omega`.
std::complex<double> ElementImpedance(ElementType type, const double* parameters, double omega,
                                      std::complex<double>* gradient);
size_t ElementParameterCount(ElementType type);
const char* ElementTypeName(ElementType type);
