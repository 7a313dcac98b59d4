#include "CommandLine.h"
#include "Commands.h"

// Placeholder until the command lands.
int RunCsvCommand(const Arguments&)
{
    throw UsageError("the csv command is not available yet");
}
