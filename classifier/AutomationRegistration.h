#pragma once

// The "system registration" of Sorrel's automation object: a D-Bus service activation
// file, so that a client asking for "Sorrel.Application" on the session bus gets Sorrel
// started with --automation.

#include <QString>

// $XDG_DATA_HOME/dbus-1/services/Sorrel.Application.service (~/.local/share by default).
QString AutomationActivationFilePath();

// The Exec line's program as the bus reads it back: shell-quoted in double quotes, then
// written with desktop-file escapes.
QString QuoteForActivationFile(const QString &programPath);

// Writes the activation file for programPath, or leaves it alone when it already says
// the same. False with the reason in why.
bool WriteAutomationRegistration(const QString &programPath, QString &why);
