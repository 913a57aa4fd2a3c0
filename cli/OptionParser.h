#pragma once

// A small parser for the options of the subcommands: "--name value", "--name=value",
// "-n value", "-nvalue", flags without values, and "--" before plain arguments. A
// repeated option keeps its last value. Its error texts are the program's own.

#include <QHash>
#include <QString>
#include <QStringList>

#include <vector>

struct OptionDefinition
{
    QString longName; // without the dashes
    QChar shortName; // null for none
    bool takesValue = false;
};

class OptionParser
{
public:
    explicit OptionParser(std::vector<OptionDefinition> definitions);

    // False on a wrong command line; error() tells why.
    bool parse(const QStringList &arguments);

    bool isSet(const QString &longName) const { return values_.contains(longName); }
    QString value(const QString &longName) const { return values_.value(longName); }
    const QStringList &positional() const { return positional_; }
    const QString &error() const { return error_; }

private:
    const OptionDefinition *findLong(const QString &name) const;
    const OptionDefinition *findShort(QChar name) const;

    std::vector<OptionDefinition> definitions_;
    QHash<QString, QString> values_;
    QStringList positional_;
    QString error_;
};
