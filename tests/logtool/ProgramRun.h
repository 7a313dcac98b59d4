// The built kalvix-log run as a program of its own (natively the program of this build; in the
// Windows build kalvix-log.exe, started through CreateProcessW with its arguments as UTF-16), its
// exit code and what it wrote to standard output and standard error collected.
#pragma once

#include <string>
#include <vector>

struct ProgramCall {
    std::vector<std::string> arguments;   // after the program's name, UTF-8
    std::string folder;                   // the working folder (UTF-8); empty: this program's
    std::string standardOutput;           // a file standard output goes to; empty: collected
};

struct ProgramResult {
    int exitCode = -1;   // -1 when ended by a signal
    int signal = 0;      // the signal that ended it (POSIX)
    std::string out, err;
};

// A started program, for tests that interrupt it.
struct StartedProgram {
    long long process = 0;   // the process id (POSIX) or handle (Windows)
    std::string outFile, errFile;
};

StartedProgram StartKalvixLog(const ProgramCall& call);
ProgramResult FinishKalvixLog(StartedProgram& program);
// Ends a program that runs until it is told to (SIGTERM; TerminateProcess on Windows).
void EndKalvixLog(StartedProgram& program);
// What the program has written to standard output so far.
std::string OutputSoFar(const StartedProgram& program);
ProgramResult RunKalvixLog(const ProgramCall& call);
