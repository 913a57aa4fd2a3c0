#pragma once

#include <QString>

#include <string>
#include <vector>

class OptionParser;
class RoomModel;
class Terminal;

// "quillery index --body": builds, updates or (--drop) removes the body index of the
// post tables the options name, with progress on the terminal; Ctrl+C stops between
// batches. Gives the exit status.
int RunBodyIndexCommand(const OptionParser &parser, RoomModel &rooms, const std::string &connection,
                        Terminal &terminal, const QString &command);
