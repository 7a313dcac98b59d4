// kalvix-log run as a program: what it does to the files it is given, on every command that
// writes. The input stays byte for byte, an output that is an input is refused before any work,
// every output is made before the work, no temporary file is ever left, names in any script
// arrive whole (UTF-16 arguments on Windows), and devices, FIFOs and links stay what they are.
#include "PictureTestSupport.h"
#include "ProgramRun.h"
#include "TestLogs.h"
#include "data/PathText.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <thread>
#ifndef _WIN32
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

const std::string Circuit = "R0-p(R1,C1)";

void WriteText(const fs::path& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

class ProgramFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::vector<SpectrumRecord> records;
        for (uint32_t count = 0; count < 20; ++count)
            records.push_back(MakeTestRecord(count));
        recording = TestLogText(records);
        WriteText(scratch.Path() / "in.txt", recording);
        WriteText(PathFromUtf8(scratch.File("Messung_März.txt")), recording);
        WriteText(scratch.Path() / "saved.svg", "{}");
        WriteText(scratch.Path() / "old.csv.partial", recording);
        fs::create_directory(scratch.Path() / "sub");
        fs::create_hard_link(scratch.Path() / "in.txt", scratch.Path() / "hard.txt");
#ifndef _WIN32
        fs::create_symlink("in.txt", scratch.Path() / "link.txt");
#endif
        before = Listing();
    }

    ProgramResult Run(const std::vector<std::string>& arguments, const std::string& standardOutput = "")
    {
        return RunKalvixLog({arguments, PathToUtf8(scratch.Path()), standardOutput});
    }

    // Every name below the scratch folder, relative, '/' between folders, sorted.
    std::vector<std::string> Listing() const
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::recursive_directory_iterator(scratch.Path())) {
            std::string name = PathToUtf8(entry.path().lexically_relative(scratch.Path()));
            std::replace(name.begin(), name.end(), '\\', '/');
            names.push_back(name);
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    // The listing of before, with `added`.
    std::vector<std::string> ListingWith(std::vector<std::string> added) const
    {
        added.insert(added.end(), before.begin(), before.end());
        std::sort(added.begin(), added.end());
        return added;
    }

    // What is read is never harmed, whatever a run did.
    void ExpectInputsUnchanged() const
    {
        EXPECT_EQ(ReadText(scratch.File("in.txt")), recording);
        EXPECT_EQ(ReadText(scratch.File("Messung_März.txt")), recording);
        EXPECT_EQ(ReadText(scratch.File("old.csv.partial")), recording);
    }

    ScratchDirectory scratch;
    std::string recording;
    std::vector<std::string> before;
};

struct FileCase {
    const char* what;
    std::vector<std::string> arguments;
    int exitCode;
    std::string message;                 // part of standard error; empty: nothing asked
    std::vector<std::string> created;    // what the run adds to the folder, and nothing else
};

void ExpectRun(const ProgramResult& result, int exitCode, const std::string& message, const char* what)
{
    EXPECT_EQ(result.exitCode, exitCode) << what << "\n" << result.err;
    EXPECT_NE(result.err.find(message), std::string::npos) << what << ": wanted \"" << message << "\" in\n" << result.err;
}

} // namespace

TEST_F(ProgramFiles, OutputsAreRefusedOrWrittenAndNothingElseChanges)
{
    const std::string refused = "(the same file): writing it would destroy what is read";
    std::vector<FileCase> cases = {
        {"the input as -o", {"csv", "in.txt", "-o", "in.txt"}, 2, "-o \"in.txt\" is the recording \"in.txt\" " + refused, {}},
        {"the input by another path", {"csv", "in.txt", "-o", "./in.txt"}, 2, refused, {}},
        {"the input through a folder", {"csv", "in.txt", "-o", "sub/../in.txt"}, 2, refused, {}},
        {"a hard link to the input", {"csv", "in.txt", "-o", "hard.txt"}, 2, "-o \"hard.txt\" is the recording", {}},
        {"the input as track's table", {"track", "in.txt", "--circuit", Circuit, "-o", "in.txt"}, 2, refused, {}},
        {"the saved fit as plot's picture", {"plot", "in.txt", "--bode", "--fit-from", "saved.svg", "-o", "saved.svg"},
         2, "-o \"saved.svg\" is --fit-from \"saved.svg\"", {}},
        {"a name in another script, by its input", {"csv", "Messung_März.txt", "-o", "./Messung_März.txt"}, 2, refused, {}},
        {"the input as the output's temporary file", {"csv", "old.csv.partial", "-o", "old.csv"}, 2,
         "-o \"old.csv\" is written first as", {}},
        {"track's table and picture on one file", {"track", "in.txt", "--circuit", Circuit, "-o", "t.svg", "--plot", "t.svg"},
         2, "-o \"t.svg\" and --plot \"t.svg\" are the same file", {}},
        {"csv into no folder", {"csv", "in.txt", "-o", "nosuch/out.csv"}, 1, "nosuch/out.csv: cannot write: ", {}},
        {"plot into no folder", {"plot", "in.txt", "--bode", "-o", "nosuch/p.svg"}, 1, "nosuch/p.svg: cannot write: ", {}},
        {"track's picture into no folder, before any fit",
         {"track", "in.txt", "--circuit", Circuit, "-o", "t.csv", "--plot", "nosuch/t.png"}, 1,
         "nosuch/t.png: cannot write: ", {}},
        {"a folder as -o", {"csv", "in.txt", "-o", "sub"}, 1, "sub: cannot write: is a folder", {}},
        {"a new table", {"csv", "in.txt", "-o", "out.csv"}, 0, "", {"out.csv"}},
        {"track's table and picture", {"track", "in.txt", "--circuit", Circuit, "-o", "sub/t.csv", "--plot", "sub/t.svg"},
         0, "", {"sub/t.csv", "sub/t.svg"}},
        {"a table named in another script", {"csv", "in.txt", "-o", "Messung_März.csv"}, 0, "", {"Messung_März.csv"}},
        {"a picture named in another script", {"plot", "in.txt", "--nyquist", "-o", "測定.svg"}, 0, "", {"測定.svg"}},
#ifdef _WIN32
        {"the input in other letters", {"csv", "in.txt", "-o", "IN.TXT"}, 2, "-o \"IN.TXT\" is the recording", {}},
        {"a name in another script in other letters", {"csv", "Messung_März.txt", "-o", "MESSUNG_MÄRZ.TXT"}, 2, refused, {}},
        {"the null device", {"csv", "in.txt", "-o", "NUL"}, 0, "", {}},
        {"the null device as a picture", {"track", "in.txt", "--circuit", Circuit, "-o", "NUL", "--plot", "sub/t.svg"},
         0, "", {"sub/t.svg"}},
#else
        {"a symbolic link to the input", {"csv", "in.txt", "-o", "link.txt"}, 2, "-o \"link.txt\" is the recording", {}},
#endif
    };
    for (const FileCase& c : cases) {
        ExpectRun(Run(c.arguments), c.exitCode, c.message, c.what);
        EXPECT_EQ(Listing(), ListingWith(c.created)) << c.what;
        ExpectInputsUnchanged();
        for (const std::string& name : c.created)
            fs::remove(PathFromUtf8(scratch.File(name)));
    }
}

TEST_F(ProgramFiles, TextInAnyScriptKeepsItsCharactersInPictures)
{
    const struct {
        std::vector<std::string> arguments;
        std::string expected;   // in the SVG, as UTF-8
    } cases[] = {
        {{"plot", "in.txt", "--nyquist", "-o", "t.svg", "--title", "März 測定"}, "März 測定"},
        {{"plot", "Messung_März.txt", "--bode", "-o", "t.svg"}, "Messung_März.txt"},
        {{"track", "Messung_März.txt", "--circuit", Circuit, "-o", "t.csv", "--plot", "t.svg"},
         Circuit + " over Messung_März.txt"},
    };
    for (const auto& c : cases) {
        const ProgramResult result = Run(c.arguments);
        ASSERT_EQ(result.exitCode, 0) << result.err;
        EXPECT_NE(ReadText(scratch.File("t.svg")).find(c.expected), std::string::npos) << c.expected;
        ExpectInputsUnchanged();
    }
}

// The font named by KALVIX_LOG_FONT in a folder whose name is in another script.
TEST_F(ProgramFiles, AFontInAFolderOfAnyNameIsFound)
{
    const fs::path folder = PathFromUtf8(scratch.File("字体"));
    fs::create_directory(folder);
    fs::copy_file(PathFromUtf8(KALVIX_LOG_FONT_FILE), folder / "font.ttf");
    const std::string font = PathToUtf8(folder / "font.ttf");
#ifdef _WIN32
    _wputenv_s(L"KALVIX_LOG_FONT", WideFromUtf8(font).c_str());
#else
    setenv("KALVIX_LOG_FONT", font.c_str(), 1);
#endif
    const ProgramResult result = Run({"plot", "in.txt", "--bode", "-o", "f.png"});
#ifdef _WIN32
    _wputenv_s(L"KALVIX_LOG_FONT", L"");
#else
    unsetenv("KALVIX_LOG_FONT");
#endif
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_GT(ReadPng(scratch.File("f.png")).width, 0);
}

#ifndef _WIN32
TEST_F(ProgramFiles, EveryWriteToStandardOutputIsChecked)
{
    const std::vector<std::string> commands[] = {
        {"info", "in.txt"},
        {"fit", "in.txt", "--circuit", Circuit},
        {"fit", "in.txt", "--circuit", Circuit, "--json"},
        {"check", "in.txt", "--json"},
        {"check", "in.txt"},
        {"csv", "in.txt"},
        {"csv", "in.txt", "-o", "-"},
        {"--help"},
        {"plot", "--help"},
        {"--version"},
    };
    for (const auto& arguments : commands) {
        const ProgramResult written = Run(arguments);
        EXPECT_EQ(written.exitCode, 0) << arguments[0] << "\n" << written.err;
        EXPECT_FALSE(written.out.empty()) << arguments[0];
        const ProgramResult full = Run(arguments, "/dev/full");
        EXPECT_EQ(full.exitCode, 1) << arguments[0];
        EXPECT_EQ(CountOccurrences(full.err, "standard output: write failed: No space left on device"), 1u)
            << arguments[0] << "\n" << full.err;
    }
    EXPECT_EQ(Listing(), before);
}

TEST_F(ProgramFiles, DevicesFifosAndLinksStayWhatTheyAre)
{
    const std::string table = Run({"csv", "in.txt"}).out;
    ASSERT_FALSE(table.empty());
    struct stat status {};

    // A device node of its own (the null device's numbers), so that no fault can replace the
    // system's /dev/null.
    if (mknod(scratch.File("null.csv").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0) {
        for (const auto& arguments : {std::vector<std::string>{"csv", "in.txt", "-o", "null.csv"},
                                      std::vector<std::string>{"track", "in.txt", "--circuit", Circuit, "-o", "null.csv"}}) {
            EXPECT_EQ(Run(arguments).exitCode, 0) << arguments[0];
            ASSERT_EQ(lstat(scratch.File("null.csv").c_str(), &status), 0);
            EXPECT_TRUE(S_ISCHR(status.st_mode)) << arguments[0];
        }
        fs::remove(scratch.File("null.csv"));
    } else {
        ADD_FAILURE() << "cannot make a device node to write to";
    }

    ASSERT_EQ(mkfifo(scratch.File("pipe.csv").c_str(), 0666), 0);
    std::string piped;
    std::thread reader([&] { piped = ReadText(scratch.File("pipe.csv")); });
    EXPECT_EQ(Run({"csv", "in.txt", "-o", "pipe.csv"}).exitCode, 0);
    reader.join();
    EXPECT_EQ(piped, table);
    ASSERT_EQ(lstat(scratch.File("pipe.csv").c_str(), &status), 0);
    EXPECT_TRUE(S_ISFIFO(status.st_mode));
    fs::remove(scratch.File("pipe.csv"));

    // /dev/stdout leads to the file standard output is: written through, in order.
    const ProgramResult throughStdout = Run({"csv", "in.txt", "-o", "/dev/stdout"});
    EXPECT_EQ(throughStdout.exitCode, 0) << throughStdout.err;
    EXPECT_EQ(throughStdout.out, table);

    // A link has the file it leads to replaced (its temporary file beside that one), a link to
    // no file yet makes it; the link stays a link.
    WriteText(scratch.Path() / "sub" / "old.csv", "old");
    fs::create_symlink("sub/old.csv", scratch.Path() / "old.csv");
    fs::create_symlink("sub/new.csv", scratch.Path() / "new.csv");
    for (const char* link : {"old.csv", "new.csv"}) {
        EXPECT_EQ(Run({"csv", "in.txt", "-o", link}).exitCode, 0) << link;
        EXPECT_TRUE(fs::is_symlink(scratch.Path() / link)) << link;
        EXPECT_EQ(ReadText(scratch.File(link)), table) << link;
    }
    EXPECT_EQ(Listing(), ListingWith({"new.csv", "old.csv", "sub/new.csv", "sub/old.csv"}));
    ExpectInputsUnchanged();
}

TEST_F(ProgramFiles, AnInterruptLeavesNoTemporaryFileAndNoOutput)
{
    // Long enough to write for about a second: the signal comes while the table is written.
    std::vector<SpectrumRecord> records;
    for (uint32_t count = 0; count < 300000; ++count)
        records.push_back(MakeTestRecord(count));
    WriteText(scratch.Path() / "big.txt", TestLogText(records));
    before = Listing();
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        StartedProgram program = StartKalvixLog({{"csv", "big.txt", "-o", "big.csv"}, PathToUtf8(scratch.Path()), ""});
        const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!fs::exists(scratch.Path() / "big.csv.partial") && std::chrono::steady_clock::now() < give_up)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        kill(static_cast<pid_t>(program.process), signal);
        const ProgramResult result = FinishKalvixLog(program);
        EXPECT_EQ(result.signal, signal) << "exit code " << result.exitCode << "\n" << result.err;
        EXPECT_EQ(Listing(), before) << "signal " << signal;
    }
}
#endif
