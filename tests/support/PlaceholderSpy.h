#pragma once

#include "common/PlaceholderNotifier.h"

#include <mutex>
#include <string>
#include <vector>

// Collects the unknown-placeholder reports made while it lives.
class PlaceholderSpy
{
public:
    PlaceholderSpy()
    {
        SetUnknownPlaceholderNotifier([this](const std::string &placeholder) {
            const std::lock_guard lock(mutex_);
            reports_.push_back(placeholder);
        });
    }
    ~PlaceholderSpy() { SetUnknownPlaceholderNotifier({}); }

    std::vector<std::string> reports() const
    {
        const std::lock_guard lock(mutex_);
        return reports_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> reports_;
};
