#include "SqliteWindowSource.h"

#include "AdoTypes.h"

#include "common/Codec.h"

#include <QSqlError>
#include <QSqlField>
#include <QSqlRecord>

SqliteWindowSource::SqliteWindowSource(std::unique_ptr<DbConnection> connection)
    : connection_(std::move(connection))
{
}

SqliteWindowSource::~SqliteWindowSource()
{
    window_.reset();
    // Ends the snapshot; the connection closes with the object.
    DbError ignored;
    connection_->run(QStringLiteral("ROLLBACK"), ignored);
}

std::unique_ptr<SqliteWindowSource>
SqliteWindowSource::Open(std::unique_ptr<DbConnection> connection, const QString &query,
                         DbError &error)
{
    std::unique_ptr<SqliteWindowSource> source(new SqliteWindowSource(std::move(connection)));
    if (!source->start(query, error))
        return nullptr;
    return source;
}

bool SqliteWindowSource::start(const QString &query, DbError &error)
{
    QSqlDatabase &db = connection_->database();
    // The newlines keep a trailing "--" comment of the query from swallowing the ")".
    const QString inner = QStringLiteral("(\n") + query + QStringLiteral("\n)");
    if (!connection_->run(QStringLiteral("BEGIN"), error))
        return false;
    {
        QSqlQuery counter(db);
        counter.setForwardOnly(true);
        if (!counter.exec(QStringLiteral("SELECT COUNT(*) FROM ") + inner) || !counter.next()) {
            error = connection_->errorFrom(counter.lastError());
            return false;
        }
        count_ = counter.value(0).toLongLong();
    }
    window_.emplace(db);
    window_->setForwardOnly(true);
    if (!window_->prepare(QStringLiteral("SELECT * FROM ") + inner
                          + QStringLiteral(" LIMIT -1 OFFSET ?"))) {
        error = connection_->errorFrom(window_->lastError());
        return false;
    }
    if (!seek(0, error))
        return false;
    const QSqlRecord record = window_->record();
    for (int i = 0; i < record.count(); ++i)
        fields_.push_back(DbField {Gbk::fromQString(record.fieldName(i)),
                                   AdoTypeOfField(DbEngine::SQLite, record.field(i))});
    return true;
}

bool SqliteWindowSource::seek(long long first, DbError &error)
{
    streamAt_ = -1;
    window_->bindValue(0, first);
    if (!window_->exec()) {
        error = connection_->errorFrom(window_->lastError());
        return false;
    }
    streamAt_ = first;
    return true;
}

bool SqliteWindowSource::read(long long first, long long wanted, std::vector<DbRow> &rows,
                              DbError &error)
{
    if (!connection_->checkPresent(error))
        return false;
    if (streamAt_ != first && !seek(first, error))
        return false;
    const std::size_t before = rows.size();
    const int columns = int(fields_.size());
    for (long long i = 0; i < wanted; ++i) {
        if (!window_->next()) {
            if (window_->lastError().isValid()) {
                error = connection_->errorFrom(window_->lastError());
                rows.resize(before);
                streamAt_ = -1;
                return false;
            }
            break;
        }
        DbRow row;
        row.reserve(std::size_t(columns));
        for (int c = 0; c < columns; ++c)
            row.push_back(window_->value(c));
        rows.push_back(std::move(row));
        ++streamAt_;
    }
    return true;
}
