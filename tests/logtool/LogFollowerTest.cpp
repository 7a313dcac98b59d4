// Following a log while it is written: rows handed over only once complete, whatever the pieces
// the file grows by; truncation, rewriting and deletion; counts across gaps, wraps and restarts.
#include "TestLogs.h"
#include "TextInput.h"
#include "live/LogFollower.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace {

// A log of `counts` as the panel writes it, and where each of its rows lies.
struct WrittenLog {
    std::string text;
    std::vector<uint32_t> counts;
    std::vector<size_t> rowStarts, rowEnds;   // byte offsets, the end past the LF
    uint64_t headerEnd = 0, headerLines = 0;
};

WrittenLog MakeLog(const std::vector<uint32_t>& counts, int divider = 1)
{
    std::vector<SpectrumRecord> records;
    for (uint32_t count : counts)
        records.push_back(MakeTestRecord(count));
    WrittenLog log{TestLogText(records, divider), counts, {}, {}, 0, 0};
    log.headerEnd = TestLogText({}, divider).size();
    log.headerLines = std::count(log.text.begin(), log.text.begin() + log.headerEnd, '\n');
    for (size_t start = log.headerEnd; start < log.text.size();) {
        const size_t end = log.text.find('\n', start) + 1;
        log.rowStarts.push_back(start);
        log.rowEnds.push_back(end);
        start = end;
    }
    return log;
}

std::vector<uint32_t> CountsFrom(uint32_t first, size_t spectra)
{
    std::vector<uint32_t> counts;
    for (size_t i = 0; i < spectra; ++i)
        counts.push_back(first + static_cast<uint32_t>(i));
    return counts;
}

void Append(const std::filesystem::path& path, std::string_view bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::app).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

struct Followed {
    LogFollower follower;
    std::vector<FollowedRow> rows;
    FollowPoll last;
};

Followed Follow(const std::filesystem::path& path)
{
    return {StartFollowing(Utf8Path(path)), {}, {}};
}

// Polls until caught up (at most `polls` times), keeping the rows; a start over drops them.
void Poll(Followed& followed, int polls = 1000)
{
    for (int i = 0; i < polls; ++i) {
        PollLog(followed.follower, followed.last);
        if (followed.last.startedOver)
            followed.rows.clear();
        followed.rows.insert(followed.rows.end(), followed.last.rows.begin(), followed.last.rows.end());
        if (followed.last.caughtUp || followed.last.state != FollowState::Following)
            return;
    }
}

// The rows are the log's first `rows` rows, each where the log has it.
void ExpectRows(const Followed& followed, const WrittenLog& log, size_t rows, const std::string& where)
{
    ASSERT_EQ(followed.rows.size(), rows) << where;
    for (size_t i = 0; i < rows; ++i) {
        const FollowedRow& row = followed.rows[i];
        EXPECT_EQ(row.record.MeasCount, log.counts[i]) << where << ", row " << i;
        EXPECT_EQ(row.offset, log.rowStarts[i]) << where << ", row " << i;
        EXPECT_EQ(row.end, log.rowEnds[i]) << where << ", row " << i;
        EXPECT_EQ(row.line, log.headerLines + 1 + i) << where << ", row " << i;
        EXPECT_EQ(row.record.BatteryLevel, MakeTestRecord(log.counts[i]).BatteryLevel) << where << ", row " << i;
    }
}

size_t RowsEndedBy(const WrittenLog& log, size_t bytes)
{
    if (bytes < log.headerEnd)
        return 0;
    return static_cast<size_t>(std::count_if(log.rowEnds.begin(), log.rowEnds.end(),
                                             [&](size_t end) { return end <= bytes; }));
}

} // namespace

TEST(LogFollower, AFileCutAtEveryByteGivesOnlyCompleteRows)
{
    const WrittenLog log = MakeLog(CountsFrom(7, 3));
    for (size_t cut = 0; cut <= log.text.size(); ++cut) {
        const auto path = WriteScratchFile("follow-cut.txt", log.text.substr(0, cut));
        Followed followed = Follow(path);
        Poll(followed);
        const std::string where = "cut at byte " + std::to_string(cut);
        const size_t complete = RowsEndedBy(log, cut);
        EXPECT_EQ(followed.last.state, cut >= log.headerEnd ? FollowState::Following : FollowState::Waiting) << where;
        ExpectRows(followed, log, complete, where);
        Append(path, std::string_view(log.text).substr(cut));
        Poll(followed);
        EXPECT_EQ(followed.last.state, FollowState::Following) << where;
        ExpectRows(followed, log, log.counts.size(), where + ", then the rest");
        EXPECT_EQ(followed.follower.problemCount, 0u) << where;
    }
}

TEST(LogFollower, GrowsByPiecesOfEverySize)
{
    const WrittenLog log = MakeLog(CountsFrom(0, 40));
    for (size_t piece : {1u, 2u, 7u, 379u, 380u, 381u, 1000u, 4096u}) {
        const auto path = WriteScratchFile("follow-pieces.txt", "");
        Followed followed = Follow(path);
        for (size_t written = 0; written < log.text.size(); written += piece) {
            Append(path, std::string_view(log.text).substr(written, piece));
            Poll(followed);
            ExpectRows(followed, log, RowsEndedBy(log, std::min(written + piece, log.text.size())),
                       "pieces of " + std::to_string(piece) + " bytes, " + std::to_string(written));
        }
    }
}

TEST(LogFollower, ReadsABigBacklogOverSeveralPolls)
{
    const WrittenLog log = MakeLog(CountsFrom(0, 30000));
    ASSERT_GT(log.text.size(), FollowReadMostBytes);
    Followed followed = Follow(WriteScratchFile("follow-backlog.txt", log.text));
    PollLog(followed.follower, followed.last);
    EXPECT_FALSE(followed.last.caughtUp);
    EXPECT_LT(followed.last.rows.size(), log.counts.size());
    followed.rows = followed.last.rows;
    Poll(followed);
    EXPECT_TRUE(followed.last.caughtUp);
    ExpectRows(followed, log, log.counts.size(), "backlog");
    EXPECT_LE(followed.follower.buffer.capacity(), FollowReadMostBytes + 64);
}

TEST(LogFollower, NoticesTruncationRewritingAndDeletion)
{
    const WrittenLog log = MakeLog(CountsFrom(100, 6));
    WrittenLog rewritten = MakeLog(CountsFrom(500, 8));
    rewritten.text.replace(rewritten.text.find("2026 12.10 07:30:00"), 19, "2026 12.10 07:31:05");
    WrittenLog newHeaderSameRows = MakeLog(CountsFrom(100, 6));
    newHeaderSameRows.text.replace(newHeaderSameRows.text.find("2026 12.10 07:30:00"), 19, "2026 12.10 07:31:05");
    WrittenLog sameHeader = MakeLog({100, 101, 102, 103, 104, 999, 1000, 1001, 1002});
    struct Case {
        const char* what;
        std::string then;              // the file's next content; empty: deleted
        FollowState state;
        size_t rows;                   // rows after the start over (of `then`)
        std::string message;
    };
    const Case cases[] = {
        {"cut inside a row", log.text.substr(0, log.rowStarts[3] + 10), FollowState::Truncated, 3,
         "the file was cut to " + std::to_string(log.rowStarts[3] + 10) + " bytes, below the " +
             std::to_string(log.text.size()) + " read: read again from its start"},
        {"cut to nothing", "", FollowState::Truncated, 0, ""},
        {"rewritten with a new header", rewritten.text, FollowState::Replaced, 8,
         "the file was rewritten: read again from its start"},
        {"only the header rewritten", newHeaderSameRows.text, FollowState::Replaced, 6,
         "the file was rewritten: read again from its start"},
        {"rows before the read position changed", sameHeader.text, FollowState::Replaced, 9,
         "the file was rewritten: read again from its start"},
        {"deleted", "", FollowState::Deleted, 0, "the file was deleted: waiting for it to appear again"},
    };
    for (const Case& c : cases) {
        const auto path = WriteScratchFile("follow-change.txt", log.text);
        Followed followed = Follow(path);
        Poll(followed);
        ASSERT_EQ(followed.rows.size(), 6u) << c.what;
        if (c.state == FollowState::Deleted)
            std::filesystem::remove(path);
        else
            WriteScratchFile("follow-change.txt", c.then);
        Poll(followed);
        EXPECT_EQ(followed.last.state, c.state) << c.what;
        EXPECT_TRUE(followed.last.startedOver) << c.what;
        EXPECT_EQ(followed.rows.size(), c.rows) << c.what;
        if (!c.message.empty()) {
            EXPECT_EQ(followed.follower.message, c.message) << c.what;
        }
        EXPECT_EQ(followed.follower.startOvers, 1u) << c.what;
        // The next poll goes on quietly.
        Poll(followed);
        EXPECT_FALSE(followed.last.startedOver) << c.what;
        const FollowState after = c.state == FollowState::Deleted ? FollowState::Deleted
                                  : c.then.empty()                 ? FollowState::Waiting
                                                                   : FollowState::Following;
        EXPECT_EQ(followed.last.state, after) << c.what;
    }
}

TEST(LogFollower, ADeletedLogThatComesBackIsReadFromItsStart)
{
    const WrittenLog log = MakeLog(CountsFrom(0, 4));
    const auto path = WriteScratchFile("follow-back.txt", log.text);
    Followed followed = Follow(path);
    Poll(followed);
    std::filesystem::remove(path);
    Poll(followed);
    EXPECT_EQ(followed.last.state, FollowState::Deleted);
    WriteScratchFile("follow-back.txt", log.text);
    Poll(followed);
    EXPECT_EQ(followed.last.state, FollowState::Following);
    EXPECT_FALSE(followed.last.startedOver);
    ExpectRows(followed, log, 4, "back again");
}

TEST(LogFollower, WaitsForTheFileAndItsHeaderAndRefusesOtherFiles)
{
    struct Case {
        const char* what;
        bool exists;
        std::string text;
        FollowState state;
        const char* message;
    };
    const Case cases[] = {
        {"no file", false, "", FollowState::Waiting, "waiting for the file to appear"},
        {"empty", true, "", FollowState::Waiting, "waiting for the header's column titles (Count ...)"},
        {"half a field", true, "LogName=   a", FollowState::Waiting, "waiting for the header's column titles (Count ...)"},
        {"fields, no titles", true, "LogName=   a\r\nCreated=  2026\r\n", FollowState::Waiting,
         "waiting for the header's column titles (Count ...)"},
        {"titles without their LF", true, "LogName=   a\r\nCreated=  2026\r\n\tCount\t1\r", FollowState::Waiting,
         "waiting for the header's column titles (Count ...)"},
        {"not a log", true, "hello\r\nworld\r\n", FollowState::NotALog,
         "its first lines are not header fields (Name=value): not a measurement log"},
        {"titles before any field", true, "LogName=   a\r\nnonsense\r\n\tCount\r\n", FollowState::NotALog,
         "its first lines are not header fields (Name=value): not a measurement log"},
        {"lines ended by CR alone", true, "LogName=   a\rCreated=  2026\r\tCount\r", FollowState::NotALog,
         "its lines end with CR alone: only lines ending in LF or CR LF are followed"},
        {"UTF-16", true, std::string("\xFF\xFEL\0o\0g\0", 8), FollowState::NotALog, "is UTF-16 text: save it as UTF-8"},
    };
    for (const Case& c : cases) {
        const auto path = std::filesystem::temp_directory_path() / "kalvix-logtool-tests" / "follow-wait.txt";
        std::filesystem::remove(path);
        if (c.exists)
            WriteScratchFile("follow-wait.txt", c.text);
        Followed followed = Follow(path);
        Poll(followed);
        EXPECT_EQ(followed.last.state, c.state) << c.what;
        EXPECT_EQ(followed.follower.message, c.message) << c.what;
        EXPECT_TRUE(followed.rows.empty()) << c.what;
    }
}

TEST(LogFollower, CountsOnAcrossGapsAndWrapsAndStartsSegmentsAtRestarts)
{
    struct Step {
        uint32_t measCount;
        uint64_t count, lost, segment;
    };
    const Step steps[] = {
        {4294967290u, 4294967290ull, 0, 0}, {4294967291u, 4294967291ull, 0, 0},
        {4294967295u, 4294967295ull, 3, 0}, {0u, 4294967296ull, 0, 0},
        {5u, 4294967301ull, 4, 0},          {3u, 3ull, 0, 1},  // a drop: a restart
        {5u, 5ull, 1, 1},                   {5u, 5ull, 0, 2},  // the same count again: a restart  // the same count again: a restart
    };
    std::vector<uint32_t> counts;
    for (const Step& step : steps)
        counts.push_back(step.measCount);
    const WrittenLog log = MakeLog(counts);
    Followed followed = Follow(WriteScratchFile("follow-counts.txt", log.text));
    Poll(followed);
    ASSERT_EQ(followed.rows.size(), std::size(steps));
    for (size_t i = 0; i < std::size(steps); ++i) {
        EXPECT_EQ(followed.rows[i].count, steps[i].count) << i;
        EXPECT_EQ(followed.rows[i].lost, steps[i].lost) << i;
        EXPECT_EQ(followed.rows[i].segment, steps[i].segment) << i;
    }
    EXPECT_EQ(followed.follower.lost, 8u);
    EXPECT_EQ(followed.follower.spectra, std::size(steps));
}

TEST(LogFollower, CountsUnreadableRowsWithLineAndReasonAndKeepsNoLongLine)
{
    const WrittenLog log = MakeLog(CountsFrom(0, 4));
    const std::string longLine(3 * TextLongestLine, '7');
    std::string text = log.text.substr(0, log.rowEnds[0]) + "\t1\t2\r\n" + longLine + "\r\n   \r\n" +
                       log.text.substr(log.rowStarts[1], log.rowEnds[1] - log.rowStarts[1]) + longLine;
    const auto path = WriteScratchFile("follow-problems.txt", "");
    Followed followed = Follow(path);
    // Written in pieces smaller than the long lines, so no read holds one whole.
    for (size_t written = 0; written < text.size(); written += 5000) {
        Append(path, std::string_view(text).substr(written, 5000));
        Poll(followed);
    }
    ASSERT_EQ(followed.rows.size(), 2u);
    const uint64_t first = log.headerLines + 1;
    EXPECT_EQ(followed.rows[1].line, first + 4);
    const std::vector<std::pair<uint64_t, std::string>> expected = {
        {first + 1, "2 fields where a row has 40"},
        {first + 2, "line longer than 65536 bytes"},
        {first + 5, "line longer than 65536 bytes"},
    };
    ASSERT_EQ(followed.follower.problems.size(), expected.size());
    EXPECT_EQ(followed.follower.problemCount, expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(followed.follower.problems[i].line, expected[i].first) << i;
        EXPECT_EQ(followed.follower.problems[i].reason, expected[i].second) << i;
    }
    // The rest of the long line, and then a row, still arrive.
    Append(path, "\r\n" + log.text.substr(log.rowStarts[2]));
    Poll(followed);
    ASSERT_EQ(followed.rows.size(), 4u);
    EXPECT_EQ(followed.rows[3].line, first + 7);
    EXPECT_EQ(followed.follower.problemCount, expected.size());
}
