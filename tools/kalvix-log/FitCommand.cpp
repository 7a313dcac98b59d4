// kalvix-log fit LOG|CSV --circuit C: an equivalent circuit fitted to one spectrum.
#include "fit/Circuit.h"
#include "CommandLine.h"
#include "Commands.h"
#include "fit/Fit.h"
#include "FitSettings.h"
#include "data/Json.h"
#include "SpectrumSource.h"

#include <fmt/format.h>
#include <cstdio>

namespace {

const char* const FitHelp =
    "usage: kalvix-log fit LOG|CSV --circuit C [--spectrum N | --range A:B] [--columns F,RE,IM]\n"
    "                      [--weight unit|modulus|proportional] [--fix NAME=VALUE ...]\n"
    "                      [--guess NAME=VALUE ...] [--json]\n\n"
    "Fits an equivalent circuit to one spectrum by weighted least squares: --spectrum N (the\n"
    "spectrum whose MeasCount is N), the complex mean of the spectra of --range A:B, or else the\n"
    "first spectrum of the file (a CSV holds one spectrum: frequency, Z', Z'').\n\n"
    "circuit: elements in series joined by '-', parallel branches as p(a,b,...), elements named\n"
    "by type and number, e.g. R0-p(R1,C1), R0-p(R1,CPE1)-W1, R0-Zarc1-Zarc2.\n"
    "  R (R)  C (C)  L (L)  CPE (Q, n)  W (Aw)  Wo (Z0, tau) open finite Warburg\n"
    "  Ws (Z0, tau) short finite Warburg  K (R, tau) = R/(1+jw tau)  Zarc (R, tau, n)\n"
    "parameters: the element's name when it has one (R0, C1), else NAME_INDEX (CPE1_0 is Q,\n"
    "CPE1_1 is n; Zarc1_0 R, Zarc1_1 tau, Zarc1_2 n). Exponents lie in (0, 1], the rest are\n"
    "positive. Units: ohm, F, H, s.\n\n"
    "--weight      residual weighting: modulus (default, each point by its |Z|), unit (ohm),\n"
    "              proportional (Z' by |Z'|, Z'' by |Z''|)\n"
    "--fix N=V     holds parameter N at V (repeatable)\n"
    "--guess N=V   starts parameter N at V instead of the automatic start (repeatable)\n"
    "--json        prints the result as JSON instead of the report\n\n"
    "Starting values come from the spectrum's shape, with several starts; the best fit is kept.\n"
    "Reported: every parameter with its standard error and 95% interval, the reduced chi-square,\n"
    "the residual at each frequency, and a warning for parameters the data cannot determine.\n";

} // namespace

int RunFitCommand(const Arguments& arguments)
{
    if (WantsHelp(arguments)) {
        std::fputs(FitHelp, stdout);
        std::fputs(SourceFilesHelp, stdout);
        return ExitSuccess;
    }
    CommandGrammar grammar{{}, {"--json"}, {}, 1, 1};
    AddSourceOptions(grammar);
    AddFitOptions(grammar);
    const CommandLine line(arguments, grammar);
    const Circuit circuit = ReadCircuitOption(line);
    const FitOptions options = ReadFitOptions(line, circuit);

    std::string description;
    const Spectrum spectrum = SelectOneSpectrum(ReadSourceSettings(line), description);
    FitResult result;
    std::string error;
    if (!FitCircuit(circuit, spectrum, options, result, error))
        throw InputError(line.Positional()[0] + " (" + description + "): " + error);

    if (line.Has("--json")) {
        Json document = FitResultDocument(circuit, result);
        document["spectrum"] = description;   // the spectrum the fit is about, after the agreed fields
        fmt::print("{}\n", JsonText(document));
    } else {
        fmt::print("file      {}\nspectrum  {}\n", line.Positional()[0], description);
        std::fputs(FitResultText(circuit, spectrum, result).c_str(), stdout);
    }
    return ExitSuccess;
}
