#include "EmbeddedDatabase.h"

#include "CAdoManager.h"
#include "ConnectionString.h"
#include "DbEndpoint.h"
#include "DbTexts.h"

#include "common/Codec.h"
#include "common/FileSystem.h"
#include "common/ResultCodes.h"
#include "common/TextFormat.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>

#include <algorithm>

const char *const PostTableColumns = "topicid INTEGER PRIMARY KEY, title TEXT, roomid INTEGER, "
                                     "username TEXT, reply INTEGER, createtime TEXT";

namespace {

std::string quoted(const std::string &identifier)
{
    return '"' + identifier + '"';
}

std::vector<std::string> tableStatements(const std::string &table)
{
    return {"CREATE TABLE " + quoted(table) + " (" + PostTableColumns + ")",
            "CREATE INDEX " + quoted(table + "_roomid") + " ON " + quoted(table) + " (roomid)",
            "CREATE INDEX " + quoted(table + "_title") + " ON " + quoted(table) + " (title)"};
}

// Makes the tables in a new file; the manager's report on failure.
long fillDatabase(const QString &file, const std::vector<std::string> &tables, std::string &error)
{
    CAdoManager manager;
    long result = manager.OpenAdoConnection("Provider=SQLite;Data Source="
                                            + QuoteConnectionValue(FileSystem::fromQtPath(file)));
    for (const std::string &table : tables) {
        for (const std::string &statement : tableStatements(table)) {
            if (result == ResultCode::Success)
                result = manager.ExecuteSql(statement, CAdoManager::CommandText);
        }
    }
    if (result != ResultCode::Success)
        error = manager.LastError();
    return result;
}

std::string cannotCreate(const std::string &path, const QString &reason)
{
    return FormatText(Gbk::literal(DbText::CannotCreateFile).c_str(), path.c_str(),
                      Gbk::fromQString(reason).c_str());
}

} // namespace

bool IsPlainTableName(const std::string &name)
{
    auto letter = [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
    };
    auto digit = [](char c) { return c >= '0' && c <= '9'; };
    if (name.empty() || !letter(name.front()))
        return false;
    if (name.size() >= 7 && EqualsIgnoringAsciiCase(std::string_view(name).substr(0, 7), "sqlite_"))
        return false;
    return std::all_of(name.begin(), name.end(), [&](char c) { return letter(c) || digit(c); });
}

long EnsureEmbeddedDatabase(const std::string &connectionString,
                            const std::vector<std::string> &postTables, std::string &error)
{
    DbEndpoint endpoint;
    DbError ignored;
    if (!ParseDbEndpoint(connectionString, endpoint, ignored) || endpoint.engine != DbEngine::SQLite
        || FileSystem::exists(endpoint.dataSource))
        return ResultCode::Success;

    std::vector<std::string> tables;
    for (const std::string &name : postTables) {
        if (!IsPlainTableName(name)) {
            error = FormatText(Gbk::literal(DbText::BadTableName).c_str(), name.c_str());
            return ResultCode::MissingArgument;
        }
        const bool known = std::any_of(tables.begin(), tables.end(), [&](const std::string &table) {
            return EqualsIgnoringAsciiCase(table, name);
        });
        if (!known)
            tables.push_back(name);
    }

    const QFileInfo target(QFileInfo(FileSystem::toQtPath(endpoint.dataSource)).absoluteFilePath());
    const QString folder = target.absolutePath();
    if (!QDir().mkpath(folder)) {
        error = FormatText(Gbk::literal(DbText::CannotCreateFolder).c_str(),
                           FileSystem::fromQtPath(folder).c_str());
        return ResultCode::GeneralFailure;
    }

    // Made under a temporary name and renamed when complete, so that a failure halfway
    // never leaves a file that later starts would take for the database.
    QTemporaryFile temporary(folder + u'/' + target.fileName() + QStringLiteral(".new-XXXXXX"));
    if (!temporary.open()) {
        error = cannotCreate(endpoint.dataSource, temporary.errorString());
        return ResultCode::GeneralFailure;
    }
    temporary.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner
                             | QFileDevice::ReadGroup | QFileDevice::ReadOther);
    temporary.close(); // an empty file is an empty database

    const long result = fillDatabase(temporary.fileName(), tables, error);
    if (result != ResultCode::Success)
        return result;
    if (!QFile::rename(temporary.fileName(), target.filePath())) {
        if (QFileInfo::exists(target.filePath())) // made by another start meanwhile
            return ResultCode::Success;
        error = cannotCreate(endpoint.dataSource, QString());
        return ResultCode::GeneralFailure;
    }
    temporary.setAutoRemove(false);
    return ResultCode::Success;
}
