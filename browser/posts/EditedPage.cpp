#include "EditedPage.h"

#include "common/Codec.h"
#include "common/FileSystem.h"

#include <QRegularExpression>
#include <QStringDecoder>
#include <QStringEncoder>

#include <memory>

int EditingModeCode(const QString &mode)
{
    if (mode.compare(QLatin1String("on"), Qt::CaseInsensitive) == 0)
        return 0;
    if (mode.compare(QLatin1String("off"), Qt::CaseInsensitive) == 0)
        return 1;
    if (mode.compare(QLatin1String("inherit"), Qt::CaseInsensitive) == 0)
        return 2;
    return 31;
}

bool EndsWithXml(const std::string &name)
{
    return name.size() >= 4 && Gbk::toLower(name.substr(name.size() - 4)) == ".xml";
}

std::string ProposedHtmlPath(const std::string &postPath)
{
    if (!EndsWithXml(postPath))
        return postPath;
    return postPath.substr(0, postPath.size() - 4) + ".htm";
}

bool EncodePage(const QString &text, const QString &charset, std::string &bytes)
{
    const QByteArray name = charset.toLatin1();
    QStringEncoder encoder(name.constData());
    QStringDecoder decoder(name.constData());
    if (!encoder.isValid() || !decoder.isValid())
        return false;
    QByteArray whole = encoder.encode(text);
    if (!encoder.hasError() && QString(decoder.decode(whole)) == text) {
        bytes.assign(whole.constData(), std::size_t(whole.size()));
        return true;
    }
    // Something did not survive: go character by character and write what the charset
    // cannot hold as a reference the page shows as the same character.
    bytes.clear();
    // A converter that met an unencodable character stays in error: a fresh pair then.
    auto single = std::make_unique<QStringEncoder>(name.constData());
    auto back = std::make_unique<QStringDecoder>(name.constData());
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype length = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QString character = text.mid(i, length);
        i += length;
        const QByteArray encoded = single->encode(character);
        if (!single->hasError() && QString(back->decode(encoded)) == character
            && !back->hasError()) {
            bytes.append(encoded.constData(), std::size_t(encoded.size()));
            continue;
        }
        const char32_t code = length == 2 ? QChar::surrogateToUcs4(character.at(0), character.at(1))
                                          : char32_t(character.at(0).unicode());
        bytes += "&#" + std::to_string(std::uint32_t(code)) + ';';
        single = std::make_unique<QStringEncoder>(name.constData());
        back = std::make_unique<QStringDecoder>(name.constData());
    }
    return true;
}

QString SerializedPage(const QString &doctype, const QString &documentElement)
{
    if (doctype.isEmpty())
        return documentElement;
    return doctype + QLatin1Char('\n') + documentElement;
}

QString WithCharsetDeclared(const QString &page, const QString &charset)
{
    static const QRegularExpression declared(QStringLiteral("<meta[^>]*charset"),
                                             QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression head(QStringLiteral("<head(\\s[^>]*)?>"),
                                         QRegularExpression::CaseInsensitiveOption);
    if (page.contains(declared))
        return page;
    const QRegularExpressionMatch match = head.match(page);
    if (!match.hasMatch())
        return page;
    QString result = page;
    result.insert(match.capturedEnd(), QStringLiteral("<meta charset=\"%1\">").arg(charset));
    return result;
}

bool WriteEditedPage(const std::string &path, const QString &page, const QString &charset,
                     std::string &why)
{
    std::string bytes;
    if (!EncodePage(page, charset, bytes)) {
        why = Gbk::fromQString(QStringLiteral("unknown charset ") + charset);
        return false;
    }
    if (const std::error_code error = FileSystem::replaceWholeFile(path, bytes)) {
        why = FileSystem::errorText(error);
        return false;
    }
    return true;
}
