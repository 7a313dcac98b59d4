#include "LibraryBinding.h"

#include <utility>

// Program-wide: the one loaded library, which CallKalvix reaches from the window and the poll thread.
KalvixLibrary BoundLibrary{};
// Program-wide on purpose: the tests load other libraries through the program's own start-up.
const char* KalvixLibraryFile = "KalvixCtrl.dll";

namespace {
constexpr char NotBoundText[] = "ERROR: Dll module is not initialized correctly.";
}

bool IsAcceptedLibraryVersion(const char* text)
{
    return text && lstrcmpiA(text, KALVIX_LIBRARY_VERSION) == 0;
}

LibraryBindResult BindKalvixLibrary(const char* fileName, ActivityCounters* counters, OwnedModule* loaded,
                                    KalvixLibrary* library)
{
    *library = KalvixLibrary{};
    SetDllDirectoryA("");
    // Freed again on every failure below.
    OwnedModule module(LoadLibraryA(fileName));
    if (!module)
        return LibraryBindResult::NotLoaded;
    auto control = reinterpret_cast<KalvixControlProc>(reinterpret_cast<void*>(GetProcAddress(module.Get(), "KalvixControl")));
    if (!control)
        return LibraryBindResult::NoControlEntry;
    auto version = reinterpret_cast<GetDLLVersionProc>(reinterpret_cast<void*>(GetProcAddress(module.Get(), "GetDLLVersion")));
    if (!version)
        return LibraryBindResult::NoVersionEntry;
    // The refused library must not keep the counters' address past its unloading.
    if (!IsAcceptedLibraryVersion(version(counters)))
        return LibraryBindResult::WrongVersion;
    library->Module = module.Get();
    library->Control = control;
    library->Version = version;
    *loaded = std::move(module);
    return LibraryBindResult::Bound;
}

void UnbindKalvixLibrary(OwnedModule* loaded, KalvixLibrary* library)
{
    loaded->Reset();
    *library = KalvixLibrary{};
}

const char* BindFailureText(LibraryBindResult result)
{
    switch (result) {
    case LibraryBindResult::Bound:
        return "";
    case LibraryBindResult::NotLoaded:
        return "Error loading 'KalvixCtrl.dll'\nThis library must be copied from Ostrel software package to "
               "the same folder where this executable locates.";
    case LibraryBindResult::NoControlEntry:
        return "KalvixControl interface module not loaded!";
    case LibraryBindResult::NoVersionEntry:
        return "GetDLLVersion module not loaded!";
    case LibraryBindResult::WrongVersion:
        return "Incorrect DLL module version!";
    }
    return "";
}

const char* CallKalvix(uint32_t command, uint32_t param, uint32_t* record, void* data)
{
    if (!BoundLibrary.Control)
        return NotBoundText;
    return BoundLibrary.Control(command, param, record, static_cast<uint8_t*>(data));
}
