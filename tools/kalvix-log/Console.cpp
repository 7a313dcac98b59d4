#include "Console.h"

#ifdef _WIN32
#include <windows.h>

#include <cstdlib>

namespace {

UINT consoleCodePage = 0;   // the console's own, given back at the end

void RestoreCodePage()
{
    if (consoleCodePage)
        SetConsoleOutputCP(consoleCodePage);
}

BOOL WINAPI RestoreOnConsoleEvent(DWORD)
{
    RestoreCodePage();
    return FALSE;
}

bool IsConsole(DWORD which)
{
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(which), &mode) != 0;
}

} // namespace

void ShowUtf8OnConsole()
{
    if (!IsConsole(STD_OUTPUT_HANDLE) && !IsConsole(STD_ERROR_HANDLE))
        return;
    const UINT current = GetConsoleOutputCP();
    if (current == CP_UTF8 || !SetConsoleOutputCP(CP_UTF8))
        return;
    consoleCodePage = current;
    std::atexit(RestoreCodePage);
    SetConsoleCtrlHandler(RestoreOnConsoleEvent, TRUE);
}
#else
void ShowUtf8OnConsole() {}
#endif
