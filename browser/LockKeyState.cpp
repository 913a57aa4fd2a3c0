#include "LockKeyState.h"

#include <QGuiApplication>

#if __has_include(<X11/XKBlib.h>)
#include <X11/XKBlib.h>
#define QUILLERY_HAVE_X11 1
#endif

std::optional<LockKeys> ReadLockKeys()
{
#ifdef QUILLERY_HAVE_X11
    auto *x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    Display *display = x11 ? x11->display() : nullptr;
    if (!display)
        return std::nullopt;
    const auto indicator = [display](const char *name, bool &on) {
        int state = 0;
        const Atom atom = XInternAtom(display, name, True);
        if (atom == None || !XkbGetNamedIndicator(display, atom, nullptr, &state, nullptr, nullptr))
            return false;
        on = state != 0;
        return true;
    };
    LockKeys keys;
    if (!indicator("Caps Lock", keys.capsLock) || !indicator("Num Lock", keys.numLock))
        return std::nullopt;
    return keys;
#else
    return std::nullopt;
#endif
}
