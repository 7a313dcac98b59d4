#include "LibraryState.h"
#include "PlatformOps.h"

#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID reserved)
{
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        DisableThreadLibraryCalls(module);
        return AttachLibrary(module) ? TRUE : FALSE;
    case DLL_PROCESS_DETACH:
        // `reserved` is set when the process is ending rather than the library being freed.
        if (reserved) {
            DetachLibrary(Teardown::ProcessEnd);
        } else {
            PlatformUnloading();
            DetachLibrary(Teardown::Unload);
        }
        return TRUE;
    default:
        return TRUE;
    }
}
