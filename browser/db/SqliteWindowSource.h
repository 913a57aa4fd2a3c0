#pragma once

// The rows of an SQLite query, read window by window on a connection of their own. That
// connection holds a read transaction (a WAL snapshot) for the source's lifetime, so the
// count and every window see the same rows in the same order while others write.
// Windows are "LIMIT -1 OFFSET n" over the query; reading on from the last window just
// steps the running statement further. While a source is open, checkpoints cannot pass
// its snapshot, so the WAL file may grow until it closes.

#include "DbConnection.h"
#include "RowSource.h"

#include <QSqlQuery>

#include <memory>
#include <optional>

class SqliteWindowSource final : public RowSource
{
public:
    static std::unique_ptr<SqliteWindowSource> Open(std::unique_ptr<DbConnection> connection,
                                                    const QString &query, DbError &error);
    ~SqliteWindowSource() override;

    long long count() const override { return count_; }
    const std::vector<DbField> &fields() const override { return fields_; }
    bool read(long long first, long long wanted, std::vector<DbRow> &rows, DbError &error) override;
    bool continuesAt(long long first) const override { return streamAt_ == first; }

private:
    explicit SqliteWindowSource(std::unique_ptr<DbConnection> connection);
    bool start(const QString &query, DbError &error);
    bool seek(long long first, DbError &error);

    std::unique_ptr<DbConnection> connection_;
    std::optional<QSqlQuery> window_; // ends before the connection does
    long long count_ = 0;
    std::vector<DbField> fields_;
    long long streamAt_ = -1; // the position the running window statement reads next
};
