// Waiting for a thread that may be blocked in a synchronous send to this thread's windows.
#pragma once

#include <windows.h>

// Waits until `object` is signalled, handling messages sent to this thread's windows meanwhile
// (posted messages stay queued).
void WaitPumpingSends(HANDLE object);
