#pragma once

// The rows of a PostgreSQL query through a scrollable cursor WITH HOLD on the
// connection of the CAdoManager that ran it. The server keeps the result (a snapshot
// taken when the cursor is declared) outside any transaction, so later statements on
// that connection still commit on their own; the source shares the connection and keeps
// it alive after CloseAdoConnection. The count comes from MOVE FORWARD ALL, the windows
// from MOVE ABSOLUTE + FETCH FORWARD; the cursor is closed with the source.

#include "DbConnection.h"
#include "RowSource.h"

#include <memory>

class PgCursorSource final : public RowSource
{
public:
    static std::unique_ptr<PgCursorSource> Open(std::shared_ptr<DbConnection> connection,
                                                const QString &query, DbError &error);
    ~PgCursorSource() override;

    long long count() const override { return count_; }
    const std::vector<DbField> &fields() const override { return fields_; }
    bool read(long long first, long long wanted, std::vector<DbRow> &rows, DbError &error) override;
    bool continuesAt(long long first) const override { return serverAt_ == first; }

private:
    explicit PgCursorSource(std::shared_ptr<DbConnection> connection);
    bool start(const QString &query, DbError &error);
    bool move(long long first, DbError &error);

    std::shared_ptr<DbConnection> connection_;
    QString cursor_;
    bool declared_ = false;
    long long count_ = 0;
    std::vector<DbField> fields_;
    long long serverAt_ = -1; // rows before the cursor's position; -1 when unknown
};
