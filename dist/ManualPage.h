#pragma once

// Manual pages (roff) and the bash completion of quillery, made from the --help texts.

#include <QString>
#include <QStringList>

#include <vector>

struct ManualEntry
{
    QString name; // "kestrel", "quillery urls"
    QString summary; // one line
    QString help; // the --help text
};

// One page: the program's help as its sections; each subcommand (quillery's) as a
// section of its own. seeAlso: "garnet(1)" and the like.
QString RenderManualPage(const ManualEntry &program, const std::vector<ManualEntry> &subcommands,
                         const QString &version, const QStringList &seeAlso);

// A bash completion for program and its subcommands: their options, and file or folder
// names for options whose value is a FILE, PATH or DIR.
QString RenderBashCompletion(const QString &program, const std::vector<ManualEntry> &subcommands);
