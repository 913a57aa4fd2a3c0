#include "KeysetRowSource.h"

#include "ResultSources.h"

#include "common/Codec.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include <algorithm>

namespace {

// A PostgreSQL table name the catalog look-up can take without a syntax error (which
// would spoil an open transaction): words, dots and double-quoted names only.
bool isPostgresName(const QString &table)
{
    return !table.contains(u'[') && !table.contains(u'`');
}

} // namespace

bool KeysetRowSource::FindKey(DbConnection &connection, const QString &table, TableKey &key,
                              DbError &error)
{
    key = TableKey();
    if (connection.engine() == DbEngine::SQLite) {
        key.column = QStringLiteral("rowid");
        return true;
    }
    if (!isPostgresName(table))
        return true;
    QSqlQuery *query = connection.execPrepared(
            QStringLiteral("SELECT c.relkind IN ('r', 'm'), (SELECT quote_ident(a.attname::text) "
                           "FROM pg_catalog.pg_index i JOIN pg_catalog.pg_attribute a "
                           "ON a.attrelid = i.indrelid AND a.attnum = i.indkey[0] "
                           "WHERE i.indrelid = c.oid AND i.indisprimary AND i.indnkeyatts = 1 "
                           "AND a.atttypid IN ('int2'::regtype, 'int4'::regtype, "
                           "'int8'::regtype)) FROM pg_catalog.pg_class c "
                           "WHERE c.oid = pg_catalog.to_regclass(?)"),
            {SqlValue::fromText(Gbk::fromQString(table))}, error);
    if (!query)
        return false;
    if (query->next()) {
        key.ctid = query->value(0).toBool();
        key.column = query->value(1).toString();
    }
    return connection.finish(*query, error);
}

KeysetRowSource::KeysetRowSource(std::shared_ptr<DbConnection> connection,
                                 std::vector<SqlValue> values)
    : connection_(std::move(connection))
    , values_(std::move(values))
{
}

std::unique_ptr<KeysetRowSource>
KeysetRowSource::Open(std::shared_ptr<DbConnection> connection, const TableQueryShape &shape,
                      const QString &key, const std::vector<SqlValue> &values, DbError &error)
{
    std::unique_ptr<KeysetRowSource> source(new KeysetRowSource(std::move(connection), values));
    // The newline keeps a "--" comment at the end of the condition from swallowing ")".
    const QString condition = shape.condition.isEmpty()
            ? QString()
            : QStringLiteral("(") + shape.condition + QStringLiteral("\n)");
    auto window = [&](const char *bound, const char *order) {
        QString where = condition;
        if (*bound)
            where += (where.isEmpty() ? QString() : QStringLiteral(" AND ")) + key
                    + QLatin1String(bound);
        return QStringLiteral("SELECT ") + key + QStringLiteral(" AS kestrel_key, * FROM ")
                + shape.table + (where.isEmpty() ? QString() : QStringLiteral(" WHERE ") + where)
                + QStringLiteral(" ORDER BY ") + key + QLatin1String(order)
                + QStringLiteral(" LIMIT ? OFFSET ?");
    };
    source->sql_[int(From::Head)] = window("", "");
    source->sql_[int(From::After)] = window(" > ?", "");
    source->sql_[int(From::Before)] = window(" < ?", " DESC");
    source->sql_[int(From::Tail)] = window("", " DESC");

    std::vector<long long> keys;
    if (!source->select(From::Head, 0, SmallResultRows + 1, 0, source->opening_, keys, error))
        return nullptr;
    if ((long long)(source->opening_.size()) <= SmallResultRows) {
        // Small: this is the whole result, and it needs the connection no more.
        source->count_ = (long long)(source->opening_.size());
        source->connection_.reset();
        return source;
    }
    source->opening_.pop_back();
    keys.pop_back();

    if (!source->connection_->selectNumber(
                QStringLiteral("SELECT COUNT(*) FROM ") + shape.table
                        + (condition.isEmpty() ? QString() : QStringLiteral(" WHERE ") + condition),
                values, source->count_, error))
        return nullptr;
    // Rows deleted between the two statements: the count as it was taken holds.
    if (source->count_ < (long long)(source->opening_.size())) {
        source->opening_.resize(std::size_t(source->count_));
        keys.resize(std::size_t(source->count_));
    }
    if (!keys.empty()) {
        source->anchors_[0] = keys.front();
        source->anchors_[(long long)(keys.size()) - 1] = keys.back();
    }
    return source;
}

bool KeysetRowSource::select(From from, long long anchorKey, long long limit, long long offset,
                             std::vector<DbRow> &rows, std::vector<long long> &keys, DbError &error)
{
    if (!connection_->checkPresent(error))
        return false;
    std::vector<SqlValue> bound = values_;
    if (from == From::After || from == From::Before)
        bound.push_back(SqlValue::fromInteger(anchorKey));
    bound.push_back(SqlValue::fromInteger(limit));
    bound.push_back(SqlValue::fromInteger(offset));
    QSqlQuery *query = connection_->execPrepared(sql_[int(from)], bound, error);
    if (!query)
        return false;
    const int columns = query->record().count();
    if (fields_.empty())
        fields_ = FieldsOf(connection_->engine(), *query, 1);
    const std::size_t before = rows.size();
    while (query->next()) {
        // SQLite gives a view's rows a NULL rowid: they cannot be listed by key.
        const QVariant key = query->value(0);
        if (key.isNull()) {
            query->finish();
            rows.resize(before);
            error = MakeLayerError(LayerError::RowsMissing, "kestrel_key");
            return false;
        }
        keys.push_back(key.toLongLong());
        rows.push_back(CurrentRow(*query, 1, columns));
    }
    if (!connection_->finish(*query, error)) {
        rows.resize(before);
        return false;
    }
    return true;
}

bool KeysetRowSource::fetch(long long first, long long end, std::vector<DbRow> &rows,
                            DbError &error)
{
    // The cheapest start: after the nearest anchor before the window, before the nearest
    // one after it, or from either end; each costs the rows it has to step over. On a tie
    // reading on forward wins, so a page that spans two windows continues the first.
    From from = From::Head;
    long long anchorKey = 0;
    long long offset = first;
    const auto above = anchors_.lower_bound(end);
    auto below = anchors_.lower_bound(first);
    if (below != anchors_.begin()) {
        --below;
        if (first - below->first - 1 < offset) {
            from = From::After;
            anchorKey = below->second;
            offset = first - below->first - 1;
        }
    }
    if (above != anchors_.end() && above->first - end < offset) {
        from = From::Before;
        anchorKey = above->second;
        offset = above->first - end;
    }
    if (count_ - end < offset) {
        from = From::Tail;
        offset = count_ - end;
    }

    std::vector<DbRow> found;
    std::vector<long long> keys;
    const long long wanted = end - first;
    if (!select(from, anchorKey, wanted, offset, found, keys, error))
        return false;
    const long long got = (long long)(found.size());
    const bool backward = from == From::Before || from == From::Tail;
    if (backward) {
        std::reverse(found.begin(), found.end());
        std::reverse(keys.begin(), keys.end());
    }
    // Rows gone since the count leave holes: at the far end of the direction read.
    const long long start = backward ? end - got : first;
    if (backward)
        rows.insert(rows.end(), std::size_t(wanted - got), DbRow());
    std::move(found.begin(), found.end(), std::back_inserter(rows));
    if (!backward)
        rows.insert(rows.end(), std::size_t(wanted - got), DbRow());
    if (got > 0) {
        anchors_[start] = keys.front();
        anchors_[start + got - 1] = keys.back();
    }
    return true;
}

bool KeysetRowSource::read(long long first, long long wanted, std::vector<DbRow> &rows,
                           DbError &error)
{
    const long long end = std::min(count(), first + wanted);
    first = std::max(first, 0LL);
    if (first >= end)
        return true;
    if (end <= (long long)(opening_.size())) {
        rows.insert(rows.end(), opening_.begin() + std::ptrdiff_t(first),
                    opening_.begin() + std::ptrdiff_t(end));
        if (connection_) // listed: later reads see the table as it is then
            opening_ = {};
        return true;
    }
    if (!connection_) // a small result is whole
        return true;
    const std::size_t before = rows.size();
    if (!fetch(first, end, rows, error)) {
        rows.resize(before);
        return false;
    }
    return true;
}
