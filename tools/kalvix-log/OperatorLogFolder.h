// The folder where the operators' logs go unless they name another: Kalvix in the user's
// Documents (the known folder on Windows, ~/Documents elsewhere).
#pragma once

#include <string>

// Its path (UTF-8), made when it is not there yet; false with `error` when it cannot be found or made.
bool OperatorLogFolder(std::string& folder, std::string& error);
