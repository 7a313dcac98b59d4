// The options every fitting command shares (fit, track, plot with a circuit): --circuit,
// --weight, --fix NAME=VALUE and --guess NAME=VALUE, read and checked against the circuit.
#pragma once

#include "fit/Circuit.h"
#include "CommandLine.h"
#include "fit/Fit.h"

#include <string>

void AddFitOptions(CommandGrammar& grammar);
// The circuit of --circuit; UsageError when it is missing or malformed.
Circuit ReadCircuitOption(const CommandLine& line);
// --weight, --fix and --guess, checked against `circuit`; UsageError otherwise.
FitOptions ReadFitOptions(const CommandLine& line, const Circuit& circuit);
