#include "CommandLine.h"
#include "Commands.h"

// Placeholder until the command lands.
int RunCheckCommand(const Arguments&)
{
    throw UsageError("the check command is not available yet");
}
