// The I2C bus control window: raw writes to and reads from one slave on the device's I2C bus,
// with the slave address and the data typed in hexadecimal.
#pragma once

#include <windows.h>

struct GlobalCtrl;

// I2C: opens the window beside the main window and disables the I2C button while it exists.
void OpenI2cWindow(GlobalCtrl* ctrl);

LRESULT CALLBACK I2CControlWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
