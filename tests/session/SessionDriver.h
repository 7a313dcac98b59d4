// Drives the control panel the way an operator does, against the software device in the emulated
// library that the panel loads: clicks (only on enabled controls), list choices with their
// notification, trackbar steps and right clicks.
#pragma once

#include "Clipboard.h"
#include "EmulatedDevice.h"
#include "PanelHarness.h"
#include "ScratchFiles.h"

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

// BM_CLICK on an enabled control; false (and nothing sent) when it is disabled.
bool Click(HWND mainWindow, int id);
void ChooseListItem(HWND mainWindow, int id, int index);
void ScrollTrackbar(HWND mainWindow, int id, int code, int position);
void RightClick(HWND mainWindow, int x, int y);
bool IsChecked(HWND mainWindow, int id);
bool IsEnabled(HWND mainWindow, int id);
std::string ControlText(HWND mainWindow, int id);

// Pumps until the main window has handled `count` more spectrum batches than `since`.
bool WaitForBatches(uint32_t since, uint32_t count, DWORD timeoutMs);

// The rows of a measurement log: the MeasCount of each row after the header, in file order.
std::vector<uint32_t> LoggedMeasCounts(const std::string& logText);
