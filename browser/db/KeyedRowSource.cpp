#include "KeyedRowSource.h"

#include "AdoTypes.h"

#include "common/Codec.h"

#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>

#include <sqlite3.h>

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

bool bindSqlite(sqlite3_stmt *statement, const std::vector<SqlValue> &values)
{
    for (std::size_t i = 0; i < values.size(); ++i) {
        const int index = int(i) + 1;
        const SqlValue &value = values[i];
        int rc;
        if (value.kind == SqlValue::Integer) {
            rc = sqlite3_bind_int64(statement, index, value.integer);
        } else if (value.kind == SqlValue::Text) {
            const QString text = Gbk::toQString(value.text);
            rc = sqlite3_bind_text16(statement, index, text.utf16(),
                                     int(text.size() * qsizetype(sizeof(char16_t))),
                                     SQLITE_TRANSIENT);
        } else {
            rc = sqlite3_bind_null(statement, index);
        }
        if (rc != SQLITE_OK)
            return false;
    }
    return true;
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
    const bool sqlite = connection->engine() == DbEngine::SQLite;
    const QString key = sqlite ? QStringLiteral("rowid") : QStringLiteral("ctid");
    // The newline keeps a "--" comment at the end of the condition from swallowing ")".
    const QString condition = shape.condition.isEmpty()
            ? QString()
            : QStringLiteral(" AND (") + shape.condition + QStringLiteral("\n)");
    const QString keysSql = QStringLiteral("SELECT ") + key
            + QStringLiteral(" AS kestrel_key FROM ") + shape.table
            + (shape.condition.isEmpty()
                       ? QString()
                       : QStringLiteral(" WHERE (") + shape.condition + QStringLiteral("\n)"));
    std::unique_ptr<KeyedRowSource> source(new KeyedRowSource(std::move(connection), values));
    source->windowSql_ = QStringLiteral("SELECT ") + key
            + QStringLiteral(" AS kestrel_key, * FROM ") + shape.table + QStringLiteral(" WHERE ")
            + (sqlite ? QStringLiteral("rowid IN (SELECT value FROM json_each(?))")
                      : QStringLiteral("ctid = ANY(?::tid[])"))
            + condition;
    if (!source->readKeys(keysSql, error))
        return nullptr;
    const long long first = std::min<long long>(source->count(), 256);
    if (!source->fetch(0, first, source->opening_, error))
        return nullptr;
    return source;
}

bool KeyedRowSource::readKeys(const QString &sql, DbError &error)
{
    if (!connection_->checkPresent(error))
        return false;
    if (connection_->sqliteHandle())
        return readSqliteKeys(sql, error);
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
    const bool failed = query->lastError().isValid();
    if (failed)
        error = connection_->errorFrom(query->lastError());
    query->finish();
    return !failed;
}

// Hundreds of thousands of keys are read straight from SQLite: through Qt each row would
// cost a record and a variant.
bool KeyedRowSource::readSqliteKeys(const QString &sql, DbError &error)
{
    sqlite3 *db = connection_->sqliteHandle();
    sqlite3_stmt *statement = nullptr;
    if (sqlite3_prepare16_v2(db, sql.utf16(), int(sql.size() * qsizetype(sizeof(char16_t))),
                             &statement, nullptr)
        != SQLITE_OK) {
        error = connection_->sqliteError();
        sqlite3_finalize(statement);
        return false;
    }
    int rc = bindSqlite(statement, values_) ? SQLITE_ROW : SQLITE_ERROR;
    if (rc == SQLITE_ROW) {
        while ((rc = sqlite3_step(statement)) == SQLITE_ROW)
            keys_.push_back(sqlite3_column_int64(statement, 0));
    }
    if (rc != SQLITE_DONE)
        error = connection_->sqliteError();
    sqlite3_finalize(statement);
    return rc == SQLITE_DONE;
}

bool KeyedRowSource::fetch(long long first, long long end, std::vector<DbRow> &rows, DbError &error)
{
    if (!connection_->checkPresent(error))
        return false;
    const bool sqlite = connection_->engine() == DbEngine::SQLite;
    QString list = sqlite ? QStringLiteral("[") : QStringLiteral("{");
    for (long long i = first; i < end; ++i) {
        if (i > first)
            list += u',';
        list += sqlite ? QString::number(keys_[std::size_t(i)])
                       : u'"' + ctidText(keys_[std::size_t(i)]) + u'"';
    }
    list += sqlite ? u']' : u'}';
    std::vector<SqlValue> bound;
    bound.reserve(values_.size() + 1);
    bound.push_back(SqlValue::fromText(Gbk::fromQString(list)));
    bound.insert(bound.end(), values_.begin(), values_.end());

    QSqlQuery *query = connection_->execPrepared(windowSql_, bound, error);
    if (!query)
        return false;
    const QSqlRecord record = query->record();
    if (fields_.empty()) {
        for (int i = 1; i < record.count(); ++i)
            fields_.push_back(DbField {Gbk::fromQString(record.fieldName(i)),
                                       AdoTypeOfField(connection_->engine(), record.field(i))});
    }
    const int columns = record.count();
    std::unordered_map<long long, DbRow> found;
    found.reserve(std::size_t(end - first));
    while (query->next()) {
        long long key = 0;
        if (sqlite)
            key = query->value(0).toLongLong();
        else if (!parseCtid(query->value(0).toString(), key))
            continue;
        DbRow row;
        row.reserve(std::size_t(columns - 1));
        for (int c = 1; c < columns; ++c)
            row.push_back(query->value(c));
        found.emplace(key, std::move(row));
    }
    if (query->lastError().isValid()) {
        error = connection_->errorFrom(query->lastError());
        query->finish();
        return false;
    }
    query->finish();
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
