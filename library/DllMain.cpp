#include "LibraryState.h"

#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID)
{
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        DisableThreadLibraryCalls(module);
        return AttachLibrary(module) ? TRUE : FALSE;
    case DLL_PROCESS_DETACH:
        DetachLibrary();
        return TRUE;
    default:
        return TRUE;
    }
}
