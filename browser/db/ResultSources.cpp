#include "ResultSources.h"

#include "BufferedRowSource.h"
#include "DbConnection.h"
#include "PgCursorSource.h"
#include "SqliteWindowSource.h"

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
    if (!values.empty()) {
        QSqlQuery *running = connection->execPrepared(query, values, error);
        if (!running)
            return nullptr;
        std::unique_ptr<RowSource> source =
                BufferedRowSource::Read(connection->engine(), *running, error);
        running->finish();
        return source;
    }
    if (connection->engine() == DbEngine::SQLite) {
        std::unique_ptr<DbConnection> own = connection->OpenSibling(error);
        if (!own)
            return nullptr;
        return SqliteWindowSource::Open(std::move(own), query, error);
    }
    return PgCursorSource::Open(connection, query, error);
}
