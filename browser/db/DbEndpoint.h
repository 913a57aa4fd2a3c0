#pragma once

// What a connection string names: an SQLite file or a PostgreSQL server.
//
//   Provider=SQLite;Data Source=<path>
//   Provider=PostgreSQL;Host=<name, address or socket folder>;Port=<n>;Database=<name>;
//       User ID=<name>;Password=<text>;SSL Mode=<libpq sslmode>
//
// Aliases: Server for Host, User/UID/Username for User ID, Pwd for Password, SslMode for
// SSL Mode. Every PostgreSQL key is optional; what is missing comes from libpq's
// defaults (PGHOST, PGPORT, ..., ~/.pgpass for the password). Unknown keys are refused,
// so a misspelt key never silently connects somewhere else.

#include "DbError.h"

#include <string>

struct DbEndpoint
{
    DbEngine engine = DbEngine::Layer;

    std::string dataSource; // SQLite: the file path (GBK, "\" allowed)

    std::string host; // PostgreSQL, all GBK
    int port = 0; // 0: libpq's default
    std::string database;
    std::string user;
    std::string password;
    bool hasPassword = false;
    std::string sslMode;
};

// Fails with a layer error (BadConnectionString, UnknownProvider) whose description
// names the fault.
bool ParseDbEndpoint(const std::string &connectionString, DbEndpoint &endpoint, DbError &error);

// The name under which the database looks up a table written without quotes, as every
// statement of the programs writes it: PostgreSQL folds it to lower case (ASCII letters;
// a table made as "LangPosts" in quotes is another table), SQLite keeps it (it compares
// names without regard to case). Messages about a missing table show this name.
std::string TableNameAsLookedUp(const std::string &connectionString, const std::string &table);
