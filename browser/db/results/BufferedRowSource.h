#pragma once

// The rows of a statement that is not a query but returns rows anyway (PRAGMA, EXPLAIN,
// SHOW, INSERT ... RETURNING): such a statement must run exactly once and to its end, so
// its rows are read completely and kept.

#include "RowSource.h"

#include <memory>

class QSqlQuery;

class BufferedRowSource final : public RowSource
{
public:
    // Reads the rest of an executed query; with a limit, at most that many rows, and
    // `complete` tells whether the query had no more.
    static std::unique_ptr<BufferedRowSource> Read(DbEngine engine, QSqlQuery &query,
                                                   DbError &error);
    static std::unique_ptr<BufferedRowSource> Read(DbEngine engine, QSqlQuery &query,
                                                   long long limit, bool &complete, DbError &error);

    long long count() const override { return (long long)(rows_.size()); }
    const std::vector<DbField> &fields() const override { return fields_; }
    bool read(long long first, long long wanted, std::vector<DbRow> &rows, DbError &error) override;
    bool continuesAt(long long) const override { return true; }

private:
    std::vector<DbField> fields_;
    std::vector<DbRow> rows_;
};
