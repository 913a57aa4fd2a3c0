#pragma once

// One Qt Sql connection of the layer, under a name of its own, made in the thread that
// opens it. It is removed from Qt's registry when the object goes, after the queries
// that use it (their owners hold the connection and drop their queries first).
//
// It keeps the statements it has prepared (a few, the most recently used first), so a
// statement run again and again (the import's duplicate check and insert) is parsed
// once. A kept statement is always reset after use: it holds no lock and no snapshot.

#include "BoundStatement.h"
#include "DbEndpoint.h"
#include "DbError.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

class DbConnection
{
public:
    // How many prepared statements a connection keeps.
    static constexpr std::size_t KeptStatements = 16;
    // The WAL file is cut back to this size after a checkpoint.
    static constexpr long long WalSizeLimit = 4 * 1024 * 1024;

    // Opens the endpoint. SQLite: the file must exist; WAL mode, synchronous=NORMAL, busy
    // time-out = timeoutSeconds. PostgreSQL: connect_timeout and statement_timeout =
    // timeoutSeconds. A time-out of 0 or less waits without limit.
    static std::unique_ptr<DbConnection> Open(const DbEndpoint &endpoint, int timeoutSeconds,
                                              DbError &error);
    ~DbConnection();
    DbConnection(const DbConnection &) = delete;
    DbConnection &operator=(const DbConnection &) = delete;

    QSqlDatabase &database() { return db_; }
    sqlite3 *sqliteHandle() const { return sqlite_; } // nullptr for PostgreSQL
    // The file of the main database, as SQLite names it; empty for PostgreSQL and for a
    // database in memory or a temporary one.
    std::string sqliteFile() const;
    // The failure of a call of SQLite's own interface on this connection.
    DbError sqliteError() const;
    DbEngine engine() const { return endpoint_.engine; }
    DbError errorFrom(const QSqlError &error) const;

    // Applies a command time-out when it differs from the one in force.
    bool applyTimeout(int seconds, DbError &error);
    int timeoutInForce() const { return timeoutInForce_; }

    // SQLite has no statement time-out of its own: between these two calls a statement
    // that runs longer than the command time-out is interrupted (reported as
    // SQLITE_INTERRUPT with the time-out named). PostgreSQL's statement_timeout does the
    // same on the server.
    void startStatement();
    void endStatement();

    // SQLite keeps reading and writing a file that was deleted while it is open, so a
    // removed database would look alive: this reports it as lost instead.
    bool checkPresent(DbError &error) const;

    // False when the driver has given the connection up (a broken PostgreSQL link).
    bool checkOpen(DbError &error);

    // Runs a statement whose rows, if any, are not needed.
    bool run(const QString &statement, DbError &error);

    // BEGIN (SQLite: BEGIN IMMEDIATE, so that a writer waits for the lock at the start
    // instead of failing halfway) and COMMIT or ROLLBACK.
    bool beginTransaction(DbError &error);
    bool endTransaction(const QString &statement, DbError &error);
    bool inTransaction() const;

    // The kept statement for a text, prepared on first use, with the values bound and
    // executed. The caller reads its rows and then calls finish() on it. nullptr on
    // failure. PostgreSQL texts may not hold NUL characters: such a value is refused
    // before anything is sent.
    QSqlQuery *execPrepared(const QString &sql, const std::vector<SqlValue> &values,
                            DbError &error);
    // SQLite: runs a statement whose rows are not needed through SQLite's own interface,
    // kept prepared like the statements of execPrepared, texts bound as UTF-8; Qt's
    // binding costs more than a row's insert. A failure reads as execPrepared's would.
    // A statement SQLite cannot prepare goes through execPrepared, for Qt's report.
    bool runSqlite(const std::string &gbkSql, const std::vector<SqlValue> &values, DbError &error);
    // Runs a query and hands its rows one at a time to callback (integers, blobs as their
    // bytes, texts in GBK), until it returns false; nothing is held afterwards. SQLite
    // reads through its own interface, kept prepared; PostgreSQL through execPrepared.
    using RowCallback = std::function<bool(const std::vector<SqlValue> &row)>;
    bool eachRow(const std::string &gbkSql, const std::vector<SqlValue> &values,
                 const RowCallback &callback, DbError &error);
    // SQLite: bytes cut out of blobs, each read where it lies without the rest of its blob
    // (SQLite's incremental blob reading); slices in rowid order read fastest. A slice
    // past the end of a blob of exactly runBytes bytes goes on at the start of the next
    // rowid's (0: never). A row that is missing or a slice past any other blob's end is
    // an error. Only to be called inside a transaction, for one snapshot of all the
    // slices.
    bool readSqliteSlices(const std::string &gbkTable, const std::string &column,
                          std::vector<BlobSlice> &slices, long long runBytes, DbError &error);
    // SQLite: the same for a query, keeping the first column of its rows as Qt's driver
    // gives it (integers as 64-bit numbers, texts through UTF-16, reals, blobs, NULL).
    bool querySqlite(const std::string &gbkSql, const std::vector<SqlValue> &values,
                     std::vector<QVariant> &firstColumn, DbError &error);
    // Runs a query of one number (a COUNT(*)) with execPrepared and reads it.
    bool selectNumber(const QString &sql, const std::vector<SqlValue> &values, long long &number,
                      DbError &error);
    // Ends the reading of a query from execPrepared; false, with the error, when reading
    // its rows failed.
    bool finish(QSqlQuery &query, DbError &error) const;

private:
    struct Kept
    {
        QString sql;
        QSqlQuery query;
    };
    struct SqliteStatement; // finalizes itself

    DbConnection(const DbEndpoint &endpoint, int timeoutSeconds);
    bool openDatabase(DbError &error);
    bool setUpSqlite(DbError &error);
    QSqlQuery *prepared(const QString &sql, DbError &error);
    // The kept native statement for a text, with the values bound; nullptr with
    // error.code 0 when SQLite cannot prepare it (Qt then reports why).
    sqlite3_stmt *boundSqlite(const std::string &gbkSql, const std::vector<SqlValue> &values,
                              DbError &error);
    DbError sqliteStepError() const;
    static void releaseSqlite(sqlite3_stmt *statement);
    // runSqlite and querySqlite: the statement stepped to its end, keeping the first
    // column of its rows when firstColumn is given.
    bool stepSqlite(const std::string &gbkSql, const std::vector<SqlValue> &values,
                    std::vector<QVariant> *firstColumn, DbError &error);
    static int onProgress(void *self);

    DbEndpoint endpoint_;
    QString name_;
    QString filePath_; // SQLite
    QSqlDatabase db_;
    int timeoutInForce_;
    std::vector<Kept> kept_; // most recently used first
    std::vector<std::unique_ptr<SqliteStatement>> keptNative_; // most recently used first
    sqlite3 *sqlite_ = nullptr;
    std::chrono::steady_clock::time_point deadline_;
    bool deadlineArmed_ = false;
    bool timedOut_ = false;
    bool inTransaction_ = false; // PostgreSQL; SQLite says itself
};
