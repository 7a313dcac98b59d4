// The shipped DLL as any program loads it: its exports, and a connect with no device attached.
#include "KalvixCtrl.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> ExportedNames(HMODULE module)
{
    auto* base = reinterpret_cast<const uint8_t*>(module);
    auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& entry = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    auto* exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + entry.VirtualAddress);
    auto* names = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
    std::vector<std::string> result;
    for (DWORD i = 0; i < exports->NumberOfNames; ++i)
        result.emplace_back(reinterpret_cast<const char*>(base + names[i]));
    return result;
}

TEST(ShippedLibrary, ExportsExactlyTheTwoEntriesAndFailsToConnectWithoutADevice)
{
    HMODULE module = LoadLibraryA("KalvixCtrl.dll");
    ASSERT_NE(module, nullptr) << GetLastError();
    EXPECT_EQ(ExportedNames(module), (std::vector<std::string>{"GetDLLVersion", "KalvixControl"}));

    auto version = reinterpret_cast<GetDLLVersionProc>(reinterpret_cast<void*>(GetProcAddress(module, "GetDLLVersion")));
    auto control = reinterpret_cast<KalvixControlProc>(reinterpret_cast<void*>(GetProcAddress(module, "KalvixControl")));
    ASSERT_NE(version, nullptr);
    ASSERT_NE(control, nullptr);
    ActivityCounters counters{};
    EXPECT_STREQ(version(&counters), "1.20");

    // No device here: the class is either not installed (55) or has no instance (1167).
    char serial[16] = {};
    uint32_t index = 0;
    const std::string text = control(CMD_CONNECT, 0, &index, reinterpret_cast<uint8_t*>(serial));
    EXPECT_TRUE(text.rfind("ERROR: [00055] ", 0) == 0 || text.rfind("ERROR: [01167] ", 0) == 0) << text;
    EXPECT_EQ(std::string(control(CMD_DISCONNECT, 0, nullptr, nullptr)), "ERROR: Device already disconnected.");
    EXPECT_TRUE(FreeLibrary(module));
}

// The shipped library's code, with a scripted device behind it, freed while it measures: the
// unload stops the device, ends the reader (which cannot finish ending while the loader lock is
// held) and closes the device at once; the reader thread is gone afterwards and a program that
// loads the library again connects.
TEST(ShippedLibrary, FreedWhileMeasuringItUnloadsPromptlyAndItsReaderEnds)
{
    char exe[MAX_PATH];
    std::string path(exe, GetModuleFileNameA(nullptr, exe, MAX_PATH));
    path.erase(path.find_last_of("\\/") + 1);
    path += "scripted\\KalvixCtrl.dll";
    ASSERT_EQ(GetModuleHandleA("KalvixCtrl.dll"), nullptr);
    for (int cycle = 0; cycle < 3; ++cycle) {
        SCOPED_TRACE(cycle);
        HMODULE module = LoadLibraryA(path.c_str());
        ASSERT_NE(module, nullptr) << path;
        auto control = reinterpret_cast<KalvixControlProc>(reinterpret_cast<void*>(GetProcAddress(module, "KalvixControl")));
        auto feed = reinterpret_cast<void (*)(uint32_t)>(reinterpret_cast<void*>(GetProcAddress(module, "ScriptedDeviceFeed")));
        auto readerId = reinterpret_cast<DWORD (*)()>(reinterpret_cast<void*>(GetProcAddress(module, "ScriptedReaderThreadId")));
        ASSERT_TRUE(control && feed && readerId);
        char serial[16] = {};
        uint32_t index = 99;
        ASSERT_EQ(control(CMD_CONNECT, 0, &index, reinterpret_cast<uint8_t*>(serial)), nullptr);
        EXPECT_EQ(index, 0u);
        ASSERT_EQ(control(CMD_START_MEASUREMENT, 0, nullptr, nullptr), nullptr);
        feed(2);
        std::vector<uint8_t> spectra(8 * 192);
        uint32_t delivered = 0;
        for (int i = 0; i < 50 && delivered == 0; ++i) // the reader may be slow to be scheduled
            control(CMD_GET_SPECTRA, 8, &delivered, spectra.data());
        EXPECT_GT(delivered, 0u);
        const HANDLE reader = OpenThread(SYNCHRONIZE, FALSE, readerId());
        ASSERT_NE(reader, nullptr);

        const DWORD start = GetTickCount();
        ASSERT_TRUE(FreeLibrary(module));
        EXPECT_LT(GetTickCount() - start, 1000u) << "the unload waited for the reader under the loader lock";
        EXPECT_EQ(GetModuleHandleA("KalvixCtrl.dll"), nullptr);
        EXPECT_EQ(WaitForSingleObject(reader, 5000), static_cast<DWORD>(WAIT_OBJECT_0)) << "the reader thread ended";
        CloseHandle(reader);
    }
}

} // namespace
