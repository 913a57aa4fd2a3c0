#include "TestDatabase.h"

#include "PgCluster.h"

#include "browser/db/CAdoManager.h"
#include "browser/db/EmbeddedDatabase.h"
#include "common/Codec.h"
#include "common/FileSystem.h"

namespace {
int databaseCounter = 0;
}

std::vector<std::string> TestDatabase::postgresPostTable(const std::string &table)
{
    return {"CREATE TABLE " + table
                    + " (topicid BIGINT PRIMARY KEY, title TEXT, roomid BIGINT, username TEXT, "
                      "reply INTEGER, createtime TEXT)",
            "CREATE INDEX " + table + "_roomid ON " + table + " (roomid)",
            // A hash index: a B-tree entry cannot hold a title of more than about 2,700
            // bytes, and the duplicate check only asks for equal titles.
            "CREATE INDEX " + table + "_title ON " + table + " USING hash (title)"};
}

std::unique_ptr<TestDatabase> TestDatabase::create(TestEngine engine,
                                                   const std::vector<std::string> &postTables,
                                                   QString &reason, bool &skipped)
{
    skipped = false;
    if (engine == TestEngine::PostgreSQL) {
        PgCluster *cluster = PgCluster::shared(&reason);
        if (!cluster) {
            skipped = !PgCluster::mustRun();
            if (!skipped)
                reason = QStringLiteral("CI=true and PostgreSQL cannot start: ") + reason;
            return nullptr;
        }
        return createOn(*cluster, postTables, reason);
    }
    std::unique_ptr<TestDatabase> db(new TestDatabase);
    db->dir_ = std::make_unique<QTemporaryDir>();
    db->sqliteFile_ = db->dir_->filePath(QStringLiteral("Data/Lumora.db"));
    db->connectionString_ =
            "Provider=SQLite;Data Source=" + FileSystem::fromQtPath(db->sqliteFile_);
    std::string error;
    if (EnsureEmbeddedDatabase(db->connectionString_, postTables, error) != 0) {
        reason = Gbk::toQString(error);
        return nullptr;
    }
    return db;
}

std::unique_ptr<TestDatabase> TestDatabase::createOn(PgCluster &cluster,
                                                     const std::vector<std::string> &postTables,
                                                     QString &reason)
{
    std::unique_ptr<TestDatabase> db(new TestDatabase);
    db->engine_ = TestEngine::PostgreSQL;
    const std::string name = "test" + std::to_string(++databaseCounter);
    if (!cluster.createDatabase(name, reason))
        return nullptr;
    db->connectionString_ = cluster.connectionString(name);
    std::vector<std::string> statements;
    for (const std::string &table : postTables) {
        for (std::string &statement : postgresPostTable(table))
            statements.push_back(std::move(statement));
    }
    if (!db->execute(statements, reason))
        return nullptr;
    return db;
}

bool TestDatabase::execute(const std::vector<std::string> &statements, QString &error) const
{
    CAdoManager manager;
    if (manager.OpenAdoConnection(connectionString_) != 0) {
        error = Gbk::toQString(manager.LastError());
        return false;
    }
    for (const std::string &statement : statements) {
        if (manager.ExecuteSql(statement, CAdoManager::CommandText) != 0) {
            error = Gbk::toQString(manager.LastError());
            return false;
        }
    }
    return true;
}
