#include "PlaceholderNotifier.h"

#include <memory>
#include <mutex>

namespace {
std::mutex notifierMutex;
std::shared_ptr<const UnknownPlaceholderNotifier> currentNotifier;
thread_local const UnknownPlaceholderNotifier *threadNotifier = nullptr;
} // namespace

ScopedPlaceholderNotifier::ScopedPlaceholderNotifier(UnknownPlaceholderNotifier notifier)
    : notifier_(std::move(notifier))
    , previous_(threadNotifier)
{
    threadNotifier = &notifier_;
}

ScopedPlaceholderNotifier::~ScopedPlaceholderNotifier()
{
    threadNotifier = previous_;
}

void SetUnknownPlaceholderNotifier(UnknownPlaceholderNotifier notifier)
{
    auto next = notifier ? std::make_shared<const UnknownPlaceholderNotifier>(std::move(notifier))
                         : nullptr;
    const std::lock_guard lock(notifierMutex);
    currentNotifier = std::move(next);
}

void NotifyUnknownPlaceholder(const std::string &placeholder)
{
    if (threadNotifier) {
        if (*threadNotifier)
            (*threadNotifier)(placeholder);
        return;
    }
    std::shared_ptr<const UnknownPlaceholderNotifier> notifier;
    {
        const std::lock_guard lock(notifierMutex);
        notifier = currentNotifier;
    }
    if (notifier)
        (*notifier)(placeholder);
}
