// Small rules of the main window that need no window: the gain code sent for the two gain lists,
// the batch size asked of the library per divider, the GPIO mask of the six GPIO buttons, and
// how the library's result texts are told apart.
#pragma once

#include <cstdint>

// (selection A AND 3) OR ((selection B AND 3) << 2).
uint32_t GainCode(int32_t selectionA, int32_t selectionB);

// Spectra asked for per CMD_GET_SPECTRA: 50 / divider for dividers below 48, else 1 (about 50 ms
// of measurement per batch; never more than the spectrum buffer holds, never 0).
uint16_t SpectraPerPollFor(uint32_t divider);

// GPIO lines 1..3 (index 0..2): each line's level button adds 0x04, 0x02, 0x01 and its direction
// button 0x20, 0x10, 0x08 while down.
uint32_t GpioMask(const bool levelDown[3], const bool directionDown[3]);

// Input levels of GPIO lines 1..3 in a GPIO status word: bits 2, 1, 0.
bool GpioLineHigh(uint32_t status, int line);

// Texts that begin with "ERRO" are errors; the polling time-out warning is not.
bool IsErrorText(const char* text);

// "ERROR: [%05d] ..." whose characters 9 to 12 read "0031": the device no longer works
// (system error 31, also as 10031).
bool ReportsDeviceLoss(const char* text);
