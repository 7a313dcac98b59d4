#include "CommandLine.h"
#include "Commands.h"

// Placeholder until the command lands.
int RunInfoCommand(const Arguments&)
{
    throw UsageError("the info command is not available yet");
}
