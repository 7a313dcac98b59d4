// Writes the labelled spectra the validity test is judged on: 16 valid circuits at 15, 30 and 80
// frequencies from 1 Hz to 100 kHz with 0.2 % noise, and the same circuits drifting during the
// sweep (every resistance but the series one growing by 15 % from the first frequency, the
// highest, to the last). One CSV per spectrum (frequency, Z', Z''), named
// valid-NAME-N.csv or drift-NAME-N.csv; the same seed gives the same files.
//
//   make_kk_set DIR
#include <cmath>
#include <complex>
#include <cstdio>
#include <functional>
#include <numbers>
#include <random>
#include <string>
#include <vector>

namespace {

using Complex = std::complex<double>;
const Complex J(0, 1);
constexpr double Noise = 0.002;   // of |Z|, on each part
constexpr double Drift = 0.15;    // growth of the resistances over the sweep

// grow: the factor of the resistances at this point of the sweep (1 when steady).
using Circuit = std::function<Complex(double omega, double grow)>;

double TauAt(double hertz) { return 1 / (2 * std::numbers::pi * hertz); }
Complex RC(double r, double hertz, double omega) { return r / (1.0 + J * omega * TauAt(hertz)); }
Complex Zarc(double r, double hertz, double n, double omega) { return r / (1.0 + std::pow(J * omega * TauAt(hertz), n)); }
Complex Cpe(double q, double n, double omega) { return 1.0 / (q * std::pow(J * omega, n)); }
Complex Warburg(double sigma, double omega) { return sigma * (1.0 - J) / std::sqrt(omega); }
Complex FiniteWarburg(double r, double hertz, double omega)
{
    const Complex x = std::sqrt(J * omega * TauAt(hertz));
    return r * std::tanh(x) / x;
}

struct Named {
    const char* name;
    Circuit impedance;
};

// Drift scales each resistance with g; capacitances stay, so time constants move with it.
const std::vector<Named> Circuits = {
    {"r-rc", [](double w, double g) { return 20.0 + RC(100 * g, 300, w); }},
    {"r-rc-rc", [](double w, double g) { return 10.0 + RC(100 * g, 30, w) + RC(50 * g, 3000, w); }},
    {"r-zarc", [](double w, double g) { return 10.0 + Zarc(100 * g, 300 / g, 0.8, w); }},
    {"r-l-rc", [](double w, double g) { return 5.0 + J * w * 2e-5 + RC(50 * g, 1000 / g, w); }},
    {"r-zarc-zarc", [](double w, double g) { return 10.0 + Zarc(80 * g, 20 / g, 0.9, w) + Zarc(40 * g, 5000 / g, 0.7, w); }},
    {"randles-warburg",
     [](double w, double g) {
         const Complex faradaic = 50.0 * g + Warburg(30 * g, w);
         return 10.0 + 1.0 / (1.0 / faradaic + J * w * 2e-6);
     }},
    {"r-rc-c", [](double w, double g) { return 20.0 + RC(100 * g, 1000 / g, w) + 1.0 / (J * w * 1e-4); }},
    {"r-cpe", [](double w, double g) { return 15.0 + Cpe(2e-5 / g, 0.9, w); }},
    {"r-rc-edge", [](double w, double g) { return 20.0 + RC(100 * g, 2, w); }},
    {"r-3rc", [](double w, double g) { return 5.0 + RC(30 * g, 10, w) + RC(60 * g, 300, w) + RC(20 * g, 10000, w); }},
    {"r-l-zarc", [](double w, double g) { return 2.0 + J * w * 1e-5 + Zarc(40 * g, 100 / g, 0.85, w); }},
    {"r-ws", [](double w, double g) { return 10.0 + FiniteWarburg(60 * g, 20 / g, w); }},
    {"device", [](double w, double g) { return 100.35 + J * w * 0.8e-6 + RC(1000 * g, 15915 / g, w); }},
    {"r-rc-rc-apart", [](double w, double g) { return 10.0 + RC(100 * g, 3, w) + RC(100 * g, 30000, w); }},
    {"r-hn",
     [](double w, double g) { return 10.0 + 100.0 * g / std::pow(1.0 + std::pow(J * w * TauAt(300), 0.8), 0.7); }},
    {"r-zarc-cpe", [](double w, double g) { return 10.0 + Zarc(50 * g, 2000 / g, 0.85, w) + Cpe(1e-4 / g, 0.8, w); }},
};

bool WriteSpectrum(const std::string& path, int count, const Circuit& circuit, double drift, std::mt19937& random)
{
    std::FILE* file = std::fopen(path.c_str(), "w");
    if (!file)
        return false;
    std::normal_distribution<double> noise(0.0, Noise);
    for (int i = 0; i < count; ++i) {   // from the highest frequency down, as sweeps run
        const double hertz = 1e5 * std::pow(1e-5, double(i) / (count - 1));
        const Complex z = circuit(2 * std::numbers::pi * hertz, 1 + drift * i / (count - 1));
        const double size = std::abs(z);
        std::fprintf(file, "%.9g,%.9g,%.9g\n", hertz, z.real() + size * noise(random), z.imag() + size * noise(random));
    }
    return std::fclose(file) == 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fputs("usage: make_kk_set DIR\n", stderr);
        return 2;
    }
    std::mt19937 random(25);
    for (const int count : {15, 30, 80})
        for (const Named& circuit : Circuits)
            for (const bool drifting : {false, true}) {
                const std::string path = std::string(argv[1]) + "/" + (drifting ? "drift-" : "valid-") + circuit.name +
                                         "-" + std::to_string(count) + ".csv";
                if (!WriteSpectrum(path, count, circuit.impedance, drifting ? Drift : 0.0, random)) {
                    std::fprintf(stderr, "make_kk_set: cannot write %s\n", path.c_str());
                    return 1;
                }
            }
    return 0;
}
