#pragma once

#include "Subcommand.h"

// "quillery urls": writes a download list like Garnet does.
Subcommand UrlsCommand();
int RunUrlsCommand(const QStringList &arguments, Terminal &terminal);
