// Opens an address in the user's browser (xdg-open; the shell's default browser on Windows).
#pragma once

#include <string>

// False with `error` when the browser could not be started.
bool OpenInBrowser(const std::string& address, std::string& error);
