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
