#include "TestSupport.h"

#include "common/AppDirectory.h"
#include "common/Codec.h"
#include "common/FileSystem.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

TempAppDir::TempAppDir()
{
    QDir(dir_.path()).mkpath(QStringLiteral("Configs"));
    SetAppDirectoryOverride(path());
}

TempAppDir::~TempAppDir()
{
    SetAppDirectoryOverride(std::string());
}

std::string TempAppDir::path() const
{
    return FileSystem::fromQtPath(dir_.path());
}

std::string TempAppDir::file(const std::string &relative) const
{
    return FileSystem::join(path(), relative);
}

void TempAppDir::write(const std::string &relative, const std::string &bytes) const
{
    writeBytes(FileSystem::toQtPath(file(relative)), bytes);
}

std::string TempAppDir::read(const std::string &relative) const
{
    std::string contents;
    FileSystem::readWholeFile(file(relative), contents);
    return contents;
}

std::string gbk(const char *utf8)
{
    return Gbk::fromUtf8(utf8);
}

QString show(const std::string &gbkText)
{
    return Gbk::toQString(gbkText);
}

QString chineseTitle(int characters)
{
    QString title;
    for (int i = 0; i < characters; ++i)
        title += QChar(char16_t(0x4E00 + (i * 7919) % 20000));
    return title;
}

void writeBytes(const QString &path, const std::string &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        QFAIL(qPrintable(QStringLiteral("cannot write test file ") + path));
    file.write(bytes.data(), qint64(bytes.size()));
}

std::string readBytes(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::string();
    const QByteArray data = file.readAll();
    return std::string(data.constData(), std::size_t(data.size()));
}
