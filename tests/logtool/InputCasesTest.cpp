// What the commands make of the files users give them: each case is a file's bytes, a command
// with its arguments, the exit code and a part of what it says or writes.
#include "CommandLine.h"
#include "Commands.h"
#include "TestLogs.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <thread>

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace {

using Command = int (*)(const Arguments&);

std::filesystem::path ScratchFolder()
{
    return WriteScratchFile("probe.txt", "").parent_path();
}

struct Outcome {
    int exit = -1;
    std::string text;   // standard output, standard error and the error message
};

// The command as main() runs it: UsageError is exit 2, InputError exit 1.
Outcome RunCommand(Command run, const Arguments& arguments)
{
    Outcome outcome;
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    std::string message;
    try {
        outcome.exit = run(arguments);
    } catch (const UsageError& error) {
        outcome.exit = ExitBadUsage;
        message = error.what();
    } catch (const InputError& error) {
        outcome.exit = ExitBadInput;
        message = error.what();
    }
    outcome.text = testing::internal::GetCapturedStdout();
    outcome.text += testing::internal::GetCapturedStderr();
    outcome.text += message;
    return outcome;
}

std::string Replaced(std::string text, const std::string& from, const std::string& to)
{
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

std::string Log(std::initializer_list<uint32_t> counts)
{
    std::vector<SpectrumRecord> records;
    for (const uint32_t count : counts)
        records.push_back(MakeTestRecord(count));
    return TestLogText(records, 2);
}

std::string LogOf(std::vector<SpectrumRecord> records)
{
    return TestLogText(records, 2);
}

SpectrumRecord Changed(uint32_t count, void (*change)(SpectrumRecord&))
{
    SpectrumRecord record = MakeTestRecord(count);
    change(record);
    return record;
}

// ASCII text as UTF-16, little endian.
std::string Utf16(const std::string& text, bool byteOrderMark)
{
    std::string wide = byteOrderMark ? "\xFF\xFE" : "";
    for (const char c : text)
        wide += std::string{c, '\0'};
    return wide;
}

// A CSV of `points` rows of frequency, Z', Z''.
std::string CsvRows(size_t points, const std::string& titles = "f,re,im\n")
{
    std::string text = titles;
    for (size_t i = 1; i <= points; ++i)
        text += std::to_string(i * 100) + "," + std::to_string(1000 - i) + ",-" + std::to_string(i) + "\n";
    return text;
}

// A header of many fields: `lines` lines of `width` characters each.
std::string LongHeader(size_t lines, size_t width)
{
    std::string text = "LogName=                test.txt\r\nCreated=                2026 12.10 07:30:00\r\n";
    for (size_t i = 2; i < lines; ++i)
        text += "Field" + std::to_string(i) + "=" + std::string(width, 'x') + "\r\n";
    return text;
}

// A log whose every other spectrum is missing: `gaps` gaps.
std::string GappyLog(uint32_t gaps)
{
    std::vector<SpectrumRecord> records;
    for (uint32_t i = 0; i <= gaps; ++i)
        records.push_back(MakeTestRecord(2 * i));
    return TestLogText(records, 2);
}

struct Case {
    const char* name;
    std::string bytes;
    Command run;
    Arguments arguments;   // "FILE" stands for the file, "OUT" for an output file, "PICTURE" a .png
    int exit;
    std::string expected;  // in the output (standard output, standard error, message, OUT)
    const char8_t* fileName = u8"input.txt";
    bool present = true;   // false: the text must not be in the output
};

void Check(const Case& c)
{
    const auto path = WriteScratchFile(c.fileName, c.bytes);
    const auto out = ScratchFolder() / "out.csv";
    std::filesystem::remove(out);
    Arguments arguments = c.arguments;
    for (std::string& argument : arguments)
        argument = argument == "FILE"      ? Utf8Path(path)
                   : argument == "OUT"     ? Utf8Path(out)
                   : argument == "PICTURE" ? Utf8Path(ScratchFolder() / "out.png")
                                           : argument;
    Outcome outcome = RunCommand(c.run, arguments);
    if (std::filesystem::exists(out))
        outcome.text += ReadWholeFile(out);
    EXPECT_EQ(outcome.exit, c.exit) << c.name << "\n" << outcome.text.substr(0, 2000);
    EXPECT_EQ(outcome.text.find(c.expected) != std::string::npos, c.present)
        << c.name << ": " << c.expected << "\n" << outcome.text.substr(0, 2000);
    std::filesystem::remove(path);
}

const std::string Circuit = "R0-p(R1,C1)";

} // namespace

TEST(InputCases, NamesFoldersKindsEncodingsAndLineEnds)
{
    const std::string log = Log({0, 1});
    const Case cases[] = {
        {"log named in Japanese", log, RunInfoCommand, {"FILE"}, 0, "spectra: 2", u8"測定.txt"},
        {"CSV named in German", CsvRows(5), RunFitCommand, {"FILE", "--circuit", Circuit}, 0, "5 frequencies",
         u8"Messung_März.csv"},
        {"log with blank lines before its header", "\r\n\r\n" + log, RunCsvCommand, {"FILE"}, 0,
         "\n1,0.002,"},
        {"log with CR line ends", Replaced(log, "\r\n", "\r"), RunInfoCommand, {"FILE"}, 0,
         "spectra: 2 (lines 22 to 23)"},
        {"log with LF line ends", Replaced(log, "\r\n", "\n"), RunInfoCommand, {"FILE"}, 0, "spectra: 2"},
        {"log with a byte-order mark", "\xEF\xBB\xBF" + log, RunCsvCommand, {"FILE"}, 0, "\n1,0.002,"},
        {"CSV with a byte-order mark keeps its first row", "\xEF\xBB\xBF" + CsvRows(30, ""), RunFitCommand,
         {"FILE", "--circuit", Circuit}, 0, "30 frequencies"},
        {"CSV with CR line ends", Replaced(CsvRows(7), "\n", "\r"), RunFitCommand, {"FILE", "--circuit", Circuit}, 0,
         "7 frequencies"},
        {"CSV titles holding '='", CsvRows(6, "f=Hz,Z'=ohm,Z''=ohm\n"), RunFitCommand,
         {"FILE", "--circuit", Circuit}, 0, "6 frequencies"},
        {"CSV titles holding a panel field name", CsvRows(6, "LogName=x,b,c\n"), RunFitCommand,
         {"FILE", "--circuit", Circuit}, 0, "6 frequencies"},
        {"prose", "Dear reader,\nthis is no data.\n", RunFitCommand, {"FILE", "--circuit", Circuit}, 1,
         "input.txt: not a measurement log or a CSV of numbers"},
        {"NUL bytes", std::string(100000, '\0'), RunFitCommand, {"FILE", "--circuit", Circuit}, 1,
         "input.txt: not a measurement log or a CSV of numbers"},
        {"empty file", "", RunCheckCommand, {"FILE"}, 1,
         "input.txt: not a measurement log or a CSV of numbers"},
        {"UTF-16 with a byte-order mark", Utf16(log, true), RunCsvCommand, {"FILE"}, 1,
         "input.txt: is UTF-16 text: save it as UTF-8"},
        {"UTF-16 without one", Utf16(CsvRows(5), false), RunFitCommand, {"FILE", "--circuit", Circuit}, 1,
         "input.txt: is UTF-16 text: save it as UTF-8"},
        {"UTF-16 log to info", Utf16(log, true), RunInfoCommand, {"FILE"}, 1, "is UTF-16 text: save it as UTF-8"},
    };
    for (const Case& c : cases)
        Check(c);

    const auto folder = ScratchFolder() / "a folder";
    std::filesystem::create_directories(folder);
    for (const Command run : {RunInfoCommand, RunCsvCommand}) {
        const Outcome outcome = RunCommand(run, {Utf8Path(folder)});
        EXPECT_EQ(outcome.exit, ExitBadInput);
        EXPECT_NE(outcome.text.find("a folder: is a folder, not a file"), std::string::npos) << outcome.text;
    }
}

TEST(InputCases, CsvFieldsNumbersAndLimits)
{
    std::string longLine = "f,re,im\n";
    while (longLine.size() < 70000)
        longLine += "100,10,-1,";
    longLine += "\n";
    const Case cases[] = {
        {"quoted separators and quotes", "\"f, Hz\";\"Z' \"\"re\"\"\";\"Z''\"\n\"100\";\"5\";\"-1\"\n200;4;-2\n",
         RunFitCommand, {"FILE", "--circuit", "R0"}, 0, "2 frequencies"},
        {"thousands separator in quotes", "f,re,im\n100,10,-1\n\"1000\",\"5,995.07\",\"-3\"\n", RunFitCommand,
         {"FILE", "--circuit", "R0"}, 1, "input.txt: line 3, column 2: Z' is not a number: \"5,995.07\" (numbers take"},
        {"thousands separator split by the commas", "f,re,im\n100,10,-1\n1000,5,995.07,-3\n", RunFitCommand,
         {"FILE", "--circuit", "R0"}, 1, "input.txt: line 3: 4 fields where the titles have 3"},
        {"split without titles", "100,10,-1\n1000,5,995.07,-3\n", RunFitCommand, {"FILE", "--circuit", "R0"}, 1,
         "line 2: 4 fields where the first row has 3"},
        {"blank as thousands separator, decimal comma", "f;re;im\n100;10;-1\n1000;5 995,07;-3\n", RunFitCommand,
         {"FILE", "--circuit", "R0"}, 1, "line 3, column 2: Z' is not a number: \"5 995,07\""},
        {"decimal commas without titles, ';'", "1;2,5;-3\n", RunFitCommand, {"FILE", "--circuit", "R0"}, 0,
         "               1            2.5             -3 "},
        {"decimal commas without titles, blanks", "1000 12,5 -3,25\n 100  13,5\t-4\n", RunFitCommand,
         {"FILE", "--circuit", "R0"}, 0, "             100           13.5             -4 "},
        {"decimal comma and point in one field, ';'", "1;2,5;-3\n2;2,5.1;-3\n", RunFitCommand,
         {"FILE", "--circuit", "R0"}, 1,
         "input.txt: line 2, column 2: Z' is not a number: \"2,5.1\" (numbers take '.' or ',' as decimal point"},
        {"blanks, a word in the data", "1 2 -3\n2 x -3\n", RunFitCommand, {"FILE", "--circuit", "R0"}, 1,
         "input.txt: line 2, column 2: Z' is not a number: \"x\""},
        {"quote not closed", "f,re,im\n100,10,-1\n\"200,9,-2\n", RunFitCommand, {"FILE", "--circuit", "R0"}, 1,
         "line 3, column 1: a quoted field is not closed on its line"},
        {"nan", "f,re,im\n100,10,-1\n200,9,nan\n", RunFitCommand, {"FILE", "--circuit", "R0"}, 1,
         "input.txt: line 3, column 3: Z'' is not finite"},
        {"inf frequency", "f,re,im\n100,10,-1\ninf,9,-1\n", RunFitCommand, {"FILE", "--circuit", "R0"}, 1,
         "line 3, column 1: the frequency is not finite"},
        {"a line of 70000 bytes", longLine, RunFitCommand, {"FILE", "--circuit", "R0"}, 1,
         "input.txt: line 2: longer than 65536 bytes"},
        {"100001 points", CsvRows(100001), RunFitCommand, {"FILE", "--circuit", "R0"}, 1,
         "input.txt: line 100002: more than 100000 points"},
        {"a CSV to csv", CsvRows(3), RunCsvCommand, {"FILE"}, 1, "input.txt: not a measurement log (csv exports logs)"},
    };
    for (const Case& c : cases)
        Check(c);
}

TEST(InputCases, LogHeadersAndRows)
{
    const std::string log = Log({0, 1});
    const std::string frequencies = log.substr(log.find("Frequencies="), log.find("\r\n", log.find("Frequencies=")) -
                                                                             log.find("Frequencies="));
    const auto nanModule = Changed(1, [](SpectrumRecord& r) { r.Module[2] = std::numeric_limits<float>::quiet_NaN(); });
    const auto infPhase = Changed(2, [](SpectrumRecord& r) { r.Phase[14] = -std::numeric_limits<float>::infinity(); });
    const Case cases[] = {
        {"1000 header lines", LongHeader(999, 3) + log.substr(log.find("\tCount")), RunInfoCommand, {"FILE"}, 0,
         "header (1000 lines)"},
        {"a header beyond 1000 lines", LongHeader(1001, 3) + log.substr(log.find("\tCount")), RunInfoCommand,
         {"FILE"}, 1, "input.txt: line 1001: the header goes on beyond 1000 lines"},
        {"a header of 10 million lines", LongHeader(100000, 1), RunCsvCommand, {"FILE"}, 1,
         "input.txt: line 1001: the header goes on beyond 1000 lines"},
        {"a header beyond 256 KiB", LongHeader(300, 1000), RunCsvCommand, {"FILE"}, 1,
         "input.txt: line 262: the header goes on beyond 256 KiB"},
        {"a header line beyond 64 KiB", LongHeader(3, 70000), RunInfoCommand, {"FILE"}, 1,
         "input.txt: line 3: longer than 65536 bytes"},
        {"Frequencies short", Replaced(log, frequencies, "Frequencies=    1000.00Hz,2000.00Hz"), RunFitCommand,
         {"FILE", "--circuit", "R0"}, 1, "input.txt: line 15: Frequencies has fewer than 15 values"},
        {"Frequencies missing", Replaced(log, frequencies + "\r\n", ""), RunCsvCommand, {"FILE"}, 1,
         "input.txt: the header has no Frequencies= line"},
        {"nan module", LogOf({MakeTestRecord(0), nanModule}), RunInfoCommand, {"FILE"}, 0,
         "line 23: module 3: not finite"},
        {"-inf phase", LogOf({MakeTestRecord(0), infPhase}), RunInfoCommand, {"FILE"}, 0,
         "line 23: phase 15: not finite"},
        {"nan rows are skipped by csv", LogOf({MakeTestRecord(0), nanModule, MakeTestRecord(3)}), RunCsvCommand,
         {"FILE", "-o", "OUT"}, 0, "input.txt:23: skipped: module 3: not finite"},
        {"a log with no rows to csv", Log({}), RunCsvCommand, {"FILE", "-o", "OUT"}, 1,
         "input.txt: no spectrum in the file"},
        {"a range beyond the data to csv", log, RunCsvCommand, {"FILE", "--range", "5:9"}, 1,
         "input.txt: no spectrum in the range 5:9"},
        {"nothing written then", log, RunCsvCommand, {"FILE", "--range", "5:9", "-o", "OUT"}, 1, "MeasCount,",
         u8"input.txt", false},
        {"a range beyond the data to track", log, RunTrackCommand,
         {"FILE", "--circuit", "R0", "--range", "7:", "-o", "OUT"}, 1, "input.txt: no spectrum in the range 7:"},
        {"a log with no rows to track", Log({}), RunTrackCommand, {"FILE", "--circuit", "R0", "-o", "OUT"}, 1,
         "input.txt: no spectrum in the file"},
        {"nothing fittable to track",
         LogOf({Changed(0, [](SpectrumRecord& r) { std::fill(r.Module, r.Module + 15, 0.0f); }),
                Changed(1, [](SpectrumRecord& r) { std::fill(r.Module, r.Module + 15, 0.0f); })}),
         RunTrackCommand, {"FILE", "--circuit", "R0", "-o", "OUT"}, 1,
         "input.txt: none of its 2 spectra could be fitted"},
        {"a range beyond the data to plot", log, RunPlotCommand, {"FILE", "--bode", "--range", "5:9", "-o", "PICTURE"}, 1,
         "input.txt: no spectrum in the range 5:9"},
    };
    for (const Case& c : cases)
        Check(c);
}

TEST(InputCases, MeasCountWrapsGapsAndRestarts)
{
    const uint32_t top = 4294967295u;
    const std::string wrap = Log({top - 1, top, 0, 1});
    const Case cases[] = {
        {"info tells the wrap", wrap, RunInfoCommand, {"FILE"}, 0, "MeasCount wraps: 1 time\n  line 24: MeasCount 0 follows 4294967295 (wraps)"},
        {"a wrap is no restart", wrap, RunInfoCommand, {"FILE"}, 0, "starts again", u8"input.txt", false},
        {"a wrap is no gap", wrap, RunInfoCommand, {"FILE"}, 0, "gaps: 0, spectra lost: 0"},
        {"csv counts on", wrap, RunCsvCommand, {"FILE", "--long"}, 0, "\n4294967297,8.589934594e+06,1000,"},
        {"csv time keeps growing", wrap, RunCsvCommand, {"FILE"}, 0, "\n4294967296,8.589934592e+06,"},
        {"a range past the wrap", wrap, RunCsvCommand, {"FILE", "--range", "4294967296:"}, 0, "\n4294967295,",
         u8"input.txt", false},
        {"a wrap with spectra lost", Log({top - 5, 4}), RunInfoCommand, {"FILE"}, 0,
         "line 23: MeasCount 4 follows 4294967290, 9 lost (4294967291 to 3)"},
        {"a drop too far is a restart", Log({top - 5, 1u << 21}), RunInfoCommand, {"FILE"}, 0,
         "MeasCount starts again: 1 times\n  line 23: MeasCount 2097152 follows 4294967290"},
        {"a restart starts the axis again", Log({top, 0, 5, 3}), RunCsvCommand, {"FILE"}, 0,
         "\n3,0.006,"},
        {"the same count again is a restart", Log({5, 5}), RunInfoCommand, {"FILE"}, 0, "MeasCount starts again: 1 times"},
        {"250 gaps: 100 listed", GappyLog(250), RunInfoCommand, {"FILE"}, 0,
         "gaps: 250, spectra lost: 250\n  line 23: MeasCount 2 follows 0"},
        {"the rest counted", GappyLog(250), RunInfoCommand, {"FILE"}, 0,
         "  line 122: MeasCount 200 follows 198, 1 lost (199 to 199)\n  ... 150 more not listed; --all lists them all\n"},
        {"--all lists every one", GappyLog(250), RunInfoCommand, {"FILE", "--all"}, 0,
         "  line 272: MeasCount 500 follows 498, 1 lost (499 to 499)\nspectra: 251"},
        {"--all leaves nothing unlisted", GappyLog(250), RunInfoCommand, {"FILE", "--all"}, 0, "more not listed",
         u8"input.txt", false},
    };
    for (const Case& c : cases)
        Check(c);
}

TEST(InputCases, CsvCopiesModuleAndPhaseAsLogged)
{
    const auto odd = Changed(1, [](SpectrumRecord& r) {
        r.Module[0] = -500.0f;
        r.Phase[0] = 540.0f;
    });
    const std::string log = LogOf({odd});
    const Case cases[] = {
        {"wide", log, RunCsvCommand, {"FILE"}, 0, ",0.002,-500,540,500,"},
        {"long", log, RunCsvCommand, {"FILE", "--long"}, 0, ",0.002,1000,-500,540,500,"},
        {"a block mean is the complex mean's", log, RunCsvCommand, {"FILE", "--mean", "1"}, 0, "\n1,1,0.002,500,"},
    };
    for (const Case& c : cases)
        Check(c);
}

TEST(InputCases, StandardInputIsReadOnce)
{
    const auto path = WriteScratchFile("stdin.txt", Log({3, 4, 5}));
    ASSERT_NE(std::freopen(Utf8Path(path).c_str(), "rb", stdin), nullptr);
    const Outcome outcome = RunCommand(RunCsvCommand, {"-", "--long"});
    EXPECT_EQ(outcome.exit, ExitSuccess) << outcome.text;
    EXPECT_EQ(std::count(outcome.text.begin(), outcome.text.end(), '\n'), 1 + 3 * 15) << outcome.text;
    EXPECT_NE(outcome.text.find("\n5,0.01,1000000,"), std::string::npos);
}

#ifndef _WIN32
TEST(InputCases, PipesAndEndlessInputs)
{
    const auto fifo = ScratchFolder() / "log.fifo";
    std::filesystem::remove(fifo);
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string log = Log({7, 8});
    std::thread writer([&] {
        std::FILE* file = std::fopen(fifo.c_str(), "wb");
        std::fwrite(log.data(), 1, log.size(), file);
        std::fclose(file);
    });
    const Outcome outcome = RunCommand(RunCsvCommand, {fifo.string()});
    writer.join();
    EXPECT_EQ(outcome.exit, ExitSuccess) << outcome.text;
    EXPECT_NE(outcome.text.find("\n8,0.016,"), std::string::npos) << outcome.text;
    std::filesystem::remove(fifo);

    for (const Command run : {RunInfoCommand, RunCheckCommand}) {
        const Outcome zero = RunCommand(run, {"/dev/zero"});
        EXPECT_EQ(zero.exit, ExitBadInput) << zero.text;
        EXPECT_NE(zero.text.find("/dev/zero: "), std::string::npos) << zero.text;
    }
}
#endif
