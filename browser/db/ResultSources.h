#pragma once

// Where the rows of a query go: a small result is read whole on the manager's own
// connection; a longer one is listed (paged on demand).
//
// The line between them is drawn by the result itself, not guessed from the text: a
// query is run on the manager's connection and its first SmallResultRows + 1 rows are
// read. When it ends within SmallResultRows rows, those rows are the result (a duplicate
// check, MAX(topicid), a column probe: one statement, no new connection, and it sees the
// connection's uncommitted rows). Otherwise the query is listed and its rows are read
// window by window.

#include "BoundStatement.h"
#include "RowSource.h"

#include <memory>
#include <vector>

class DbConnection;
class QString;

inline constexpr long long SmallResultRows = 256;

// nullptr with error.code 0 never happens: a failure sets error. `complete` is false when
// the query has more than SmallResultRows rows; the source is then of no use.
std::unique_ptr<RowSource> ReadSmallResult(DbConnection &connection, const QString &query,
                                           const std::vector<SqlValue> &values, bool &complete,
                                           DbError &error);

std::unique_ptr<RowSource> OpenListedResult(const std::shared_ptr<DbConnection> &connection,
                                            const QString &query,
                                            const std::vector<SqlValue> &values, DbError &error);
