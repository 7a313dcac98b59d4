// Temporary files that must not outlive an interrupted program. The program calls
// RemoveTemporaryFilesOnInterrupt() once at start; from then on Ctrl-C, SIGTERM, SIGHUP and a
// write to a closed pipe (SIGPIPE) remove every registered file and then end the program as the
// signal would have (a signal ignored when the program started stays ignored). On Windows the
// console's Ctrl-C, Ctrl-Break, close, log-off and shut-down events remove them before the
// process ends; a file registered there must be open with FILE_SHARE_DELETE.
#pragma once

#include <filesystem>

constexpr int MostTemporaryFiles = 8;
constexpr size_t LongestTemporaryPath = 4095;   // in the system's characters

void RemoveTemporaryFilesOnInterrupt();

// A handle for ForgetTemporaryFile; -1 when the path is longer than LongestTemporaryPath or
// MostTemporaryFiles are registered already (the file is then not removed on an interrupt).
int RegisterTemporaryFile(const std::filesystem::path& path);
void ForgetTemporaryFile(int handle);
