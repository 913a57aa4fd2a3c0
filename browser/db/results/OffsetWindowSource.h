#pragma once

// The rows of any other query, read window by window with LIMIT and OFFSET, each window
// one short statement, so nothing is held between them. The count is taken when the
// query runs. Exact while nothing changes (the engines return the same plan's rows in
// the same order); when rows change between windows the positions shift, and positions
// past the rows that are left become holes (CAdoRecordset::IsDeleted).

#include "RowSource.h"
#include "browser/db/BoundStatement.h"
#include "browser/db/DbConnection.h"

#include <memory>

class OffsetWindowSource final : public RowSource
{
public:
    static std::unique_ptr<OffsetWindowSource> Open(std::shared_ptr<DbConnection> connection,
                                                    const QString &query,
                                                    const std::vector<SqlValue> &values,
                                                    DbError &error);

    long long count() const override { return count_; }
    const std::vector<DbField> &fields() const override { return fields_; }
    bool read(long long first, long long wanted, std::vector<DbRow> &rows, DbError &error) override;
    bool continuesAt(long long) const override { return true; }

private:
    OffsetWindowSource(std::shared_ptr<DbConnection> connection, std::vector<SqlValue> values);
    bool window(long long first, long long wanted, std::vector<DbRow> &rows, bool withFields,
                DbError &error);

    std::shared_ptr<DbConnection> connection_;
    std::vector<SqlValue> values_;
    QString windowSql_;
    long long count_ = 0;
    std::vector<DbField> fields_;
};
