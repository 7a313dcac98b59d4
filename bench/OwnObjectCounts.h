// This process's handles, GDI objects and windows counted where the system keeps them, for where
// GetProcessHandleCount and GetGuiResources give nothing (Wine 8):
//   - handles: this process's entries in the system's handle list (NtQuerySystemInformation,
//     SystemExtendedHandleInformation; `buffer` is reused from call to call);
//   - GDI objects: the entries of the GDI handle table the PEB points to (GdiSharedHandleTable)
//     that are in use and not stock objects. Under Wine the table is the process's own and an
//     entry's type is 0 once freed; on Windows it is shared between processes, so read it only
//     under Wine, and only when GdiHandleTableReadable();
//   - windows: top-level, message-only and all their descendants.
#pragma once

#include <optional>
#include <vector>

bool RunningUnderWine();

std::optional<long> CountOwnHandles(std::vector<unsigned char>& buffer);

// Whether the table reads as expected: the stock white brush's entry is a stock brush.
bool GdiHandleTableReadable();
std::optional<long> CountOwnGdiObjects();

long CountOwnWindows();
