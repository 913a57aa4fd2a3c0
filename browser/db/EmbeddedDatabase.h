#pragma once

// The embedded default database: Kestrel ships with an SQLite connection string, and the
// first start makes the file with the post tables of the tree configuration.

#include <string>
#include <vector>

// The columns every post table is made with.
extern const char *const PostTableColumns;

// When the connection string names an SQLite file that does not exist, creates its
// folder and the file with one post table per name (PostTableColumns, indexed on roomid
// and title), in WAL mode. The file appears complete or not at all. Nothing is done for
// an existing file (never altered), for other providers, or for a connection string that
// cannot be read (opening it reports that).
//
// Table names must be plain identifiers: ASCII letters, digits and "_", not starting
// with a digit or "sqlite_"; names that differ only in case are one table.
//
// Returns 0 when the database is there (made now or before); 87 for a table name that is
// not a plain identifier (nothing created); the database's negative code or 31 when the
// file could not be made. error (GBK) says why.
long EnsureEmbeddedDatabase(const std::string &connectionString,
                            const std::vector<std::string> &postTables, std::string &error);

bool IsPlainTableName(const std::string &name);
