// The logs of a folder, newest first: stamped names by their stamp, other logs by their time.
#include "TestLogs.h"
#include "live/FolderWatch.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

std::filesystem::path FreshFolder(const std::string& name)
{
    const auto folder = std::filesystem::temp_directory_path() / "kalvix-logtool-tests" / name;
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    return folder;
}

void Write(const std::filesystem::path& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

} // namespace

TEST(FolderWatch, TellsStampedNames)
{
    const std::pair<const char*, const char*> cases[] = {
        {"261210_080518_demo.txt", "261210_080518"},
        {"261210_080518_demo_2.TXT", "261210_080518"},
        {"000101_000000_x.txt", "000101_000000"},
        {"991231_235959_x.txt", "991231_235959"},
        {"261210_080518_.txt", ""},      // no name after the stamp
        {"261310_080518_demo.txt", ""},  // month 13
        {"261200_080518_demo.txt", ""},  // day 0
        {"261232_080518_demo.txt", ""},  // day 32
        {"261210_240518_demo.txt", ""},  // hour 24
        {"261210_086018_demo.txt", ""},  // minute 60
        {"261210_080560_demo.txt", ""},  // second 60
        {"261210-080518_demo.txt", ""},
        {"261210_080518_demo.csv", ""},
        {"26121a_080518_demo.txt", ""},
        {"demo.txt", ""},
    };
    for (const auto& [name, stamp] : cases)
        EXPECT_EQ(LogNameStamp(name), stamp) << name;
}

TEST(FolderWatch, ListsTheLogsNewestFirst)
{
    const auto folder = FreshFolder("folder-watch");
    const std::string log = TestLogText({MakeTestRecord(1)});
    Write(folder / "261210_080518_demo.txt", log);
    Write(folder / "261211_070000_next.txt", "");   // just created by the panel: stamped is enough
    Write(folder / "261211_070000_a.txt", log);
    Write(folder / "older.txt", log);
    Write(folder / "notes.txt", "shopping list\r\nmilk\r\n");
    Write(folder / "spectra.csv", log);
    Write(folder / "header-only.txt", "LogName=  x\r\nCreated=  2026\r\n");
    std::filesystem::create_directories(folder / "261212_070000_folder.txt");
    const auto now = std::filesystem::file_time_type::clock::now();
    std::filesystem::last_write_time(folder / "older.txt", now - std::chrono::hours(2));
    std::filesystem::last_write_time(folder / "header-only.txt", now - std::chrono::hours(1));

    std::vector<FolderLog> logs;
    bool complete = false;
    std::string error;
    ASSERT_TRUE(ListFolderLogs(Utf8Path(folder), logs, complete, error)) << error;
    EXPECT_TRUE(complete);
    const std::vector<std::string> expected = {"261211_070000_a.txt", "261211_070000_next.txt",
                                               "261210_080518_demo.txt", "header-only.txt", "older.txt"};
    ASSERT_EQ(logs.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(logs[i].name, expected[i]) << i;
        EXPECT_EQ(logs[i].path, Utf8Path(folder / expected[i])) << i;
    }
    EXPECT_EQ(logs[0].stamp, "261211_070000");
    EXPECT_EQ(logs[3].stamp, "");
}

TEST(FolderWatch, RefusesWhatIsNoFolder)
{
    const auto file = WriteScratchFile("folder-watch-file.txt", "x");
    const std::pair<std::string, std::string> cases[] = {
        {Utf8Path(file), "is not a folder"},
        {Utf8Path(file.parent_path() / "no-such-folder"), "no such folder"},
    };
    for (const auto& [path, message] : cases) {
        std::vector<FolderLog> logs(1);
        bool complete = true;
        std::string error;
        EXPECT_FALSE(ListFolderLogs(path, logs, complete, error)) << path;
        EXPECT_EQ(error, message) << path;
        EXPECT_TRUE(logs.empty()) << path;
    }
}
