#pragma once

#include <optional>

// The state of the Caps Lock and Num Lock keys where the windowing system tells it
// (X11); nullopt where it cannot be read.
struct LockKeys
{
    bool capsLock = false;
    bool numLock = false;
};
std::optional<LockKeys> ReadLockKeys();
