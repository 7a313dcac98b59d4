#include "AfeRecord.h"
#include "GlobalCtrl.h"
#include "LogWriter.h"
#include "TestFiles.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

SpectrumRecord MakeRecord(uint32_t count)
{
    SpectrumRecord r{};
    r.SysErrors = static_cast<uint16_t>(0x00A0 + count % 7);
    r.MeasCount = count;
    r.ProcPeriod = 1000 + count % 9;
    r.MaxChA = 30000;
    r.MinChA = 120;
    r.MaxChB = 29000;
    r.MinChB = 99;
    for (int i = 0; i < 15; ++i) {
        r.Module[i] = 1000.0f + 10.25f * i + static_cast<float>(count % 100) * 0.5f;
        r.Phase[i] = -45.5f + 3.0f * i;
    }
    r.BatteryLevel = 3700;
    r.ChargerStatus = 2;
    r.GPIOStatus = 0x0E;
    return r;
}

// The row as printf writes it: the reference for the locale-free formatter.
std::string ExpectedRow(const SpectrumRecord& r)
{
    std::string row = Printf("\t%10d\t\t", static_cast<int32_t>(r.MeasCount));
    for (int i = 0; i < 15; ++i)
        row += Printf("%12.2f\t%7.2f\t", r.Module[i], r.Phase[i]);
    row += Printf("\t%8d\t%5d\t%5d\t%5d\t%5d\t0x%04X\t0x%02X\t%4d\t%d\r\n", static_cast<int32_t>(r.ProcPeriod), r.MaxChA,
                  r.MinChA, r.MaxChB, r.MinChB, r.SysErrors, r.GPIOStatus, r.BatteryLevel, r.ChargerStatus);
    return row;
}

struct LogFixture : ::testing::Test {
    ScratchFolder folder;
    std::unique_ptr<GlobalCtrl, void (*)(GlobalCtrl*)> ctrl{CreateGlobalCtrl(nullptr), FreeGlobalCtrl};
    HookRecorder hooks{ctrl.get()};
    std::string stampedName = "261208_043905_run.txt";

    void SetUp() override
    {
        hooks.settings = LogSettings{200, 1, 3, 0, 1, 1, 0};
        hooks.onLoggingOff = [this] { StopLog(ctrl.get()); };
        std::strcpy(ctrl->DeviceIdentification, "Kalvix IS-15 HW:v1.02 SW:v1.30 ");
        std::strcpy(ctrl->DeviceSerial, "KX000123");
        std::strcpy(reinterpret_cast<char*>(ctrl->AfeArea), "Probe \xE9t\xE9 50R");
        ctrl->DividerIndex = 23; // 196
        for (int i = 0; i < 15; ++i)
            ctrl->Frequencies[i] = 1000.0f * (i + 1) / 3.0f;
        for (int i = 0; i < 30; ++i) {
            ctrl->Configuration.Shunt[i] = 49.95f + 0.01f * i;
            ctrl->Configuration.Comp[i] = -1.5f * i;
        }
        SetLogPath(folder.path + "run.txt");
    }

    void TearDown() override
    {
        StopLog(ctrl.get());
        LogPath[0] = '\0';
    }

    void SetLogPath(const std::string& path)
    {
        ASSERT_LT(path.size(), sizeof LogPath);
        std::strcpy(LogPath, path.c_str());
    }

    std::string ExpectedHeader(const std::string& logName) const
    {
        std::string h;
        h += "LogName=                " + logName + "\r\n";
        const LogTime& t = hooks.now;
        h += Printf("Created=                %04d %02d.%02d %02d:%02d:%02d\r\n", t.year, t.month, t.day, t.hour, t.minute,
                    t.second);
        h += "ApplicationVersion=     v1.6\r\n";
        h += "DeviceDescription=      Kalvix IS-15 HW:v1.02 SW:v1.30 \r\n";
        h += "DeviceSerial=           KX000123\r\n";
        h += "AFEDescription=         Probe \xE9t\xE9 50R\r\n";
        h += "FrequencyDivider=       196\r\n";
        h += "ExcitationLevel=        200\r\n";
        h += "GainCH-A=               2x\r\n";
        h += "GainCH-B=               10x\r\n";
        h += "OnExtTrigger=           0\r\n";
        h += "OnBattery=              1\r\n";
        h += "CompensationState=      1\r\n";
        h += "MeasureCompState=       0\r\n";
        h += "Frequencies=            ";
        for (int i = 0; i < 15; ++i)
            h += Printf(i ? ",%11.2fHz" : "%11.2fHz", ctrl->Frequencies[i]);
        h += "\r\nShunt(re...im...)=      ";
        for (int i = 0; i < 30; ++i)
            h += Printf(i ? ",%13.2f" : "%13.2f", ctrl->Configuration.Shunt[i]);
        h += "\r\nCompValues(re...im...)= ";
        for (int i = 0; i < 30; ++i)
            h += Printf(i ? ",%13.2f" : "%13.2f", ctrl->Configuration.Comp[i]);
        h += "\r\n\r\n\r\n\t\t\t\tModule(ohm) Phase(degree)\r\n\tCount\t\t\t";
        for (int k = 1; k <= 15; ++k)
            h += Printf("%12d\t%7d\t", k, k);
        h += "\tPPeriod(us)\tMax-A\tMin-A\tMax-B\tMin-B\tSysErr\tGPIO\tBattery\tChargeStatus\r\n";
        return h;
    }

    // Closes the log's handle and puts one in its place that cannot write; returns the code the
    // system gives for a write through it.
    DWORD SwapInReadOnlyHandle()
    {
        HANDLE readOnly = CreateFileA(LogFileName().c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, 0, nullptr);
        EXPECT_NE(readOnly, INVALID_HANDLE_VALUE);
        DWORD written = 0;
        EXPECT_FALSE(WriteFile(readOnly, "x", 1, &written, nullptr));
        const DWORD code = GetLastError();
        ctrl->LogFile.Reset(readOnly);
        return code;
    }

    std::string LogFileName() const { return folder.File(stampedName); }
    std::string LogBytes() const { return ReadBytes(LogFileName()); }
};

} // namespace

TEST_F(LogFixture, FirstBatchOfOneCreatesTheStampedFileWithHeaderAndRow)
{
    StartLog(ctrl.get());
    ASSERT_NE(ctrl->LogBuffer.get(), nullptr);
    EXPECT_FALSE(ctrl->LogFile) << "the file waits for the first batch";
    EXPECT_TRUE(FolderEntries(folder.path).empty());

    const SpectrumRecord record = MakeRecord(7);
    AppendLogRows(ctrl.get(), &record, 1);

    EXPECT_EQ(FolderEntries(folder.path), std::vector<std::string>{stampedName});
    const std::string expected = ExpectedHeader("run.txt") + ExpectedRow(record);
    EXPECT_EQ(LogBytes(), expected);
    EXPECT_EQ(ctrl->LogBufferFill, 0u);
    EXPECT_EQ(ctrl->LogEntryCount, 1);
    EXPECT_EQ(ctrl->LogSize, expected.size());
    EXPECT_EQ(hooks.LastText("logfile"), "Log: " + stampedName);
    EXPECT_EQ(hooks.LastText("entries"), "Log Entry Count: 1");

    // Every further batch of one is on disk at once.
    std::string all = expected;
    for (uint32_t c = 8; c < 12; ++c) {
        const SpectrumRecord next = MakeRecord(c);
        AppendLogRows(ctrl.get(), &next, 1);
        all += ExpectedRow(next);
        EXPECT_EQ(LogBytes(), all);
    }
    EXPECT_EQ(hooks.LastText("entries"), "Log Entry Count: 5");
    EXPECT_TRUE(hooks.Of("status").empty());
}

TEST_F(LogFixture, EntryCountWrappingToZeroKeepsTheOpenFile)
{
    StartLog(ctrl.get());
    const SpectrumRecord first = MakeRecord(1);
    AppendLogRows(ctrl.get(), &first, 1);
    ASSERT_TRUE(ctrl->LogFile);
    const HANDLE file = ctrl->LogFile.Get();
    ctrl->LogEntryCount = -1; // one row before the signed count wraps to 0
    const SpectrumRecord rows[2] = {MakeRecord(2), MakeRecord(3)};
    AppendLogRows(ctrl.get(), rows, 2);
    EXPECT_EQ(ctrl->LogFile.Get(), file) << "no second file, no header in the middle of the log";
    EXPECT_EQ(FolderEntries(folder.path), std::vector<std::string>{stampedName});
    StopLog(ctrl.get());
    EXPECT_EQ(LogBytes(), ExpectedHeader("run.txt") + ExpectedRow(first) + ExpectedRow(rows[0]) + ExpectedRow(rows[1]));
}

TEST_F(LogFixture, BatchesOfFiftyAreWrittenByTheFlushRuleAndStopWritesTheRest)
{
    StartLog(ctrl.get());
    std::vector<SpectrumRecord> first, second;
    for (uint32_t c = 0; c < 50; ++c) {
        first.push_back(MakeRecord(c));
        second.push_back(MakeRecord(50 + c));
    }
    const std::string row0 = ExpectedRow(first[0]);
    ASSERT_EQ(row0.size(), 382u) << "the rows of this test have the minimal length";

    const std::string header = ExpectedHeader("run.txt");
    std::string rows;
    for (const SpectrumRecord& r : first)
        rows += ExpectedRow(r);

    AppendLogRows(ctrl.get(), first.data(), 50);
    // 49 rows (18718 > 18620 bytes) went out with one write; the 50th waits.
    EXPECT_EQ(LogBytes(), header + rows.substr(0, 49 * 382));
    EXPECT_EQ(ctrl->LogBufferFill, 382u);
    EXPECT_EQ(ctrl->LogEntryCount, 50);
    EXPECT_EQ(hooks.LastText("entries"), "Log Entry Count: 50");

    // The next batch starts behind the waiting row: the write comes after 48 of its rows.
    for (const SpectrumRecord& r : second)
        rows += ExpectedRow(r);
    AppendLogRows(ctrl.get(), second.data(), 50);
    EXPECT_EQ(LogBytes(), header + rows.substr(0, 98 * 382));
    EXPECT_EQ(ctrl->LogBufferFill, 2u * 382u);

    hooks.calls.clear();
    StopLog(ctrl.get());
    EXPECT_EQ(LogBytes(), header + rows);
    EXPECT_EQ(hooks.LastText("entries"), "Log Entry Count: 100");
    EXPECT_EQ(hooks.LastText("logfile"), "Log:");
    EXPECT_FALSE(ctrl->LogFile);
    EXPECT_EQ(ctrl->LogBuffer.get(), nullptr);
    EXPECT_EQ(ctrl->LogBufferFill, 0u);

    // The file is closed: it can now be opened without sharing.
    HANDLE exclusive = CreateFileA(LogFileName().c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(exclusive, INVALID_HANDLE_VALUE);
    CloseHandle(exclusive);
}

TEST_F(LogFixture, WaitingRowsReachTheFileASecondAfterTheLastWriteAndOnlyOnce)
{
    // A batch of n rows at `tick` (0: the window's periodic check), and the rows then in the file.
    struct Step {
        uint64_t tick;
        uint32_t batch;
        size_t rowsInFile;
    };
    const Step steps[] = {
        {5000, 3, 2},   // header and two rows written; the third waits
        {5999, 0, 2},   // 999 ms: not yet
        {6000, 0, 3},   // a second since the last write
        {6500, 0, 3},   // nothing waits: nothing is written twice
        {6800, 3, 5},   // the batch's own write at 6800 restarts the second; its tail waits
        {7700, 0, 5},   // 1700 ms since the check's write, 900 since the batch's
        {7799, 0, 5},
        {7800, 0, 6},
        {9000, 50, 55}, // 49 rows go with the batch's write, the 50th waits
        {8000, 0, 55},  // a clock reading before the last write counts as no time passed
        {9999, 0, 55},
        {10000, 0, 56},
        {10000, 0, 56},
        {60000, 0, 56},
        {61000, 2, 58}, // batches of up to two rows leave nothing waiting
        {70000, 0, 58},
    };
    StartLog(ctrl.get());
    const std::string header = ExpectedHeader("run.txt");
    std::vector<std::string> rows;
    uint32_t next = 0;
    for (const Step& step : steps) {
        SCOPED_TRACE(testing::Message() << "tick " << step.tick << " batch " << step.batch);
        hooks.tick = step.tick;
        if (step.batch) {
            std::vector<SpectrumRecord> batch;
            for (uint32_t r = 0; r < step.batch; ++r, ++next) {
                batch.push_back(MakeRecord(next));
                rows.push_back(ExpectedRow(batch.back()));
            }
            AppendLogRows(ctrl.get(), batch.data(), step.batch);
        } else {
            WriteOverdueLogRows(ctrl.get());
        }
        std::string expected = header;
        for (size_t r = 0; r < step.rowsInFile; ++r)
            expected += rows[r];
        EXPECT_EQ(LogBytes(), expected);
        EXPECT_EQ(ctrl->LogBufferFill, (rows.size() - step.rowsInFile) * 382u);
        EXPECT_EQ(ctrl->LogSize, expected.size());
    }
    EXPECT_TRUE(hooks.Of("status").empty());
    EXPECT_TRUE(hooks.Of("logoff").empty());

    // STOP still writes what waits, once.
    SpectrumRecord last[3] = {MakeRecord(next), MakeRecord(next + 1), MakeRecord(next + 2)};
    AppendLogRows(ctrl.get(), last, 3);
    std::string all = header;
    for (const std::string& row : rows)
        all += row;
    for (const SpectrumRecord& r : last)
        all += ExpectedRow(r);
    ASSERT_EQ(ctrl->LogBufferFill, 382u);
    StopLog(ctrl.get());
    EXPECT_EQ(LogBytes(), all);
    hooks.tick += 5000;
    WriteOverdueLogRows(ctrl.get());
    EXPECT_EQ(LogBytes(), all) << "a stopped log is left alone";
}

TEST_F(LogFixture, PeriodicCheckWithoutWaitingRowsMakesNoFileAndTellsNothing)
{
    hooks.tick = 100000;
    WriteOverdueLogRows(ctrl.get()); // no log
    StartLog(ctrl.get());
    hooks.tick += 5000;
    WriteOverdueLogRows(ctrl.get()); // armed, no batch yet
    EXPECT_TRUE(FolderEntries(folder.path).empty()) << "the file still waits for the first batch";
    EXPECT_FALSE(ctrl->LogFile);
    EXPECT_TRUE(hooks.calls.empty());
}

TEST_F(LogFixture, FailedPeriodicWriteIsToldAndSwitchesLoggingOff)
{
    StartLog(ctrl.get());
    const SpectrumRecord rows[3] = {MakeRecord(1), MakeRecord(2), MakeRecord(3)};
    AppendLogRows(ctrl.get(), rows, 3);
    const std::string before = LogBytes();
    ASSERT_EQ(before, ExpectedHeader("run.txt") + ExpectedRow(rows[0]) + ExpectedRow(rows[1]));
    const DWORD systemCode = SwapInReadOnlyHandle();
    hooks.calls.clear();
    hooks.tick += LogFlushIntervalMs;
    WriteOverdueLogRows(ctrl.get());
    ASSERT_EQ(hooks.Of("status").size(), 1u) << "told once: StopLog does not write the failed row again";
    EXPECT_EQ(hooks.Of("status")[0].text, Printf("Log file write error: %d", static_cast<int>(systemCode)));
    EXPECT_EQ(hooks.Of("status")[0].id, 0);
    EXPECT_EQ(hooks.Of("logoff").size(), 1u);
    EXPECT_EQ(ctrl->LogBuffer.get(), nullptr);
    EXPECT_FALSE(ctrl->LogFile);
    EXPECT_EQ(LogBytes(), before);
}

TEST_F(LogFixture, RowsThatDoNotFitTheRoomLeftAreNeverLostOrOverflowed)
{
    StartLog(ctrl.get());
    std::vector<SpectrumRecord> wide;
    std::string rows;
    for (uint32_t c = 0; c < 50; ++c) {
        SpectrumRecord r = MakeRecord(c);
        for (int i = 0; i < 15; ++i) {
            r.Module[i] = 3.0e38f;
            r.Phase[i] = -1.0e20f;
        }
        r.MeasCount = 0x80000000u + c; // printed signed
        wide.push_back(r);
        rows += ExpectedRow(r);
    }
    ASSERT_GT(ExpectedRow(wide[0]).size(), 1000u);
    AppendLogRows(ctrl.get(), wide.data(), 50);
    StopLog(ctrl.get());
    EXPECT_EQ(LogBytes(), ExpectedHeader("run.txt") + rows);
}

TEST_F(LogFixture, ExistingFileIsKeptAndTheGrowingLogCanBeRead)
{
    WriteBytes(LogFileName(), std::string(30000, 'x'));
    StartLog(ctrl.get());
    const SpectrumRecord record = MakeRecord(1);
    AppendLogRows(ctrl.get(), &record, 1);

    const std::string second = folder.File("261208_043905_run_2.txt");
    HANDLE reader = CreateFileA(second.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE) << "the log is shared for reading";
    CloseHandle(reader);
    EXPECT_EQ(ReadBytes(second), ExpectedHeader("run_2.txt") + ExpectedRow(record));
    EXPECT_EQ(LogBytes(), std::string(30000, 'x'));
}

TEST_F(LogFixture, LogsOfOneSecondEachKeepTheirOwnFileAndRows)
{
    // Operator's name, names taken before the first log, then the file and header name of
    // three logs started within the same second.
    struct Case {
        std::string chosen;
        std::vector<std::string> taken;
        std::string files[3], headerNames[3];
    };
    const std::string stamp = "261208_043905_";
    const Case cases[] = {
        {"run.txt", {}, {"run.txt", "run_2.txt", "run_3.txt"}, {"run.txt", "run_2.txt", "run_3.txt"}},
        {"run.txt", {"run.txt", "run_2.txt"}, {"run_3.txt", "run_4.txt", "run_5.txt"},
         {"run_3.txt", "run_4.txt", "run_5.txt"}},
        {"run.txt", {"run_2.txt"}, {"run.txt", "run_3.txt", "run_4.txt"}, {"run.txt", "run_3.txt", "run_4.txt"}},
        {"plain", {"plain"}, {"plain_2", "plain_3", "plain_4"}, {"plain_2", "plain_3", "plain_4"}},
        {"a.b.log", {}, {"a.b.log", "a.b_2.log", "a.b_3.log"}, {"a.b.log", "a.b_2.log", "a.b_3.log"}},
    };
    int row = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(row);
        ScratchFolder own;
        SetLogPath(own.path + c.chosen);
        for (const std::string& name : c.taken)
            WriteBytes(own.File(stamp + name), "taken " + name);
        for (int log = 0; log < 3; ++log) {
            hooks.calls.clear();
            StartLog(ctrl.get());
            const SpectrumRecord rows[2] = {MakeRecord(100 * row + 10 * log), MakeRecord(100 * row + 10 * log + 1)};
            AppendLogRows(ctrl.get(), rows, 2);
            EXPECT_EQ(hooks.LastText("logfile"), "Log: " + stamp + c.files[log]);
            StopLog(ctrl.get());
            EXPECT_TRUE(hooks.Of("status").empty()) << hooks.LastText("status");
            EXPECT_EQ(ReadBytes(own.File(stamp + c.files[log])),
                      ExpectedHeader(c.headerNames[log]) + ExpectedRow(rows[0]) + ExpectedRow(rows[1]))
                << log;
        }
        for (const std::string& name : c.taken)
            EXPECT_EQ(ReadBytes(own.File(stamp + name)), "taken " + name);
        EXPECT_EQ(FolderEntries(own.path).size(), c.taken.size() + 3);
        ++row;
    }
}

TEST_F(LogFixture, NamesThatAllExistOrGrowTooLongFailLikeACreateError)
{
    // The stamped name and _2 .. _999 taken: the 1000th name is never tried.
    for (int n = 1; n <= 999; ++n)
        WriteBytes(folder.File(n == 1 ? stampedName : Printf("261208_043905_run_%d.txt", n)), "");
    StartLog(ctrl.get());
    const SpectrumRecord record = MakeRecord(1);
    AppendLogRows(ctrl.get(), &record, 1);
    EXPECT_EQ(hooks.LastText("status"), Printf("File create error: %d", ERROR_FILE_EXISTS));
    EXPECT_EQ(hooks.Of("logoff").size(), 1u);
    EXPECT_EQ(FolderEntries(folder.path).size(), 999u);
    EXPECT_EQ(ReadBytes(LogFileName()), "");

    // A stamped name that fits but whose _2 does not: the path-length rule holds for every name.
    ScratchFolder own;
    const std::string chosen = std::string(MAX_PATH - 1 - own.path.size() - 14 - 4, 'n') + ".txt";
    SetLogPath(own.path + chosen);
    WriteBytes(own.File("261208_043905_" + chosen), "first");
    hooks.calls.clear();
    StartLog(ctrl.get());
    AppendLogRows(ctrl.get(), &record, 1);
    EXPECT_EQ(hooks.LastText("status"), Printf("File create error: %d", ERROR_FILENAME_EXCED_RANGE));
    EXPECT_EQ(hooks.Of("logoff").size(), 1u);
    EXPECT_EQ(FolderEntries(own.path).size(), 1u);
}

TEST_F(LogFixture, LongNamesAreKeptWholeAndPathsWithoutFolderUseTheCurrentOne)
{
    const std::string longName = std::string(60, 'L') + ".txt";
    SetLogPath(folder.path + longName);
    StartLog(ctrl.get());
    const SpectrumRecord record = MakeRecord(3);
    AppendLogRows(ctrl.get(), &record, 1);
    EXPECT_EQ(ReadBytes(folder.File("261208_043905_" + longName)), ExpectedHeader(longName) + ExpectedRow(record));
    StopLog(ctrl.get());

    char previous[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryA(folder.path.c_str()));
    SetLogPath("plain.txt");
    hooks.now.second = 6;
    StartLog(ctrl.get());
    AppendLogRows(ctrl.get(), &record, 1);
    StopLog(ctrl.get());
    SetCurrentDirectoryA(previous);
    EXPECT_EQ(ReadBytes(folder.File("261208_043906_plain.txt")),
              ExpectedHeader("plain.txt") + ExpectedRow(record));
}

TEST_F(LogFixture, CreateFailuresSwitchLoggingOff)
{
    // A folder that does not exist: the system's code is shown.
    SetLogPath(folder.path + "absent\\run.txt");
    const std::string name = folder.path + "absent\\" + stampedName;
    HANDLE probe = CreateFileA(name.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_EQ(probe, INVALID_HANDLE_VALUE);
    const DWORD systemCode = GetLastError();

    StartLog(ctrl.get());
    std::vector<SpectrumRecord> batch = {MakeRecord(1), MakeRecord(2)};
    AppendLogRows(ctrl.get(), batch.data(), 2);
    ASSERT_EQ(hooks.Of("status").size(), 1u);
    EXPECT_EQ(hooks.Of("status")[0].text, Printf("File create error: %d", static_cast<int>(systemCode)));
    EXPECT_EQ(hooks.Of("status")[0].id, 0);
    EXPECT_EQ(hooks.Of("logoff").size(), 1u);
    EXPECT_EQ(ctrl->LogBuffer.get(), nullptr) << "StopLog ran";
    EXPECT_EQ(ctrl->LogEntryCount, 0);

    // A full name beyond MAX_PATH fails the same way, with the system's code for it.
    hooks.calls.clear();
    SetLogPath(folder.path + std::string(250 - folder.path.size(), 'n') + ".txt");
    StartLog(ctrl.get());
    AppendLogRows(ctrl.get(), batch.data(), 2);
    ASSERT_EQ(hooks.Of("status").size(), 1u);
    EXPECT_EQ(hooks.Of("status")[0].text, Printf("File create error: %d", ERROR_FILENAME_EXCED_RANGE));
    EXPECT_EQ(hooks.Of("logoff").size(), 1u);
    EXPECT_TRUE(FolderEntries(folder.path).empty());
}

TEST_F(LogFixture, WriteFailureSwitchesLoggingOffAndDropsTheRestOfTheBatch)
{
    StartLog(ctrl.get());
    const SpectrumRecord first = MakeRecord(1);
    AppendLogRows(ctrl.get(), &first, 1);
    const std::string before = LogBytes();

    // Swap in a handle that cannot write, so the next write fails.
    const DWORD systemCode = SwapInReadOnlyHandle();

    hooks.calls.clear();
    std::vector<SpectrumRecord> batch = {MakeRecord(2), MakeRecord(3), MakeRecord(4)};
    AppendLogRows(ctrl.get(), batch.data(), 3);
    // The second row fills the buffer past the rule (764 > 760); its write fails.
    EXPECT_EQ(hooks.Of("logoff").size(), 1u);
    ASSERT_EQ(hooks.Of("status").size(), 1u) << "told once: StopLog does not write the failed rows again";
    EXPECT_EQ(hooks.Of("status")[0].text, Printf("Log file write error: %d", static_cast<int>(systemCode)));
    EXPECT_EQ(hooks.Of("status")[0].id, 0);
    const auto kindAt = [this](const std::string& kind) {
        for (size_t i = 0; i < hooks.calls.size(); ++i)
            if (hooks.calls[i].kind == kind)
                return i;
        return hooks.calls.size();
    };
    EXPECT_LT(kindAt("status"), kindAt("logoff")) << "told before logging is switched off";
    EXPECT_EQ(ctrl->LogEntryCount, 2);
    EXPECT_EQ(ctrl->LogBuffer.get(), nullptr);
    EXPECT_FALSE(ctrl->LogFile);
    EXPECT_EQ(LogBytes(), before);
    EXPECT_EQ(before, ExpectedHeader("run.txt") + ExpectedRow(first)) << "the log up to the failure";
    // Rows arriving after logging was switched off are ignored.
    AppendLogRows(ctrl.get(), batch.data(), 3);
    EXPECT_EQ(hooks.Of("logoff").size(), 1u);
}

TEST_F(LogFixture, FailedHeaderAndLastWritesAreTold)
{
    // The header: the file is made, the settings are read, the header cannot be written.
    DWORD systemCode = 0;
    hooks.onReadSettings = [this, &systemCode] { systemCode = SwapInReadOnlyHandle(); };
    StartLog(ctrl.get());
    const SpectrumRecord rows[3] = {MakeRecord(1), MakeRecord(2), MakeRecord(3)};
    AppendLogRows(ctrl.get(), rows, 1);
    hooks.onReadSettings = nullptr;
    const std::string told = Printf("Log file write error: %d", static_cast<int>(systemCode));
    ASSERT_EQ(hooks.Of("status").size(), 1u);
    EXPECT_EQ(hooks.Of("status")[0].text, told);
    EXPECT_EQ(hooks.Of("status")[0].id, 0);
    EXPECT_EQ(hooks.Of("logoff").size(), 1u);
    EXPECT_EQ(hooks.Of("logfile").size(), 1u) << "only StopLog's \"Log:\"";
    EXPECT_EQ(ctrl->LogBuffer.get(), nullptr);
    EXPECT_FALSE(ctrl->LogFile);
    EXPECT_TRUE(FolderEntries(folder.path).empty()) << "the file made for the header is removed again";

    // STOP's last write: the rows already written stay, the waiting one is told lost.
    hooks.calls.clear();
    hooks.now.second = 6;
    StartLog(ctrl.get());
    AppendLogRows(ctrl.get(), rows, 3);
    ASSERT_EQ(ctrl->LogBufferFill, ExpectedRow(rows[2]).size()) << "the third row waits for STOP";
    const std::string name = folder.File("261208_043906_run.txt");
    const std::string written = ReadBytes(name);
    EXPECT_EQ(written, ExpectedHeader("run.txt") + ExpectedRow(rows[0]) + ExpectedRow(rows[1]));
    stampedName.assign("261208_043906_run.txt");
    systemCode = SwapInReadOnlyHandle();
    StopLog(ctrl.get());
    ASSERT_EQ(hooks.Of("status").size(), 1u);
    EXPECT_EQ(hooks.Of("status")[0].text, Printf("Log file write error: %d", static_cast<int>(systemCode)));
    EXPECT_TRUE(hooks.Of("logoff").empty());
    EXPECT_EQ(hooks.LastText("logfile"), "Log:");
    EXPECT_FALSE(ctrl->LogFile);
    EXPECT_EQ(ReadBytes(name), written);
}

TEST_F(LogFixture, StartRefusesWithoutFileNameOrConnection)
{
    LogPath[0] = '\0';
    StartLog(ctrl.get());
    EXPECT_EQ(ctrl->LogBuffer.get(), nullptr);
    ASSERT_EQ(hooks.Of("box").size(), 1u);
    EXPECT_EQ(hooks.Of("box")[0].text, "No Logging directory selected!");
    EXPECT_EQ(hooks.Of("box")[0].caption, "WARNING");
    EXPECT_EQ(hooks.Of("box")[0].id, static_cast<int32_t>(MB_ICONWARNING));
    EXPECT_EQ(hooks.Of("refuse").size(), 1u);

    hooks.calls.clear();
    SetLogPath(folder.path + "run.txt");
    hooks.connected = 0;
    StartLog(ctrl.get());
    EXPECT_EQ(ctrl->LogBuffer.get(), nullptr);
    ASSERT_EQ(hooks.Of("box").size(), 1u);
    EXPECT_EQ(hooks.Of("box")[0].text, "Device is not connected!\nPress CONNECT DEVICE control");
    EXPECT_EQ(hooks.Of("refuse").size(), 1u);
    EXPECT_TRUE(FolderEntries(folder.path).empty());
}

TEST_F(LogFixture, StopWhileArmedAndRestartLeaveNothingBehind)
{
    StartLog(ctrl.get());
    char* firstBuffer = ctrl->LogBuffer.get();
    ASSERT_NE(firstBuffer, nullptr);
    for (uint32_t i = 0; i < LogBufferSize; ++i)
        ASSERT_EQ(firstBuffer[i], 0) << i;
    StopLog(ctrl.get());
    EXPECT_EQ(ctrl->LogBuffer.get(), nullptr);
    EXPECT_EQ(hooks.LastText("logfile"), "Log:");
    EXPECT_TRUE(hooks.Of("logoff").empty());
    EXPECT_TRUE(FolderEntries(folder.path).empty());
    EXPECT_EQ(CreateLogFile(ctrl.get()), -2) << "no armed log";

    // Ticking LOG DATA again while a log is still open finishes that log first.
    StartLog(ctrl.get());
    SpectrumRecord record = MakeRecord(5);
    std::vector<SpectrumRecord> three = {record, MakeRecord(6), MakeRecord(7)};
    AppendLogRows(ctrl.get(), three.data(), 3);
    ASSERT_EQ(ctrl->LogBufferFill, ExpectedRow(three[2]).size()) << "the third row waits";
    StartLog(ctrl.get());
    EXPECT_EQ(LogBytes(), ExpectedHeader("run.txt") + ExpectedRow(three[0]) + ExpectedRow(three[1]) + ExpectedRow(three[2]));
    EXPECT_FALSE(ctrl->LogFile);
    EXPECT_EQ(ctrl->LogEntryCount, 0);
    EXPECT_NE(ctrl->LogBuffer.get(), nullptr);
}

TEST_F(LogFixture, SizeWarningEvery20GiB)
{
    ctrl->LogSize = 21474836480ull;
    CheckLogSize(ctrl.get());
    EXPECT_TRUE(hooks.Of("box").empty());
    EXPECT_EQ(ctrl->LogSize, 21474836480ull);

    ctrl->LogSize = 21474836481ull;
    CheckLogSize(ctrl.get());
    ASSERT_EQ(hooks.Of("box").size(), 1u);
    EXPECT_EQ(hooks.Of("box")[0].text, "Log size is more than 20GB.\nPress LOG DATA control to stop data logging");
    EXPECT_EQ(hooks.Of("box")[0].caption, "WARNING");
    EXPECT_EQ(ctrl->LogSize, 0u);
}
