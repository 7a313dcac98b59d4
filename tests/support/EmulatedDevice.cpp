#include "EmulatedDevice.h"

#include <windows.h>

namespace {

KalvixEmulatorControlProc LoadedEmulator()
{
    HMODULE library = GetModuleHandleA("KalvixCtrl.dll");
    return library ? reinterpret_cast<KalvixEmulatorControlProc>(
                         reinterpret_cast<void*>(GetProcAddress(library, "KalvixEmulatorControl")))
                   : nullptr;
}

} // namespace

int32_t Emulator(uint32_t what, int32_t value, void* data, uint32_t size)
{
    KalvixEmulatorControlProc control = LoadedEmulator();
    return control ? control(0, what, value, data, size) : KALVIX_EMU_ERR_UNKNOWN;
}

KalvixEmulatorState EmulatorState()
{
    KalvixEmulatorState state{};
    Emulator(KALVIX_EMU_GET_STATE, 0, &state, sizeof state);
    return state;
}

std::vector<uint8_t> EmulatorTable(int32_t opcode, size_t bytes)
{
    std::vector<uint8_t> table(bytes);
    const int32_t got = Emulator(KALVIX_EMU_GET_TABLE, opcode, table.data(), static_cast<uint32_t>(bytes));
    table.resize(got > 0 ? static_cast<size_t>(got) : 0);
    return table;
}

int32_t OpcodeCount(int32_t opcode)
{
    return Emulator(KALVIX_EMU_GET_OPCODE_COUNT, opcode);
}
