// A program that knows nothing of the software device: it loads "KalvixCtrl.dll" by name,
// binds the two exports and measures. Run from the emulated library's folder it measures the
// emulated device. Exit code 0 when 200 spectra arrived with consecutive MeasCounts.
#include "KalvixCtrl.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

int Report(const char* what, const char* text)
{
    fprintf(stderr, "%s: %s\n", what, text ? text : "(no text)");
    return 1;
}

} // namespace

int main()
{
    HMODULE library = LoadLibraryA("KalvixCtrl.dll");
    if (!library)
        return Report("LoadLibraryA", "KalvixCtrl.dll not found");
    auto control = reinterpret_cast<KalvixControlProc>(reinterpret_cast<void*>(GetProcAddress(library, "KalvixControl")));
    auto version = reinterpret_cast<GetDLLVersionProc>(reinterpret_cast<void*>(GetProcAddress(library, "GetDLLVersion")));
    if (!control || !version)
        return Report("GetProcAddress", "exports missing");
    ActivityCounters counters{};
    const char* text = version(&counters);
    if (!text || strcmp(text, "1.20") != 0)
        return Report("GetDLLVersion", text);

    char serial[16] = {};
    uint32_t index = 0;
    if ((text = control(CMD_CONNECT, 0, &index, reinterpret_cast<uint8_t*>(serial))))
        return Report("CMD_CONNECT", text);
    printf("connected to %s (index %u)\n", serial, index);
    char info[64] = {};
    // A reply that comes before the library waits for it is lost; a program asks again.
    for (int attempt = 0; attempt < 3; ++attempt)
        if (!(text = control(CMD_GET_DEVICE_INFO, 0, nullptr, reinterpret_cast<uint8_t*>(info))))
            break;
    if (text)
        return Report("CMD_GET_DEVICE_INFO", text);
    printf("device: %s\n", info);
    if ((text = control(CMD_SET_DIVIDER, 2, nullptr, nullptr)) || (text = control(CMD_START_MEASUREMENT, 0, nullptr, nullptr)))
        return Report("start", text);

    std::vector<SpectrumRecord> batch(25);
    uint32_t expected = 0;
    int result = 0;
    const DWORD start = GetTickCount();
    while (expected < 200 && GetTickCount() - start < 20000) {
        uint32_t delivered = 0;
        text = control(CMD_GET_SPECTRA, 25, &delivered, reinterpret_cast<uint8_t*>(batch.data()));
        if (text && strncmp(text, "ERRO", 4) == 0) {
            result = Report("CMD_GET_SPECTRA", text);
            break;
        }
        for (uint32_t i = 0; i < delivered; ++i, ++expected)
            if (batch[i].MeasCount != expected) {
                fprintf(stderr, "MeasCount %u where %u was due\n", batch[i].MeasCount, expected);
                result = 1;
            }
    }
    if (expected < 200)
        result = Report("spectra", "fewer than 200 arrived");
    else
        printf("%u spectra, module at the lowest frequency %.1f ohm\n", expected, batch[0].Module[0]);
    control(CMD_STOP_MEASUREMENT, 0, nullptr, nullptr);
    if ((text = control(CMD_DISCONNECT, 0, nullptr, nullptr)))
        result = Report("CMD_DISCONNECT", text);
    FreeLibrary(library);
    return result;
}
