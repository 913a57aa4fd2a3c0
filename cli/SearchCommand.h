#pragma once

#include "Subcommand.h"

// "quillery search QUERY": the posts whose text holds the query, from the body index.
Subcommand SearchCommand();
int RunSearchCommand(const QStringList &arguments, Terminal &terminal);
