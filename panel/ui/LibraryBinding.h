// The device library, loaded by file name at start-up, and its two exports bound by name.
#pragma once

#include <windows.h>

#include "KalvixCtrl.h"
#include "KernelOwners.h"

#include <cstdint>

struct KalvixLibrary {
    HMODULE Module; // lent: the owner of the loaded module frees it
    KalvixControlProc Control;
    GetDLLVersionProc Version;
};

enum class LibraryBindResult {
    Bound,
    NotLoaded,      // the file is missing or cannot be loaded
    NoControlEntry, // no "KalvixControl" export
    NoVersionEntry, // no "GetDLLVersion" export
    WrongVersion,   // the version text is not "1.20"
};

// The program's bound library, set at main window creation and cleared when it is destroyed
// (the main window's state owns the module meanwhile).
extern KalvixLibrary BoundLibrary;
// The file the program loads, "KalvixCtrl.dll"; tests point it at other libraries.
extern const char* KalvixLibraryFile;

// Loads the file with the current directory taken out of the search path (so the program's own
// folder comes first and a planted copy in a working folder is never loaded), binds both exports
// and checks the version, handing `counters` to the library. Bound, `loaded` owns the module and
// `library` holds it with its entries; on any failure nothing stays loaded and both are empty.
LibraryBindResult BindKalvixLibrary(const char* fileName, ActivityCounters* counters, OwnedModule* loaded,
                                    KalvixLibrary* library);
// Frees the module, then empties `library`.
void UnbindKalvixLibrary(OwnedModule* loaded, KalvixLibrary* library);

// "1.20" in any letter case, and nothing else.
bool IsAcceptedLibraryVersion(const char* text);

// The message box text of a failed binding.
const char* BindFailureText(LibraryBindResult result);

// One library command through the bound entry; before binding (or after unloading) it answers
// with the library's own not-initialised text rather than pretending success.
const char* CallKalvix(uint32_t command, uint32_t param, uint32_t* record, void* data);
