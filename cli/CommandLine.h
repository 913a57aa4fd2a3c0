#pragma once

// What the subcommands' command lines have in common: the options several of them take,
// declared once, and the reports of a wrong command line.

#include "OptionParser.h"

#include <QString>
#include <QStringList>

#include <initializer_list>
#include <optional>
#include <vector>

class Terminal;

namespace CommonOptions {
// -h/--help and --version: every subcommand.
std::vector<OptionDefinition> Information();
// --config FILE and --connection TEXT: the archive a database subcommand works on.
std::vector<OptionDefinition> Archive();
// --table TABLE and --root NAME: the post table, by its name or its top-level room's.
std::vector<OptionDefinition> TableOrRoot();
// --room ROOMID.
std::vector<OptionDefinition> Room();
// Options that take a value, or flags, by their long names.
std::vector<OptionDefinition> Values(std::initializer_list<const char *> names);
std::vector<OptionDefinition> Flags(std::initializer_list<const char *> names);
} // namespace CommonOptions

// One table of several groups of options.
std::vector<OptionDefinition>
JoinOptions(std::initializer_list<std::vector<OptionDefinition>> groups);

// Reports a wrong command line of `command` ("quillery urls") on standard error.
int UsageError(Terminal &terminal, const QString &command, const QString &problem);

// Reports that `command` could not do its work ("quillery find: ...") and gives the exit
// status of that.
int CommandFailed(Terminal &terminal, const QString &command, const QString &problem);

// Parses the arguments; on a wrong command line (an unknown option, a missing value, a
// word that is no option) reports it and gives the exit status; --version alone prints
// the version and gives success.
std::optional<int> RejectCommandLine(OptionParser &parser, const QStringList &arguments,
                                     Terminal &terminal, const QString &command);
