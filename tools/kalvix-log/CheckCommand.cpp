// kalvix-log check LOG|CSV: the linear Kramers-Kronig validity test of one spectrum.
#include "CommandLine.h"
#include "Commands.h"
#include "fit/KramersKronig.h"
#include "fit/KramersKronigOutput.h"
#include "SpectrumSource.h"

#include <fmt/format.h>
#include <cstdio>

namespace {

const char* const CheckHelp =
    "usage: kalvix-log check LOG|CSV [--spectrum N | --range A:B] [--columns F,RE,IM]\n"
    "                        [--c 0.85] [--rule NAME] [--add-cap]\n"
    "                        [--fit real|imag|complex] [--threshold PERCENT] [--json]\n\n"
    "Tests whether one spectrum is causal, linear and stable (linear Kramers-Kronig test): a\n"
    "series resistance, a series inductance and M RC elements with time constants log-spaced over\n"
    "the measured range are fitted linearly, each row weighted by 1/|Z|, and the residuals\n"
    "(Z - Zfit)/|Z| of Z' and Z'' are shown per frequency. The spectrum is valid when every\n"
    "residual is below the threshold.\n\n"
    "  --spectrum N      the spectrum whose MeasCount is N (default: the first of the file)\n"
    "  --range A:B       the complex mean of the spectra with MeasCount A to B\n"
    "  --columns F,RE,IM columns of frequency, Z' and Z'' in a CSV (default 1,2,3)\n"
    "  --c C             mu limit from 0 to 1 (default 0.85) for mu = 1 - sum|R_k < 0| / sum(R_k >= 0)\n"
    "  --rule R          how M is chosen (never by the threshold): least-misfit (default): the M\n"
    "                    up to N - 2 whose fit leaves the least squared residuals of Z' and Z''\n"
    "                    together (with --fit complex: as settled); settled: the first M after\n"
    "                    which mu stays at or below C; schoenleber: the first M whose mu is at or\n"
    "                    below C, as Schoenleber et al. (Electrochimica Acta 131 (2014) 20-27)\n"
    "                    choose it\n"
    "  --add-cap         a series capacitance in the model; without it one is added when the\n"
    "                    low-frequency tail is capacitive, except with --rule schoenleber\n"
    "  --fit MODE        real (default): resistances to Z', then the inductance to the rest of Z'';\n"
    "                    imag: resistances and inductance to Z'', then the series resistance to\n"
    "                    the rest of Z'; complex: everything to Z' and Z'' together\n"
    "  --threshold P     largest residual of a valid spectrum in percent (default 1)\n"
    "  --json            one JSON object: {\"M\", \"mu\", \"valid\", \"residuals_real\",\n"
    "                    \"residuals_imag\", \"frequencies\", \"threshold\", \"c\", \"fit\", \"rule\",\n"
    "                    \"r0\", \"inductance\", \"capacitance\", \"resistances\", \"tau\",\n"
    "                    \"mu_by_M\", \"too_few_points\", \"note\"}\n\n"
    "The exit code is 0 whether the spectrum is valid or not; a script reads the verdict from\n"
    "\"valid\" in the --json output. A note says when the spectrum has too few frequencies for a\n"
    "firm verdict. Exit code 1 for input that cannot be read or tested, 2 for bad usage.\n";

KkOptions CheckOptions(const CommandLine& line)
{
    KkOptions options;
    if (const auto c = line.Number("--c")) {
        if (*c < 0 || *c > 1)
            throw UsageError("--c needs a number from 0 to 1, not \"" + *line.Value("--c") + "\"");
        options.c = *c;
    }
    if (const auto mode = line.Value("--fit"); mode && !ParseKkFitMode(*mode, options.mode))
        throw UsageError("--fit is real, imag or complex, not \"" + *mode + "\"");
    if (const auto rule = line.Value("--rule"); rule && !ParseKkRule(*rule, options.rule))
        throw UsageError("--rule is least-misfit, settled or schoenleber, not \"" + *rule + "\"");
    if (line.Has("--add-cap"))
        options.capacitance = KkCapacitance::Always;
    if (const auto percent = line.Number("--threshold")) {
        if (*percent <= 0 || *percent > 100)
            throw UsageError("--threshold needs a percentage above 0 and at most 100, not \"" +
                             *line.Value("--threshold") + "\"");
        options.threshold = *percent / 100;
    }
    return options;
}

} // namespace

int RunCheckCommand(const Arguments& arguments)
{
    if (WantsHelp(arguments)) {
        std::fputs(CheckHelp, stdout);
        std::fputs(SourceFilesHelp, stdout);
        return ExitSuccess;
    }
    CommandGrammar grammar{{"--c", "--fit", "--rule", "--threshold"}, {"--json", "--add-cap"}, {}, 1, 1};
    AddSourceOptions(grammar);
    const CommandLine line(arguments, grammar);
    const KkOptions options = CheckOptions(line);

    std::string description;
    const Spectrum spectrum = SelectOneSpectrum(ReadSourceSettings(line), description);
    KkResult result;
    std::string error;
    if (!RunKramersKronig(spectrum, options, result, error)) {
        const std::string& path = line.Positional()[0];
        throw InputError((description.find(path) == std::string::npos ? path + ", " : "") + description + ": " + error);
    }

    if (line.Has("--json")) {
        std::fputs(KramersKronigJson(result).c_str(), stdout);
    } else {
        fmt::print("file: {}\nspectrum: {}\n", line.Positional()[0], description);
        std::fputs(KramersKronigReport(result).c_str(), stdout);
    }
    return ExitSuccess;
}
