#pragma once

// The rows of "SELECT * FROM <table> [WHERE ...]", listed by a kept list of the rows'
// keys (SQLite's rowid, PostgreSQL's ctid).
//
// Why this design: a listed result must hold nothing on the database while the user only
// looks at it (no read transaction, no snapshot, no server-side copy), or every writer
// waits and SQLite's WAL cannot be checkpointed; yet paging must stay exact (every row
// once, one stable order, the count as the query was run) and fast anywhere in a result
// of millions of rows. Short windows with OFFSET give up speed deep in a result (the
// database steps over every row before the window), and keyset windows need an index
// that orders the rows within the condition, which a post table does not have for every
// query. So the query is run once, in one short statement, for its row keys only (8
// bytes a row: 16 MB for two million rows); that fixes the count and the order. Each
// window then reads its rows by key in one short statement, with the query's condition
// applied again.
//
// When rows change between windows: a row deleted, or changed so that it no longer
// matches, leaves a hole at its position (CAdoRecordset::IsDeleted); rows inserted later
// are not listed; no key is listed twice, so no row shows twice within a window. On
// PostgreSQL an updated row gets a new ctid, so it leaves a hole too.

#include "BoundStatement.h"
#include "DbConnection.h"
#include "RowSource.h"
#include "SqlStatement.h"

#include <memory>

class KeyedRowSource final : public RowSource
{
public:
    static std::unique_ptr<KeyedRowSource> Open(std::shared_ptr<DbConnection> connection,
                                                const TableQueryShape &shape,
                                                const std::vector<SqlValue> &values,
                                                DbError &error);

    long long count() const override { return (long long)(keys_.size()); }
    const std::vector<DbField> &fields() const override { return fields_; }
    bool read(long long first, long long wanted, std::vector<DbRow> &rows, DbError &error) override;
    bool continuesAt(long long) const override { return true; }

private:
    KeyedRowSource(std::shared_ptr<DbConnection> connection, std::vector<SqlValue> values);
    bool readKeys(const QString &sql, DbError &error);
    bool readSqliteKeys(const QString &sql, DbError &error);
    bool fetch(long long first, long long end, std::vector<DbRow> &rows, DbError &error);

    std::shared_ptr<DbConnection> connection_;
    std::vector<SqlValue> values_;
    QString windowSql_;
    std::vector<long long> keys_;
    std::vector<DbField> fields_;
    // The window read when the source opened, handed out by the first read.
    std::vector<DbRow> opening_;
};
