#pragma once

// Finds the top-level window of a program started by a test on the test's X display,
// and closes it the way a window manager's close box does.

#include <QString>

struct ProgramWindow
{
    QString id; // "0x..." as xwininfo prints it; empty when not found
    QString properties; // _NET_WM_PID, WM_CLASS and _NET_WM_ICON as xprop prints them
};

// True when xwininfo and xprop (package x11-utils) are there.
bool WindowToolsAvailable();
ProgramWindow FindProgramWindow(qint64 pid, const QString &title);
bool IsWindowViewable(const QString &id);
// Sends WM_DELETE_WINDOW, as the close box does.
bool CloseWindow(const QString &id);
