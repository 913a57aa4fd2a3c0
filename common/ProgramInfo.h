#pragma once

// --help and --version of the windowed programs, answered before any window or
// display is needed, and the texts the manual pages are made from.

#include <QString>
#include <QStringList>

#include <optional>

// A program's help: its own text, then the options every program has and where its
// files are.
QString ProgramHelpText(const char *helpUtf8);

// "Kestrel 0.9.0".
QString ProgramVersionText(const QString &program);

// The text to print when the arguments (without the program's name) ask for help or
// the version; nothing otherwise.
std::optional<QString> AnswerInfoOption(const QStringList &arguments, const char *programName,
                                        const char *helpUtf8);
