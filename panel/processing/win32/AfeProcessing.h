// Reading the AFE record into the program's record and checking the device's versions, with the
// messages these steps show in the status bar.
#pragma once

#include "AfeRecord.h"
#include "KalvixCtrl.h"

#include <cstdint>

struct GlobalCtrl;

// A bus that performs each transfer with CMD_I2C_TRANSFER through the bound library entry
// (*control must stay valid while the bus is used) and waits with Sleep.
I2cBus LibraryI2cBus(KalvixControlProc* control);

// Reads the AFE memory into the AFE area, checks size and CRC and interpolates the shunt table
// onto the measurement frequencies into the shunt block of the device configuration. Returns
// 0, or -1 address write failed, -2 block read failed, -3 size error, -4 CRC or interpolation
// error; each failure has shown its message.
int32_t ReadAfeRecord(GlobalCtrl* ctrl, const I2cBus& bus);

// Drops the connection (CONNECT DEVICE released) when the device identification names a
// hardware or software version this program does not support.
void CheckDeviceVersion(GlobalCtrl* ctrl);
