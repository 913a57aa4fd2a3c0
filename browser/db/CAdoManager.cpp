#include "CAdoManager.h"

#include "ConnectionString.h"
#include "DbConnection.h"
#include "DbFaultInjection.h"
#include "DbTexts.h"
#include "SqlStatement.h"
#include "browser/db/results/BufferedRowSource.h"
#include "browser/db/results/ResultSources.h"

#include "common/Codec.h"
#include "common/ResultCodes.h"
#include "common/TextFormat.h"

#include <QSqlError>
#include <QSqlQuery>

namespace {

constexpr long NoRecordsWanted = 0x80;

bool acceptedOption(long options)
{
    const long commandType = options & ~NoRecordsWanted;
    return options == -1 || commandType == CAdoManager::CommandText || commandType == 8;
}

// The handlers of unexpected failures must not throw in turn: when even the report
// cannot be made, the previous one stays.
template<class Compose>
void noteUnexpected(Compose compose) noexcept
{
    try {
        compose();
    } catch (...) {
    }
}

// The PostgreSQL connection a thread closed last, kept open for its next manager.
struct HeldConnection
{
    std::string connectionString;
    std::shared_ptr<DbConnection> connection;
};
thread_local HeldConnection held;

// The held connection for the string, when it still answers; null otherwise.
std::shared_ptr<DbConnection> takeHeld(const std::string &connectionString)
{
    if (!held.connection || held.connectionString != connectionString)
        return nullptr;
    std::shared_ptr<DbConnection> connection = std::move(held.connection);
    held = HeldConnection();
    DbError ignored;
    if (connection->inTransaction() || !connection->run(QStringLiteral("SELECT 1"), ignored))
        return nullptr;
    return connection;
}

// Arms SQLite's statement time-out for one operation.
class StatementScope
{
public:
    explicit StatementScope(DbConnection &connection)
        : connection_(connection)
    {
        connection_.startStatement();
    }
    ~StatementScope() { connection_.endStatement(); }
    StatementScope(const StatementScope &) = delete;
    StatementScope &operator=(const StatementScope &) = delete;

private:
    DbConnection &connection_;
};

} // namespace

CAdoManager::CAdoManager() = default;

CAdoManager::~CAdoManager()
{
    CloseAdoConnection();
}

long CAdoManager::OpenAdoConnection(const std::string &connectionString)
{
    try {
        DbFaultInjection::Point("OpenAdoConnection");
        if (connection_)
            return ResultCode::GeneralFailure;
        if (std::shared_ptr<DbConnection> kept = takeHeld(connectionString)) {
            connection_ = std::move(kept);
            connectionString_ = connectionString;
            openedIn_ = std::this_thread::get_id();
            return ResultCode::Success;
        }
        DbEndpoint endpoint;
        DbError error;
        std::unique_ptr<DbConnection> connection;
        if (ParseDbEndpoint(connectionString, endpoint, error))
            connection = DbConnection::Open(endpoint, connectionTimeout_, error);
        if (!connection) {
            lastError_ = MaskConnectionPassword(connectionString) + Gbk::literal(DbText::OpenFailed)
                    + DbErrorBlock(error);
            lastReason_ = error.description;
            return error.code;
        }
        connection_ = std::move(connection);
        connectionString_ = connectionString;
        openedIn_ = std::this_thread::get_id();
        return ResultCode::Success;
    } catch (...) {
        noteUnexpected([&] {
            lastReason_.clear();
            lastError_ =
                    MaskConnectionPassword(connectionString) + Gbk::literal(DbText::OpenUnexpected);
        });
        return ResultCode::GeneralFailure;
    }
}

long CAdoManager::CloseAdoConnection()
{
    try {
        DbFaultInjection::Point("CloseAdoConnection");
        if (!connection_)
            return ResultCode::GeneralFailure;
        // A record set still reading through this connection keeps it open, so an open
        // transaction is ended here rather than by closing.
        if (connection_->inTransaction()) {
            DbError ignored;
            connection_->endTransaction(QStringLiteral("ROLLBACK"), ignored);
        }
        DbError broken;
        if (connection_->engine() == DbEngine::PostgreSQL && !connection_->inTransaction()
            && openedIn_ == std::this_thread::get_id() && connection_->checkOpen(broken))
            held = HeldConnection {connectionString_, std::move(connection_)};
        connection_.reset();
        connectionString_.clear();
        return ResultCode::Success;
    } catch (...) {
        noteUnexpected([&] { lastError_ = Gbk::literal(DbText::CloseUnexpected); });
        return ResultCode::GeneralFailure;
    }
}

void CAdoManager::ReleaseHeldConnection()
{
    held = HeldConnection();
}

bool CAdoManager::prepareCommand(long options, DbError &error)
{
    if (!acceptedOption(options)) {
        error = MakeLayerError(LayerError::UnsupportedOption,
                               FormatText(Gbk::literal(DbText::OptionNamed).c_str(), options));
        return false;
    }
    if (!connection_) {
        error = MakeLayerError(LayerError::NotOpen, std::string());
        return false;
    }
    return connection_->checkPresent(error) && connection_->applyTimeout(commandTimeout_, error);
}

long CAdoManager::reportExecuteFailure(const char *header, const std::string &sql,
                                       const DbError &error)
{
    lastError_ = Gbk::literal(header) + DbStatementBlock(sql) + DbErrorBlock(error);
    lastReason_ = error.description;
    return error.code;
}

long CAdoManager::ExecuteSql(const std::string &sql, long options)
{
    return execute(Gbk::toQString(sql), nullptr, sql, options);
}

long CAdoManager::ExecuteSql(const BoundStatement &statement, long options)
{
    if (!connection_ || !connection_->sqliteHandle())
        return execute(Gbk::toQString(statement.sql), &statement.values, statement.shown(),
                       options);
    try {
        DbFaultInjection::Point("ExecuteSql");
        DbError error;
        if (!prepareCommand(options, error))
            return reportExecuteFailure(DbText::ExecuteFailed, statement.shown(), error);
        StatementScope scope(*connection_);
        if (!connection_->runSqlite(statement.sql, statement.values, error))
            return reportExecuteFailure(DbText::ExecuteFailed, statement.shown(), error);
        return ResultCode::Success;
    } catch (...) {
        noteUnexpected([&] {
            lastReason_.clear();
            lastError_ += Gbk::literal(DbText::ExecuteUnexpected);
        });
        return ResultCode::GeneralFailure;
    }
}

long CAdoManager::ExecuteSql(const std::vector<BoundStatement> &statements, long options)
{
    if (!connection_ || !connection_->sqliteHandle()) {
        for (const BoundStatement &statement : statements) {
            if (const long result = ExecuteSql(statement, options))
                return result;
        }
        return ResultCode::Success;
    }
    try {
        // The file is looked for before the first and after the last, not for each: a
        // database removed meanwhile is still found before anything is committed.
        DbError error;
        if (!statements.empty() && !prepareCommand(options, error))
            return reportExecuteFailure(DbText::ExecuteFailed, statements.front().shown(), error);
        for (const BoundStatement &statement : statements) {
            DbFaultInjection::Point("ExecuteSql");
            StatementScope scope(*connection_);
            if (!connection_->runSqlite(statement.sql, statement.values, error))
                return reportExecuteFailure(DbText::ExecuteFailed, statement.shown(), error);
        }
        if (!statements.empty() && !connection_->checkPresent(error))
            return reportExecuteFailure(DbText::ExecuteFailed, statements.back().shown(), error);
        return ResultCode::Success;
    } catch (...) {
        noteUnexpected([&] {
            lastReason_.clear();
            lastError_ += Gbk::literal(DbText::ExecuteUnexpected);
        });
        return ResultCode::GeneralFailure;
    }
}

long CAdoManager::ExecuteSql(const std::string &sql, std::unique_ptr<CAdoRecordset> &recordset,
                             long options)
{
    return executeInto(Gbk::toQString(sql), nullptr, sql, recordset, options);
}

long CAdoManager::ExecuteSql(const BoundStatement &statement,
                             std::unique_ptr<CAdoRecordset> &recordset, long options)
{
    return executeInto(Gbk::toQString(statement.sql), &statement.values, statement.shown(),
                       recordset, options);
}

long CAdoManager::readRows(const std::string &shown,
                           const std::function<bool(DbError &error)> &read)
{
    try {
        DbFaultInjection::Point("ExecuteSql[Rs]");
        DbError error;
        if (!prepareCommand(CommandText, error))
            return reportExecuteFailure(DbText::ExecuteRsFailed, shown, error);
        StatementScope scope(*connection_);
        if (!read(error))
            return reportExecuteFailure(DbText::ExecuteRsFailed, shown, error);
        return ResultCode::Success;
    } catch (...) {
        noteUnexpected([&] {
            lastReason_.clear();
            lastError_ = Gbk::literal(DbText::ExecuteRsUnexpected);
        });
        return ResultCode::GeneralFailure;
    }
}

long CAdoManager::ForEachRow(const BoundStatement &statement, const RowFunction &rowFn)
{
    return readRows(statement.shown(), [&](DbError &error) {
        return connection_->eachRow(statement.sql, statement.values, rowFn, error);
    });
}

std::unique_ptr<WalCheckpointer> CAdoManager::CheckpointInBackground(int frames, int writerFrames,
                                                                     int restoreFrames)
{
    if (!connection_ || !connection_->sqliteHandle())
        return nullptr;
    return std::make_unique<WalCheckpointer>(connection_, frames, writerFrames, restoreFrames);
}

std::string CAdoManager::SqliteFile() const
{
    return connection_ ? connection_->sqliteFile() : std::string();
}

long CAdoManager::ReadBlobSlices(const std::string &table, const std::string &column,
                                 std::vector<BlobSlice> &slices, long long runBytes)
{
    return readRows("read " + table + "." + column, [&](DbError &error) {
        return connection_->readSqliteSlices(table, column, slices, runBytes, error);
    });
}

long CAdoManager::SelectColumn(const BoundStatement &statement, std::vector<CAdoValue> &values,
                               long options)
{
    values.clear();
    if (!connection_ || !connection_->sqliteHandle()) {
        std::unique_ptr<CAdoRecordset> rows;
        if (const long result = ExecuteSql(statement, rows, options))
            return result;
        for (; rows && rows->IsOpen() && !rows->IsEOF();) {
            values.push_back(rows->Value(0));
            if (const long result = rows->MoveNext()) {
                lastError_ = rows->LastError();
                lastReason_.clear();
                return result;
            }
        }
        return ResultCode::Success;
    }
    try {
        DbFaultInjection::Point("ExecuteSql[Rs]");
        DbError error;
        if (!prepareCommand(options, error))
            return reportExecuteFailure(DbText::ExecuteRsFailed, statement.shown(), error);
        StatementScope scope(*connection_);
        std::vector<QVariant> column;
        if (!connection_->querySqlite(statement.sql, statement.values, column, error))
            return reportExecuteFailure(DbText::ExecuteRsFailed, statement.shown(), error);
        // The type of the column, as a record set would name it, is not needed here.
        values.reserve(column.size());
        for (QVariant &value : column)
            values.emplace_back(std::move(value), 0);
        return ResultCode::Success;
    } catch (...) {
        noteUnexpected([&] {
            lastReason_.clear();
            lastError_ = Gbk::literal(DbText::ExecuteRsUnexpected);
        });
        return ResultCode::GeneralFailure;
    }
}

long CAdoManager::execute(const QString &sql, const std::vector<SqlValue> *values,
                          const std::string &shown, long options)
{
    try {
        DbFaultInjection::Point("ExecuteSql");
        DbError error;
        if (!prepareCommand(options, error))
            return reportExecuteFailure(DbText::ExecuteFailed, shown, error);
        StatementScope scope(*connection_);
        bool done;
        if (values) {
            QSqlQuery *query = connection_->execPrepared(sql, *values, error);
            done = query != nullptr;
            if (query)
                query->finish();
        } else {
            done = connection_->run(sql, error);
        }
        if (!done)
            return reportExecuteFailure(DbText::ExecuteFailed, shown, error);
        return ResultCode::Success;
    } catch (...) {
        // Appended: the report says the statement above failed unexpectedly.
        noteUnexpected([&] {
            lastReason_.clear();
            lastError_ += Gbk::literal(DbText::ExecuteUnexpected);
        });
        return ResultCode::GeneralFailure;
    }
}

long CAdoManager::executeInto(const QString &sql, const std::vector<SqlValue> *values,
                              const std::string &shown, std::unique_ptr<CAdoRecordset> &recordset,
                              long options)
{
    try {
        DbFaultInjection::Point("ExecuteSql[Rs]");
        DbError error;
        if (!prepareCommand(options, error))
            return reportExecuteFailure(DbText::ExecuteRsFailed, shown, error);
        if (recordset && recordset->IsOpen())
            recordset->Close();
        std::unique_ptr<CAdoRecordset> fresh = runQuery(sql, values, error);
        if (!fresh)
            return reportExecuteFailure(DbText::ExecuteRsFailed, shown, error);
        recordset = std::move(fresh);
        return ResultCode::Success;
    } catch (...) {
        noteUnexpected([&] {
            lastReason_.clear();
            lastError_ = Gbk::literal(DbText::ExecuteRsUnexpected);
        });
        return ResultCode::GeneralFailure;
    }
}

std::unique_ptr<CAdoRecordset>
CAdoManager::runQuery(const QString &sql, const std::vector<SqlValue> *values, DbError &error)
{
    static const std::vector<SqlValue> noValues;
    const std::vector<SqlValue> &bound = values ? *values : noValues;
    const SqlStatementShape shape = AnalyzeSqlStatement(sql);
    auto recordset = std::make_unique<CAdoRecordset>();
    std::unique_ptr<RowSource> source;
    StatementScope scope(*connection_);
    if (shape.isQuery) {
        // Small results are read whole on this connection (they see its uncommitted
        // rows and cost nothing more); longer ones are listed (ResultSources.h).
        source = OpenQueryResult(connection_, shape.text, bound, error);
        if (!source)
            return nullptr;
    } else {
        QSqlQuery *query = nullptr;
        QSqlQuery plain(connection_->database());
        if (values) {
            query = connection_->execPrepared(sql, bound, error);
            if (!query)
                return nullptr;
        } else {
            plain.setForwardOnly(true);
            if (!plain.exec(sql)) {
                error = connection_->errorFrom(plain.lastError());
                return nullptr;
            }
            query = &plain;
        }
        if (query->isSelect())
            source = BufferedRowSource::Read(connection_->engine(), *query, error);
        query->finish();
        if (!source && !error.code)
            return recordset; // closed, as for any statement without rows
    }
    if (!source || !recordset->Attach(std::move(source), error))
        return nullptr;
    return recordset;
}

long CAdoManager::BeginTransaction()
{
    try {
        DbFaultInjection::Point("BeginTransaction");
        if (InTransaction())
            return ResultCode::GeneralFailure;
        const char *statement = connection_ && connection_->engine() == DbEngine::SQLite
                ? "BEGIN IMMEDIATE"
                : "BEGIN";
        DbError error;
        if (!prepareCommand(CommandText, error) || !connection_->beginTransaction(error)) {
            lastError_ =
                    FormatText(Gbk::literal(DbText::TransactionFailed).c_str(), "BeginTransaction")
                    + DbStatementBlock(statement) + DbErrorBlock(error);
            lastReason_ = error.description;
            return error.code;
        }
        ++transactions_;
        return ResultCode::Success;
    } catch (...) {
        noteUnexpected([&] {
            lastReason_.clear();
            lastError_ = FormatText(Gbk::literal(DbText::TransactionUnexpected).c_str(),
                                    "BeginTransaction");
        });
        return ResultCode::GeneralFailure;
    }
}

long CAdoManager::CommitTransaction()
{
    return endTransaction("CommitTransaction", "COMMIT");
}

long CAdoManager::RollbackTransaction()
{
    return endTransaction("RollbackTransaction", "ROLLBACK");
}

long CAdoManager::endTransaction(const char *operation, const char *statement)
{
    try {
        DbFaultInjection::Point(operation);
        if (!InTransaction())
            return ResultCode::GeneralFailure;
        DbError error;
        const bool commit = std::string_view(statement) == "COMMIT";
        if (!connection_->endTransaction(QString::fromLatin1(statement), error)) {
            lastError_ = FormatText(Gbk::literal(DbText::TransactionFailed).c_str(), operation)
                    + DbStatementBlock(statement) + DbErrorBlock(error);
            lastReason_ = error.description;
            return error.code;
        }
        if (commit)
            committed_ = transactions_;
        return ResultCode::Success;
    } catch (...) {
        noteUnexpected([&] {
            lastReason_.clear();
            lastError_ = FormatText(Gbk::literal(DbText::TransactionUnexpected).c_str(), operation);
        });
        return ResultCode::GeneralFailure;
    }
}

bool CAdoManager::InTransaction() const
{
    return connection_ && connection_->inTransaction();
}
