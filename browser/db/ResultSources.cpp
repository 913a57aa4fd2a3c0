#include "ResultSources.h"

#include "BufferedRowSource.h"
#include "DbConnection.h"
#include "KeyedRowSource.h"
#include "OffsetWindowSource.h"
#include "SqlStatement.h"

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

} // namespace

std::unique_ptr<RowSource> ReadSmallResult(DbConnection &connection, const QString &query,
                                           const std::vector<SqlValue> &values, bool &complete,
                                           DbError &error)
{
    complete = false;
    QSqlQuery *running =
            connection.execPrepared(probeText(connection.engine(), query), values, error);
    if (!running)
        return nullptr;
    std::unique_ptr<BufferedRowSource> source = BufferedRowSource::Read(
            connection.engine(), *running, SmallResultRows, complete, error);
    if (!source)
        error = connection.errorFrom(running->lastError());
    running->finish();
    return source;
}

std::unique_ptr<RowSource> OpenListedResult(const std::shared_ptr<DbConnection> &connection,
                                            const QString &query,
                                            const std::vector<SqlValue> &values, DbError &error)
{
    const TableQueryShape shape = AnalyzeTableQuery(query);
    // A view or a table without row keys cannot be listed by key: then by offset.
    if (shape.simple) {
        if (std::unique_ptr<RowSource> source =
                    KeyedRowSource::Open(connection, shape, values, error))
            return source;
    }
    return OffsetWindowSource::Open(connection, query, values, error);
}
