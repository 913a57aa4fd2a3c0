#pragma once

// The title index of a post table, for title searches in large archives.
//
// SQLite: an FTS5 table "<table>_title_trigram" with the trigram tokenizer over the post
// table's titles (external content, rowid = topicid), kept up to date by three triggers.
// A find uses it for the words of three or more characters and keeps its LIKE condition
// for the exact result, so the rows are the same with and without it. Words shorter than
// three characters cannot be answered by a trigram index; the find then scans.
// PostgreSQL: a pg_trgm GIN index "<table>_title_trigram" on the title under the "C"
// collation, the collation of the find's ILIKE (ASCII case only); the planner uses it
// by itself.

#include "PostStatements.h"

#include <functional>
#include <string>
#include <vector>

class CAdoManager;

// Whether the table has a title index (an open connection). Returns 0 or a code.
long HasTitleIndex(CAdoManager &ado, SqlDialect dialect, const std::string &table, bool &exists);

// The same on a connection of its own; false also when the database cannot be asked
// (the find then scans, which gives the same rows).
bool TitleIndexExists(const std::string &connectionString, const std::string &table);

struct TitleIndexProgress
{
    long long done = 0;
    long long total = 0;
};
// Called after each batch; returning false stops the build, which is then undone.
using TitleIndexProgressFn = std::function<bool(const TitleIndexProgress &)>;

enum class TitleIndexResult { Built, Stopped, Failed };

// Builds (or rebuilds) the title index of a post table on an open connection. All or
// nothing: a failure or a stop leaves the table as it was. problem (GBK) says why, after
// what to do when a right is missing. progress: SQLite after each batch; PostgreSQL once,
// with the rows indexed, before the build is committed.
TitleIndexResult BuildTitleIndex(CAdoManager &ado, SqlDialect dialect, const std::string &table,
                                 const TitleIndexProgressFn &progress, std::string &problem);

// Removes the index and its triggers; 0 also when there was none.
long DropTitleIndex(CAdoManager &ado, SqlDialect dialect, const std::string &table,
                    std::string &problem);
