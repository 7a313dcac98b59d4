#include "Circuit.h"

#include <cctype>
#include <cmath>
#include <numbers>

namespace {

using Complex = std::complex<double>;
constexpr Complex J{0.0, 1.0};

struct ElementInfo {
    const char* name;
    ElementType type;
    uint32_t parameterCount;
};

constexpr ElementInfo ElementTable[] = {
    {"R", ElementType::R, 1},     {"C", ElementType::C, 1},      {"L", ElementType::L, 1},
    {"CPE", ElementType::CPE, 2}, {"W", ElementType::W, 1},      {"Wo", ElementType::Wo, 2},
    {"Ws", ElementType::Ws, 2},   {"K", ElementType::K, 2},      {"Zarc", ElementType::Zarc, 3},
};

const ElementInfo* FindElement(std::string_view name)
{
    for (const ElementInfo& info : ElementTable)
        if (name == info.name)
            return &info;
    return nullptr;
}

// mingw's std::tanh of a complex with a large real part returns NaN; tanh is +-1 there anyway.
Complex SafeTanh(Complex x)
{
    if (x.real() > 20.0)
        return {1.0, 0.0};
    if (x.real() < -20.0)
        return {-1.0, 0.0};
    return std::tanh(x);
}

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

class Parser {
public:
    Parser(std::string_view text, Circuit& circuit) : text_(text), circuit_(circuit) {}

    bool Parse(std::string& error)
    {
        if (text_.size() > MaxCircuitTextLength) {
            error = "the circuit text is longer than " + std::to_string(MaxCircuitTextLength) + " characters";
            return false;
        }
        if (!CheckParentheses(error))
            return false;
        SkipSpace();
        if (AtEnd()) {
            error = "empty circuit";
            return false;
        }
        int root = ParseSeries();
        if (root < 0) {
            error = error_;
            return false;
        }
        SkipSpace();
        if (!AtEnd()) {
            error = "unexpected \"" + std::string(text_.substr(position_, 1)) + "\" at character " +
                    std::to_string(position_ + 1) + " after the end of the circuit";
            return false;
        }
        if (circuit_.parameterNames.size() > MaxCircuitParameters || circuit_.nodes.size() > MaxCircuitNodes) {
            error = TooLarge();
            return false;
        }
        return true;
    }

private:
    static std::string TooLarge()
    {
        return "the circuit is too large (at most " + std::to_string(MaxCircuitParameters) + " parameters and " +
               std::to_string(MaxCircuitNodes) + " elements and combinations)";
    }

    bool CheckParentheses(std::string& error) const
    {
        std::vector<size_t> open;
        for (size_t i = 0; i < text_.size(); ++i) {
            if (text_[i] == '(') {
                open.push_back(i);
                if (open.size() > MaxCircuitNesting) {
                    error = "parentheses nested deeper than " + std::to_string(MaxCircuitNesting) +
                            " levels at character " + std::to_string(i + 1);
                    return false;
                }
            } else if (text_[i] == ')') {
                if (open.empty()) {
                    error = "unbalanced parentheses: \")\" at character " + std::to_string(i + 1) +
                            " closes nothing";
                    return false;
                }
                open.pop_back();
            }
        }
        if (!open.empty()) {
            error = "unbalanced parentheses: \"(\" at character " + std::to_string(open.back() + 1) +
                    " is never closed";
            return false;
        }
        return true;
    }

    bool AtEnd() const { return position_ >= text_.size(); }
    void SkipSpace()
    {
        while (!AtEnd() && IsSpace(text_[position_]))
            ++position_;
    }
    bool Fail(std::string message)
    {
        if (error_.empty())
            error_ = std::move(message);
        return false;
    }
    std::string Here() const
    {
        if (AtEnd())
            return "at the end of the circuit";
        return "at character " + std::to_string(position_ + 1) + ", not \"" +
               std::string(text_.substr(position_, 1)) + "\"";
    }

    int AddComposite(CircuitNode::Kind kind, const std::vector<int>& children)
    {
        CircuitNode node;
        node.kind = kind;
        node.firstChild = static_cast<uint32_t>(circuit_.childIndex.size());
        node.childCount = static_cast<uint32_t>(children.size());
        const int index = static_cast<int>(circuit_.nodes.size());
        for (int child : children) {
            circuit_.childIndex.push_back(static_cast<uint32_t>(child));
            circuit_.nodes[child].parent = index;
        }
        circuit_.nodes.push_back(node);
        return index;
    }

    // series := term ('-' term)*; returns the node index or -1.
    int ParseSeries()
    {
        std::vector<int> children;
        for (;;) {
            const int term = ParseTerm();
            if (term < 0)
                return -1;
            children.push_back(term);
            SkipSpace();
            if (AtEnd() || text_[position_] != '-')
                break;
            ++position_;
        }
        if (children.size() == 1)
            return children.front();
        return AddComposite(CircuitNode::Kind::Series, children);
    }

    // term := element | 'p' '(' series (',' series)+ ')'
    int ParseTerm()
    {
        SkipSpace();
        if (AtEnd() || !std::isalpha(static_cast<unsigned char>(text_[position_]))) {
            Fail("expected an element or p(...) " + Here());
            return -1;
        }
        const size_t start = position_;
        size_t end = start;
        while (end < text_.size() && std::isalpha(static_cast<unsigned char>(text_[end])))
            ++end;
        const std::string_view letters = text_.substr(start, end - start);
        size_t afterSpace = end;
        while (afterSpace < text_.size() && IsSpace(text_[afterSpace]))
            ++afterSpace;
        if (letters == "p" && afterSpace < text_.size() && text_[afterSpace] == '(')
            return ParseParallel(start, afterSpace + 1);

        size_t digitsEnd = end;
        while (digitsEnd < text_.size() && std::isdigit(static_cast<unsigned char>(text_[digitsEnd])))
            ++digitsEnd;
        const std::string name(text_.substr(start, digitsEnd - start));
        const ElementInfo* info = FindElement(letters);
        if (!info) {
            Fail("unknown element \"" + name + "\" at character " + std::to_string(start + 1) +
                 " (elements: R, C, L, CPE, W, Wo, Ws, K, Zarc; parallel: p(a,b))");
            return -1;
        }
        if (digitsEnd == end) {
            Fail("element \"" + name + "\" at character " + std::to_string(start + 1) +
                 " needs a number, as in " + name + "1");
            return -1;
        }
        if (circuit_.elements.size() == MaxCircuitNodes) {
            Fail(TooLarge());
            return -1;
        }
        for (const CircuitElement& element : circuit_.elements) {
            if (element.name == name) {
                Fail("duplicate element name \"" + name + "\" at character " + std::to_string(start + 1));
                return -1;
            }
        }
        position_ = digitsEnd;

        CircuitElement element;
        element.name = name;
        element.type = info->type;
        element.firstParameter = static_cast<uint32_t>(circuit_.parameterNames.size());
        element.parameterCount = info->parameterCount;
        for (uint32_t i = 0; i < info->parameterCount; ++i) {
            circuit_.parameterNames.push_back(info->parameterCount == 1 ? name : name + "_" + std::to_string(i));
            const bool exponent = (info->type == ElementType::CPE && i == 1) ||
                                  (info->type == ElementType::Zarc && i == 2);
            circuit_.parameterKinds.push_back(exponent ? ParameterKind::Exponent : ParameterKind::Positive);
        }
        CircuitNode node;
        node.kind = CircuitNode::Kind::Element;
        node.element = static_cast<uint32_t>(circuit_.elements.size());
        circuit_.elements.push_back(std::move(element));
        circuit_.nodes.push_back(node);
        return static_cast<int>(circuit_.nodes.size() - 1);
    }

    int ParseParallel(size_t pPosition, size_t afterOpen)
    {
        position_ = afterOpen;
        std::vector<int> branches;
        for (;;) {
            const int branch = ParseSeries();
            if (branch < 0)
                return -1;
            branches.push_back(branch);
            SkipSpace();
            if (!AtEnd() && text_[position_] == ',') {
                ++position_;
                continue;
            }
            if (!AtEnd() && text_[position_] == ')') {
                ++position_;
                break;
            }
            Fail("expected \",\" or \")\" " + Here());
            return -1;
        }
        if (branches.size() < 2) {
            Fail("p(...) at character " + std::to_string(pPosition + 1) +
                 " has one branch; a parallel needs at least two");
            return -1;
        }
        return AddComposite(CircuitNode::Kind::Parallel, branches);
    }

    std::string_view text_;
    Circuit& circuit_;
    size_t position_ = 0;
    std::string error_;
};

// The structure of a subtree: element types and combinations, without names.
std::string Signature(const Circuit& circuit, uint32_t index)
{
    const CircuitNode& node = circuit.nodes[index];
    if (node.kind == CircuitNode::Kind::Element)
        return ElementTypeName(circuit.elements[node.element].type);
    std::string signature = node.kind == CircuitNode::Kind::Series ? "s(" : "p(";
    for (uint32_t c = 0; c < node.childCount; ++c)
        signature += (c ? "," : "") + Signature(circuit, circuit.childIndex[node.firstChild + c]);
    return signature + ")";
}

template <bool WithGradient>
Complex Evaluate(const Circuit& circuit, const double* parameters, double frequencyHz, Complex* gradient)
{
    const double omega = 2.0 * std::numbers::pi * frequencyHz;
    const size_t count = circuit.nodes.size();
    if (count == 0)
        return {std::nan(""), std::nan("")};
    // Uninitialised scratch on the stack (std::complex arrays would be zeroed on every call).
    alignas(16) double valueStore[2 * MaxCircuitNodes];
    Complex* value = reinterpret_cast<Complex*>(valueStore);
    for (size_t i = 0; i < count; ++i) {
        const CircuitNode& node = circuit.nodes[i];
        switch (node.kind) {
        case CircuitNode::Kind::Element: {
            const CircuitElement& element = circuit.elements[node.element];
            value[i] = ElementImpedance(element.type, parameters + element.firstParameter, omega,
                                        WithGradient ? gradient + element.firstParameter : nullptr);
            break;
        }
        case CircuitNode::Kind::Series: {
            Complex sum = 0.0;
            for (uint32_t c = 0; c < node.childCount; ++c)
                sum += value[circuit.childIndex[node.firstChild + c]];
            value[i] = sum;
            break;
        }
        case CircuitNode::Kind::Parallel: {
            Complex admittance = 0.0;
            for (uint32_t c = 0; c < node.childCount; ++c)
                admittance += 1.0 / value[circuit.childIndex[node.firstChild + c]];
            value[i] = 1.0 / admittance;
            break;
        }
        }
    }
    if constexpr (WithGradient) {
        // dZ/dZ(node), from the root down: 1 through a series, (Z/Zbranch)^2 into a parallel branch.
        alignas(16) double sensitivityStore[2 * MaxCircuitNodes];
        Complex* sensitivity = reinterpret_cast<Complex*>(sensitivityStore);
        sensitivity[count - 1] = 1.0;
        for (size_t i = count; i-- > 0;) {
            const CircuitNode& node = circuit.nodes[i];
            const Complex s = sensitivity[i];
            if (node.kind == CircuitNode::Kind::Element) {
                const CircuitElement& element = circuit.elements[node.element];
                for (uint32_t k = 0; k < element.parameterCount; ++k)
                    gradient[element.firstParameter + k] *= s;
                continue;
            }
            for (uint32_t c = 0; c < node.childCount; ++c) {
                const uint32_t child = circuit.childIndex[node.firstChild + c];
                if (node.kind == CircuitNode::Kind::Series) {
                    sensitivity[child] = s;
                } else {
                    const Complex ratio = value[i] / value[child];
                    sensitivity[child] = s * ratio * ratio;
                }
            }
        }
    }
    return value[count - 1];
}

} // namespace

int Circuit::ParameterIndex(std::string_view name) const
{
    for (size_t i = 0; i < parameterNames.size(); ++i)
        if (parameterNames[i] == name)
            return static_cast<int>(i);
    return -1;
}

bool ParseCircuit(std::string_view text, Circuit& circuit, std::string& error)
{
    circuit = Circuit{};
    error.clear();
    Parser parser(text, circuit);
    if (!parser.Parse(error)) {
        circuit = Circuit{};
        return false;
    }
    for (char c : text)
        if (!IsSpace(c))
            circuit.text.push_back(c);
    const CircuitNode& root = circuit.nodes.back();
    if (root.kind == CircuitNode::Kind::Series) {
        std::vector<std::pair<std::string, uint32_t>> parts;
        for (uint32_t c = 0; c < root.childCount; ++c) {
            const uint32_t child = circuit.childIndex[root.firstChild + c];
            parts.emplace_back(Signature(circuit, child), child);
        }
        std::vector<bool> used(parts.size(), false);
        for (size_t a = 0; a < parts.size(); ++a) {
            if (used[a])
                continue;
            std::vector<uint32_t> set = {parts[a].second};
            for (size_t b = a + 1; b < parts.size(); ++b) {
                if (!used[b] && parts[b].first == parts[a].first) {
                    used[b] = true;
                    set.push_back(parts[b].second);
                }
            }
            if (set.size() > 1)
                circuit.interchangeable.push_back(std::move(set));
        }
    }
    return true;
}

size_t ElementParameterCount(ElementType type)
{
    for (const ElementInfo& info : ElementTable)
        if (info.type == type)
            return info.parameterCount;
    return 0;
}

const char* ElementTypeName(ElementType type)
{
    for (const ElementInfo& info : ElementTable)
        if (info.type == type)
            return info.name;
    return "?";
}

Complex ElementImpedance(ElementType type, const double* p, double omega, Complex* gradient)
{
    constexpr double halfPi = std::numbers::pi / 2.0;
    switch (type) {
    case ElementType::R:
        if (gradient)
            gradient[0] = 1.0;
        return p[0];
    case ElementType::C: {
        const Complex z(0.0, -1.0 / (omega * p[0]));
        if (gradient)
            gradient[0] = -z / p[0];
        return z;
    }
    case ElementType::L:
        if (gradient)
            gradient[0] = Complex(0.0, omega);
        return Complex(0.0, omega * p[0]);
    case ElementType::CPE: {
        // 1/(Q (j w)^n) = w^-n e^{-j n pi/2} / Q
        const double q = p[0], n = p[1];
        const Complex z = std::polar(1.0 / (q * std::pow(omega, n)), -n * halfPi);
        if (gradient) {
            gradient[0] = -z / q;
            gradient[1] = -z * Complex(std::log(omega), halfPi);
        }
        return z;
    }
    case ElementType::W: {
        const Complex unit = Complex(1.0, -1.0) / std::sqrt(omega);
        if (gradient)
            gradient[0] = unit;
        return p[0] * unit;
    }
    case ElementType::Wo:
    case ElementType::Ws: {
        const double z0 = p[0], tau = p[1];
        const double a = std::sqrt(omega * tau / 2.0);
        const Complex x(a, a);   // sqrt(j w tau)
        const Complex t = SafeTanh(x);
        Complex shape, xShapeDerivative;   // shape(x) and x * shape'(x)
        if (type == ElementType::Wo) {
            const Complex coth = 1.0 / t;
            shape = coth / x;
            xShapeDerivative = -(coth * coth - 1.0) - shape;
        } else {
            shape = t / x;
            if (a < 7e-3) {
                // tanh(x)/x = 1 - x^2/3 + 2x^4/15 - 17x^6/315: the direct form cancels here.
                const Complex x2 = x * x;
                xShapeDerivative = x2 * (-2.0 / 3.0 + x2 * (8.0 / 15.0 + x2 * (-102.0 / 315.0)));
            } else {
                xShapeDerivative = (1.0 - t * t) - shape;
            }
        }
        if (gradient) {
            gradient[0] = shape;
            gradient[1] = z0 * xShapeDerivative / (2.0 * tau);
        }
        return z0 * shape;
    }
    case ElementType::K: {
        const double r = p[0], tau = p[1];
        const Complex d(1.0, omega * tau);
        const Complex z = r / d;
        if (gradient) {
            gradient[0] = 1.0 / d;
            gradient[1] = -z * Complex(0.0, omega) / d;
        }
        return z;
    }
    case ElementType::Zarc: {
        const double r = p[0], tau = p[1], n = p[2];
        const double logWt = std::log(omega * tau);
        const Complex u = std::polar(std::exp(n * logWt), n * halfPi);   // (j w tau)^n
        const Complex d = 1.0 + u;
        const Complex z = r / d;
        if (gradient) {
            const Complex dZdU = -z / d;
            gradient[0] = 1.0 / d;
            gradient[1] = dZdU * n * u / tau;
            gradient[2] = dZdU * u * Complex(logWt, halfPi);
        }
        return z;
    }
    }
    return {std::nan(""), std::nan("")};
}

Complex CircuitImpedance(const Circuit& circuit, const double* parameters, double frequencyHz)
{
    return Evaluate<false>(circuit, parameters, frequencyHz, nullptr);
}

Complex CircuitImpedanceGradient(const Circuit& circuit, const double* parameters, double frequencyHz,
                                 Complex* gradient)
{
    return Evaluate<true>(circuit, parameters, frequencyHz, gradient);
}
