// The handles, GDI objects and USER objects this process holds, for the soak run: the system's
// own counts where they work (GetProcessHandleCount, GetGuiResources); where one gives 0 while
// this process holds such an object (Wine 8 implements none of them), this process's own count
// (OwnObjectCounts.h). The USER count is then the windows only: menus, icons, cursors, hooks and
// the other USER objects are not counted. A count that cannot be had is empty ("n/a" in the
// CSV), never a made-up number.
#pragma once

#include <optional>
#include <string>
#include <vector>

enum class ObjectKind { Handles, Gdi, User };
enum class ObjectSource { System, Fallback, None };

constexpr ObjectKind AllObjectKinds[] = {ObjectKind::Handles, ObjectKind::Gdi, ObjectKind::User};

// "handles", "GDI objects", "USER objects".
const char* ObjectKindName(ObjectKind kind);
// Where the count comes from, for the CSV's notes and the output: "GetGuiResources(GR_GDIOBJECTS)".
const char* DescribeSource(ObjectKind kind, ObjectSource source);

class ProcessObjectCounter {
public:
    // Asks the system's counts while holding an event, a brush and a window of its own, and picks
    // each count's source.
    ProcessObjectCounter();
    std::optional<long> Count(ObjectKind kind) const;
    ObjectSource Source(ObjectKind kind) const { return sources_[static_cast<int>(kind)]; }
    // Gives up a count (it then reads n/a), e.g. one that failed its check.
    void Drop(ObjectKind kind) { sources_[static_cast<int>(kind)] = ObjectSource::None; }
    // What the system's counts said: "GetProcessHandleCount 0, GetGuiResources GDI 0 (error 120) ...".
    const std::string& ProbeNote() const { return probeNote_; }

private:
    ObjectSource sources_[3] = {ObjectSource::None, ObjectSource::None, ObjectSource::None};
    std::string probeNote_;
    mutable std::vector<unsigned char> handleList_;   // reused by the handle count
};
