#pragma once

#include "Subcommand.h"

// "quillery index --title": builds or drops the title index of post tables.
Subcommand IndexCommand();
int RunIndexCommand(const QStringList &arguments, Terminal &terminal);
