#include "SettingsXml.h"

#include "Codec.h"

#include <QDomDocument>

bool ParseSettingsXml(std::string_view bytes, QDomDocument &document, std::string *reason)
{
    QString parseError;
    int line = 0, column = 0;
    if (document.setContent(QByteArray(bytes.data(), qsizetype(bytes.size())), &parseError, &line,
                            &column))
        return true;
    if (reason)
        *reason = Gbk::fromQString(
                QStringLiteral("%1 (line %2, column %3)").arg(parseError).arg(line).arg(column));
    return false;
}
