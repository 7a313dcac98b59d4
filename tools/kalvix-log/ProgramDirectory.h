// The directory of the running kalvix-log program (UTF-8), where files that travel with it
// (the pictures' font) are found; empty when it cannot be told.
#pragma once

#include <string>

std::string ProgramDirectory();
