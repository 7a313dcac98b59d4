#include "SoakSample.h"

#include "SoakColumns.h"

#include <algorithm>

namespace {

constexpr double FirstMinute = 60.0;

void WriteCount(FILE* csv, const std::optional<long>& value)
{
    if (value)
        std::fprintf(csv, ",%ld", *value);
    else
        std::fprintf(csv, ",n/a");
}

void WritePercent(FILE* csv, const std::optional<double>& value)
{
    if (value)
        std::fprintf(csv, ",%.2f", *value);
    else
        std::fprintf(csv, ",n/a");
}

// "min 12, max 14" of a count over the samples, or "n/a".
void PrintRange(FILE* out, const char* what, const std::vector<SoakSample>& samples,
                std::optional<long> SoakSample::*count)
{
    std::optional<long> low, high;
    for (const SoakSample& sample : samples)
        if (const auto& value = sample.*count) {
            low = std::min(low.value_or(*value), *value);
            high = std::max(high.value_or(*value), *value);
        }
    if (low)
        std::fprintf(out, "  %-26s min %ld, max %ld\n", what, *low, *high);
    else
        std::fprintf(out, "  %-26s n/a\n", what);
}

} // namespace

void WriteSoakHeader(FILE* csv)
{
    const char* separator = "";
    for (const char* column : soak::All) {
        std::fprintf(csv, "%s%s", separator, column);
        separator = ",";
    }
    std::fprintf(csv, "\n");
    std::fflush(csv);
}

void WriteSoakRow(FILE* csv, const SoakSample& sample)
{
    std::fprintf(csv, "%.1f,%llu,%llu", sample.elapsedSeconds, static_cast<unsigned long long>(sample.workingSet),
                 static_cast<unsigned long long>(sample.privateBytes));
    WriteCount(csv, sample.handles);
    WriteCount(csv, sample.gdiObjects);
    WriteCount(csv, sample.userObjects);
    WritePercent(csv, sample.processCpuPercent);
    WritePercent(csv, sample.windowThreadCpuPercent);
    std::fprintf(csv, ",%llu,%llu,%llu\n", static_cast<unsigned long long>(sample.spectraHandled),
                 static_cast<unsigned long long>(sample.spectraLost), static_cast<unsigned long long>(sample.logBytes));
    std::fflush(csv);
}

void PrintSoakSummary(FILE* out, const std::vector<SoakSample>& samples)
{
    if (samples.empty())
        return;
    const SoakSample& last = samples.back();
    std::fprintf(out, "soak: %.0f s at divider 1, display and logging on\n", last.elapsedSeconds);
    std::fprintf(out, "  spectra handled            %llu\n", static_cast<unsigned long long>(last.spectraHandled));
    std::fprintf(out, "  spectra lost               %llu (%s)\n", static_cast<unsigned long long>(last.spectraLost),
                 last.spectraLost == 0 ? "none lost" : "LOST");
    std::fprintf(out, "  log written                %.1f MiB\n", last.logBytes / 1048576.0);
    const auto settled = std::find_if(samples.begin(), samples.end(),
                                       [](const SoakSample& s) { return s.elapsedSeconds >= FirstMinute; });
    if (settled == samples.end()) {
        std::fprintf(out, "  (shorter than a minute: no growth after the first minute)\n");
        return;
    }
    const std::vector<SoakSample> after(settled, samples.end());
    std::fprintf(out, "after the first minute (%.0f s to %.0f s):\n", settled->elapsedSeconds, last.elapsedSeconds);
    std::fprintf(out, "  working set growth         %+.1f KiB (%.1f MiB at %.0f s)\n",
                 (static_cast<double>(last.workingSet) - static_cast<double>(settled->workingSet)) / 1024.0,
                 settled->workingSet / 1048576.0, settled->elapsedSeconds);
    std::fprintf(out, "  private bytes growth       %+.1f KiB (%.1f MiB at %.0f s)\n",
                 (static_cast<double>(last.privateBytes) - static_cast<double>(settled->privateBytes)) / 1024.0,
                 settled->privateBytes / 1048576.0, settled->elapsedSeconds);
    PrintRange(out, "handles", after, &SoakSample::handles);
    PrintRange(out, "GDI objects", after, &SoakSample::gdiObjects);
    PrintRange(out, "USER objects", after, &SoakSample::userObjects);
}
