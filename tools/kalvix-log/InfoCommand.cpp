// kalvix-log info LOG: what a recording holds and what it lost.
#include "CommandLine.h"
#include "Commands.h"
#include "LogReader.h"
#include "MeasCountAxis.h"
#include "Progress.h"

#include <fmt/format.h>
#include <cstdio>

namespace {

const char* const InfoHelp =
    "usage: kalvix-log info LOG [--all]\n\n"
    "Prints the log's header fields, the number of spectra, the MeasCount range, the gaps\n"
    "(spectra lost between two rows: where and how many), the places where MeasCount starts\n"
    "again (a new measurement in the same log) or wraps (after 4294967295 comes 0), and every row\n"
    "that could not be read (a row cut at the end of the file, a damaged row) with its line number\n"
    "and reason. The rest is read. The first 100 gaps, restarts and wraps are listed, with exact\n"
    "totals; --all lists every one as it is found. LOG may be - for standard input.\n";

constexpr size_t JumpsListed = 100;

enum class JumpKind { Gap, Restart, Wrap };

struct CountJump {
    JumpKind kind;
    uint64_t line;        // the row after the jump
    uint32_t before, after;
    uint64_t lost;
};

void PrintJump(const CountJump& jump)
{
    fmt::print("  line {}: MeasCount {} follows {}", jump.line, jump.after, jump.before);
    if (jump.kind == JumpKind::Gap)
        fmt::print(", {} lost ({} to {})", jump.lost, static_cast<uint32_t>(jump.before + 1u),
                   static_cast<uint32_t>(jump.after - 1u));
    else if (jump.kind == JumpKind::Wrap)
        fmt::print(" (wraps)");
    fmt::print("\n");
}

// The jumps of one kind: the first JumpsListed kept, all counted.
struct JumpList {
    std::vector<CountJump> listed;
    uint64_t total = 0;
};

void PrintJumps(const JumpList& list, bool listedAlready)
{
    if (listedAlready)
        return;
    for (const CountJump& jump : list.listed)
        PrintJump(jump);
    if (list.total > list.listed.size())
        fmt::print("  ... {} more not listed; --all lists them all\n", list.total - list.listed.size());
}

} // namespace

int RunInfoCommand(const Arguments& arguments)
{
    if (WantsHelp(arguments)) {
        std::fputs(InfoHelp, stdout);
        return ExitSuccess;
    }
    const CommandLine line(arguments, CommandGrammar{{}, {"--all"}, {}, 1, 1});
    const bool all = line.Has("--all");
    const std::string& path = line.Positional()[0];
    LogStream log;
    std::string error;
    if (!log.Open(path, error))
        throw InputError(path + ": " + error);

    const LogHeaderRead& header = log.Header();
    fmt::print("file: {}\nheader ({} lines):\n", path, header.lines);
    for (const LogField& field : header.fields)
        fmt::print("  {}: {}\n", field.name, field.value);
    if (header.divider > 0)
        fmt::print("spectrum period: {} ms ({:.3f} spectra per second)\n", header.divider, 1000.0 / header.divider);
    if (all)
        fmt::print("gaps, restarts and wraps as found:\n");

    ProgressBar progress("reading");
    SpectrumRecord record;
    uint64_t spectra = 0, lost = 0, firstLine = 0, lastLine = 0;
    uint32_t lowest = UINT32_MAX, highest = 0, previous = 0;
    MeasCountAxis axis;
    JumpList gaps, restarts, wraps;
    auto add = [&](JumpList& list, JumpKind kind, uint32_t count, uint64_t missing) {
        const CountJump jump{kind, log.LineNumber(), previous, count, missing};
        ++list.total;
        if (all)
            PrintJump(jump);
        else if (list.listed.size() < JumpsListed)
            list.listed.push_back(jump);
    };
    while (log.Next(record)) {
        const uint32_t count = record.MeasCount;
        const MeasCountStep step = AdvanceMeasCount(axis, count);
        if (spectra == 0)
            firstLine = log.LineNumber();
        if (step.wrapped)
            add(wraps, JumpKind::Wrap, count, 0);
        if (step.restarted)
            add(restarts, JumpKind::Restart, count, 0);
        if (step.lost > 0) {
            add(gaps, JumpKind::Gap, count, step.lost);
            lost += step.lost;
        }
        lowest = std::min(lowest, count);
        highest = std::max(highest, count);
        previous = count;
        lastLine = log.LineNumber();
        ++spectra;
        progress.Update(static_cast<double>(log.BytesRead()) / static_cast<double>(log.FileSize() | 1));
    }
    progress.Finish();

    fmt::print("spectra: {}", spectra);
    if (spectra > 0)
        fmt::print(" (lines {} to {})\nMeasCount: {} to {}\n", firstLine, lastLine, lowest, highest);
    else
        fmt::print("\n");
    fmt::print("gaps: {}, spectra lost: {}\n", gaps.total, lost);
    PrintJumps(gaps, all);
    if (restarts.total) {
        fmt::print("MeasCount starts again: {} times\n", restarts.total);
        PrintJumps(restarts, all);
    }
    if (wraps.total) {
        fmt::print("MeasCount wraps: {} {}\n", wraps.total, wraps.total == 1 ? "time" : "times");
        PrintJumps(wraps, all);
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
