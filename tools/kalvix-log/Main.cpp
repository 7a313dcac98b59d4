// kalvix-log: reads, exports, plots, fits and tracks the control panel's measurement logs.
#include "CommandLine.h"
#include "Commands.h"
#include "Console.h"
#include "TemporaryFiles.h"

#include <fmt/format.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <vector>
#ifdef _WIN32
#include "data/PathText.h"
#endif

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
    {"live", RunLiveCommand, "a recording in the browser while it grows (trend, spectrum, fits)"},
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

const CommandEntry* FindCommand(const std::string& name)
{
    for (const CommandEntry& command : Commands)
        if (name == command.name)
            return &command;
    return nullptr;
}

int RunCommand(const CommandEntry& command, const Arguments& arguments)
{
    try {
        return command.run(arguments);
    } catch (const UsageError& error) {
        fmt::print(stderr, "kalvix-log {0}: {1}\n(kalvix-log {0} --help shows the usage)\n", command.name, error.what());
        return ExitBadUsage;
    } catch (const InputError& error) {
        fmt::print(stderr, "kalvix-log {}: {}\n", command.name, error.what());
        return ExitBadInput;
    } catch (const std::bad_alloc&) {
        fmt::print(stderr, "kalvix-log {}: out of memory\n", command.name);
        return ExitBadInput;
    }
}

int RunProgram(const std::vector<std::string>& arguments)
{
    if (arguments.empty()) {
        PrintUsage(stderr);
        return ExitBadUsage;
    }
    const std::string& name = arguments[0];
    if (name == "--help" || name == "-h" || name == "help") {
        PrintUsage(stdout);
        return ExitSuccess;
    }
    if (name == "--version") {
        std::puts("kalvix-log " KALVIX_LOG_VERSION);
        return ExitSuccess;
    }
    if (const CommandEntry* command = FindCommand(name))
        return RunCommand(*command, Arguments(arguments.begin() + 1, arguments.end()));
    fmt::print(stderr, "kalvix-log: unknown command \"{}\"\n", name);
    PrintUsage(stderr);
    return ExitBadUsage;
}

// Whatever a command printed (reports, --json, help) has reached standard output, or the run
// fails: a full disk or a closed pipe never passes for success.
int CheckStandardOutput(int exitCode, const std::vector<std::string>& arguments)
{
    errno = 0;
    const bool flushed = std::fflush(stdout) == 0;
    if (flushed && !std::ferror(stdout))
        return exitCode;
    const std::string who = !arguments.empty() && FindCommand(arguments[0]) ? "kalvix-log " + arguments[0] : "kalvix-log";
    fmt::print(stderr, "{}: standard output: write failed: {}\n", who,
               errno ? std::strerror(errno) : "input/output error");
    return exitCode == ExitSuccess ? ExitBadInput : exitCode;
}

int Main(const std::vector<std::string>& arguments)
{
    RemoveTemporaryFilesOnInterrupt();
    ShowUtf8OnConsole();
    return CheckStandardOutput(RunProgram(arguments), arguments);
}

} // namespace

#ifdef _WIN32
// The arguments as the system holds them, UTF-16, so that a name in any script arrives whole;
// the program works in UTF-8 from here on.
int wmain(int argc, wchar_t** argv)
{
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i)
        arguments.push_back(Utf8FromWide(argv[i]));
    return Main(arguments);
}
#else
int main(int argc, char** argv)
{
    return Main(std::vector<std::string>(argv + 1, argv + argc));
}
#endif
