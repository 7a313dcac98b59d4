// kalvix-log info LOG: what a recording holds and what it lost.
#include "CommandLine.h"
#include "Commands.h"
#include "LogReader.h"
#include "Progress.h"

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
    std::printf("file: %s\nheader (%llu lines):\n", path.c_str(), static_cast<unsigned long long>(header.lines));
    for (const LogField& field : header.fields)
        std::printf("  %s: %s\n", field.name.c_str(), field.value.c_str());
    if (header.divider > 0)
        std::printf("spectrum period: %d ms (%.3f spectra per second)\n", header.divider, 1000.0 / header.divider);
    std::printf("spectra: %llu", static_cast<unsigned long long>(spectra));
    if (spectra > 0)
        std::printf(" (lines %llu to %llu)\nMeasCount: %u to %u\n", static_cast<unsigned long long>(firstLine),
                    static_cast<unsigned long long>(lastLine), lowest, highest);
    else
        std::printf("\n");
    std::printf("gaps: %zu, spectra lost: %llu\n", gaps.size(), static_cast<unsigned long long>(lost));
    for (const CountJump& gap : gaps)
        std::printf("  line %llu: MeasCount %u follows %u, %u lost (%u to %u)\n",
                    static_cast<unsigned long long>(gap.line), gap.after, gap.before, gap.after - gap.before - 1,
                    gap.before + 1, gap.after - 1);
    if (!restarts.empty()) {
        std::printf("MeasCount starts again: %zu times\n", restarts.size());
        for (const CountJump& restart : restarts)
            std::printf("  line %llu: MeasCount %u follows %u\n", static_cast<unsigned long long>(restart.line),
                        restart.after, restart.before);
    }
    std::printf("unreadable rows: %llu\n", static_cast<unsigned long long>(log.ProblemCount()));
    for (const LogProblem& problem : log.Problems())
        std::printf("  line %llu: %s\n", static_cast<unsigned long long>(problem.line), problem.reason.c_str());
    if (log.ProblemCount() > log.Problems().size())
        std::printf("  (%llu more not listed)\n",
                    static_cast<unsigned long long>(log.ProblemCount() - log.Problems().size()));
    if (!log.ReadError().empty())
        throw InputError(path + ": " + log.ReadError());
    return ExitSuccess;
}
