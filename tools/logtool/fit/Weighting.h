// How the residuals of a fit are weighted (Fit.h says what each weighting does).
#pragma once

#include <string_view>

enum class Weighting { Unit, Modulus, Proportional };

// "unit", "modulus", "proportional"; false for anything else.
bool ParseWeighting(std::string_view text, Weighting& weighting);
const char* WeightingName(Weighting weighting);
