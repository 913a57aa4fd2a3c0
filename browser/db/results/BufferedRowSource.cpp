#include "BufferedRowSource.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include <algorithm>

std::unique_ptr<BufferedRowSource> BufferedRowSource::Read(DbEngine engine, QSqlQuery &query,
                                                           DbError &error)
{
    bool complete = false;
    return Read(engine, query, -1, complete, error);
}

std::unique_ptr<BufferedRowSource> BufferedRowSource::Read(DbEngine engine, QSqlQuery &query,
                                                           long long limit, bool &complete,
                                                           DbError &error)
{
    complete = false;
    auto source = std::make_unique<BufferedRowSource>();
    source->fields_ = FieldsOf(engine, query);
    const int columns = query.record().count();
    while (true) {
        if (limit >= 0 && (long long)(source->rows_.size()) >= limit) {
            if (query.next())
                return source; // more than the limit
            break;
        }
        if (!query.next())
            break;
        source->rows_.push_back(CurrentRow(query, 0, columns));
    }
    if (query.lastError().isValid()) {
        error = DbErrorFromSql(engine, query.lastError());
        return nullptr;
    }
    complete = true;
    return source;
}

bool BufferedRowSource::read(long long first, long long wanted, std::vector<DbRow> &rows, DbError &)
{
    const long long end = std::min(count(), first + wanted);
    for (long long i = std::max(first, 0LL); i < end; ++i)
        rows.push_back(rows_[std::size_t(i)]);
    return true;
}
