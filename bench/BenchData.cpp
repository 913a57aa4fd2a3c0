#include "BenchData.h"

#include "BenchSupport.h"

#include "browser/db/CAdoManager.h"
#include "browser/db/EmbeddedDatabase.h"
#include "common/Codec.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>

namespace Bench {

void die(const std::string &what)
{
    std::fprintf(stderr, "%s: %s\n", qPrintable(QCoreApplication::applicationName()),
                 Gbk::toUtf8(what).c_str());
    std::exit(1);
}

double msSince(const QElapsedTimer &timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

void execute(CAdoManager &manager, const std::string &sql)
{
    if (manager.ExecuteSql(sql, CAdoManager::CommandText) != 0)
        die(manager.LastError());
}

double fillSqlite(const std::string &connection, const std::string &insertSql)
{
    std::string error;
    if (EnsureEmbeddedDatabase(connection, {"posts"}, error) != 0)
        die(error);
    QElapsedTimer timer;
    timer.start();
    CAdoManager manager;
    manager.SetCommandTimeout(0);
    if (manager.OpenAdoConnection(connection) != 0)
        die(manager.LastError());
    execute(manager, insertSql);
    return msSince(timer);
}

double fillPostgres(const std::string &connection, const std::string &insertSql,
                    const std::string &finish)
{
    QElapsedTimer timer;
    timer.start();
    CAdoManager manager;
    manager.SetConnectionTimeout(0);
    manager.SetCommandTimeout(0);
    if (manager.OpenAdoConnection(connection) != 0)
        die(manager.LastError());
    execute(manager, PgPostTable);
    execute(manager, insertSql);
    for (const std::string &index : PgPostIndexes)
        execute(manager, index);
    execute(manager, finish);
    return msSince(timer);
}

} // namespace Bench
