#include "ProcessObjectCount.h"

#include "OwnObjectCounts.h"

#include <windows.h>

#include <cstdio>

namespace {

// The system's count of this kind, with the error it set; 0 when it has none.
DWORD AskSystem(ObjectKind kind, DWORD& error)
{
    SetLastError(0);
    DWORD count = 0;
    if (kind == ObjectKind::Handles) {
        if (!GetProcessHandleCount(GetCurrentProcess(), &count))
            count = 0;
    } else {
        count = GetGuiResources(GetCurrentProcess(), kind == ObjectKind::Gdi ? GR_GDIOBJECTS : GR_USEROBJECTS);
    }
    error = GetLastError();
    return count;
}

// A kind's name, the system's count of it and this process's own count of it.
struct KindTexts {
    const char* name;
    const char* system;
    const char* fallback;
};

const KindTexts& TextsOf(ObjectKind kind)
{
    static const KindTexts texts[] = {
        {"handles", "GetProcessHandleCount",
         "this process's entries of NtQuerySystemInformation(SystemExtendedHandleInformation)"},
        {"GDI objects", "GetGuiResources(GR_GDIOBJECTS)",
         "GDI handle table (PEB GdiSharedHandleTable), entries in use and not stock"},
        {"USER objects", "GetGuiResources(GR_USEROBJECTS)",
         "windows of this process (EnumWindows, message-only, EnumChildWindows; no menus, icons, cursors)"},
    };
    return texts[static_cast<int>(kind)];
}

// Whether this process's own count of `kind` can be had here.
bool FallbackAvailable(ObjectKind kind, std::vector<unsigned char>& handleList)
{
    switch (kind) {
    case ObjectKind::Handles:
        return CountOwnHandles(handleList).value_or(0) > 0;
    case ObjectKind::Gdi:
        return RunningUnderWine() && GdiHandleTableReadable();
    case ObjectKind::User:
        break;
    }
    return RunningUnderWine();
}

} // namespace

const char* ObjectKindName(ObjectKind kind)
{
    return TextsOf(kind).name;
}

const char* DescribeSource(ObjectKind kind, ObjectSource source)
{
    return source == ObjectSource::System ? TextsOf(kind).system
           : source == ObjectSource::Fallback ? TextsOf(kind).fallback
                                              : "n/a";
}

ProcessObjectCounter::ProcessObjectCounter()
{
    // Hold one object of each kind, so that a working count cannot give 0.
    HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
    HWND window = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    for (const ObjectKind kind : AllObjectKinds) {
        DWORD error = 0;
        const DWORD count = AskSystem(kind, error);
        char note[120];
        std::snprintf(note, sizeof note, "%s%s gave %lu (error %lu)", probeNote_.empty() ? "" : ", ",
                      TextsOf(kind).system, count, error);
        probeNote_ += note;
        if (count > 0)
            sources_[static_cast<int>(kind)] = ObjectSource::System;
        else if (FallbackAvailable(kind, handleList_))
            sources_[static_cast<int>(kind)] = ObjectSource::Fallback;
    }
    probeNote_ += ", with an event, a brush and a window held";
    DestroyWindow(window);
    DeleteObject(brush);
    CloseHandle(event);
}

std::optional<long> ProcessObjectCounter::Count(ObjectKind kind) const
{
    switch (Source(kind)) {
    case ObjectSource::System: {
        DWORD error = 0;
        return static_cast<long>(AskSystem(kind, error));
    }
    case ObjectSource::Fallback:
        if (kind == ObjectKind::Handles)
            return CountOwnHandles(handleList_);
        if (kind == ObjectKind::Gdi)
            return CountOwnGdiObjects();
        return CountOwnWindows();
    case ObjectSource::None:
        break;
    }
    return std::nullopt;
}
