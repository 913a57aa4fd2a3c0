#pragma once

// Shared pieces of the database tests: one data row per engine, generated post rows.

#include "TestDatabase.h"
#include "TestSupport.h"

#include "browser/db/CAdoManager.h"

#include <QTest>

#include <string>
#include <vector>

Q_DECLARE_METATYPE(TestEngine)

inline void addEngineRows()
{
    QTest::addColumn<TestEngine>("engine");
    QTest::newRow("sqlite") << TestEngine::SQLite;
    QTest::newRow("postgresql") << TestEngine::PostgreSQL;
}

// Posts first..last into a table: topicid i, title "帖子i", roomid from the SQL
// expression over i, username "用户", reply i % 5, createtime a fixed text.
inline std::string insertPostsSql(TestEngine engine, const std::string &table, int first, int last,
                                  const std::string &roomExpression = "i % 7")
{
    const std::string values = "i, '" + gbk("帖子") + "' || i, " + roomExpression + ", '"
            + gbk("用户") + "', i % 5, '2024-05-06 07:08:09'";
    if (engine == TestEngine::SQLite)
        return "WITH RECURSIVE s(i) AS (SELECT " + std::to_string(first)
                + " UNION ALL SELECT i + 1 FROM s WHERE i < " + std::to_string(last)
                + ") INSERT INTO " + table + " SELECT " + values + " FROM s";
    return "INSERT INTO " + table + " SELECT " + values + " FROM generate_series("
            + std::to_string(first) + ", " + std::to_string(last) + ") AS s(i)";
}

#define QUILLERY_EXECUTE(db, ...)                                                                  \
    do {                                                                                           \
        QString executeError;                                                                      \
        QVERIFY2((db)->execute({__VA_ARGS__}, executeError), qPrintable(executeError));            \
    } while (false)

// The text of a field of the current record.
inline std::string textOf(const CAdoRecordset &rs, const char *field)
{
    return rs.Value(field).Text();
}

inline long long numberOf(const CAdoRecordset &rs, const char *field)
{
    long long number = -1;
    rs.Value(field).ToInt64(number);
    return number;
}
