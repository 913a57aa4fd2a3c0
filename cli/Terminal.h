#pragma once

// The terminal's side of quillery: arguments arrive and messages leave in the code set
// of the user's locale (UTF-8, GBK, GB18030, ...), whatever the files are written in.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdio>

class Terminal
{
public:
    // The code set named by the locale; call after QCoreApplication set the locale up.
    Terminal();
    explicit Terminal(const QByteArray &codeSet);

    QStringList decodeArguments(int argc, char **argv) const;
    QByteArray encode(const QString &text) const;
    QString decode(const QByteArray &bytes) const;

    // Writes text, adding a line end when it has none.
    void out(const QString &text);
    void err(const QString &text);

    const QByteArray &codeSet() const { return codeSet_; }

    // The code set of the current locale. A locale named in the environment but not
    // installed still tells which code set the terminal uses.
    static QByteArray localeCodeSet();

private:
    void write(std::FILE *stream, const QString &text);

    QByteArray codeSet_;
    bool utf8_;
};
