#include "RowRange.h"

#include "CompleteLines.h"
#include "FileBytes.h"
#include "LogReader.h"
#include "MeasCountAxis.h"
#include "TextInput.h"

#include <algorithm>

namespace {

constexpr size_t RowRangeBlock = 1u << 20;

} // namespace

bool ReadRowRange(const std::string& path, uint64_t from, uint64_t to,
                  const std::function<bool(const SpectrumRecord& record, uint64_t offset)>& use, std::string& error)
{
    if (to < from || to - from > RowRangeMostBytes) {
        error = "bytes " + std::to_string(from) + " to " + std::to_string(to) + ": not a stretch of at most " +
                std::to_string(RowRangeMostBytes >> 20) + " MiB";
        return false;
    }
    std::FILE* const file = OpenFileForReading(path, error);
    if (!file)
        return false;
    const FileCloser closer{file};
    std::string bytes, block;
    uint64_t position = from;   // the file offset of bytes[0]
    LineScan scan;
    bool going = true;
    SpectrumRecord record;
    std::string reason;
    while (going && position + bytes.size() < to) {
        const uint64_t next = position + bytes.size();
        const size_t want = static_cast<size_t>(std::min<uint64_t>(to - next, RowRangeBlock));
        if (!ReadFileBytes(file, next, want, block, error))
            return false;
        if (block.empty())
            break;   // the file ends before the stretch does
        bytes += block;
        const size_t used = ScanCompleteLines(bytes, position, scan, [&](const CompleteLine& line) {
            if (going && !line.tooLong && ParseLogRow(line.text, record, reason))
                going = use(record, line.offset);
        });
        bytes.erase(0, used);
        position += used;
    }
    return true;
}

bool ReadCountedRows(const std::string& path, uint64_t from, uint64_t to, uint64_t firstCount,
                     const std::function<bool(const SpectrumRecord& record, uint64_t count)>& use, std::string& error)
{
    MeasCountAxis axis;
    axis.wraps = firstCount >> 32;
    bool first = true, same = true;
    const bool read = ReadRowRange(
        path, from, to,
        [&](const SpectrumRecord& record, uint64_t) {
            const uint64_t count = AdvanceMeasCount(axis, record.MeasCount).count;
            if (first)
                same = count == firstCount;
            first = false;
            return same && use(record, count);
        },
        error);
    if (read && (first || !same))
        error = "the rows at bytes " + std::to_string(from) + " to " + std::to_string(to) +
                " are not the ones read before: the file changed";
    return read && !first && same;
}
