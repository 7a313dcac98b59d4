// The poll thread: while a measurement runs it fetches spectra from the library and hands each
// batch to the main window with a synchronous WM_USER, so the spectrum buffer is filled and read
// strictly one after the other.
#pragma once

#include <windows.h>

struct GlobalCtrl;

// Thread body, started with the record it works on.
unsigned __stdcall SpectrumPollThread(void* ctrl);

// Starts the poll thread for a run that has just started (RunFlag set, the spectrum buffer and
// the batch size for the current divider). A thread of an earlier run is waited for first, so
// there is never more than one. Returns false when the thread could not be started (RunFlag is
// then clear again).
bool StartPollThread(GlobalCtrl* ctrl);

// What StartPollThread starts its thread with: _beginthreadex unless another starter is put in
// its place. It returns the thread handle, or 0 when no thread could be started.
using PollThreadStarter = uintptr_t (*)(unsigned(__stdcall* body)(void*), void* argument);
extern PollThreadStarter StartThread;

// Clears RunFlag and waits until the poll thread has ended, handling its synchronous sends to
// this thread's windows meanwhile. Does nothing when no thread was started.
void EndPollThread(GlobalCtrl* ctrl);
