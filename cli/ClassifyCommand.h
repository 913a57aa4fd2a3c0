#pragma once

#include "Subcommand.h"

// "quillery classify": Sorrel's classification run and conversion-file extraction.
Subcommand ClassifyCommand();
int RunClassifyCommand(const QStringList &arguments, Terminal &terminal);
