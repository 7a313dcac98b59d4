#include "CommandLine.h"
#include "Commands.h"

// Placeholder until the command lands.
int RunPlotCommand(const Arguments&)
{
    throw UsageError("the plot command is not available yet");
}
