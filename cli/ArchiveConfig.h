#pragma once

// The archive the database subcommands work on: the tree configuration (--config, found
// from the working directory, else the shipped one) and its connection string, which
// --connection replaces.

#include <QString>

#include <QStringList>

#include <optional>
#include <string>

class OptionParser;
class RoomModel;
class Terminal;

// Parses the command line of a database subcommand, and shows its help (UTF-8, %1: the
// default configuration's path). nullopt to go on, or the exit status.
std::optional<int> ParseArchiveCommand(OptionParser &parser, const QStringList &arguments,
                                       Terminal &terminal, const QString &command,
                                       const char *help);
// Loads the archive the options name; nullopt, or the exit status after the report.
std::optional<int> OpenArchive(const OptionParser &parser, Terminal &terminal,
                               const QString &command, RoomModel &rooms, std::string &connection);

// The post table that --table or --root names, and its top-level room when the
// configuration has one for it.
struct ArchiveTable
{
    int rootIndex = -1; // -1: a table that no top-level room names
    std::string rootName; // GBK
    std::string table;
};
// Reads --table/--root (one of them must be set); nullopt, or the exit status after the
// report of an unknown root or a root without a table.
std::optional<int> ResolveArchiveTable(const OptionParser &parser, const RoomModel &rooms,
                                       Terminal &terminal, const QString &command,
                                       ArchiveTable &target);

// False when the configuration cannot be read; `problem` then says which file and why.
bool LoadArchiveConfig(const OptionParser &parser, const std::string &defaultConfig,
                       RoomModel &rooms, std::string &connection, QString &problem);
