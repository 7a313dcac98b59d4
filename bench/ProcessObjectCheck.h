// Proof that the counts follow this process's objects: 100 events opened must raise the handle
// count by exactly 100 and closing them bring it back; the same for 100 brushes and the GDI count,
// and 10 windows (top-level, message-only and child windows) and the USER count.
#pragma once

#include "ProcessObjectCount.h"

#include <cstdio>

// For each kind whether its count followed exactly (false for a count that is n/a); a line each
// on `out`.
struct ProcessObjectCheck {
    bool followed[3] = {};
    bool Followed(ObjectKind kind) const { return followed[static_cast<int>(kind)]; }
};

ProcessObjectCheck CheckProcessObjectCounts(const ProcessObjectCounter& counter, FILE* out);
