// A stand-in device library for the start-up tests: it answers the version request with a text
// the test chooses and records the commands it receives. Built once with both entries and once
// without GetDLLVersion.
#include <windows.h>

#include <cstdint>
#include <cstring>

namespace {
char VersionText[32] = "1.20";
uint32_t Commands[64];
uint32_t* Records[64];
LONG CommandCount = 0;
char* RegisteredCounters = nullptr;
} // namespace

extern "C" {

__declspec(dllexport) char* KalvixControl(uint32_t command, uint32_t, uint32_t* record, uint8_t*)
{
    LONG index = CommandCount;
    if (index < 64) {
        Commands[index] = command;
        Records[index] = record;
        CommandCount = index + 1;
    }
    return nullptr;
}

#ifndef PROBE_WITHOUT_VERSION
__declspec(dllexport) char* GetDLLVersion(void* counters)
{
    RegisteredCounters = static_cast<char*>(counters);
    return VersionText;
}
#endif

__declspec(dllexport) void ProbeSetVersion(const char* text)
{
    std::strncpy(VersionText, text, sizeof VersionText - 1);
}

// Copies out the commands received so far and forgets them; returns their number.
__declspec(dllexport) int ProbeTakeCommands(uint32_t* commands, uint32_t** records, int room)
{
    int count = CommandCount < room ? CommandCount : room;
    for (int i = 0; i < count; ++i) {
        commands[i] = Commands[i];
        records[i] = Records[i];
    }
    CommandCount = 0;
    return count;
}

__declspec(dllexport) void* ProbeRegisteredCounters()
{
    return RegisteredCounters;
}
}
