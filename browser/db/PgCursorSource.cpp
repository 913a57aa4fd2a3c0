#include "PgCursorSource.h"

#include "AdoTypes.h"

#include "common/Codec.h"

#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>

#include <atomic>

namespace {
std::atomic<unsigned> cursorCounter {0};
}

PgCursorSource::PgCursorSource(std::shared_ptr<DbConnection> connection)
    : connection_(std::move(connection))
    , cursor_(QStringLiteral("kestrel_rs_%1").arg(++cursorCounter))
{
}

PgCursorSource::~PgCursorSource()
{
    if (declared_) {
        DbError ignored;
        connection_->run(QStringLiteral("CLOSE ") + cursor_, ignored);
    }
}

std::unique_ptr<PgCursorSource> PgCursorSource::Open(std::shared_ptr<DbConnection> connection,
                                                     const QString &query, DbError &error)
{
    std::unique_ptr<PgCursorSource> source(new PgCursorSource(std::move(connection)));
    if (!source->start(query, error))
        return nullptr;
    return source;
}

bool PgCursorSource::start(const QString &query, DbError &error)
{
    if (!connection_->run(QStringLiteral("DECLARE %1 SCROLL CURSOR WITH HOLD FOR ").arg(cursor_)
                                  + query,
                          error))
        return false;
    declared_ = true;

    QSqlQuery q(connection_->database());
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("MOVE FORWARD ALL IN ") + cursor_)) {
        error = connection_->errorFrom(q.lastError());
        return false;
    }
    count_ = q.numRowsAffected();
    if (!move(0, error))
        return false;
    // Re-fetching the current row before the first one returns no row, only the columns.
    if (!q.exec(QStringLiteral("FETCH FORWARD 0 FROM ") + cursor_)) {
        error = connection_->errorFrom(q.lastError());
        return false;
    }
    const QSqlRecord record = q.record();
    for (int i = 0; i < record.count(); ++i)
        fields_.push_back(DbField {Gbk::fromQString(record.fieldName(i)),
                                   AdoTypeOfField(DbEngine::PostgreSQL, record.field(i))});
    return true;
}

bool PgCursorSource::move(long long first, DbError &error)
{
    serverAt_ = -1;
    if (!connection_->run(QStringLiteral("MOVE ABSOLUTE %1 IN %2").arg(first).arg(cursor_), error))
        return false;
    serverAt_ = first;
    return true;
}

bool PgCursorSource::read(long long first, long long wanted, std::vector<DbRow> &rows,
                          DbError &error)
{
    if (!connection_->checkOpen(error) || (serverAt_ != first && !move(first, error)))
        return false;
    QSqlQuery q(connection_->database());
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("FETCH FORWARD %1 FROM %2").arg(wanted).arg(cursor_))) {
        serverAt_ = -1;
        error = connection_->errorFrom(q.lastError());
        return false;
    }
    const std::size_t before = rows.size();
    const int columns = int(fields_.size());
    while (q.next()) {
        DbRow row;
        row.reserve(std::size_t(columns));
        for (int c = 0; c < columns; ++c)
            row.push_back(q.value(c));
        rows.push_back(std::move(row));
    }
    if (q.lastError().isValid()) {
        rows.resize(before);
        serverAt_ = -1;
        error = connection_->errorFrom(q.lastError());
        return false;
    }
    serverAt_ = first + (long long)(rows.size() - before);
    return true;
}
