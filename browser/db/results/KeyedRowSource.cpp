#include "KeyedRowSource.h"

#include "common/Codec.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include <algorithm>
#include <unordered_map>

namespace {

constexpr int KeysPerRow = 4096;

// PostgreSQL's ctid "(block,offset)" as one number; offsets stay below 2^16.
bool parseCtid(QStringView text, long long &key)
{
    const qsizetype comma = text.indexOf(u',');
    if (text.size() < 5 || text.front() != u'(' || text.back() != u')' || comma < 0)
        return false;
    bool blockOk = false, offsetOk = false;
    const qulonglong block = text.mid(1, comma - 1).toULongLong(&blockOk);
    const uint offset = text.mid(comma + 1, text.size() - comma - 2).toUInt(&offsetOk);
    if (!blockOk || !offsetOk || offset > 0xFFFF)
        return false;
    key = (long long)(block << 16 | offset);
    return true;
}

QString ctidText(long long key)
{
    return QStringLiteral("(%1,%2)").arg((unsigned long long)(key) >> 16).arg(key & 0xFFFF);
}

} // namespace

KeyedRowSource::KeyedRowSource(std::shared_ptr<DbConnection> connection,
                               std::vector<SqlValue> values)
    : connection_(std::move(connection))
    , values_(std::move(values))
{
}

std::unique_ptr<KeyedRowSource> KeyedRowSource::Open(std::shared_ptr<DbConnection> connection,
                                                     const TableQueryShape &shape,
                                                     const std::vector<SqlValue> &values,
                                                     DbError &error)
{
    // The newline keeps a "--" comment at the end of the condition from swallowing ")".
    const QString condition = shape.condition.isEmpty()
            ? QString()
            : QStringLiteral(" AND (") + shape.condition + QStringLiteral("\n)");
    const QString keysSql = QStringLiteral("SELECT ctid AS kestrel_key FROM ") + shape.table
            + (shape.condition.isEmpty()
                       ? QString()
                       : QStringLiteral(" WHERE (") + shape.condition + QStringLiteral("\n)"));
    std::unique_ptr<KeyedRowSource> source(new KeyedRowSource(std::move(connection), values));
    source->windowSql_ = QStringLiteral("SELECT ctid AS kestrel_key, * FROM ") + shape.table
            + QStringLiteral(" WHERE ctid = ANY(?::tid[])") + condition;
    if (!source->readKeys(keysSql, error))
        return nullptr;
    const long long first = std::min<long long>(source->count(), 256);
    if (!source->fetch(0, first, source->opening_, error))
        return nullptr;
    return source;
}

bool KeyedRowSource::readKeys(const QString &sql, DbError &error)
{
    if (!connection_->checkOpen(error))
        return false;
    // Row by row, libpq would hand over one result per key; the server joins them into
    // texts of KeysPerRow keys instead ("(0,1)(0,2)..."), which keeps both the time and
    // the memory of a slice small. The order within and between the texts is the list's
    // order: any order serves, as long as it stays.
    const QString grouped =
            QStringLiteral("SELECT string_agg(kestrel_key::text, '') FROM (SELECT kestrel_key, "
                           "(row_number() OVER ()) / %1 AS kestrel_group FROM (\n")
                    .arg(KeysPerRow)
            + sql + QStringLiteral("\n) AS kestrel_keys) AS kestrel_slices GROUP BY kestrel_group");
    QSqlQuery *query = connection_->execPrepared(grouped, values_, error);
    if (!query)
        return false;
    while (query->next()) {
        const QString text = query->value(0).toString();
        qsizetype at = 0;
        while (at < text.size()) {
            const qsizetype close = text.indexOf(u')', at);
            long long key = 0;
            if (close < 0 || !parseCtid(QStringView(text).mid(at, close + 1 - at), key)) {
                query->finish();
                error = MakeLayerError(LayerError::RowsMissing, "ctid");
                return false;
            }
            keys_.push_back(key);
            at = close + 1;
        }
    }
    return connection_->finish(*query, error);
}

bool KeyedRowSource::fetch(long long first, long long end, std::vector<DbRow> &rows, DbError &error)
{
    if (!connection_->checkOpen(error))
        return false;
    QString list = QStringLiteral("{");
    for (long long i = first; i < end; ++i) {
        if (i > first)
            list += u',';
        list += u'"' + ctidText(keys_[std::size_t(i)]) + u'"';
    }
    list += u'}';
    std::vector<SqlValue> bound;
    bound.reserve(values_.size() + 1);
    bound.push_back(SqlValue::fromText(Gbk::fromQString(list)));
    bound.insert(bound.end(), values_.begin(), values_.end());

    QSqlQuery *query = connection_->execPrepared(windowSql_, bound, error);
    if (!query)
        return false;
    if (fields_.empty())
        fields_ = FieldsOf(connection_->engine(), *query, 1);
    const int columns = query->record().count();
    std::unordered_map<long long, DbRow> found;
    found.reserve(std::size_t(end - first));
    while (query->next()) {
        long long key = 0;
        if (!parseCtid(query->value(0).toString(), key))
            continue;
        found.emplace(key, CurrentRow(*query, 1, columns));
    }
    if (!connection_->finish(*query, error))
        return false;
    // In the order of the keys; a row that is gone leaves an empty row (a hole).
    for (long long i = first; i < end; ++i) {
        auto it = found.find(keys_[std::size_t(i)]);
        rows.push_back(it == found.end() ? DbRow() : std::move(it->second));
    }
    return true;
}

bool KeyedRowSource::read(long long first, long long wanted, std::vector<DbRow> &rows,
                          DbError &error)
{
    const long long end = std::min(count(), first + wanted);
    if (first >= end)
        return true;
    if (first == 0 && !opening_.empty() && end <= (long long)(opening_.size())) {
        rows.insert(rows.end(), opening_.begin(), opening_.begin() + std::ptrdiff_t(end));
        opening_.clear();
        return true;
    }
    const std::size_t before = rows.size();
    if (!fetch(first, end, rows, error)) {
        rows.resize(before);
        return false;
    }
    return true;
}
