#include "CAdoManager.h"

#include "BufferedRowSource.h"
#include "ConnectionString.h"
#include "DbConnection.h"
#include "DbFaultInjection.h"
#include "DbTexts.h"
#include "PgCursorSource.h"
#include "SqlStatement.h"
#include "SqliteWindowSource.h"

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
        DbEndpoint endpoint;
        DbError error;
        std::unique_ptr<DbConnection> connection;
        if (ParseDbEndpoint(connectionString, endpoint, error))
            connection = DbConnection::Open(endpoint, connectionTimeout_, error);
        if (!connection) {
            lastError_ = MaskConnectionPassword(connectionString) + Gbk::literal(DbText::OpenFailed)
                    + DbErrorBlock(error);
            return error.code;
        }
        connection_ = std::move(connection);
        return ResultCode::Success;
    } catch (...) {
        noteUnexpected([&] {
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
        // A PostgreSQL record set still reading through this connection keeps it open.
        connection_.reset();
        return ResultCode::Success;
    } catch (...) {
        noteUnexpected([&] { lastError_ = Gbk::literal(DbText::CloseUnexpected); });
        return ResultCode::GeneralFailure;
    }
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
    return error.code;
}

long CAdoManager::ExecuteSql(const std::string &sql, long options)
{
    try {
        DbFaultInjection::Point("ExecuteSql");
        DbError error;
        if (!prepareCommand(options, error) || !connection_->run(Gbk::toQString(sql), error))
            return reportExecuteFailure(DbText::ExecuteFailed, sql, error);
        return ResultCode::Success;
    } catch (...) {
        // Appended: the report says the statement above failed unexpectedly.
        noteUnexpected([&] { lastError_ += Gbk::literal(DbText::ExecuteUnexpected); });
        return ResultCode::GeneralFailure;
    }
}

long CAdoManager::ExecuteSql(const std::string &sql, std::unique_ptr<CAdoRecordset> &recordset,
                             long options)
{
    try {
        DbFaultInjection::Point("ExecuteSql[Rs]");
        DbError error;
        if (!prepareCommand(options, error))
            return reportExecuteFailure(DbText::ExecuteRsFailed, sql, error);
        if (recordset && recordset->IsOpen())
            recordset->Close();
        std::unique_ptr<CAdoRecordset> fresh = runQuery(sql, error);
        if (!fresh)
            return reportExecuteFailure(DbText::ExecuteRsFailed, sql, error);
        recordset = std::move(fresh);
        return ResultCode::Success;
    } catch (...) {
        noteUnexpected([&] { lastError_ = Gbk::literal(DbText::ExecuteRsUnexpected); });
        return ResultCode::GeneralFailure;
    }
}

std::unique_ptr<CAdoRecordset> CAdoManager::runQuery(const std::string &sql, DbError &error)
{
    const QString text = Gbk::toQString(sql);
    const SqlStatementShape shape = AnalyzeSqlStatement(text);
    auto recordset = std::make_unique<CAdoRecordset>();
    std::unique_ptr<RowSource> source;
    if (shape.isQuery && connection_->engine() == DbEngine::SQLite) {
        std::unique_ptr<DbConnection> own = connection_->OpenSibling(error);
        if (own)
            source = SqliteWindowSource::Open(std::move(own), shape.text, error);
    } else if (shape.isQuery) {
        source = PgCursorSource::Open(connection_, shape.text, error);
    } else {
        QSqlQuery query(connection_->database());
        query.setForwardOnly(true);
        if (!query.exec(text)) {
            error = connection_->errorFrom(query.lastError());
            return nullptr;
        }
        if (!query.isSelect())
            return recordset; // closed, as for any statement without rows
        source = BufferedRowSource::Read(connection_->engine(), query, error);
    }
    if (!source || !recordset->Attach(std::move(source), error))
        return nullptr;
    return recordset;
}
