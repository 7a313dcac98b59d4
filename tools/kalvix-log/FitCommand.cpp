#include "CommandLine.h"
#include "Commands.h"

// Placeholder until the command lands.
int RunFitCommand(const Arguments&)
{
    throw UsageError("the fit command is not available yet");
}
