#include "PlatformOps.h"

#include <atomic>

namespace {
std::atomic<const PlatformOps*> activeOps{nullptr};
}

const PlatformOps& Platform()
{
    const PlatformOps* ops = activeOps.load(std::memory_order_acquire);
    return ops ? *ops : DefaultPlatformOps;
}

void UsePlatformOps(const PlatformOps* ops)
{
    activeOps.store(ops, std::memory_order_release);
}
