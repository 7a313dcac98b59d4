#include "PumpingWait.h"

void WaitPumpingSends(HANDLE object)
{
    for (;;) {
        DWORD result = MsgWaitForMultipleObjects(1, &object, FALSE, 100, QS_SENDMESSAGE);
        if (result == WAIT_OBJECT_0 || result == WAIT_FAILED)
            return;
        // Peeking delivers the pending sent messages without removing any posted one.
        MSG message;
        PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}
