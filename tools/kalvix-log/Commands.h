// The kalvix-log commands. Each takes the arguments after its name and returns the exit code;
// it throws UsageError or InputError for bad usage or bad input.
#pragma once

#include <string>
#include <vector>

using Arguments = std::vector<std::string>;

int RunInfoCommand(const Arguments& arguments);
int RunCsvCommand(const Arguments& arguments);
int RunPlotCommand(const Arguments& arguments);
int RunFitCommand(const Arguments& arguments);
int RunTrackCommand(const Arguments& arguments);
int RunCheckCommand(const Arguments& arguments);
int RunLiveCommand(const Arguments& arguments);

// A command's help text is printed, and 0 returned, when its arguments hold --help or -h.
bool WantsHelp(const Arguments& arguments);
