#pragma once

// The archives the database benchmarks run on: a SQLite file and a PostgreSQL database
// filled with generated posts by one statement each, timed.

#include <QElapsedTimer>

#include <string>

class CAdoManager;

namespace Bench {

// Ends the benchmark with a message (GBK text) after the program's name.
[[noreturn]] void die(const std::string &what);

double msSince(const QElapsedTimer &timer);

// Runs a statement; a failure ends the benchmark.
void execute(CAdoManager &manager, const std::string &sql);

// Makes the embedded database of `connection` and runs `insertSql` in it. Returns the
// milliseconds of the insert.
double fillSqlite(const std::string &connection, const std::string &insertSql);

// Makes the post table as the README tells users to, runs `insertSql`, adds the
// indexes and runs `finish` (an ANALYZE). Returns the milliseconds of all of it.
double fillPostgres(const std::string &connection, const std::string &insertSql,
                    const std::string &finish);

} // namespace Bench
