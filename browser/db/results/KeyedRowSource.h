#pragma once

// The rows of "SELECT * FROM <table> [WHERE ...]" on a PostgreSQL table without an
// integer primary key (KeysetRowSource.h serves those), listed by a kept list of the rows'
// ctids.
//
// Why: a listed result must hold nothing on the server while the user only looks at it
// (no snapshot, no server-side copy), yet paging must stay exact (every row once, one
// stable order, the count as the query was run) and fast anywhere in a result of millions
// of rows. Short windows with OFFSET give up speed deep in a result, and without a key
// index there is no order to seek by. So the query is run once, in one short statement,
// for its row keys only (8 bytes a row: 16 MB for two million rows); that fixes the count
// and the order. Each window then reads its rows by key in one short statement, with the
// query's condition applied again.
//
// When rows change between windows: a row deleted, changed so that it no longer matches,
// or updated (an update gives the row a new ctid) leaves a hole at its position
// (CAdoRecordset::IsDeleted); rows inserted later are not listed; no key is listed twice,
// so no row shows twice within a window.

#include "RowSource.h"
#include "browser/db/BoundStatement.h"
#include "browser/db/DbConnection.h"
#include "browser/db/SqlStatement.h"

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
    bool fetch(long long first, long long end, std::vector<DbRow> &rows, DbError &error);

    std::shared_ptr<DbConnection> connection_;
    std::vector<SqlValue> values_;
    QString windowSql_;
    std::vector<long long> keys_;
    std::vector<DbField> fields_;
    // The window read when the source opened, handed out by the first read.
    std::vector<DbRow> opening_;
};
