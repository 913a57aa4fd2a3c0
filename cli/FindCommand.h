#pragma once

#include "Subcommand.h"

// "quillery find": finds posts as Kestrel's find dialog does and prints the rows.
Subcommand FindCommand();
int RunFindCommand(const QStringList &arguments, Terminal &terminal);
