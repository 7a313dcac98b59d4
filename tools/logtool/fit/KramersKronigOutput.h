// The linear Kramers-Kronig test's result as JSON for scripts and as a text report for people.
#pragma once

#include "KramersKronig.h"

#include <string>

// {"M":..., "mu":..., "valid":..., "residuals_real":[...], "residuals_imag":[...],
//  "frequencies":[...], "threshold":..., "c":..., "fit":"real", "rule":"least-misfit", "r0":..., "inductance":...,
//  "capacitance":... (farad, null without a series capacitance),
//  "resistances":[...], "tau":[...], "mu_by_M":[...], "too_few_points":..., "note":"..."}
// on one line with a line end; '.' decimals in any locale, the shortest text that reads back to
// the same double, null for a mu of minus infinity. mu_by_M: the mu of every M tried.
std::string KramersKronigJson(const KkResult& result);

// A table of both residuals in percent per frequency, then M, mu, the verdict and the note.
std::string KramersKronigReport(const KkResult& result);
