#pragma once

#include "Subcommand.h"

// "quillery import": the import run of Kestrel's import sheet, without a window.
Subcommand ImportCommand();
int RunImportCommand(const QStringList &arguments, Terminal &terminal);
