#include "Terminal.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <langinfo.h>

namespace {

bool isUtf8Name(const QByteArray &name)
{
    const QByteArray lower = name.toLower();
    return lower == "utf-8" || lower == "utf8";
}

// "zh_CN.GBK@stroke" gives "GBK"; a name without a code set gives nothing.
QByteArray codeSetOfLocaleName(const char *name)
{
    const QByteArray locale(name);
    const qsizetype dot = locale.indexOf('.');
    if (dot < 0)
        return QByteArray();
    QByteArray codeSet = locale.mid(dot + 1);
    const qsizetype at = codeSet.indexOf('@');
    if (at >= 0)
        codeSet.truncate(at);
    return codeSet;
}

} // namespace

QByteArray Terminal::localeCodeSet()
{
    const char *current = nl_langinfo(CODESET);
    if (current && *current && std::strcmp(current, "ANSI_X3.4-1968") != 0)
        return QByteArray(current);
    for (const char *variable : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        const char *value = std::getenv(variable);
        if (value && *value)
            return codeSetOfLocaleName(value);
    }
    return QByteArray();
}

Terminal::Terminal()
    : Terminal(localeCodeSet())
{
}

Terminal::Terminal(const QByteArray &codeSet)
    : codeSet_(codeSet)
    , utf8_(true)
{
    // Plain ASCII locales and unknown code sets get UTF-8, what terminals here speak.
    if (!codeSet_.isEmpty() && !isUtf8Name(codeSet_)) {
        QStringEncoder probe(codeSet_.constData());
        utf8_ = !probe.isValid();
    }
    if (utf8_)
        codeSet_ = "UTF-8";
}

QByteArray Terminal::encode(const QString &text) const
{
    if (utf8_)
        return text.toUtf8();
    QStringEncoder encoder(codeSet_.constData());
    return encoder.encode(text);
}

QString Terminal::decode(const QByteArray &bytes) const
{
    if (utf8_)
        return QString::fromUtf8(bytes);
    QStringDecoder decoder(codeSet_.constData());
    return decoder.decode(bytes);
}

QStringList Terminal::decodeArguments(int argc, char **argv) const
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(decode(QByteArray(argv[i])));
    return arguments;
}

void Terminal::write(std::FILE *stream, const QString &text)
{
    QByteArray bytes = encode(text);
    if (!bytes.endsWith('\n'))
        bytes.append('\n');
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stream);
    std::fflush(stream);
}

void Terminal::out(const QString &text)
{
    write(stdout, text);
}

void Terminal::err(const QString &text)
{
    write(stderr, text);
}
