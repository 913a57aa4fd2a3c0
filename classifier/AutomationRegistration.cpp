#include "AutomationRegistration.h"

#include "SorrelTexts.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

QString AutomationActivationFilePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
            + QStringLiteral("/dbus-1/services/") + QString::fromLatin1(SorrelText::ServiceName)
            + QStringLiteral(".service");
}

QString QuoteForActivationFile(const QString &programPath)
{
    // Two layers: the bus reads the value with desktop-file escapes (a doubled backslash
    // for one, \n for a line feed), then splits it like a shell (double quotes, with the
    // backslash, ", $ and ` escaped inside).
    QString shell = QStringLiteral("\"");
    for (const QChar c : programPath) {
        if (c == u'\\' || c == u'"' || c == u'$' || c == u'`')
            shell += u'\\';
        shell += c;
    }
    shell += u'"';
    QString value;
    for (const QChar c : shell) {
        if (c == u'\\')
            value += QStringLiteral("\\\\");
        else if (c == u'\n')
            value += QStringLiteral("\\n");
        else if (c == u'\r')
            value += QStringLiteral("\\r");
        else
            value += c;
    }
    return value;
}

bool WriteAutomationRegistration(const QString &programPath, QString &why)
{
    const QString path = AutomationActivationFilePath();
    const QByteArray contents = QByteArrayLiteral("[D-BUS Service]\nName=")
            + QByteArray(SorrelText::ServiceName) + QByteArrayLiteral("\nExec=")
            + QuoteForActivationFile(programPath).toUtf8() + ' '
            + QByteArray(SorrelText::AutomationSwitch) + '\n';
    QFile current(path);
    if (current.open(QIODevice::ReadOnly) && current.readAll() == contents)
        return true;
    current.close();
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
        why = QStringLiteral("cannot create the folder of ") + path;
        return false;
    }
    // Written whole or not at all: the bus may read it at any moment.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(contents) != contents.size()
        || !file.commit()) {
        why = path + QStringLiteral(": ") + file.errorString();
        return false;
    }
    return true;
}
