#pragma once

// The archive the database subcommands work on: the tree configuration (--config, found
// from the working directory, else the shipped one) and its connection string, which
// --connection replaces.

#include <QString>

#include <string>

class OptionParser;
class RoomModel;

// False when the configuration cannot be read; `problem` then says which file and why.
bool LoadArchiveConfig(const OptionParser &parser, const std::string &defaultConfig,
                       RoomModel &rooms, std::string &connection, QString &problem);
