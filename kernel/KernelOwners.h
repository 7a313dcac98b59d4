// Owners of Windows kernel objects: open files, loaded modules, threads, events and mutexes.
// Each closes what it holds exactly once, when it goes out of scope or is reset; none can be
// copied, all can be moved, and a moved-from owner holds nothing. Neither of the two values that
// mean "no handle" is ever closed: NULL, what CreateThread, _beginthreadex, CreateEvent,
// CreateMutex and LoadLibrary give on failure, and INVALID_HANDLE_VALUE, what CreateFile gives.
// An empty file owner reads INVALID_HANDLE_VALUE, every other empty owner NULL. Header only, for
// the library, the software device and the program alike.
#pragma once

#include <windows.h>

#include <utility>

// Holds one object of a kind. `Kind` names the handle type, the value an empty owner reads
// (Empty()) and how the object is closed (Close()).
template <typename Kind>
class KernelOwner {
public:
    using Handle = typename Kind::Handle;

    KernelOwner() = default;
    // Takes over `handle`; either "no handle" value leaves the owner empty.
    explicit KernelOwner(Handle handle) : held(Holds(handle) ? handle : Kind::Empty()) {}
    ~KernelOwner() { Reset(); }

    KernelOwner(KernelOwner&& other) noexcept : held(other.Release()) {}
    KernelOwner& operator=(KernelOwner&& other) noexcept
    {
        if (this != &other)
            Reset(other.Release());
        return *this;
    }
    KernelOwner(const KernelOwner&) = delete;
    KernelOwner& operator=(const KernelOwner&) = delete;

    Handle Get() const { return held; }
    explicit operator bool() const { return Holds(held); }

    // Closes the object now (if any) and takes over `handle` instead; the owner is empty
    // afterwards when `handle` is left out or is a "no handle" value.
    void Reset(Handle handle = Kind::Empty())
    {
        if (handle == held)
            return;
        if (Holds(held))
            Kind::Close(held);
        held = Holds(handle) ? handle : Kind::Empty();
    }

    // Hands the object over without closing it; the owner is empty afterwards.
    [[nodiscard]] Handle Release() { return std::exchange(held, Kind::Empty()); }

private:
    static bool Holds(Handle handle)
    {
        return handle != nullptr && static_cast<void*>(handle) != INVALID_HANDLE_VALUE;
    }

    Handle held = Kind::Empty();
};

// A file (or device) opened with CreateFile: INVALID_HANDLE_VALUE when none is open.
struct OpenFileKind {
    using Handle = HANDLE;
    static Handle Empty() { return INVALID_HANDLE_VALUE; }
    static void Close(Handle handle) { CloseHandle(handle); }
};

// A module loaded with LoadLibrary, freed with FreeLibrary.
struct LoadedModuleKind {
    using Handle = HMODULE;
    static Handle Empty() { return nullptr; }
    static void Close(Handle module) { FreeLibrary(module); }
};

// A kernel object whose maker gives NULL on failure: thread, event, mutex. The tag keeps an owner
// of one from being moved into an owner of another.
template <typename Tag>
struct NullWhenEmptyKind {
    using Handle = HANDLE;
    static Handle Empty() { return nullptr; }
    static void Close(Handle handle) { CloseHandle(handle); }
};

using OwnedFile = KernelOwner<OpenFileKind>;
using OwnedModule = KernelOwner<LoadedModuleKind>;
using OwnedThread = KernelOwner<NullWhenEmptyKind<struct ThreadTag>>;
using OwnedEvent = KernelOwner<NullWhenEmptyKind<struct EventTag>>;
using OwnedMutex = KernelOwner<NullWhenEmptyKind<struct MutexTag>>;
