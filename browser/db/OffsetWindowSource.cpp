#include "OffsetWindowSource.h"

#include "AdoTypes.h"

#include "common/Codec.h"

#include <QSqlError>
#include <QSqlField>
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
    QSqlQuery *counter = source->connection_->execPrepared(
            QStringLiteral("SELECT COUNT(*) FROM ") + inner, values, error);
    if (!counter)
        return nullptr;
    if (!counter->next()) {
        error = source->connection_->errorFrom(counter->lastError());
        counter->finish();
        return nullptr;
    }
    source->count_ = counter->value(0).toLongLong();
    counter->finish();
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
    const QSqlRecord record = query->record();
    if (withFields) {
        for (int i = 0; i < record.count(); ++i)
            fields_.push_back(DbField {Gbk::fromQString(record.fieldName(i)),
                                       AdoTypeOfField(connection_->engine(), record.field(i))});
    }
    const std::size_t before = rows.size();
    const int columns = record.count();
    while (query->next()) {
        DbRow row;
        row.reserve(std::size_t(columns));
        for (int c = 0; c < columns; ++c)
            row.push_back(query->value(c));
        rows.push_back(std::move(row));
    }
    if (query->lastError().isValid()) {
        error = connection_->errorFrom(query->lastError());
        query->finish();
        rows.resize(before);
        return false;
    }
    query->finish();
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
