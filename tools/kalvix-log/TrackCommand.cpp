#include "CommandLine.h"
#include "Commands.h"

// Placeholder until the command lands.
int RunTrackCommand(const Arguments&)
{
    throw UsageError("the track command is not available yet");
}
