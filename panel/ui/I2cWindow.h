// The I2C bus control window: raw writes to and reads from one slave on the device's I2C bus,
// with the slave address and the data typed in hexadecimal.
#pragma once

#include <windows.h>

#include <cstdint>

struct GlobalCtrl;

// The window's controls.
constexpr int IdI2cData = 1142;        // data editor: hexadecimal digit pairs
constexpr int IdI2cWrite = 1143;
constexpr int IdI2cRead = 1144;
constexpr int IdI2cAddress = 1145;     // slave address, two hexadecimal digits
constexpr int IdI2cByteCount = 1146;   // BYTES, decimal
constexpr int IdI2cBytesLabel = 1147;
constexpr int IdI2cAddressLabel = 1148;

// The record of CMD_I2C_TRANSFER: byte count, slave address, write flag (1 write, 0 read). The
// byte count also holds the editor's pair count between transfers; it is 0 when the window opens.
constexpr int I2cByteCountWord = 0;
constexpr int I2cSlaveAddressWord = 1;
constexpr int I2cWriteFlagWord = 2;
// The open window's transfer record (kept with the window); null for any other window.
const uint32_t* I2cTransferRecordOf(HWND i2cWindow);

// I2C: opens the window beside the main window and disables the I2C button while it exists.
void OpenI2cWindow(GlobalCtrl* ctrl);

LRESULT CALLBACK I2CControlWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
