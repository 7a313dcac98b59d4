// The unit of each circuit parameter, for tables and axis titles: ohm, F, H, s, or none for an
// exponent; a CPE's Q is in F s^(n-1) and a Warburg's Aw in ohm s^-1/2.
#pragma once

#include "Circuit.h"

#include <string>

std::string ParameterUnit(const Circuit& circuit, size_t parameter);
