#include "ServerSetting.h"

#include "GarnetTexts.h"
#include "common/AppDirectory.h"
#include "common/Codec.h"
#include "common/FileSystem.h"
#include "common/TextFormat.h"

#include <QSettings>
#include <QUrl>

namespace {

std::string fallback(const char *utf8Format, const std::string &path, const std::string &detail)
{
    const std::string format = Gbk::literal(utf8Format);
    return FormatText(format.c_str(), path.c_str(), detail.c_str(), GarnetText::DefaultServer);
}

} // namespace

std::string ServerSettingPath()
{
    return AppDirectoryWithSlash() + GarnetText::ServerSettingFile;
}

ServerSetting ReadServerSetting()
{
    return ReadServerSettingFile(ServerSettingPath());
}

ServerSetting ReadServerSettingFile(const std::string &path)
{
    ServerSetting setting {GarnetText::DefaultServer, std::string()};
    if (!FileSystem::exists(path))
        return setting;

    // QSettings treats an unreadable file like an empty one; the user should hear of it.
    std::string contents;
    if (const std::error_code error = FileSystem::readWholeFile(path, contents)) {
        setting.problem =
                fallback(GarnetText::ServerFileUnreadable, path, FileSystem::errorText(error));
        return setting;
    }
    QSettings file(FileSystem::toQtPath(path), QSettings::IniFormat);
    const QVariant value = file.value(QString::fromUtf8(GarnetText::ServerSettingKey));
    if (file.status() != QSettings::NoError) {
        setting.problem = fallback(GarnetText::ServerFileUnreadable, path,
                                   Gbk::literal(GarnetText::ServerFileMalformed));
        return setting;
    }
    if (!value.isValid())
        return setting;

    // An unquoted value with commas comes back as a list; it is no address either way.
    const QString text = value.typeId() == QMetaType::QStringList
            ? value.toStringList().join(QLatin1Char(','))
            : value.toString();
    std::string base;
    if (!NormalizeServerBase(text, base)) {
        setting.problem = fallback(GarnetText::ServerValueInvalid, path, Gbk::fromQString(text));
        return setting;
    }
    setting.baseUrl = base;
    return setting;
}

bool NormalizeServerBase(const QString &value, std::string &base)
{
    if (value.isEmpty())
        return false;
    for (const QChar c : value) {
        // A bar would open a placeholder in the line template.
        if (c.isSpace() || c == QLatin1Char('|') || c == QLatin1Char('\\'))
            return false;
    }
    const QUrl url(value, QUrl::StrictMode);
    if (!url.isValid())
        return false;
    const QString scheme = url.scheme();
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https"))
        return false;
    if (url.host().isEmpty() || !url.userInfo().isEmpty() || url.hasQuery() || url.hasFragment())
        return false;
    if (!url.path().isEmpty() && url.path() != QLatin1String("/"))
        return false;
    // Fully encoded: an international host name becomes its ASCII form, which any
    // download tool takes.
    const QString canonical = scheme + QStringLiteral("://") + url.authority(QUrl::FullyEncoded);
    base = Gbk::fromQString(canonical);
    return true;
}
