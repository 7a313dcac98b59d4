#include "TextInput.h"
#include "TestLogs.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

struct ReadLines {
    std::vector<std::string> texts;
    std::vector<bool> ended, tooLong;
};

ReadLines LinesOf(const std::string& bytes)
{
    TextLines lines;
    std::string error;
    EXPECT_TRUE(lines.Open(WriteScratchFile("lines.txt", bytes).string(), error)) << error;
    ReadLines read;
    TextLine line;
    uint64_t number = 0;
    while (lines.Next(line)) {
        EXPECT_EQ(line.number, ++number);
        read.texts.emplace_back(line.text);
        read.ended.push_back(line.ended);
        read.tooLong.push_back(line.tooLong);
    }
    EXPECT_EQ(lines.BytesRead(), bytes.size());
    EXPECT_EQ(lines.FileSize(), bytes.size());
    return read;
}

} // namespace

TEST(TextInput, EveryLineEndAndAByteOrderMark)
{
    const std::string atChunk(TextStartBytes - 1, 'a');   // its CR ends the first read, its LF starts the next
    const std::string longLine(TextLongestLine + 10, 'b');
    struct Case {
        const char* name;
        std::string bytes;
        std::vector<std::string> texts;
        std::vector<bool> ended;
    } cases[] = {
        {"CR LF", "a\r\nb\r\n", {"a", "b"}, {true, true}},
        {"LF", "a\nb", {"a", "b"}, {true, false}},
        {"CR", "a\rb\r\r", {"a", "b", ""}, {true, true, true}},
        {"mixed", "a\r\n\rb\n\r\nc", {"a", "", "b", "", "c"}, {true, true, true, true, false}},
        {"LF CR is two ends", "a\n\rb", {"a", "", "b"}, {true, true, false}},
        {"a CR LF file cut after a CR", "a\r\nb\r", {"a", "b"}, {true, false}},
        {"CR LF across reads, cut there", atChunk + "\r", {atChunk}, {true}},
        {"byte-order mark", "\xEF\xBB\xBF" "a\r\n", {"a"}, {true}},
        {"a mark later is text", "a\r\n\xEF\xBB\xBF", {"a", "\xEF\xBB\xBF"}, {true, false}},
        {"CR LF across reads", atChunk + "\r\nz\r\n", {atChunk, "z"}, {true, true}},
        {"nothing", "", {}, {}},
    };
    for (const Case& c : cases) {
        const ReadLines read = LinesOf(c.bytes);
        EXPECT_EQ(read.texts, c.texts) << c.name;
        EXPECT_EQ(read.ended, c.ended) << c.name;
    }
    // A line too long gives its first TextLongestLine + 1 bytes; the next line is whole.
    const ReadLines read = LinesOf("x\r\n" + longLine + "\r\n" + atChunk + "\r\n" + longLine + "\r" + "y");
    ASSERT_EQ(read.texts.size(), 5u);
    EXPECT_EQ(read.texts[1], longLine.substr(0, TextLongestLine + 1));
    EXPECT_EQ(read.tooLong, (std::vector<bool>{false, true, false, true, false}));
    EXPECT_EQ(read.texts[2], atChunk);
    EXPECT_EQ(read.texts[4], "y");
}

TEST(TextInput, RefusesFoldersMissingFilesAndUtf16)
{
    TextLines lines;
    std::string error;
    const auto folder = WriteScratchFile("probe.txt", "").parent_path();
    EXPECT_FALSE(lines.Open(folder.string(), error));
    EXPECT_EQ(error, "is a folder, not a file");
    EXPECT_FALSE(lines.Open((folder / "no such file.txt").string(), error));
    EXPECT_EQ(error.rfind("cannot open: ", 0), 0u) << error;
    EXPECT_FALSE(lines.Open(WriteScratchFile("wide.txt", std::string("\xFF\xFE" "a\0b\0", 6)).string(), error));
    EXPECT_EQ(error, "is UTF-16 text: save it as UTF-8");

    struct Case {
        std::string text;
        bool utf16;
    } cases[] = {
        {"\xFF\xFE", true},
        {"\xFE\xFF\0a", true},
        {std::string("L\0o\0g\0N\0a\0m\0e\0=\0", 16), true},
        {std::string("\0L\0o\0g\0N\0a\0m\0e", 16), true},
        {std::string(1000, '\0'), false},
        {"LogName=  x\r\n", false},
        {std::string("1,2\0,3\r\n", 8), false},
        {"", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(LooksLikeUtf16(c.text), c.utf16) << c.text.size();
}

TEST(TextInput, OpensNamesInAnyScript)
{
    for (const char8_t* name : {u8"測定.txt", u8"Messung_März.txt", u8"плот ё.txt"}) {
        const auto path = WriteScratchFile(std::u8string(name), "text\n");
        {
            TextLines lines;
            std::string error;
            ASSERT_TRUE(lines.Open(Utf8Path(path), error)) << error;
            EXPECT_EQ(lines.Start(), "text\n");
        }
        std::filesystem::remove(path);
    }
}

TEST(TextInput, FirstLine)
{
    struct Case {
        const char* text;
        size_t length, end;
    } cases[] = {{"ab\r\nc", 2, 2}, {"ab\nc", 2, 1}, {"ab\rc", 2, 1}, {"ab\r", 2, 1}, {"ab", 2, 0}, {"", 0, 0}, {"\n", 0, 1}};
    for (const Case& c : cases) {
        const LineSpan span = FirstLine(c.text);
        EXPECT_EQ(span.length, c.length) << c.text;
        EXPECT_EQ(span.end, c.end) << c.text;
    }
}
