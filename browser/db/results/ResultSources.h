#pragma once

// Where the rows of a query come from: a small result is read whole on the manager's own
// connection; a longer one is listed (paged on demand, nothing held in between).
//
// The line between them is drawn by the result itself, not guessed from the text: a
// query is run on the manager's connection and its first SmallResultRows + 1 rows are
// read. When it ends within SmallResultRows rows, those rows are the result (a duplicate
// check, MAX(topicid), a column probe: one statement, no new connection, and it sees the
// connection's uncommitted rows). Otherwise the query is listed and its rows are read
// window by window:
//   "SELECT * FROM t [WHERE ...]" on a table with an integer key: by key
//       (KeysetRowSource.h), in the key's order; the first window is the one just read;
//   the same on another PostgreSQL table: by a kept list of row keys (KeyedRowSource.h);
//   any other query: by LIMIT and OFFSET (OffsetWindowSource.h).

#include "RowSource.h"
#include "browser/db/BoundStatement.h"

#include <memory>
#include <vector>

class DbConnection;
class QString;

inline constexpr long long SmallResultRows = 256;

// nullptr on failure, with error set.
std::unique_ptr<RowSource> OpenQueryResult(const std::shared_ptr<DbConnection> &connection,
                                           const QString &query,
                                           const std::vector<SqlValue> &values, DbError &error);
