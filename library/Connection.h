// Connecting to the first free device and tearing the connection down again.
#pragma once

#include "LibraryState.h"

#include <cstdint>

// Opens the device, creates the locks and events, starts the reader. Returns a result id (0 on
// success) and the system error code for RESULT_SYSTEM_ERROR in `error`.
int ConnectDevice(LibraryState& state, uint8_t* serial, uint32_t* record, DWORD& error);

// Leaves the device idle at divider 1, stops the reader, closes every handle and the device.
// 0 or the system error of closing the device. A reader that does not end within its bound keeps
// `thread`, the handles and the device it uses (nothing is closed under it) and gives WAIT_TIMEOUT.
DWORD ShutdownDevice(LibraryState& state, Teardown how = Teardown::Disconnect);
