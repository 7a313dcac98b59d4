// The software device of the emulated KalvixCtrl.dll that this process has loaded (instance 0),
// steered and read back through the library's KalvixEmulatorControl export.
#pragma once

#include "KalvixEmulator.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// KalvixEmulatorControl(0, what, value, data, size); KALVIX_EMU_ERR_UNKNOWN while no emulated
// library is loaded.
int32_t Emulator(uint32_t what, int32_t value, void* data = nullptr, uint32_t size = 0);
KalvixEmulatorState EmulatorState();
// A table the device holds (3 shunt, 4 comp, 17 DAC, 18 phases), at most `bytes` of it.
std::vector<uint8_t> EmulatorTable(int32_t opcode, size_t bytes);
// Requests of one opcode the device has received.
int32_t OpcodeCount(int32_t opcode);
