// Drives the control panel the way an operator does, against the software device in the emulated
// library that the panel loads: clicks (only on enabled controls), list choices with their
// notification, trackbar steps, right clicks, the clipboard, and the device's control entry.
#pragma once

#include "PanelHarness.h"
#include "ScratchFiles.h"

#include "KalvixEmulator.h"

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

// The software device of the loaded emulated library (instance 0).
int32_t Emulator(uint32_t what, int32_t value, void* data = nullptr, uint32_t size = 0);
KalvixEmulatorState EmulatorState();
std::vector<uint8_t> EmulatorTable(int32_t opcode, size_t bytes);
int32_t OpcodeCount(int32_t opcode);

// BM_CLICK on an enabled control; false (and nothing sent) when it is disabled.
bool Click(HWND mainWindow, int id);
void ChooseListItem(HWND mainWindow, int id, int index);
void ScrollTrackbar(HWND mainWindow, int id, int code, int position);
void RightClick(HWND mainWindow, int x, int y);
bool IsChecked(HWND mainWindow, int id);
bool IsEnabled(HWND mainWindow, int id);
std::string ControlText(HWND mainWindow, int id);
std::string ClipboardText();

// Pumps until the main window has handled `count` more spectrum batches than `since`.
bool WaitForBatches(uint32_t since, uint32_t count, DWORD timeoutMs);

// The rows of a measurement log: the MeasCount of each row after the header, in file order.
std::vector<uint32_t> LoggedMeasCounts(const std::string& logText);
