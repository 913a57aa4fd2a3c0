#include "PlaceholderNotifier.h"

#include <memory>
#include <mutex>

namespace {
std::mutex notifierMutex;
std::shared_ptr<const UnknownPlaceholderNotifier> currentNotifier;
} // namespace

void SetUnknownPlaceholderNotifier(UnknownPlaceholderNotifier notifier)
{
    auto next = notifier ? std::make_shared<const UnknownPlaceholderNotifier>(std::move(notifier))
                         : nullptr;
    const std::lock_guard lock(notifierMutex);
    currentNotifier = std::move(next);
}

void NotifyUnknownPlaceholder(const std::string &placeholder)
{
    std::shared_ptr<const UnknownPlaceholderNotifier> notifier;
    {
        const std::lock_guard lock(notifierMutex);
        notifier = currentNotifier;
    }
    if (notifier)
        (*notifier)(placeholder);
}
