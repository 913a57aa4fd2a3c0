#include "ResultSources.h"

#include "BufferedRowSource.h"
#include "KeyedRowSource.h"
#include "KeysetRowSource.h"
#include "OffsetWindowSource.h"
#include "browser/db/DbConnection.h"
#include "browser/db/SqlStatement.h"

#include <QSqlError>
#include <QSqlQuery>

namespace {

// PostgreSQL sends a whole result to the client at once, so the probe asks for no more
// than it reads; SQLite reads rows one step at a time anyway.
QString probeText(DbEngine engine, const QString &query)
{
    if (engine == DbEngine::SQLite)
        return query;
    // The newlines keep a trailing "--" comment of the query from swallowing the ")".
    return QStringLiteral("SELECT * FROM (\n") + query
            + QStringLiteral("\n) AS kestrel_small LIMIT %1").arg(SmallResultRows + 1);
}

// nullptr with error.code 0 when the query has more than SmallResultRows rows.
std::unique_ptr<RowSource> readSmallResult(DbConnection &connection, const QString &query,
                                           const std::vector<SqlValue> &values, DbError &error)
{
    QSqlQuery *running =
            connection.execPrepared(probeText(connection.engine(), query), values, error);
    if (!running)
        return nullptr;
    bool complete = false;
    std::unique_ptr<BufferedRowSource> source = BufferedRowSource::Read(
            connection.engine(), *running, SmallResultRows, complete, error);
    if (!source)
        error = connection.errorFrom(running->lastError());
    running->finish();
    if (!complete)
        source.reset();
    return source;
}

// A SQLite table without rowid (KeysetRowSource::Open): the query may still be fine
// without the key.
bool missingRowid(const DbConnection &connection, const DbError &error)
{
    if (connection.engine() != DbEngine::SQLite)
        return false;
    const DbEngine engine = EngineOfCode(error.code);
    const std::uint32_t native = NativeOfCode(error.code);
    return (engine == DbEngine::SQLite && native == 1)
            || (engine == DbEngine::Layer && native == LayerError::RowsMissing);
}

} // namespace

std::unique_ptr<RowSource> OpenQueryResult(const std::shared_ptr<DbConnection> &connection,
                                           const QString &query,
                                           const std::vector<SqlValue> &values, DbError &error)
{
    const TableQueryShape shape = AnalyzeTableQuery(query);
    TableKey key;
    if (shape.simple) {
        if (!KeysetRowSource::FindKey(*connection, shape.table, key, error))
            return nullptr;
        if (!key.column.isEmpty()) {
            if (std::unique_ptr<RowSource> source =
                        KeysetRowSource::Open(connection, shape, key.column, values, error))
                return source;
            if (!missingRowid(*connection, error))
                return nullptr;
            error = DbError();
        }
    }
    if (std::unique_ptr<RowSource> small = readSmallResult(*connection, query, values, error))
        return small;
    if (error.code)
        return nullptr;
    if (shape.simple && key.ctid)
        return KeyedRowSource::Open(connection, shape, values, error);
    return OffsetWindowSource::Open(connection, query, values, error);
}
