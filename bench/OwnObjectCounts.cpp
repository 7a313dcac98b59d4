#include "OwnObjectCounts.h"

#include <windows.h>
#include <winternl.h>

#include <algorithm>
#include <cstdint>

namespace {

// One entry of the GDI handle table (64-bit layout, 24 bytes): the object's address, the owner
// (process id and lock count), the handle's upper word (7 bits of type, the stock-object flag and
// a generation), the base type (0 for a free entry under Wine), flags and the user-mode pointer.
struct GdiHandleEntry {
    uint64_t object;
    uint32_t owner;
    uint8_t extendedType : 7;
    uint8_t stockObject : 1;
    uint8_t generation;
    uint8_t type;
    uint8_t flags;
    uint64_t userPointer;
};
static_assert(sizeof(GdiHandleEntry) == 24);
constexpr size_t GdiHandleCount = 0x10000;
constexpr size_t PebGdiSharedHandleTableOffset = 0xF8;   // 64-bit PEB
constexpr uint8_t GdiBrushType = 0x10;

// SystemExtendedHandleInformation: a count and a reserved word, then one entry per open handle
// of every process.
constexpr auto SystemExtendedHandleInformation = static_cast<SYSTEM_INFORMATION_CLASS>(64);
struct SystemHandleEntry {
    void* object;
    ULONG_PTR uniqueProcessId;
    ULONG_PTR handleValue;
    ULONG grantedAccess;
    USHORT creatorBackTraceIndex;
    USHORT objectTypeIndex;
    ULONG handleAttributes;
    ULONG reserved;
};
struct SystemHandleList {
    ULONG_PTR numberOfHandles;
    ULONG_PTR reserved;
    SystemHandleEntry handles[1];
};
constexpr NTSTATUS StatusInfoLengthMismatch = static_cast<NTSTATUS>(0xC0000004);

const GdiHandleEntry* GdiHandleTable()
{
    PROCESS_BASIC_INFORMATION basic{};
    if (NtQueryInformationProcess(GetCurrentProcess(), ProcessBasicInformation, &basic, sizeof basic, nullptr) != 0 ||
        !basic.PebBaseAddress)
        return nullptr;
    const auto* peb = reinterpret_cast<const uint8_t*>(basic.PebBaseAddress);
    return *reinterpret_cast<const GdiHandleEntry* const*>(peb + PebGdiSharedHandleTableOffset);
}

BOOL CALLBACK CountOwnWindow(HWND window, LPARAM counter)
{
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == GetCurrentProcessId())
        ++*reinterpret_cast<long*>(counter);
    return TRUE;
}

BOOL CALLBACK CountOwnTree(HWND window, LPARAM counter)
{
    CountOwnWindow(window, counter);
    EnumChildWindows(window, CountOwnWindow, counter);
    return TRUE;
}

} // namespace

bool RunningUnderWine()
{
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

// The table is taken only when the stock white brush's entry reads as a stock brush.
bool GdiHandleTableReadable()
{
    const GdiHandleEntry* table = GdiHandleTable();
    if (!table)
        return false;
    const auto handle = reinterpret_cast<uintptr_t>(GetStockObject(WHITE_BRUSH));
    const GdiHandleEntry& entry = table[handle & 0xFFFF];
    return entry.type == GdiBrushType && entry.stockObject;
}

std::optional<long> CountOwnGdiObjects()
{
    const GdiHandleEntry* table = GdiHandleTable();
    if (!table)
        return std::nullopt;
    long count = 0;
    for (size_t i = 0; i < GdiHandleCount; ++i)
        if (table[i].type != 0 && !table[i].stockObject)
            ++count;
    return count;
}

std::optional<long> CountOwnHandles(std::vector<unsigned char>& buffer)
{
    if (buffer.empty())
        buffer.resize(1 << 16);
    NTSTATUS status;
    ULONG needed = 0;
    while ((status = NtQuerySystemInformation(SystemExtendedHandleInformation, buffer.data(),
                                              static_cast<ULONG>(buffer.size()), &needed)) == StatusInfoLengthMismatch &&
           buffer.size() < (64u << 20))
        buffer.resize(std::max<size_t>(buffer.size() * 2, needed + 4096));
    if (status != 0)
        return std::nullopt;
    const auto* list = reinterpret_cast<const SystemHandleList*>(buffer.data());
    const ULONG_PTR self = GetCurrentProcessId();
    long count = 0;
    for (ULONG_PTR i = 0; i < list->numberOfHandles; ++i)
        if (list->handles[i].uniqueProcessId == self)
            ++count;
    return count;
}

long CountOwnWindows()
{
    long count = 0;
    EnumWindows(CountOwnTree, reinterpret_cast<LPARAM>(&count));
    for (HWND window = FindWindowExA(HWND_MESSAGE, nullptr, nullptr, nullptr); window;
         window = FindWindowExA(HWND_MESSAGE, window, nullptr, nullptr))
        CountOwnTree(window, reinterpret_cast<LPARAM>(&count));
    return count;
}
