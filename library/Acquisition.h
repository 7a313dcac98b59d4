// The reader thread: keeps a read pending on the IN pipe while a device is connected.
#pragma once

#include "LibraryState.h"

// Thread procedure; the argument is the LibraryState. Started by the connect command.
unsigned __stdcall AcquisitionThread(void* argument);
