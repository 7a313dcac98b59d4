// Helper program: loads the emulated KalvixCtrl.dll by path, connects and measures, and ends its
// process while it is still connected, the way a program that is closed (or crashes) does:
//   emulator_exit_probe.exe <dll path> <scenario> <exiting event name>
// Scenarios:
//   measuring  measuring, nothing else going on
//   poll       a second thread waits inside CMD_GET_SPECTRA (a trigger run at divider 1792)
//   pump       the device's pump holds the emulator's lock (KALVIX_EMU_PUMP_HOLD_MS)
// The event is set just before the process ends; exit code 0 means the library's teardown at
// the end of the process finished.
#include "KalvixCtrl.h"
#include "KalvixEmulator.h"

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    if (argc != 4)
        return 2;
    HMODULE module = LoadLibraryA(argv[1]);
    if (!module)
        return 3;
    auto control = reinterpret_cast<KalvixControlProc>(reinterpret_cast<void*>(GetProcAddress(module, "KalvixControl")));
    auto emulator = reinterpret_cast<KalvixEmulatorControlProc>(
        reinterpret_cast<void*>(GetProcAddress(module, "KalvixEmulatorControl")));
    HANDLE exiting = OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[3]);
    if (!control || !emulator || !exiting)
        return 4;
    const std::string scenario = argv[2];
    char serial[16] = {};
    uint32_t index = 0;
    if (control(CMD_CONNECT, 0, &index, reinterpret_cast<uint8_t*>(serial)))
        return 5;

    if (scenario == "poll") {
        if (control(CMD_SET_DIVIDER, 1792, nullptr, nullptr) || control(CMD_EXT_TRIGGER, 1, nullptr, nullptr))
            return 6;
        HANDLE poll = CreateThread(nullptr, 0, [](void* entry) -> DWORD {
            std::vector<uint8_t> record(192);
            reinterpret_cast<KalvixControlProc>(entry)(CMD_GET_SPECTRA, 1, nullptr, record.data());
            return 0;
        }, reinterpret_cast<void*>(control), 0, nullptr);
        if (!poll || WaitForSingleObject(poll, 300) != WAIT_TIMEOUT)
            return 7; // still waiting for a spectrum that never comes
    } else {
        if (control(CMD_START_MEASUREMENT, 0, nullptr, nullptr))
            return 6;
        std::vector<uint8_t> spectra(8 * 192);
        uint32_t delivered = 0;
        for (int i = 0; i < 50 && delivered == 0; ++i) // the first ones wait for the pump
            control(CMD_GET_SPECTRA, 8, &delivered, spectra.data());
        if (delivered == 0)
            return 7;
        if (scenario == "pump") {
            emulator(0, KALVIX_EMU_PUMP_HOLD_MS, 5000, nullptr, 0);
            Sleep(300); // the pump is inside its hold now
        } else if (scenario != "measuring") {
            return 2;
        }
    }
    SetEvent(exiting);
    ExitProcess(0);
}
