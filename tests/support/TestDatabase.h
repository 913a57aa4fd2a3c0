#pragma once

// A fresh database with post tables for one test, on SQLite (a file in a temporary
// folder, made as the embedded default) or on PostgreSQL (a new database in the shared
// throwaway cluster, tables made with the README's SQL).

#include <QString>
#include <QTemporaryDir>

#include <memory>
#include <string>
#include <vector>

class PgCluster;

enum class TestEngine { SQLite, PostgreSQL };

class TestDatabase
{
public:
    // nullptr with the reason when it cannot be made; skipped says whether that is
    // because PostgreSQL is not available here (a test should skip, not fail).
    static std::unique_ptr<TestDatabase> create(TestEngine engine,
                                                const std::vector<std::string> &postTables,
                                                QString &reason, bool &skipped);

    // On a cluster of the caller's own (to stop it under a test, for instance).
    static std::unique_ptr<TestDatabase>
    createOn(PgCluster &cluster, const std::vector<std::string> &postTables, QString &reason);

    TestEngine engine() const { return engine_; }
    const std::string &connectionString() const { return connectionString_; }
    QString sqliteFile() const { return sqliteFile_; } // SQLite only

    // Runs statements (GBK) through a CAdoManager of its own; false with the report.
    bool execute(const std::vector<std::string> &statements, QString &error) const;

    // PostgreSQL's post table, as the README gives it.
    static std::vector<std::string> postgresPostTable(const std::string &table);

private:
    TestDatabase() = default;

    TestEngine engine_ = TestEngine::SQLite;
    std::unique_ptr<QTemporaryDir> dir_;
    QString sqliteFile_;
    std::string connectionString_;
};

// Declares `name` as a fresh database with the given post tables, or skips / fails the
// current test.
#define QUILLERY_TEST_DATABASE(name, engine, ...)                                                  \
    QString name##Reason;                                                                          \
    bool name##Skipped = false;                                                                    \
    const std::unique_ptr<TestDatabase> name =                                                     \
            TestDatabase::create(engine, {__VA_ARGS__}, name##Reason, name##Skipped);              \
    if (!name && name##Skipped)                                                                    \
        QSKIP(qPrintable(name##Reason));                                                           \
    if (!name)                                                                                     \
        QFAIL(qPrintable(name##Reason));
