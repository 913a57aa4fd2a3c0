#pragma once

#include "Subcommand.h"

// "quillery index --title | --body": builds or drops the title or the body index of
// post tables.
Subcommand IndexCommand();
int RunIndexCommand(const QStringList &arguments, Terminal &terminal);
