#pragma once

// Unknown placeholders are reported to the user by the program that owns the
// resolver. Engine code only calls NotifyUnknownPlaceholder; each program installs
// a notifier (a message box in the windowed programs), which may be called from any
// thread.

#include <functional>
#include <string>

using UnknownPlaceholderNotifier = std::function<void(const std::string &placeholder)>;

void SetUnknownPlaceholderNotifier(UnknownPlaceholderNotifier notifier);
void NotifyUnknownPlaceholder(const std::string &placeholder);

// While alive, unknown placeholders met on the constructing thread go to `notifier`
// instead of the program's (a long run collects them and reports each once). Scopes
// nest; each must end on the thread that made it.
class ScopedPlaceholderNotifier
{
public:
    explicit ScopedPlaceholderNotifier(UnknownPlaceholderNotifier notifier);
    ~ScopedPlaceholderNotifier();
    ScopedPlaceholderNotifier(const ScopedPlaceholderNotifier &) = delete;
    ScopedPlaceholderNotifier &operator=(const ScopedPlaceholderNotifier &) = delete;

private:
    UnknownPlaceholderNotifier notifier_;
    const UnknownPlaceholderNotifier *previous_;
};
