#include "ProcessObjectCheck.h"

#include <windows.h>

#include <functional>
#include <vector>

namespace {

constexpr int Events = 100;
constexpr int Brushes = 100;

// Makes the objects, counts, deletes them, counts again; true when the count rose by exactly
// `made` and came back.
bool Follows(const ProcessObjectCounter& counter, ObjectKind kind, const char* what,
             const std::function<int()>& make, const std::function<void()>& remove, FILE* out)
{
    const auto before = counter.Count(kind);
    const int made = make();
    const auto with = counter.Count(kind);
    remove();
    const auto after = counter.Count(kind);
    const bool ok = before && with && after && *with - *before == made && *after == *before;
    std::fprintf(out, "%s: %ld before, %ld with %d %s made, %ld after deleting them: %s\n", ObjectKindName(kind),
                 before.value_or(-1), with.value_or(-1), made, what, after.value_or(-1), ok ? "exact" : "NOT exact");
    return ok;
}

// 4 top-level windows, 1 message-only window and 5 children of the first top-level one.
std::vector<HWND> MakeWindows()
{
    std::vector<HWND> windows;
    const HINSTANCE instance = GetModuleHandleA(nullptr);
    for (int i = 0; i < 4; ++i)
        windows.push_back(CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, instance, nullptr));
    windows.push_back(CreateWindowExA(0, "STATIC", "", 0, 0, 0, 10, 10, HWND_MESSAGE, nullptr, instance, nullptr));
    for (int i = 0; i < 5; ++i)
        windows.push_back(CreateWindowExA(0, "STATIC", "", WS_CHILD, 0, 0, 5, 5, windows[0], nullptr, instance, nullptr));
    return windows;
}

} // namespace

ProcessObjectCheck CheckProcessObjectCounts(const ProcessObjectCounter& counter, FILE* out)
{
    ProcessObjectCheck check;
    std::vector<HANDLE> events;
    check.followed[static_cast<int>(ObjectKind::Handles)] = Follows(
        counter, ObjectKind::Handles, "events",
        [&] {
            for (int i = 0; i < Events; ++i)
                events.push_back(CreateEventA(nullptr, FALSE, FALSE, nullptr));
            return Events;
        },
        [&] {
            for (HANDLE event : events)
                CloseHandle(event);
        },
        out);

    std::vector<HBRUSH> brushes;
    check.followed[static_cast<int>(ObjectKind::Gdi)] = Follows(
        counter, ObjectKind::Gdi, "brushes",
        [&] {
            for (int i = 0; i < Brushes; ++i)
                brushes.push_back(CreateSolidBrush(RGB(i, 0, 0)));
            return Brushes;
        },
        [&] {
            for (HBRUSH brush : brushes)
                DeleteObject(brush);
        },
        out);

    // The system gives a thread with top-level windows a window of its own (the default IME
    // window under Wine) and takes it away with the last of them: one window is held throughout,
    // so that only the windows made here come and go.
    HWND anchor = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    std::vector<HWND> windows;
    check.followed[static_cast<int>(ObjectKind::User)] = Follows(
        counter, ObjectKind::User, "windows",
        [&] {
            windows = MakeWindows();
            return static_cast<int>(windows.size());
        },
        [&] {
            for (auto window = windows.rbegin(); window != windows.rend(); ++window)
                DestroyWindow(*window);
        },
        out);
    DestroyWindow(anchor);
    return check;
}
