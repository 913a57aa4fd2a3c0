#include "DbConnection.h"

#include "DbTexts.h"

#include "common/Codec.h"
#include "common/FileSystem.h"
#include "common/TextFormat.h"

#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUrl>

#include <sqlite3.h>

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
    // Statements first: a connection closed with statements still prepared stays open.
    kept_.clear();
    keptNative_.clear();
    if (sqlite_)
        sqlite3_progress_handler(sqlite_, 0, nullptr, nullptr);
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
        return setUpSqlite(error);
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
    // A connection lives on for many look-ups, and its kept statements would soon be
    // planned once for any value: a find's pattern needs a plan of its own to use the
    // title index. Servers before version 12 lack the setting and keep their default.
    QSqlQuery(db_).exec(QStringLiteral("SET plan_cache_mode = force_custom_plan"));
    return true;
}

bool DbConnection::setUpSqlite(DbError &error)
{
    const QVariant handle = db_.driver()->handle();
    if (handle.isValid() && qstrcmp(handle.typeName(), "sqlite3*") == 0)
        sqlite_ = *static_cast<sqlite3 *const *>(handle.constData());
    if (sqlite_)
        sqlite3_progress_handler(sqlite_, 1000, &DbConnection::onProgress, this);
    // The WAL is cut back after each checkpoint, so a long import does not leave a big
    // file behind; SQLite checkpoints it away when the last connection closes.
    return run(QStringLiteral("PRAGMA journal_mode=WAL"), error)
            && run(QStringLiteral("PRAGMA synchronous=NORMAL"), error)
            && run(QStringLiteral("PRAGMA journal_size_limit=%1").arg(WalSizeLimit), error);
}

int DbConnection::onProgress(void *self)
{
    auto *connection = static_cast<DbConnection *>(self);
    if (!connection->deadlineArmed_ || std::chrono::steady_clock::now() < connection->deadline_)
        return 0;
    connection->timedOut_ = true;
    return 1;
}

void DbConnection::startStatement()
{
    timedOut_ = false;
    deadlineArmed_ = sqlite_ && timeoutInForce_ > 0;
    if (deadlineArmed_)
        deadline_ = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutInForce_);
}

void DbConnection::endStatement()
{
    deadlineArmed_ = false;
}

DbError DbConnection::sqliteError() const
{
    const int code = sqlite3_extended_errcode(sqlite_);
    DbError error {MakeDbErrorCode(DbEngine::SQLite, std::uint32_t(code)),
                   Gbk::fromQString(QString::fromUtf8(sqlite3_errmsg(sqlite_))),
                   Gbk::literal(DbText::SqliteSource)};
    if (timedOut_ && (code & 0xFF) == SQLITE_INTERRUPT)
        error.description =
                FormatText(Gbk::literal(DbText::CommandTimedOut).c_str(), timeoutInForce_)
                + error.description;
    return error;
}

DbError DbConnection::errorFrom(const QSqlError &error) const
{
    DbError converted = DbErrorFromSql(engine(), error);
    if (timedOut_ && (NativeOfCode(converted.code) & 0xFF) == SQLITE_INTERRUPT)
        converted.description =
                FormatText(Gbk::literal(DbText::CommandTimedOut).c_str(), timeoutInForce_)
                + converted.description;
    return converted;
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

QSqlQuery *DbConnection::prepared(const QString &sql, DbError &error)
{
    for (std::size_t i = 0; i < kept_.size(); ++i) {
        if (kept_[i].sql == sql) {
            std::rotate(kept_.begin(), kept_.begin() + std::ptrdiff_t(i),
                        kept_.begin() + std::ptrdiff_t(i) + 1);
            return &kept_.front().query;
        }
    }
    QSqlQuery query(db_);
    query.setForwardOnly(true);
    if (!query.prepare(sql)) {
        error = errorFrom(query.lastError());
        return nullptr;
    }
    if (kept_.size() >= KeptStatements)
        kept_.pop_back();
    kept_.insert(kept_.begin(), Kept {sql, std::move(query)});
    return &kept_.front().query;
}

QSqlQuery *DbConnection::execPrepared(const QString &sql, const std::vector<SqlValue> &values,
                                      DbError &error)
{
    if (!checkOpen(error))
        return nullptr;
    if (engine() == DbEngine::PostgreSQL) {
        for (const SqlValue &value : values) {
            if (value.kind == SqlValue::Text && value.text.find('\0') != std::string::npos) {
                error = MakeLayerError(LayerError::NulInText,
                                       Gbk::literal(DbText::NulInTextDetail));
                return nullptr;
            }
        }
    }
    QSqlQuery *query = prepared(sql, error);
    if (!query)
        return nullptr;
    for (std::size_t i = 0; i < values.size(); ++i) {
        const SqlValue &value = values[i];
        QVariant bound;
        if (value.kind == SqlValue::Integer)
            bound = QVariant(qlonglong(value.integer));
        else if (value.kind == SqlValue::Text)
            bound = QVariant(Gbk::toQString(value.text));
        else if (value.kind == SqlValue::Blob)
            bound = QVariant(QByteArray(value.text.data(), qsizetype(value.text.size())));
        else
            bound = QVariant(QMetaType::fromType<QString>());
        query->bindValue(int(i), bound);
    }
    if (!query->exec()) {
        error = errorFrom(query->lastError());
        query->finish();
        return nullptr;
    }
    return query;
}

namespace {

// The first column of the current row, as Qt's driver reads it.
QVariant columnValue(sqlite3_stmt *statement)
{
    switch (sqlite3_column_type(statement, 0)) {
    case SQLITE_INTEGER:
        return QVariant(qlonglong(sqlite3_column_int64(statement, 0)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(statement, 0));
    case SQLITE_BLOB:
        return QVariant(QByteArray(static_cast<const char *>(sqlite3_column_blob(statement, 0)),
                                   sqlite3_column_bytes(statement, 0)));
    case SQLITE_NULL:
        return QVariant();
    default: {
        const void *text = sqlite3_column_text16(statement, 0);
        return QVariant(QString(static_cast<const QChar *>(text),
                                sqlite3_column_bytes16(statement, 0) / int(sizeof(QChar))));
    }
    }
}

} // namespace

struct DbConnection::SqliteStatement
{
    std::string sql; // GBK, as given
    sqlite3_stmt *statement = nullptr;
    ~SqliteStatement() { sqlite3_finalize(statement); }
};

sqlite3_stmt *DbConnection::boundSqlite(const std::string &gbkSql,
                                        const std::vector<SqlValue> &values, DbError &error)
{
    const auto same = [&gbkSql](const std::unique_ptr<SqliteStatement> &kept) {
        return kept->sql == gbkSql;
    };
    auto found = std::find_if(keptNative_.begin(), keptNative_.end(), same);
    if (found == keptNative_.end()) {
        auto kept = std::make_unique<SqliteStatement>();
        kept->sql = gbkSql;
        const std::string utf8 = Gbk::toUtf8(gbkSql);
        if (sqlite3_prepare_v3(sqlite_, utf8.data(), int(utf8.size()), SQLITE_PREPARE_PERSISTENT,
                               &kept->statement, nullptr)
                    != SQLITE_OK
            || !kept->statement
            || sqlite3_bind_parameter_count(kept->statement) != int(values.size()))
            return nullptr;
        if (keptNative_.size() >= KeptStatements)
            keptNative_.pop_back();
        keptNative_.insert(keptNative_.begin(), std::move(kept));
    } else if (found != keptNative_.begin()) {
        std::rotate(keptNative_.begin(), found, found + 1);
    }
    sqlite3_stmt *statement = keptNative_.front()->statement;
    int result = SQLITE_OK;
    std::string utf8;
    for (std::size_t i = 0; i < values.size() && result == SQLITE_OK; ++i) {
        const SqlValue &value = values[i];
        const int index = int(i) + 1;
        if (value.kind == SqlValue::Integer) {
            result = sqlite3_bind_int64(statement, index, value.integer);
        } else if (value.kind == SqlValue::Text) {
            utf8 = Gbk::toUtf8(value.text);
            result = sqlite3_bind_text64(statement, index, utf8.data(), utf8.size(),
                                         SQLITE_TRANSIENT, SQLITE_UTF8);
        } else if (value.kind == SqlValue::Blob) {
            // Bound as the caller's bytes: the statement runs before they go.
            result = sqlite3_bind_blob64(statement, index, value.text.data(), value.text.size(),
                                         SQLITE_STATIC);
        } else {
            result = sqlite3_bind_null(statement, index);
        }
    }
    if (result != SQLITE_OK) {
        error = sqliteStepError();
        releaseSqlite(statement);
        return nullptr;
    }
    return statement;
}

DbError DbConnection::sqliteStepError() const
{
    // As Qt's driver reports a failed step: its words, SQLite's message and code.
    const int code = sqlite3_extended_errcode(sqlite_);
    return errorFrom(QSqlError(QStringLiteral("Unable to fetch row"),
                               QString::fromUtf8(sqlite3_errmsg(sqlite_)),
                               QSqlError::ConnectionError, QString::number(code)));
}

void DbConnection::releaseSqlite(sqlite3_stmt *statement)
{
    // Reset at once: a kept statement holds no lock and no snapshot.
    sqlite3_reset(statement);
    sqlite3_clear_bindings(statement);
}

bool DbConnection::runSqlite(const std::string &gbkSql, const std::vector<SqlValue> &values,
                             DbError &error)
{
    return stepSqlite(gbkSql, values, nullptr, error);
}

bool DbConnection::querySqlite(const std::string &gbkSql, const std::vector<SqlValue> &values,
                               std::vector<QVariant> &firstColumn, DbError &error)
{
    return stepSqlite(gbkSql, values, &firstColumn, error);
}

bool DbConnection::stepSqlite(const std::string &gbkSql, const std::vector<SqlValue> &values,
                              std::vector<QVariant> *firstColumn, DbError &error)
{
    if (!checkOpen(error))
        return false;
    error = DbError();
    sqlite3_stmt *statement = boundSqlite(gbkSql, values, error);
    if (!statement) {
        if (error.code)
            return false;
        QSqlQuery *query = execPrepared(Gbk::toQString(gbkSql), values, error);
        if (!query)
            return false;
        while (firstColumn && query->next())
            firstColumn->push_back(query->value(0));
        return finish(*query, error);
    }
    int result;
    while ((result = sqlite3_step(statement)) == SQLITE_ROW) {
        if (firstColumn)
            firstColumn->push_back(columnValue(statement));
    }
    const bool done = result == SQLITE_DONE;
    if (!done)
        error = sqliteStepError();
    releaseSqlite(statement);
    return done;
}

bool DbConnection::eachRow(const std::string &gbkSql, const std::vector<SqlValue> &values,
                           const RowCallback &callback, DbError &error)
{
    if (!checkOpen(error))
        return false;
    std::vector<SqlValue> row;
    if (sqlite_) {
        error = DbError();
        sqlite3_stmt *statement = boundSqlite(gbkSql, values, error);
        if (!statement) {
            if (!error.code)
                error = sqliteStepError();
            return false;
        }
        int result;
        bool more = true;
        while (more && (result = sqlite3_step(statement)) == SQLITE_ROW) {
            row.resize(std::size_t(sqlite3_column_count(statement)));
            for (int i = 0; i < int(row.size()); ++i) {
                SqlValue &value = row[std::size_t(i)];
                switch (sqlite3_column_type(statement, i)) {
                case SQLITE_INTEGER:
                    value = SqlValue::fromInteger(sqlite3_column_int64(statement, i));
                    break;
                case SQLITE_BLOB: {
                    const auto *bytes =
                            static_cast<const char *>(sqlite3_column_blob(statement, i));
                    value.kind = SqlValue::Blob;
                    value.text.assign(bytes ? bytes : "",
                                      std::size_t(sqlite3_column_bytes(statement, i)));
                    break;
                }
                case SQLITE_NULL:
                    value = SqlValue::null();
                    break;
                default: {
                    const auto *utf8 =
                            reinterpret_cast<const char *>(sqlite3_column_text(statement, i));
                    value = SqlValue::fromText(Gbk::fromQString(QString::fromUtf8(
                            utf8, qsizetype(sqlite3_column_bytes(statement, i)))));
                }
                }
            }
            more = callback(row);
        }
        const bool done = !more || result == SQLITE_DONE;
        if (!done)
            error = sqliteStepError();
        releaseSqlite(statement);
        return done;
    }
    QSqlQuery *query = execPrepared(Gbk::toQString(gbkSql), values, error);
    if (!query)
        return false;
    bool more = true;
    while (more && query->next()) {
        row.resize(std::size_t(query->record().count()));
        for (int i = 0; i < int(row.size()); ++i) {
            const QVariant v = query->value(i);
            SqlValue &value = row[std::size_t(i)];
            if (v.isNull())
                value = SqlValue::null();
            else if (v.metaType().id() == QMetaType::QByteArray) {
                const QByteArray bytes = v.toByteArray();
                value.kind = SqlValue::Blob;
                value.text.assign(bytes.constData(), std::size_t(bytes.size()));
            } else if (v.metaType().id() == QMetaType::QString)
                value = SqlValue::fromText(Gbk::fromQString(v.toString()));
            else
                value = SqlValue::fromInteger(v.toLongLong());
        }
        more = callback(row);
    }
    if (!more) {
        query->finish();
        return true;
    }
    return finish(*query, error);
}

bool DbConnection::selectNumber(const QString &sql, const std::vector<SqlValue> &values,
                                long long &number, DbError &error)
{
    QSqlQuery *query = execPrepared(sql, values, error);
    if (!query)
        return false;
    if (!query->next()) {
        if (finish(*query, error))
            error = MakeLayerError(LayerError::RowsMissing, Gbk::fromQString(sql));
        return false;
    }
    number = query->value(0).toLongLong();
    query->finish();
    return true;
}

bool DbConnection::finish(QSqlQuery &query, DbError &error) const
{
    const bool failed = query.lastError().isValid();
    if (failed)
        error = errorFrom(query.lastError());
    query.finish();
    return !failed;
}

bool DbConnection::beginTransaction(DbError &error)
{
    const bool sqlite = engine() == DbEngine::SQLite;
    if (!run(sqlite ? QStringLiteral("BEGIN IMMEDIATE") : QStringLiteral("BEGIN"), error))
        return false;
    inTransaction_ = true;
    return true;
}

bool DbConnection::endTransaction(const QString &statement, DbError &error)
{
    const bool done = run(statement, error);
    // A failed COMMIT ends a PostgreSQL transaction; SQLite's stays open when it was
    // only busy, and it says so itself.
    inTransaction_ = false;
    return done;
}

bool DbConnection::inTransaction() const
{
    if (sqlite_)
        return sqlite3_get_autocommit(sqlite_) == 0;
    return inTransaction_;
}
