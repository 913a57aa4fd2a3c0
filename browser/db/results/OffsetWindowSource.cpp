#include "OffsetWindowSource.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include <algorithm>

OffsetWindowSource::OffsetWindowSource(std::shared_ptr<DbConnection> connection,
                                       std::vector<SqlValue> values)
    : connection_(std::move(connection))
    , values_(std::move(values))
{
}

std::unique_ptr<OffsetWindowSource>
OffsetWindowSource::Open(std::shared_ptr<DbConnection> connection, const QString &query,
                         const std::vector<SqlValue> &values, DbError &error)
{
    std::unique_ptr<OffsetWindowSource> source(
            new OffsetWindowSource(std::move(connection), values));
    // The newlines keep a trailing "--" comment of the query from swallowing the ")".
    const QString inner = QStringLiteral("(\n") + query + QStringLiteral("\n) AS kestrel_rows");
    source->windowSql_ =
            QStringLiteral("SELECT * FROM ") + inner + QStringLiteral(" LIMIT ? OFFSET ?");
    if (!source->connection_->checkPresent(error))
        return nullptr;
    if (!source->connection_->selectNumber(QStringLiteral("SELECT COUNT(*) FROM ") + inner, values,
                                           source->count_, error))
        return nullptr;
    std::vector<DbRow> none;
    if (!source->window(0, 0, none, true, error))
        return nullptr;
    return source;
}

bool OffsetWindowSource::window(long long first, long long wanted, std::vector<DbRow> &rows,
                                bool withFields, DbError &error)
{
    if (!connection_->checkPresent(error))
        return false;
    std::vector<SqlValue> bound = values_;
    bound.push_back(SqlValue::fromInteger(wanted));
    bound.push_back(SqlValue::fromInteger(first));
    QSqlQuery *query = connection_->execPrepared(windowSql_, bound, error);
    if (!query)
        return false;
    if (withFields)
        fields_ = FieldsOf(connection_->engine(), *query);
    const std::size_t before = rows.size();
    const int columns = query->record().count();
    while (query->next())
        rows.push_back(CurrentRow(*query, 0, columns));
    if (!connection_->finish(*query, error)) {
        rows.resize(before);
        return false;
    }
    return true;
}

bool OffsetWindowSource::read(long long first, long long wanted, std::vector<DbRow> &rows,
                              DbError &error)
{
    const long long expected = std::max(0LL, std::min(count_, first + wanted) - first);
    const std::size_t before = rows.size();
    if (expected > 0 && !window(first, expected, rows, false, error))
        return false;
    // Rows deleted since the count was taken: the positions left over are holes.
    while ((long long)(rows.size() - before) < expected)
        rows.push_back(DbRow());
    return true;
}
