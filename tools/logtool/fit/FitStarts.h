// Where the fit starts from when the user gives no values: starting points derived from the
// spectrum's shape (the high-frequency real part for a series R, the arc width shared among the
// arcs, time constants spread over the frequency window, at the -Z'' peaks, in every order),
// and the fixed order in which interchangeable parts of a circuit are reported.
#pragma once

#include "Circuit.h"
#include "data/Spectrum.h"

#include <vector>

// Full parameter vectors (one value per circuit parameter) to start the fit from.
std::vector<std::vector<double>> BuildStarts(const Circuit& circuit, const Spectrum& spectrum);

// Puts the values of interchangeable parts (R0-Zarc1-Zarc2) in order, the slowest time constant
// first, where each part has an obvious time constant (Zarc, K, Wo, Ws, R parallel to C, CPE or
// L) and the user neither fixed nor guessed any of their parameters.
void OrderInterchangeable(const Circuit& circuit, const bool* isFree, const bool* guessed, double* full);
