#pragma once

// The rows of "SELECT * FROM <table> [WHERE ...]" when the table has a unique integer key
// (SQLite's rowid; on PostgreSQL a one-column integer primary key), in the key's order.
//
// Why this design: a listed result must hold nothing on the database while the user only
// looks at it (no read transaction, no snapshot, no server-side copy), or every writer
// waits and SQLite's WAL cannot be checkpointed; yet the first page of a room of hundreds
// of thousands of rows must show at once, paging must stay exact (every row once, one
// stable order, the count as the query was run), and memory must not grow with the
// result. So nothing of the result is kept but the rows around the cursor and the keys at
// the edges of the windows read so far ("anchors"). Each window is one short statement
// that seeks by key: "... AND key > ? ORDER BY key LIMIT n" goes on after a window, "...
// AND key < ? ORDER BY key DESC LIMIT n" goes back before one; both are served by the
// key's index (or an index on the condition's column that ends in the key, as SQLite's
// indexes do), so a window costs the same at the start and at the end of a result. A
// position far from every anchor is reached with OFFSET from the nearest anchor or end.
// Opening costs two statements: the first window, which is also the whole result when it
// has at most SmallResultRows rows, and a COUNT(*) for a longer one. (PostgreSQL plans a
// window by its estimates, which take a room's posts to be spread over the key range: a
// room whose posts all lie at one end of a large table makes the window at the other
// end step over most of the key index, about 0.1 s per million posts.)
//
// When rows change between windows: the count stays the query's as it was run; a window
// never shows a row twice (its keys rise strictly) and goes on from its neighbour's edge,
// so paging on never repeats a row. Rows deleted meanwhile move the later rows forward
// and leave holes at the end (CAdoRecordset::IsDeleted); rows inserted with keys beyond
// the cursor may fill the positions up to the count.

#include "RowSource.h"
#include "browser/db/BoundStatement.h"
#include "browser/db/DbConnection.h"
#include "browser/db/SqlStatement.h"

#include <map>
#include <memory>

// How the rows of a table can be named.
struct TableKey
{
    // An SQL expression: "rowid" on SQLite; on PostgreSQL the quoted name of a one-column
    // integer primary key, or empty when there is none (a view, a table keyed otherwise).
    QString column;
    // PostgreSQL: an ordinary table or materialized view, whose rows have a ctid of
    // their own (KeyedRowSource.h).
    bool ctid = false;
};

class KeysetRowSource final : public RowSource
{
public:
    // False only when the catalog cannot be read.
    static bool FindKey(DbConnection &connection, const QString &table, TableKey &key,
                        DbError &error);

    // Reads the first window and, when the result goes on past it, counts it. On SQLite a
    // table without rowid fails with SQLITE_ERROR (1) (WITHOUT ROWID) or with the layer's
    // RowsMissing (a view, whose rowid is NULL).
    static std::unique_ptr<KeysetRowSource> Open(std::shared_ptr<DbConnection> connection,
                                                 const TableQueryShape &shape, const QString &key,
                                                 const std::vector<SqlValue> &values,
                                                 DbError &error);

    long long count() const override { return count_; }
    const std::vector<DbField> &fields() const override { return fields_; }
    bool read(long long first, long long wanted, std::vector<DbRow> &rows, DbError &error) override;
    bool continuesAt(long long) const override { return true; }

private:
    // Where a window starts reading: the statement and its anchor key, if any.
    enum class From { Head, After, Before, Tail };

    KeysetRowSource(std::shared_ptr<DbConnection> connection, std::vector<SqlValue> values);
    bool select(From from, long long anchorKey, long long limit, long long offset,
                std::vector<DbRow> &rows, std::vector<long long> &keys, DbError &error);
    bool fetch(long long first, long long end, std::vector<DbRow> &rows, DbError &error);

    std::shared_ptr<DbConnection> connection_; // none once a small result is read whole
    std::vector<SqlValue> values_;
    QString sql_[4]; // by From
    long long count_ = 0;
    std::vector<DbField> fields_;
    std::map<long long, long long> anchors_; // position -> key of the row there
    // The first window, read when the source opened: the whole result when it is small,
    // else handed out once by the first read.
    std::vector<DbRow> opening_;
};
