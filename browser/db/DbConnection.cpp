#include "DbConnection.h"

#include "DbTexts.h"

#include "common/Codec.h"
#include "common/FileSystem.h"
#include "common/TextFormat.h"

#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>

#include <algorithm>
#include <atomic>
#include <climits>

namespace {

std::atomic<unsigned> connectionCounter {0};

// A time-out of 0 or less waits without limit: SQLite has no "unlimited" busy time-out,
// PostgreSQL takes 0 for it.
int busyMilliseconds(int seconds)
{
    return seconds <= 0 || seconds > INT_MAX / 1000 ? INT_MAX : seconds * 1000;
}

int statementMilliseconds(int seconds)
{
    return seconds <= 0 ? 0 : busyMilliseconds(seconds);
}

} // namespace

DbConnection::DbConnection(const DbEndpoint &endpoint, int timeoutSeconds)
    : endpoint_(endpoint)
    , timeoutInForce_(timeoutSeconds)
{
}

DbConnection::~DbConnection()
{
    if (db_.isValid())
        db_.close();
    db_ = QSqlDatabase();
    if (!name_.isEmpty())
        QSqlDatabase::removeDatabase(name_);
}

std::unique_ptr<DbConnection> DbConnection::Open(const DbEndpoint &endpoint, int timeoutSeconds,
                                                 DbError &error)
{
    std::unique_ptr<DbConnection> connection(new DbConnection(endpoint, timeoutSeconds));
    if (!connection->openDatabase(error))
        return nullptr;
    return connection;
}

std::unique_ptr<DbConnection> DbConnection::OpenSibling(DbError &error) const
{
    return Open(endpoint_, timeoutInForce_, error);
}

bool DbConnection::openDatabase(DbError &error)
{
    const bool sqlite = engine() == DbEngine::SQLite;
    const QString driver = sqlite ? QStringLiteral("QSQLITE") : QStringLiteral("QPSQL");
    if (!QSqlDatabase::isDriverAvailable(driver)) {
        error = MakeLayerError(LayerError::DriverUnavailable,
                               FormatText(Gbk::literal(DbText::DriverNamed).c_str(),
                                          driver.toLatin1().constData()));
        return false;
    }
    name_ = QStringLiteral("kestrel-db-%1").arg(++connectionCounter);
    db_ = QSqlDatabase::addDatabase(driver, name_);

    if (sqlite) {
        filePath_ = QFileInfo(FileSystem::toQtPath(endpoint_.dataSource)).absoluteFilePath();
        // A URI, so that mode=rw can refuse to make a new empty database where a lost
        // one was: only the embedded default is ever created, and not here.
        db_.setDatabaseName(QUrl::fromLocalFile(filePath_).toString(QUrl::FullyEncoded)
                            + QStringLiteral("?mode=rw"));
        db_.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=%1")
                                      .arg(busyMilliseconds(timeoutInForce_)));
        if (!db_.open()) {
            error = errorFrom(db_.lastError());
            return false;
        }
        return run(QStringLiteral("PRAGMA journal_mode=WAL"), error)
                && run(QStringLiteral("PRAGMA synchronous=NORMAL"), error);
    }

    db_.setHostName(Gbk::toQString(endpoint_.host));
    if (endpoint_.port > 0)
        db_.setPort(endpoint_.port);
    db_.setDatabaseName(Gbk::toQString(endpoint_.database));
    db_.setUserName(Gbk::toQString(endpoint_.user));
    if (endpoint_.hasPassword)
        db_.setPassword(Gbk::toQString(endpoint_.password));
    // QPSQL turns ";" into " " and hands the rest to libpq as it stands.
    QString options = QStringLiteral("connect_timeout=%1;options='-c statement_timeout=%2'")
                              .arg(std::max(timeoutInForce_, 0))
                              .arg(statementMilliseconds(timeoutInForce_));
    if (!endpoint_.sslMode.empty())
        options += QStringLiteral(";sslmode=") + QString::fromLatin1(endpoint_.sslMode).toLower();
    db_.setConnectOptions(options);
    if (!db_.open()) {
        error = DbErrorFromSql(DbEngine::PostgreSQL, db_.lastError(), true);
        return false;
    }
    return true;
}

bool DbConnection::applyTimeout(int seconds, DbError &error)
{
    if (seconds == timeoutInForce_)
        return true;
    const QString statement = engine() == DbEngine::SQLite
            ? QStringLiteral("PRAGMA busy_timeout = %1").arg(busyMilliseconds(seconds))
            : QStringLiteral("SET statement_timeout = %1").arg(statementMilliseconds(seconds));
    if (!run(statement, error))
        return false;
    timeoutInForce_ = seconds;
    return true;
}

bool DbConnection::checkPresent(DbError &error) const
{
    if (engine() != DbEngine::SQLite || QFileInfo::exists(filePath_))
        return true;
    error = MakeLayerError(
            LayerError::DatabaseFileLost,
            FormatText(Gbk::literal(DbText::FileNamed).c_str(), endpoint_.dataSource.c_str()));
    return false;
}

bool DbConnection::checkOpen(DbError &error)
{
    if (db_.isOpen())
        return true;
    error = MakeLayerError(LayerError::NotOpen, std::string());
    return false;
}

bool DbConnection::run(const QString &statement, DbError &error)
{
    if (!checkOpen(error))
        return false;
    QSqlQuery query(db_);
    query.setForwardOnly(true);
    if (query.exec(statement))
        return true;
    error = errorFrom(query.lastError());
    return false;
}
