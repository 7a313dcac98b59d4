// The reader thread: keeps a read pending on the IN pipe while a device is connected.
#pragma once

#include "LibraryState.h"

// Thread procedure; the argument is the LibraryState. Started by the connect command. It returns
// once `running` is cleared (or after a device failure), unless an unload has given it
// ReaderParks: then its last act is to set that event and park, in one system call, never to
// return into this module; the unload ends it with EndParkedThread.
unsigned __stdcall AcquisitionThread(void* argument);

// Ends a thread parked in an alertable wait by running ExitThread in it as an APC: no code of the
// module being unloaded runs in it again, and it finishes ending once the loader lock is free.
void EndParkedThread(HANDLE thread);
