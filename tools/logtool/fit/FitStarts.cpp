#include "FitStarts.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <numbers>
#include <random>

namespace {

using Complex = std::complex<double>;
constexpr size_t MaxP = MaxCircuitParameters;
constexpr double DefaultExponent = 0.85;
constexpr double Infinity = std::numeric_limits<double>::infinity();

struct Shape {
    double omegaMin = 1.0, omegaMax = 1.0;
    double reMin = 0.0, reMax = 0.0, reHigh = 0.0, imHigh = 0.0;
    double magnitude = 1.0;                 // median |Z|
    std::vector<double> peakLogOmega;       // local maxima of -Z'', highest first
};

Shape MeasureShape(const Spectrum& spectrum)
{
    Shape shape;
    const size_t n = spectrum.frequency.size();
    std::vector<size_t> order(n);
    for (size_t i = 0; i < n; ++i)
        order[i] = i;
    std::sort(order.begin(), order.end(),
              [&](size_t a, size_t b) { return spectrum.frequency[a] < spectrum.frequency[b]; });
    const double twoPi = 2.0 * std::numbers::pi;
    shape.omegaMin = twoPi * spectrum.frequency[order.front()];
    shape.omegaMax = twoPi * spectrum.frequency[order.back()];
    shape.reHigh = spectrum.impedance[order.back()].real();
    shape.imHigh = spectrum.impedance[order.back()].imag();
    shape.reMin = Infinity;
    shape.reMax = -Infinity;
    std::vector<double> magnitudes;
    for (const Complex z : spectrum.impedance) {
        shape.reMin = std::min(shape.reMin, z.real());
        shape.reMax = std::max(shape.reMax, z.real());
        magnitudes.push_back(std::abs(z));
    }
    std::nth_element(magnitudes.begin(), magnitudes.begin() + static_cast<long>(n / 2), magnitudes.end());
    shape.magnitude = std::max(magnitudes[n / 2], 1e-12);
    std::vector<std::pair<double, double>> peaks;   // height, log omega
    for (size_t i = 1; i + 1 < n; ++i) {
        const double here = -spectrum.impedance[order[i]].imag();
        if (here > 0.0 && here >= -spectrum.impedance[order[i - 1]].imag() &&
            here > -spectrum.impedance[order[i + 1]].imag())
            peaks.emplace_back(here, std::log10(twoPi * spectrum.frequency[order[i]]));
    }
    std::sort(peaks.begin(), peaks.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    for (const auto& peak : peaks)
        shape.peakLogOmega.push_back(peak.second);
    return shape;
}

uint32_t SubtreeStart(const Circuit& circuit, uint32_t node)
{
    while (circuit.nodes[node].kind != CircuitNode::Kind::Element)
        node = circuit.childIndex[circuit.nodes[node].firstChild];
    return node;
}

// Fills the automatic start of every element under `node` from the group's resistance scale and
// time constant (later time-constant elements in the group a decade faster each).
void StartGroup(const Circuit& circuit, uint32_t node, double resistance, double tau, double* start)
{
    int timeElements = 0;
    for (uint32_t i = SubtreeStart(circuit, node); i <= node; ++i) {
        if (circuit.nodes[i].kind != CircuitNode::Kind::Element)
            continue;
        const CircuitElement& element = circuit.elements[circuit.nodes[i].element];
        double* p = start + element.firstParameter;
        const double t = element.type == ElementType::R ? tau : tau * std::pow(0.1, timeElements++);
        const double omega = 1.0 / t;
        switch (element.type) {
        case ElementType::R: p[0] = resistance; break;
        case ElementType::C: p[0] = t / resistance; break;
        case ElementType::L: p[0] = resistance * t; break;
        case ElementType::CPE:
            p[1] = DefaultExponent;
            p[0] = 1.0 / (resistance * std::pow(omega, DefaultExponent));
            break;
        case ElementType::W: p[0] = resistance * std::sqrt(omega / 2.0); break;
        case ElementType::Wo:
        case ElementType::Ws:
        case ElementType::K:
            p[0] = resistance;
            p[1] = t;
            break;
        case ElementType::Zarc:
            p[0] = resistance;
            p[1] = t;
            p[2] = DefaultExponent;
            break;
        }
    }
}

bool IsDiffusion(ElementType type)
{
    return type == ElementType::W || type == ElementType::Wo || type == ElementType::Ws;
}

bool HasDiffusion(const Circuit& circuit)
{
    return std::any_of(circuit.elements.begin(), circuit.elements.end(),
                       [](const CircuitElement& element) { return IsDiffusion(element.type); });
}

// `start` with every diffusion element given time constant `tau` and resistance `resistance`.
std::vector<double> WithDiffusionAt(const Circuit& circuit, std::vector<double> start, double tau, double resistance)
{
    for (const CircuitElement& element : circuit.elements) {
        double* p = start.data() + element.firstParameter;
        if (element.type == ElementType::W) {
            p[0] = resistance * std::sqrt(1.0 / (2.0 * tau));
        } else if (element.type == ElementType::Wo || element.type == ElementType::Ws) {
            p[0] = resistance;
            p[1] = tau;
        }
    }
    return start;
}

// Starts scattered around the first one, so that a circuit whose shape the rules above do not
// foresee still gets varied starts: every positive parameter times 10^u, u in [-2, 2],
// every exponent in [0.1, 1), three per parameter (at most 30). The draws come from a fixed
// seed and are turned into numbers here, so every platform gets the same starts.
void AddScatteredStarts(const Circuit& circuit, std::vector<std::vector<double>>& starts)
{
    if (starts.empty())
        return;
    std::mt19937 random(20240611u);
    auto uniform = [&] { return static_cast<double>(random()) / 4294967296.0; };
    const std::vector<double> centre = starts.front();
    const size_t count = std::min<size_t>(3 * centre.size(), 30);
    for (size_t s = 0; s < count; ++s) {
        std::vector<double> start = centre;
        for (size_t i = 0; i < start.size(); ++i)
            start[i] = circuit.parameterKinds[i] == ParameterKind::Exponent ? 0.1 + 0.89 * uniform()
                                                                              : start[i] * std::pow(10.0, 4.0 * uniform() - 2.0);
        starts.push_back(std::move(start));
    }
}

} // namespace

std::vector<std::vector<double>> BuildStarts(const Circuit& circuit, const Spectrum& spectrum)
{
    const Shape shape = MeasureShape(spectrum);
    const uint32_t root = static_cast<uint32_t>(circuit.nodes.size() - 1);
    std::vector<uint32_t> groups;
    if (circuit.nodes[root].kind == CircuitNode::Kind::Series) {
        for (uint32_t c = 0; c < circuit.nodes[root].childCount; ++c)
            groups.push_back(circuit.childIndex[circuit.nodes[root].firstChild + c]);
    } else {
        groups.push_back(root);
    }
    // Series R and L at the top level take the high-frequency end; the rest share the arc width.
    std::vector<uint32_t> dispersive;
    int seriesResistors = 0;
    for (uint32_t g : groups) {
        const CircuitNode& node = circuit.nodes[g];
        if (groups.size() > 1 && node.kind == CircuitNode::Kind::Element &&
            (circuit.elements[node.element].type == ElementType::R ||
             circuit.elements[node.element].type == ElementType::L)) {
            if (circuit.elements[node.element].type == ElementType::R)
                ++seriesResistors;
            continue;
        }
        dispersive.push_back(g);
    }
    std::vector<double> base(circuit.ParameterCount(), 1.0);
    const double seriesR = std::max(shape.reMin, 1e-3 * shape.magnitude) / std::max(seriesResistors, 1);
    const double inductance = (shape.imHigh > 0.0 ? shape.imHigh : 1e-3 * shape.magnitude) / shape.omegaMax;
    for (uint32_t g : groups) {
        const CircuitNode& node = circuit.nodes[g];
        if (node.kind != CircuitNode::Kind::Element || std::find(dispersive.begin(), dispersive.end(), g) != dispersive.end())
            continue;
        const CircuitElement& element = circuit.elements[node.element];
        base[element.firstParameter] = element.type == ElementType::R ? seriesR : inductance;
    }
    const size_t k = dispersive.size();
    const double span = shape.reMax - shape.reMin;
    const double share = std::max(span, 0.1 * shape.magnitude) / std::max<size_t>(k, 1);

    // Sets of log10(omega) positions, one per dispersive group.
    const double low = std::log10(shape.omegaMin), high = std::log10(shape.omegaMax);
    auto spread = [&](double from, double to) {
        std::vector<double> positions;
        for (size_t i = 0; i < k; ++i)
            positions.push_back(from + (to - from) * (static_cast<double>(i) + 0.5) / static_cast<double>(k));
        return positions;
    };
    std::vector<std::vector<double>> positionSets;
    positionSets.push_back(spread(low, high));
    positionSets.push_back(spread(low - 1.0, high + 1.0));
    if (!shape.peakLogOmega.empty()) {
        std::vector<double> positions;
        for (double peak : shape.peakLogOmega)
            if (positions.size() < k)
                positions.push_back(peak);
        for (double candidate : spread(low, high)) {
            if (positions.size() >= k)
                break;
            bool near = false;
            for (double p : positions)
                near = near || std::abs(p - candidate) < 0.5;
            if (!near)
                positions.push_back(candidate);
        }
        while (positions.size() < k)
            positions.push_back(high + 1.0 + static_cast<double>(positions.size()));
        std::sort(positions.begin(), positions.end());
        positionSets.push_back(positions);
    }
    std::vector<std::vector<double>> starts;
    const double diffusionTau[] = {1.0 / shape.omegaMin, 10.0 / shape.omegaMin, 1.0 / std::sqrt(shape.omegaMin * shape.omegaMax)};
    for (std::vector<double> positions : positionSets) {
        std::sort(positions.begin(), positions.end());
        std::vector<std::vector<double>> orders;
        if (k <= 3) {
            do
                orders.push_back(positions);
            while (std::next_permutation(positions.begin(), positions.end()));
        } else {
            orders.push_back(positions);
            orders.emplace_back(positions.rbegin(), positions.rend());
        }
        // Each order with the arcs' resistance as estimated, and four times smaller and larger.
        for (const double factor : {1.0, 0.25, 4.0}) {
            for (const std::vector<double>& order : orders) {
                std::vector<double> start = base;
                for (size_t i = 0; i < k; ++i)
                    StartGroup(circuit, dispersive[i], share * factor, std::pow(10.0, -order[i]), start.data());
                // A diffusion element usually shows at the low-frequency end, wherever it sits.
                if (&order == &orders.front() && HasDiffusion(circuit))
                    for (const double tau : diffusionTau)
                        starts.push_back(WithDiffusionAt(circuit, start, tau, share * factor));
                starts.push_back(std::move(start));
            }
        }
        if (k == 0) {
            starts.push_back(base);
            break;
        }
    }
    AddScatteredStarts(circuit, starts);
    return starts;
}

namespace {

// The time constant of a top-level part, where its kind has an obvious one; NaN otherwise.
double PartTimeConstant(const Circuit& circuit, uint32_t index, const double* full)
{
    const CircuitNode& node = circuit.nodes[index];
    if (node.kind == CircuitNode::Kind::Element) {
        const CircuitElement& element = circuit.elements[node.element];
        switch (element.type) {
        case ElementType::Wo:
        case ElementType::Ws:
        case ElementType::K:
        case ElementType::Zarc: return full[element.firstParameter + 1];
        default: return std::nan("");
        }
    }
    if (node.kind != CircuitNode::Kind::Parallel || node.childCount != 2)
        return std::nan("");
    const CircuitNode& a = circuit.nodes[circuit.childIndex[node.firstChild]];
    const CircuitNode& b = circuit.nodes[circuit.childIndex[node.firstChild + 1]];
    if (a.kind != CircuitNode::Kind::Element || b.kind != CircuitNode::Kind::Element)
        return std::nan("");
    const CircuitElement* r = &circuit.elements[a.element];
    const CircuitElement* other = &circuit.elements[b.element];
    if (other->type == ElementType::R)
        std::swap(r, other);
    if (r->type != ElementType::R)
        return std::nan("");
    const double resistance = full[r->firstParameter];
    if (other->type == ElementType::C)
        return resistance * full[other->firstParameter];
    if (other->type == ElementType::CPE)
        return std::pow(resistance * full[other->firstParameter], 1.0 / full[other->firstParameter + 1]);
    if (other->type == ElementType::L)
        return full[other->firstParameter] / resistance;
    return std::nan("");
}

} // namespace

void OrderInterchangeable(const Circuit& circuit, const bool* isFree, const bool* guessed, double* full)
{
    for (const std::vector<uint32_t>& set : circuit.interchangeable) {
        if (set.size() > 8)
            continue;
        std::array<std::pair<double, uint32_t>, 8> keys;
        bool usable = true;
        uint32_t first[8], size = 0;
        for (size_t i = 0; i < set.size() && usable; ++i) {
            const uint32_t start = SubtreeStart(circuit, set[i]);
            first[i] = circuit.elements[circuit.nodes[start].element].firstParameter;
            uint32_t end = first[i];
            for (uint32_t n = start; n <= set[i]; ++n)
                if (circuit.nodes[n].kind == CircuitNode::Kind::Element)
                    end = std::max(end, circuit.elements[circuit.nodes[n].element].firstParameter +
                                            circuit.elements[circuit.nodes[n].element].parameterCount);
            size = end - first[i];
            for (uint32_t p = first[i]; p < end; ++p)
                usable = usable && isFree[p] && !guessed[p];
            keys[i] = {PartTimeConstant(circuit, set[i], full), static_cast<uint32_t>(i)};
            usable = usable && std::isfinite(keys[i].first);
        }
        if (!usable || size > MaxP)
            continue;
        std::sort(keys.begin(), keys.begin() + static_cast<long>(set.size()),
                  [](const auto& a, const auto& b) { return a.first > b.first; });
        std::array<double, MaxP> copy;
        std::copy(full, full + circuit.ParameterCount(), copy.begin());
        for (size_t i = 0; i < set.size(); ++i)
            for (uint32_t p = 0; p < size; ++p)
                full[first[i] + p] = copy[first[keys[i].second] + p];
    }
}
