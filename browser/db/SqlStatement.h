#pragma once

// What the record set needs to know about a statement before running it: whether it is a
// query (its rows are paged through a window) and its text ready to be embedded in
// another statement.

#include <QString>

struct SqlStatementShape
{
    // SELECT, VALUES, TABLE, or WITH ... SELECT/VALUES. Other statements (INSERT, PRAGMA,
    // EXPLAIN, SHOW, ...) are run as they are; rows they return are read completely.
    bool isQuery = false;
    // The statement without trailing blanks, comments and semicolons.
    QString text;
};

// Reads the statement's tokens (comments, strings, quoted identifiers of both engines,
// PostgreSQL's dollar quotes), so keywords inside them do not count.
SqlStatementShape AnalyzeSqlStatement(const QString &sql);

// "SELECT * FROM <table> [WHERE <condition>]" and nothing more (no alias, join, grouping,
// order, limit or set operation): the shape whose rows can be named by the table's own
// row keys. `table` and `condition` are the texts as written.
struct TableQueryShape
{
    bool simple = false;
    QString table;
    QString condition; // empty without WHERE
};

TableQueryShape AnalyzeTableQuery(const QString &query);
