#include "CounterTracking.h"

bool FollowMeasCount(CounterTracking& sequence, uint32_t measCount, uint32_t* lost)
{
    if (measCount == 0) {
        sequence.LastMeasCount = 0;
        sequence.LastGpioStatus = 0xFFFF;
        return false;
    }
    const bool gap = sequence.LastMeasCount != measCount - 1;
    if (gap && lost)
        *lost = measCount - 1 - sequence.LastMeasCount;
    sequence.LastMeasCount = measCount;
    return gap;
}

bool GpioStatusChanged(CounterTracking& sequence, uint16_t status)
{
    if (status == sequence.LastGpioStatus)
        return false;
    sequence.LastGpioStatus = status;
    return true;
}
