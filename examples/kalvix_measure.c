/*
 * kalvix_measure: a headless measurement with KalvixCtrl.dll, using nothing but the library's
 * public header. Loads the library by name, connects to the first free device, shows its
 * identification, measures for a few seconds and prints one line per second of spectra.
 *
 *   kalvix_measure [seconds] [divider]      (defaults: 3 seconds, divider 10)
 *
 * Exit code 0 when spectra arrived with no gap in their measurement counts.
 */
#include "KalvixCtrl.h"

#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static KalvixControlProc Control;

/* Runs one command; prints the library's text when it reports an error and returns 0 then. */
static int Run(const char* what, uint32_t command, uint32_t param, uint32_t* record, void* data)
{
    const char* text = Control(command, param, record, (uint8_t*)data);
    if (text && strncmp(text, "ERRO", 4) == 0) {
        fprintf(stderr, "%s: %s\n", what, text);
        return 0;
    }
    return 1;
}

int main(int argc, char** argv)
{
    const int seconds = argc > 1 ? atoi(argv[1]) : 3;
    const uint32_t divider = argc > 2 ? (uint32_t)atoi(argv[2]) : 10;

    HMODULE library = LoadLibraryA("KalvixCtrl.dll");
    if (!library) {
        fprintf(stderr, "KalvixCtrl.dll could not be loaded (error %lu)\n", GetLastError());
        return 1;
    }
    /* Function pointer to function pointer, through the type that matches every function: no
       data pointer in between, so the casts are ISO C and draw no warning. */
    GetDLLVersionProc version = (GetDLLVersionProc)(void (*)(void))GetProcAddress(library, "GetDLLVersion");
    Control = (KalvixControlProc)(void (*)(void))GetProcAddress(library, "KalvixControl");
    if (!version || !Control) {
        fprintf(stderr, "KalvixCtrl.dll lacks its exports\n");
        return 1;
    }
    static ActivityCounters counters;
    printf("library version %s\n", version(&counters));

    char serial[32] = {0};
    uint32_t index = 0;
    if (!Run("connect", CMD_CONNECT, 0, &index, serial))
        return 2;
    printf("connected to device %u, serial %s\n", index, serial);

    static uint32_t statusWord, gpioWord;
    char identification[64] = {0};
    int ok = Run("status", CMD_GET_STATUS, 0, &statusWord, NULL) &&
             Run("gpio", CMD_SET_GPIO, 0, &gpioWord, NULL) &&
             Run("identification", CMD_GET_DEVICE_INFO, 0, NULL, identification) &&
             Run("divider", CMD_SET_DIVIDER, divider, NULL, NULL);
    if (ok)
        printf("device: %s\n", identification);

    static SpectrumRecord spectra[50];
    unsigned long received = 0, lost = 0;
    uint32_t lastCount = 0;
    int haveLast = 0;
    if (ok && Run("start", CMD_START_MEASUREMENT, 0, NULL, NULL)) {
        const uint32_t perPoll = divider < 48 ? 50 / divider : 1;
        const DWORD end = GetTickCount() + (DWORD)seconds * 1000u;
        DWORD nextLine = GetTickCount() + 1000u;
        while ((LONG)(end - GetTickCount()) > 0) {
            uint32_t delivered = 0;
            const char* text = Control(CMD_GET_SPECTRA, perPoll, &delivered, (uint8_t*)spectra);
            if (text && strncmp(text, "ERRO", 4) == 0) {
                fprintf(stderr, "spectra: %s\n", text);
                break;
            }
            for (uint32_t i = 0; i < delivered; ++i) {
                if (haveLast && spectra[i].MeasCount != lastCount + 1)
                    lost += spectra[i].MeasCount > lastCount ? spectra[i].MeasCount - lastCount - 1 : 1;
                lastCount = spectra[i].MeasCount;
                haveLast = 1;
            }
            received += delivered;
            if (delivered && (LONG)(GetTickCount() - nextLine) >= 0) {
                const SpectrumRecord* r = &spectra[0];
                printf("count %lu  lost %lu  |Z| %.1f ohm at f0, %.1f ohm at f14  phase %.1f / %.1f deg  battery %u mV\n",
                       (unsigned long)r->MeasCount, lost, r->Module[0], r->Module[14], r->Phase[0], r->Phase[14],
                       r->BatteryLevel);
                nextLine += 1000u;
            }
        }
        Run("stop", CMD_STOP_MEASUREMENT, 0, NULL, NULL);
    }
    printf("%lu spectra received, %lu lost, %lu bytes in, %lu bytes out\n", received, lost,
           (unsigned long)counters.bytesReceived, (unsigned long)counters.bytesSent);
    Run("disconnect", CMD_DISCONNECT, 0, NULL, NULL);
    FreeLibrary(library);
    return received > 0 && lost == 0 ? 0 : 3;
}
