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

} // namespace
