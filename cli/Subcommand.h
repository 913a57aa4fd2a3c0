#pragma once

// The subcommands of quillery. Each one lives in a file of its own and is listed once
// in CommandTable.cpp.

#include <QStringList>

#include <vector>

class Terminal;

namespace ExitStatus {
constexpr int Success = 0;
constexpr int Failure = 1; // the work was refused or could not be done
constexpr int Usage = 2; // the command line was wrong
} // namespace ExitStatus

struct Subcommand
{
    const char *name;
    const char *summary; // UTF-8, one line for the general usage
    // arguments: everything after the subcommand's name.
    int (*run)(const QStringList &arguments, Terminal &terminal);
};

const std::vector<Subcommand> &Subcommands();

// Runs "quillery <subcommand> ...": arguments without the program name.
int RunCommandLine(const QStringList &arguments, Terminal &terminal);
