#pragma once

#include "Subcommand.h"

// "quillery gaps": the post IDs of a range that the archive lacks, printed or written
// into a download list.
Subcommand GapsCommand();
int RunGapsCommand(const QStringList &arguments, Terminal &terminal);
