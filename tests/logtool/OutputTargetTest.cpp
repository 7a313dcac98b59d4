// Which file an output name writes and how, which names are one file, and the temporary files an
// interrupt removes.
#include "FileIdentity.h"
#include "FileWriter.h"
#include "OutputTarget.h"
#include "PictureTestSupport.h"
#include "TemporaryFiles.h"
#include "data/PathText.h"

#include <gtest/gtest.h>

#include <fstream>
#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace fs = std::filesystem;

namespace {

class OutputNames : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::ofstream(scratch.Path() / "file.txt") << "bytes";
        std::ofstream(PathFromUtf8(scratch.File("測定.txt"))) << "bytes";
        fs::create_directory(scratch.Path() / "sub");
        fs::create_hard_link(scratch.Path() / "file.txt", scratch.Path() / "hard.txt");
#ifndef _WIN32
        fs::create_symlink("file.txt", scratch.Path() / "link.txt");
        fs::create_symlink("link.txt", scratch.Path() / "chain.txt");
        fs::create_symlink("sub/none.txt", scratch.Path() / "dangling.txt");
        fs::create_symlink("loop.txt", scratch.Path() / "loop.txt");
        mkfifo(scratch.File("fifo").c_str(), 0666);
#endif
    }

    std::string At(const std::string& name) const { return scratch.File(name); }

    ScratchDirectory scratch;
};

} // namespace

TEST_F(OutputNames, EachNameHasItsTargetAndWay)
{
    const struct {
        std::string name;
        bool found;
        OutputWay way;
        std::string target;   // "" for the name itself
    } cases[] = {
        {At("file.txt"), true, OutputWay::Replace, ""},
        {At("new.txt"), true, OutputWay::Replace, ""},
        {At("測定.txt"), true, OutputWay::Replace, ""},
        {At("nosuch/new.txt"), true, OutputWay::Replace, ""},
        {At("sub"), false, OutputWay::Replace, ""},
#ifdef _WIN32
        {"NUL", true, OutputWay::Direct, ""},
#else
        {"/dev/null", true, OutputWay::Direct, ""},
        {"/dev/stdout", true, OutputWay::Direct, ""},
        {"/dev/fd/1", true, OutputWay::Direct, ""},
        {At("fifo"), true, OutputWay::Direct, ""},
        {At("link.txt"), true, OutputWay::Replace, At("file.txt")},
        {At("chain.txt"), true, OutputWay::Replace, At("file.txt")},
        {At("dangling.txt"), true, OutputWay::Replace, At("sub/none.txt")},
        {At("loop.txt"), false, OutputWay::Replace, ""},
#endif
    };
    for (const auto& c : cases) {
        OutputTarget target;
        std::string reason;
        ASSERT_EQ(FindOutputTarget(c.name, target, reason), c.found) << c.name << ": " << reason;
        if (!c.found) {
            EXPECT_FALSE(reason.empty()) << c.name;
            continue;
        }
        EXPECT_EQ(target.way, c.way) << c.name;
        EXPECT_EQ(fs::path(target.path).lexically_normal(), PathFromUtf8(c.target.empty() ? c.name : c.target).lexically_normal())
            << c.name;
    }
}

TEST_F(OutputNames, OneFileByEveryNameAndNoOtherFile)
{
    const struct {
        std::string a, b;
        bool same;
    } cases[] = {
        {At("file.txt"), At("file.txt"), true},
        {At("file.txt"), At("sub/../file.txt"), true},
        {At("file.txt"), At("hard.txt"), true},
        {At("file.txt"), At("測定.txt"), false},
        {At("file.txt"), At("new.txt"), false},
        {At("new.txt"), At("new.txt"), false},   // no file, no identity
        {At("sub"), At("sub"), false},           // a folder is no file
        {"-", "-", false},
#ifdef _WIN32
        {At("file.txt"), At("FILE.TXT"), true},
        {"NUL", "NUL", false},
#else
        {At("file.txt"), At("link.txt"), true},
        {At("file.txt"), At("chain.txt"), true},
        {"/dev/null", "/dev/null", false},
#endif
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsSameFile(c.a, c.b), c.same) << c.a << " and " << c.b;
}

TEST_F(OutputNames, AnUncommittedFileLeavesNothingAndACommittedOneReplacesTheTarget)
{
    const fs::path temporary = AtomicFile::TemporaryPath(scratch.Path() / "file.txt");
    std::string reason;
    {
        FileWriter file;
        ASSERT_TRUE(file.Open(At("file.txt"), reason)) << reason;
        ASSERT_TRUE(file.Write("new bytes", reason));
        EXPECT_TRUE(fs::exists(temporary));
    }
    EXPECT_FALSE(fs::exists(temporary));
    EXPECT_EQ(ReadText(At("file.txt")), "bytes");

    FileWriter file;
    ASSERT_TRUE(file.Open(At("file.txt"), reason)) << reason;
    ASSERT_TRUE(file.Write("new bytes", reason) && file.Commit(reason)) << reason;
    EXPECT_EQ(ReadText(At("file.txt")), "new bytes");
    EXPECT_FALSE(fs::exists(temporary));
    FileWriter folder;
    EXPECT_FALSE(folder.Open(At("sub"), reason));
    EXPECT_EQ(reason, "is a folder");
#ifndef _WIN32
    FileWriter throughLink;
    ASSERT_TRUE(throughLink.Open(At("link.txt"), reason)) << reason;
    ASSERT_TRUE(throughLink.Write("linked", reason) && throughLink.Commit(reason)) << reason;
    EXPECT_TRUE(fs::is_symlink(scratch.Path() / "link.txt"));
    EXPECT_EQ(ReadText(At("file.txt")), "linked");
#endif
}

TEST(TemporaryFiles, TakesAsManyAsItHoldsAndGivesEachBack)
{
    int handles[MostTemporaryFiles];
    int taken = 0;
    for (int& handle : handles) {
        handle = RegisterTemporaryFile("some.partial");
        taken += handle >= 0;
    }
    EXPECT_EQ(taken, MostTemporaryFiles);   // none other is held while this test runs
    EXPECT_EQ(RegisterTemporaryFile("one.partial"), -1);
    ForgetTemporaryFile(handles[3]);
    EXPECT_EQ(RegisterTemporaryFile("one.partial"), handles[3]);
    EXPECT_EQ(RegisterTemporaryFile(std::string(LongestTemporaryPath + 1, 'x')), -1);
    for (const int handle : handles)
        ForgetTemporaryFile(handle);
    const int again = RegisterTemporaryFile(std::string(LongestTemporaryPath, 'x'));
    EXPECT_GE(again, 0);
    ForgetTemporaryFile(again);
}

#ifdef _WIN32
// Windows holds names as UTF-16: every name goes there and back whole, and text that is no
// valid UTF-8 or UTF-16 becomes U+FFFD instead of failing.
TEST(PathText, NamesGoToUtf16AndBackWhole)
{
    const struct {
        std::string utf8;
        std::wstring wide;
        std::string back;   // "" for utf8
    } cases[] = {
        {"Messung_März.txt", L"Messung_M\u00E4rz.txt", ""},
        {"測定.txt", L"\u6E2C\u5B9A.txt", ""},
        {"\xF0\x9D\x84\x9E", L"\xD834\xDD1E", ""},   // beyond the first 65536: a surrogate pair
        {"M\xE4rz", L"M\xFFFDrz", "M\xEF\xBF\xBDrz"},   // a Latin-1 byte is no UTF-8
        {"", L"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(WideFromUtf8(c.utf8), c.wide) << c.utf8;
        EXPECT_EQ(Utf8FromWide(c.wide), c.back.empty() ? c.utf8 : c.back) << c.utf8;
        EXPECT_EQ(PathToUtf8(PathFromUtf8(c.utf8)), c.back.empty() ? c.utf8 : c.back) << c.utf8;
    }
    EXPECT_EQ(Utf8FromWide(std::wstring(1, static_cast<wchar_t>(0xD800))), "\xEF\xBF\xBD");   // a lone surrogate
    EXPECT_EQ(FileNameOf("C:\\Daten\\Messung_März.txt"), "Messung_März.txt");
}
#endif
