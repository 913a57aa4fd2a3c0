#include "PlaceholderNotifier.h"

#include "Codec.h"
#include "CommonTexts.h"
#include "TextFormat.h"

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

void NotifyUnknownPlaceholder(const std::string &raw)
{
    const std::string placeholder = EscapeControlCharacters(raw);
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

PlaceholderReports::PlaceholderReports(UnknownPlaceholderNotifier report)
    : report_(std::move(report))
{
}

void PlaceholderReports::Report(const std::string &placeholder)
{
    std::string text = EscapeControlCharacters(placeholder);
    if (!seen_.insert(text).second)
        return;
    if (seen_.size() > MaxShown) {
        ++heldBack_;
        return;
    }
    if (report_)
        report_(text);
}

void PlaceholderReports::Finish()
{
    if (heldBack_ > 0 && report_)
        report_(FormatText(Gbk::literal(CommonText::MorePlaceholders).c_str(), heldBack_));
    heldBack_ = 0;
}
