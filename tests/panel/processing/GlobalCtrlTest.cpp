#include "GlobalCtrl.h"
#include "AfeRecord.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <thread>

// Fields in the record's order.
static_assert(offsetof(GlobalCtrl, MainWindow) < offsetof(GlobalCtrl, I2cWindow));
static_assert(offsetof(GlobalCtrl, ConfViewWindow) < offsetof(GlobalCtrl, PollThread));
static_assert(offsetof(GlobalCtrl, RunFlag) < offsetof(GlobalCtrl, SpectraPerPoll));
static_assert(offsetof(GlobalCtrl, GpioStatusWord) < offsetof(GlobalCtrl, DividerTable));
static_assert(offsetof(GlobalCtrl, AfePresent) < offsetof(GlobalCtrl, SpectrumBuffer));
static_assert(offsetof(GlobalCtrl, LogSize) < offsetof(GlobalCtrl, Configuration));
static_assert(offsetof(GlobalCtrl, DividerIndex) < offsetof(GlobalCtrl, AfeArea));
static_assert(offsetof(GlobalCtrl, DeviceSerial) < offsetof(GlobalCtrl, Text));
static_assert(sizeof(GlobalCtrl::PollThread) == 4 && sizeof(GlobalCtrl::SpectraPerPoll) == 2);
static_assert(sizeof(GlobalCtrl::LogSize) == 8 && sizeof(GlobalCtrl::DividerIndex) == 2);
static_assert(sizeof(GlobalCtrl::Text) == 1024 && sizeof(GlobalCtrl::DeviceIdentification) == 74);

TEST(GlobalCtrl, CreatedZeroFilledWithItsInitialValues)
{
    HWND window = reinterpret_cast<HWND>(static_cast<uintptr_t>(0x1234));
    std::unique_ptr<GlobalCtrl, void (*)(GlobalCtrl*)> ctrl{CreateGlobalCtrl(window), FreeGlobalCtrl};
    ASSERT_NE(ctrl, nullptr);
    EXPECT_EQ(ctrl->MainWindow, window);
    EXPECT_EQ(ctrl->DividerTable, DividersLookup);
    EXPECT_STREQ(ctrl->GainNames[0], "1x");
    EXPECT_STREQ(ctrl->GainNames[1], "2x");
    EXPECT_STREQ(ctrl->GainNames[2], "5x");
    EXPECT_STREQ(ctrl->GainNames[3], "10x");
    EXPECT_EQ(ctrl->RunFlag.load(), 0);
    EXPECT_FALSE(ctrl->LogFile);
    EXPECT_EQ(ctrl->LogBuffer.get(), nullptr);
    EXPECT_EQ(ctrl->LogSize, 0u);
    EXPECT_EQ(ctrl->AfePresent, 0);
    EXPECT_EQ(ctrl->SpectrumBuffer, nullptr);
    EXPECT_STREQ(reinterpret_cast<const char*>(ctrl->AfeArea), "AFE Disconnected");
    for (size_t i = sizeof "AFE Disconnected"; i < AfeAreaSize; ++i)
        ASSERT_EQ(ctrl->AfeArea[i], 0) << i;
    const uint8_t* config = reinterpret_cast<const uint8_t*>(&ctrl->Configuration);
    for (size_t i = 0; i < sizeof ctrl->Configuration; ++i)
        ASSERT_EQ(config[i], 0);
    EXPECT_EQ(ctrl->DeviceIdentification[0], 0);
    EXPECT_EQ(ctrl->Text[0], 0);
}

TEST(GlobalCtrl, DividerTableHoldsTheLibrarysDividers)
{
    const uint16_t expected[] = {1,   2,   4,   6,   8,   10,  12,  14,  16,  20,   24,   28,   32,
                                 40,  48,  56,  64,  80,  96,  112, 128, 160, 192,  196,  224,  256,
                                 320, 384, 448, 512, 640, 768, 896, 1024, 1280, 1536, 1792};
    static_assert(std::size(expected) == DividerCount);
    std::unique_ptr<GlobalCtrl, void (*)(GlobalCtrl*)> ctrl{CreateGlobalCtrl(nullptr), FreeGlobalCtrl};
    for (size_t i = 0; i < DividerCount; ++i)
        EXPECT_EQ(ctrl->DividerTable[i], expected[i]) << i;
}

TEST(GlobalCtrl, DataBuffIsZeroWithTheFirstRecordMarked)
{
    std::unique_ptr<SpectrumRecord, void (*)(SpectrumRecord*)> records{CreateDataBuff(), FreeDataBuff};
    ASSERT_NE(records, nullptr);
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(records.get());
    uint16_t marker;
    std::memcpy(&marker, bytes + 4, 2);
    EXPECT_EQ(marker, 192);
    for (size_t i = 0; i < DataBuffRecords * sizeof(SpectrumRecord); ++i) {
        if (i != 4) {
            ASSERT_EQ(bytes[i], 0) << i;
        }
    }
    records.get()[3].MeasCount = 77;
    records.get()[0].reserved4 = 0;
    ResetDataBuff(records.get());
    EXPECT_EQ(records.get()[3].MeasCount, 0u);
    EXPECT_EQ(records.get()[0].reserved4, 192);
}

// The library adds to the activity counters from its own threads while the device watch takes
// them: nothing added is lost or counted twice, and each counter is taken alone. Both sides run
// at once for a million takes.
TEST(GlobalCtrl, ActivityCountersLoseNothingTakenWhileTheLibraryAdds)
{
    ProgramActivityCounters = {0, 30};
    std::atomic<bool> started{false}, stop{false};
    uint64_t added = 0;
    std::thread library([&] {
        started = true;
        while (!stop.load()) {
            InterlockedExchangeAdd(reinterpret_cast<volatile LONG*>(&ProgramActivityCounters.bytesReceived), 3);
            added += 3;
        }
    });
    while (!started.load())
        std::this_thread::yield();
    uint64_t taken = 0;
    for (int i = 0; i < 1000000; ++i)
        taken += TakeActivityCounter(ProgramActivityCounters.bytesReceived);
    stop = true;
    library.join();
    taken += TakeActivityCounter(ProgramActivityCounters.bytesReceived);
    EXPECT_EQ(taken, added);
    EXPECT_EQ(ProgramActivityCounters.bytesReceived, 0u);
    EXPECT_EQ(TakeActivityCounter(ProgramActivityCounters.bytesSent), 30u);
    EXPECT_EQ(ProgramActivityCounters.bytesSent, 0u);
}

// The GPIO and error words are stored whole by the library's reader thread and read, not taken:
// every read gives one of the stored values, and the word stays as stored. Both sides run at
// once for a million reads.
TEST(GlobalCtrl, LibraryWordsReadWhileStoredAreWholeAndStay)
{
    std::unique_ptr<GlobalCtrl, void (*)(GlobalCtrl*)> ctrl{CreateGlobalCtrl(nullptr), FreeGlobalCtrl};
    constexpr uint32_t First = 0x0000FFFF, Second = 0xFFFF0000;
    ctrl->GpioStatusWord = First;
    std::atomic<bool> started{false}, stop{false};
    std::thread library([&] {
        started = true;
        for (uint32_t i = 0; !stop.load(); ++i)
            InterlockedExchange(reinterpret_cast<volatile LONG*>(&ctrl->GpioStatusWord), static_cast<LONG>(i % 2 ? First : Second));
        InterlockedExchange(reinterpret_cast<volatile LONG*>(&ctrl->GpioStatusWord), static_cast<LONG>(Second));
    });
    while (!started.load())
        std::this_thread::yield();
    int mixed = 0;
    for (int i = 0; i < 1000000; ++i) {
        const uint32_t word = ReadLibraryWord(ctrl->GpioStatusWord);
        mixed += word != First && word != Second;
    }
    stop = true;
    library.join();
    EXPECT_EQ(mixed, 0);
    EXPECT_EQ(ReadLibraryWord(ctrl->GpioStatusWord), Second) << "the last value stored";
    EXPECT_EQ(ctrl->GpioStatusWord, Second) << "reading leaves the word as it was";
}
