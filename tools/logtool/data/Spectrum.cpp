#include "Spectrum.h"

#include <cmath>
#include <numbers>

std::complex<double> ImpedanceFromPolar(double module, double phaseDegree)
{
    return std::polar(module, phaseDegree * std::numbers::pi / 180.0);
}
