#include "BrowserOpen.h"

#ifdef _WIN32
#include "data/PathText.h"

#include <windows.h>
#include <shellapi.h>
#else
#include <cerrno>
#include <cstring>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;
#endif

bool OpenInBrowser(const std::string& address, std::string& error)
{
#ifdef _WIN32
    const std::wstring wide = WideFromUtf8(address);
    const auto result = reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, L"open", wide.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    if (result <= 32) {
        error = "the browser could not be started (" + std::to_string(result) + ")";
        return false;
    }
    return true;
#else
    char program[] = "xdg-open";
    std::string argument = address;
    char* arguments[] = {program, argument.data(), nullptr};
    pid_t child = 0;
    const int failed = posix_spawnp(&child, program, nullptr, nullptr, arguments, environ);
    if (failed != 0) {
        error = std::string("xdg-open could not be started: ") + std::strerror(failed);
        return false;
    }
    // xdg-open hands the address to the browser and ends; its status says whether it could.
    int status = 0;
    if (waitpid(child, &status, 0) < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        error = "xdg-open could not open it";
        return false;
    }
    return true;
#endif
}
