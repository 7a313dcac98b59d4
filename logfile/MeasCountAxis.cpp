#include "MeasCountAxis.h"

MeasCountStep AdvanceMeasCount(MeasCountAxis& axis, uint32_t measCount)
{
    MeasCountStep step;
    const uint32_t forward = measCount - axis.previous;   // modulo 2^32
    if (!axis.started) {
        axis.started = true;
    } else if (measCount > axis.previous) {
        step.lost = forward - 1ull;
    } else if (forward != 0 && forward <= MeasCountWrapReach) {
        ++axis.wraps;
        step.wrapped = true;
        step.lost = forward - 1ull;
    } else {
        axis.wraps = 0;
        step.restarted = true;
    }
    axis.previous = measCount;
    step.count = (axis.wraps << 32) + measCount;
    return step;
}
