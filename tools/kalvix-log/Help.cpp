#include "Commands.h"

bool WantsHelp(const Arguments& arguments)
{
    for (const std::string& argument : arguments)
        if (argument == "--help" || argument == "-h")
            return true;
    return false;
}
