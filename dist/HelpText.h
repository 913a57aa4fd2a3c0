#pragma once

// The programs' --help texts read as documents, so that the manual pages and the shell
// completion are made from the option tables the programs print, never written twice.
//
// The texts follow one layout: "用法: ..." first (further usage lines indented), prose
// at the left margin, a heading is a line at the margin ending in ":", a table row is
// indented by two spaces with the term and its description two or more spaces apart
// (deeper indented lines continue the description), and "退出状态: ..." ends it.

#include <QString>
#include <QStringList>

#include <vector>

namespace HelpText {

struct Row
{
    QString term; // "-f, --format FORMAT"
    QStringList description; // one entry per line of the help
};

struct Block
{
    enum Kind { Prose, Preformatted, Table };
    Kind kind = Prose;
    QStringList lines; // Prose, Preformatted
    std::vector<Row> rows; // Table
};

struct Section
{
    QString heading; // empty for the description before the first heading
    std::vector<Block> blocks;
};

struct Document
{
    QStringList usage; // without "用法:"
    std::vector<Section> sections;
    QStringList exitStatus; // without "退出状态:"
};

Document Parse(const QString &help);

// One option of a table row: "--format" with its value name "FORMAT", or "-f".
struct Option
{
    QString name;
    QString value; // empty for a switch
};
// The options a row's term names; a short form takes the value of the long form
// written beside it ("-f, --format FORMAT").
std::vector<Option> OptionsOfTerm(const QString &term);

} // namespace HelpText
