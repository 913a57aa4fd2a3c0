#include "DbFaultInjection.h"

#include <atomic>

namespace DbFaultInjection {

namespace {
std::atomic<Hook> currentHook {nullptr};
}

void SetHook(Hook hook)
{
    currentHook.store(hook);
}

void Point(const char *name)
{
    if (Hook hook = currentHook.load())
        hook(name);
}

} // namespace DbFaultInjection
