#pragma once

// Where a record set's rows come from. A source knows the exact row count and the
// fields from the start and hands out rows by position, so the record set only keeps
// a window of rows around its cursor.

#include "browser/db/DbError.h"

#include <QVariant>

#include <string>
#include <vector>

class QSqlQuery;

using DbRow = std::vector<QVariant>;

struct DbField
{
    std::string name; // GBK
    int type = 0; // ADO type code
};

class RowSource
{
public:
    virtual ~RowSource() = default;

    virtual long long count() const = 0;
    virtual const std::vector<DbField> &fields() const = 0;

    // Appends the rows from position `first` (0-based) on, at most `wanted` of them;
    // fewer only at the end of the result. On failure nothing is appended.
    virtual bool read(long long first, long long wanted, std::vector<DbRow> &rows,
                      DbError &error) = 0;

    // True when reading at `first` goes on from where the last read stopped, which is
    // cheaper than starting over at a position.
    virtual bool continuesAt(long long first) const = 0;
};

// Reading an executed query: the fields of its columns, and the values of its current row,
// from column `first` on (a source that reads a row key in column 0 leaves it out).
std::vector<DbField> FieldsOf(DbEngine engine, const QSqlQuery &query, int first = 0);
DbRow CurrentRow(const QSqlQuery &query, int first, int columns);
