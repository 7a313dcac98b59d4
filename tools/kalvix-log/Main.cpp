// kalvix-log: reads, exports, plots, fits and tracks the control panel's measurement logs.
#include "CommandLine.h"
#include "Commands.h"

#include <fmt/format.h>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

namespace {

struct CommandEntry {
    const char* name;
    int (*run)(const Arguments&);
    const char* summary;
};

const CommandEntry Commands[] = {
    {"info", RunInfoCommand, "header, spectra count, MeasCount range, gaps and unreadable rows"},
    {"csv", RunCsvCommand, "comma-separated export (wide or --long), ranges, every Nth, block means"},
    {"plot", RunPlotCommand, "Bode or Nyquist picture (PNG or SVG), with a fitted circuit"},
    {"fit", RunFitCommand, "least-squares fit of an equivalent circuit with confidence intervals"},
    {"track", RunTrackCommand, "fit every spectrum of a recording in order, table and picture"},
    {"check", RunCheckCommand, "linear Kramers-Kronig validity test"},
};

void PrintUsage(std::FILE* out)
{
    std::fputs("usage: kalvix-log COMMAND [ARGUMENTS] (kalvix-log COMMAND --help for each)\n\n"
               "Reads the control panel's measurement logs (and CSV files of frequency, Z', Z'').\n\n"
               "commands:\n", out);
    for (const CommandEntry& command : Commands)
        fmt::print(out, "  {:<6} {}\n", command.name, command.summary);
    std::fputs("\nexit codes: 0 success, 1 bad input, 2 bad usage\n", out);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        PrintUsage(stderr);
        return ExitBadUsage;
    }
    const std::string name = argv[1];
    if (name == "--help" || name == "-h" || name == "help") {
        PrintUsage(stdout);
        return ExitSuccess;
    }
    if (name == "--version") {
        std::puts("kalvix-log " KALVIX_LOG_VERSION);
        return ExitSuccess;
    }
    const Arguments arguments(argv + 2, argv + argc);
    for (const CommandEntry& command : Commands) {
        if (name != command.name)
            continue;
        try {
            return command.run(arguments);
        } catch (const UsageError& error) {
            fmt::print(stderr, "kalvix-log {0}: {1}\n(kalvix-log {0} --help shows the usage)\n", command.name,
                       error.what());
            return ExitBadUsage;
        } catch (const InputError& error) {
            fmt::print(stderr, "kalvix-log {}: {}\n", command.name, error.what());
            return ExitBadInput;
        } catch (const std::bad_alloc&) {
            fmt::print(stderr, "kalvix-log {}: out of memory\n", command.name);
            return ExitBadInput;
        }
    }
    fmt::print(stderr, "kalvix-log: unknown command \"{}\"\n", name);
    PrintUsage(stderr);
    return ExitBadUsage;
}
