// kalvix-log info LOG: what a recording holds and what it lost.
#include "CommandLine.h"
#include "Commands.h"
#include "LogReader.h"
#include "Progress.h"

#include <fmt/format.h>
#include <cstdio>

namespace {

const char* const InfoHelp =
    "usage: kalvix-log info LOG\n\n"
    "Prints the log's header fields, the number of spectra, the MeasCount range, every gap\n"
    "(spectra lost between two rows: where and how many), every place where MeasCount starts\n"
    "again (a new measurement in the same log), and every row that could not be read (a row cut\n"
    "at the end of the file, a damaged row) with its line number and reason. The rest is read.\n";

struct CountJump {
    uint64_t line;        // the row after the jump
    uint32_t before, after;
};

} // namespace

int RunInfoCommand(const Arguments& arguments)
{
    if (WantsHelp(arguments)) {
        std::fputs(InfoHelp, stdout);
        return ExitSuccess;
    }
    const CommandLine line(arguments, CommandGrammar{{}, {}, {}, 1, 1});
    const std::string& path = line.Positional()[0];
    LogStream log;
    std::string error;
    if (!log.Open(path, error))
        throw InputError(path + ": " + error);

    ProgressBar progress("reading");
    SpectrumRecord record;
    uint64_t spectra = 0, lost = 0, firstLine = 0, lastLine = 0;
    uint32_t lowest = UINT32_MAX, highest = 0, previous = 0;
    std::vector<CountJump> gaps, restarts;
    while (log.Next(record)) {
        const uint32_t count = record.MeasCount;
        if (spectra == 0) {
            firstLine = log.LineNumber();
        } else if (count > previous + 1ull) {
            gaps.push_back({log.LineNumber(), previous, count});
            lost += count - previous - 1ull;
        } else if (count <= previous) {
            restarts.push_back({log.LineNumber(), previous, count});
        }
        lowest = std::min(lowest, count);
        highest = std::max(highest, count);
        previous = count;
        lastLine = log.LineNumber();
        ++spectra;
        progress.Update(static_cast<double>(log.BytesRead()) / static_cast<double>(log.FileSize() | 1));
    }
    progress.Finish();

    const LogHeaderRead& header = log.Header();
    fmt::print("file: {}\nheader ({} lines):\n", path, header.lines);
    for (const LogField& field : header.fields)
        fmt::print("  {}: {}\n", field.name, field.value);
    if (header.divider > 0)
        fmt::print("spectrum period: {} ms ({:.3f} spectra per second)\n", header.divider, 1000.0 / header.divider);
    fmt::print("spectra: {}", spectra);
    if (spectra > 0)
        fmt::print(" (lines {} to {})\nMeasCount: {} to {}\n", firstLine, lastLine, lowest, highest);
    else
        fmt::print("\n");
    fmt::print("gaps: {}, spectra lost: {}\n", gaps.size(), lost);
    for (const CountJump& gap : gaps)
        fmt::print("  line {}: MeasCount {} follows {}, {} lost ({} to {})\n", gap.line, gap.after, gap.before,
                   gap.after - gap.before - 1, gap.before + 1, gap.after - 1);
    if (!restarts.empty()) {
        fmt::print("MeasCount starts again: {} times\n", restarts.size());
        for (const CountJump& restart : restarts)
            fmt::print("  line {}: MeasCount {} follows {}\n", restart.line, restart.after, restart.before);
    }
    fmt::print("unreadable rows: {}\n", log.ProblemCount());
    for (const LogProblem& problem : log.Problems())
        fmt::print("  line {}: {}\n", problem.line, problem.reason);
    if (log.ProblemCount() > log.Problems().size())
        fmt::print("  ({} more not listed)\n", log.ProblemCount() - log.Problems().size());
    if (!log.ReadError().empty())
        throw InputError(path + ": " + log.ReadError());
    return ExitSuccess;
}
