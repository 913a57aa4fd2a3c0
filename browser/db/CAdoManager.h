#pragma once

// CAdoManager: every SQL statement of Kestrel goes through one of these. It wraps one
// database connection and never lets a failure out: each operation returns a result
// code and, on failure, leaves a report in Chinese (GBK) in LastError().
//
// Use: make one per task, OpenAdoConnection, one or more ExecuteSql, CloseAdoConnection
// (also after a failed statement), let it go. Texts in and out are GBK: the SQL is
// converted to Unicode for the database and field values back to GBK.
//
// Connection strings (see DbEndpoint.h for every key):
//   Provider=SQLite;Data Source=<file>       the file must exist (see EmbeddedDatabase.h);
//                                            WAL mode, synchronous=NORMAL
//   Provider=PostgreSQL;Host=...;Port=...;Database=...;User ID=...;Password=...
// Every statement commits on its own, unless the caller opened a transaction with
// BeginTransaction; it ends with CommitTransaction or RollbackTransaction, and
// CloseAdoConnection rolls back one that is still open. On PostgreSQL a statement that
// fails inside a transaction spoils the rest of it (later statements fail with SQLSTATE
// 25P02) until it is rolled back; on SQLite only the failed statement is undone.
//
// Values: ExecuteSql with a BoundStatement binds its values to the "?" placeholders of
// its text (integers as integers, texts as texts, NULL as NULL); the values never become
// SQL text, and PostgreSQL refuses a text with two statements in it. The reports show the
// statement's display text. The most recent statements of a connection stay prepared
// (DbConnection::KeptStatements), so running one statement again and again costs no
// new parse. SQLite stores texts with NUL characters unchanged; PostgreSQL cannot store
// them, and such a value is refused (layer code 10) before anything is sent.
//
// Result codes:
//   0    success
//   31   OpenAdoConnection on an open connection, CloseAdoConnection without an open one
//        (no report in these cases); any failure that is not the database's (for
//        example std::bad_alloc), with the report below
//   < 0  a database failure, reported. The code is a 32-bit HRESULT-like number widened
//        to long:  0x80000000 | engine << 27 | native, so always negative:
//          engine 1, SQLite:      native = SQLite's extended result code (e.g. 1 for
//                                 "no such table", 1555 for a duplicate primary key,
//                                 14 for a file that cannot be opened)
//          engine 2, PostgreSQL:  native = the SQLSTATE read as a base-36 number
//                                 ("42P01" -> 6844177); 08001 when no server could be
//                                 reached, 08006 when the connection broke without one
//          engine 0, this layer:  its own failures (DbError.h, LayerError): 1 malformed
//                                 connection string, 2 unknown provider, 3 Qt Sql driver
//                                 missing, 4 connection not open, 5 SQLite file removed
//                                 while in use, 8 unsupported option word, 10 a NUL
//                                 character in a text for PostgreSQL
//        EngineOfCode / NativeOfCode (DbError.h) take a code apart.
//
// Reports (LastError(); never cleared on success), in the error block:
//   错误号码  the code in decimal
//   错误消息  the message for the code: "SQLITE_ERROR (1)", "SQLSTATE 42P01", the
//            layer's own text; "Unknown error 0x..." when the driver gave no code
//   错误描述  what went wrong: Qt's driver text and the database's own message, e.g.
//            "Unable to execute statement: no such table: posts"
//   错误来源  "SQLite (Qt QSQLITE)", "PostgreSQL (Qt QPSQL)" or "Kestrel CAdoManager"
// Connection strings in reports show "***" for the value of Password/Pwd.
//
// Time-outs: ConnectionTimeout() (default 30 s) applies when opening: SQLite's busy
// time-out, PostgreSQL's connect_timeout and statement_timeout. CommandTimeout()
// (default 30 s) is applied before each statement when it differs. 0 waits without limit.
// On SQLite it limits both the wait for a lock and the statement's own work: a statement
// still running when it has passed is interrupted and reported with SQLITE_INTERRUPT
// (native 9), as PostgreSQL reports its statement time-out with SQLSTATE 57014.
//
// Record sets are always client-side (cursor location 3): detached from this object,
// owned by the caller, readable after CloseAdoConnection (CAdoRecordset.h). A result of
// up to SmallResultRows rows is read whole on this object's connection (it sees the
// connection's uncommitted rows and costs one statement); a longer one is listed and
// reads its windows on this connection, which it keeps alive after CloseAdoConnection,
// each window in a short statement of its own (ResultSources.h, KeysetRowSource.h).
// A SQLite file removed while open is reported as lost (layer code 5) instead of being
// written to.
//
// PostgreSQL connections outlive their manager: the one a thread closed last stays open
// for the next manager of that thread with the same connection string (opening costs
// milliseconds, a short statement some 50 µs), checked by a round trip before it is used
// again and opened anew when that fails. It holds no transaction. SQLite's always close.
//
// Threads: no locks; use an object from one thread at a time. The connection is made in
// the thread that opens it and used there; once that thread is done with it, another
// thread may close it and open a new one (the import sheet's worker and its dialog).

#include "BoundStatement.h"
#include "CAdoRecordset.h"
#include "WalCheckpointer.h"

#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

class DbConnection;
class QString;

class CAdoManager
{
public:
    CAdoManager();
    virtual ~CAdoManager(); // closes
    CAdoManager(const CAdoManager &) = delete;
    CAdoManager &operator=(const CAdoManager &) = delete;

    long OpenAdoConnection(const std::string &connectionString);
    long CloseAdoConnection();
    // Closes the PostgreSQL connection the calling thread holds for its next manager, if
    // any (before its server goes away, so nothing is left to fail at the thread's end).
    static void ReleaseHeldConnection();

    // Runs a statement; rows it returns are discarded.
    long ExecuteSql(const std::string &sql, long options);
    // Runs a statement into the caller's record set. An open record set in the
    // reference is closed first; on success the reference holds the new one (closed for
    // a statement without rows), on failure the old one, closed.
    long ExecuteSql(const std::string &sql, std::unique_ptr<CAdoRecordset> &recordset,
                    long options);

    // The same with values bound to the "?" placeholders of statement.sql; the reports
    // show statement.display (statement.sql when it is empty).
    long ExecuteSql(const BoundStatement &statement, long options);
    long ExecuteSql(const BoundStatement &statement, std::unique_ptr<CAdoRecordset> &recordset,
                    long options);
    // The statements one after the other, up to the first that fails: its code and its
    // report, as ExecuteSql of it alone gives them. 0 when all of them ran.
    long ExecuteSql(const std::vector<BoundStatement> &statements, long options);
    // A query whose first column is all that is wanted: its values, in the order of the
    // rows, as Value(0) of the record set would give them. SQLite answers through its own
    // interface (a batch's look-ups cost a fraction of a record set's); failures are
    // reported as the record-set form reports them.
    long SelectColumn(const BoundStatement &statement, std::vector<CAdoValue> &values,
                      long options);

    // Runs a query and hands its rows one at a time to rowFn (integers as integers, blobs
    // as their bytes, texts in GBK) until it returns false: for engine code that reads
    // many rows or large values once (the body index), without a record set. 0 or a code
    // with a report, as ExecuteSql.
    using RowFunction = std::function<bool(const std::vector<SqlValue> &row)>;
    long ForEachRow(const BoundStatement &statement, const RowFunction &rowFn);
    // SQLite: while the object lives, the log is copied back into the database on a
    // thread of its own (WalCheckpointer.h); nullptr when not open on SQLite.
    std::unique_ptr<WalCheckpointer> CheckpointInBackground(int frames, int writerFrames,
                                                            int restoreFrames);
    // The connection string it was opened with, and on SQLite the file of its database
    // (empty for PostgreSQL and for a database in memory): what a second manager on
    // another thread needs to read the same database beside it.
    const std::string &ConnectionString() const { return connectionString_; }
    std::string SqliteFile() const;
    // SQLite: DbConnection::readSqliteSlices of a table's blob column (call it in a
    // transaction). 0 or a code with a report, as ExecuteSql.
    long ReadBlobSlices(const std::string &table, const std::string &column,
                        std::vector<BlobSlice> &slices, long long runBytes = 0);

    // 0, or a code and a report like every other operation. 31 without a report when
    // one is already open (Begin) or none is open (Commit, Rollback).
    long BeginTransaction();
    long CommitTransaction();
    long RollbackTransaction();
    bool InTransaction() const;
    // The number of the transaction open now, or of the last one (each BeginTransaction
    // of this object counts one), and whether that one was committed: code that holds
    // work back for the caller's commit tells from them what became of it.
    unsigned long long TransactionNumber() const { return transactions_; }
    bool TransactionCommitted(unsigned long long number) const { return committed_ == number; }

    const std::string &LastError() const { return lastError_; }
    // What the database itself (or the layer, for its own failures) said about the latest
    // failure: the report's 错误描述, driver text and server message joined. Empty when
    // the failure had no such words (codes 31 without a report, unexpected failures).
    const std::string &LastErrorReason() const { return lastReason_; }
    bool IsOpen() const { return connection_ != nullptr; }

    int ConnectionTimeout() const { return connectionTimeout_; }
    void SetConnectionTimeout(int seconds) { connectionTimeout_ = seconds; }
    int CommandTimeout() const { return commandTimeout_; }
    void SetCommandTimeout(int seconds) { commandTimeout_ = seconds; }
    int CursorLocation() const { return cursorLocation_; }

    // The option word of ExecuteSql: 1 (the text is an SQL statement). Also accepted:
    // -1 and 8 (unspecified / unknown command type) and 1 | 0x80 (no records wanted).
    static constexpr long CommandText = 1;

private:
    long reportExecuteFailure(const char *header, const std::string &sql, const DbError &error);
    // A read through the connection's own interface (rows, blob slices): the fault point,
    // the open check, and a failure reported as a record set's.
    long readRows(const std::string &shown, const std::function<bool(DbError &error)> &read);
    bool prepareCommand(long options, DbError &error);
    long execute(const QString &sql, const std::vector<SqlValue> *values, const std::string &shown,
                 long options);
    long executeInto(const QString &sql, const std::vector<SqlValue> *values,
                     const std::string &shown, std::unique_ptr<CAdoRecordset> &recordset,
                     long options);
    std::unique_ptr<CAdoRecordset> runQuery(const QString &sql, const std::vector<SqlValue> *values,
                                            DbError &error);
    long endTransaction(const char *operation, const char *statement);

    std::string lastError_;
    std::string lastReason_;
    int connectionTimeout_ = 30;
    int commandTimeout_ = 30;
    int cursorLocation_ = 3;
    std::shared_ptr<DbConnection> connection_;
    std::string connectionString_; // of the open connection
    std::thread::id openedIn_; // the thread that opened it
    unsigned long long transactions_ = 0;
    unsigned long long committed_ = 0;
};
