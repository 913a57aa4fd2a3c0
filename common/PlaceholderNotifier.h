#pragma once

// Unknown placeholders are reported to the user by the program that owns the
// resolver. Engine code only calls NotifyUnknownPlaceholder; each program installs
// a notifier (a message box in the windowed programs), which may be called from any
// thread.

#include <cstddef>
#include <functional>
#include <string>
#include <unordered_set>

using UnknownPlaceholderNotifier = std::function<void(const std::string &placeholder)>;

void SetUnknownPlaceholderNotifier(UnknownPlaceholderNotifier notifier);
// The notifier gets the text with its control characters escaped.
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

// The unknown-placeholder reports of one run: each text once, with its control
// characters escaped; the first MaxShown as they come, the others only counted, and
// Finish reports their count once. A broken conversion file must not open a box per line.
class PlaceholderReports
{
public:
    static constexpr std::size_t MaxShown = 5;

    explicit PlaceholderReports(UnknownPlaceholderNotifier report);
    void Report(const std::string &placeholder);
    void Finish();

private:
    UnknownPlaceholderNotifier report_;
    std::unordered_set<std::string> seen_;
    std::size_t heldBack_ = 0;
};
