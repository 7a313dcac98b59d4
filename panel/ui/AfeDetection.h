// The measuring head (AFE) as the main window follows it: the GPIO input levels mirrored into
// the level buttons, the record read when an AFE appears, its shunt table loaded into the
// device, and "AFE Disconnected" when it goes.
#pragma once

#include <cstdint>

struct GlobalCtrl;

// A new GPIO status (bits 2, 1, 0 = lines 1, 2, 3; line 3 high = no AFE).
void DetectAfe(GlobalCtrl* ctrl, uint32_t gpio);

// Reads the AFE record and, when it is good, loads its interpolated shunt table into the device
// (CMD_LOAD_SHUNT), pauses `pauseMs` and refreshes the configuration. A record that cannot be
// read or used leaves the area reading "AFE Disconnected" and the configuration refreshed.
// Returns the record read's result (0 when the record was good).
int32_t ReadAfeAndLoadShunt(GlobalCtrl* ctrl, uint32_t pauseMs);

// The AFE area back to "AFE Disconnected" and the configuration refreshed.
void ForgetAfeRecord(GlobalCtrl* ctrl);
