#include "DbTestHelpers.h"
#include "TestRegistry.h"

#include "browser/db/BoundStatement.h"
#include "browser/db/CAdoManager.h"

// Blobs bound and read back as their bytes, rows handed one at a time, and the
// transaction numbers code that holds work back for a commit relies on.
class TestRowStream : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void blobsRoundTrip_data() { addEngineRows(); }
    void blobsRoundTrip()
    {
        QFETCH(TestEngine, engine);
        QUILLERY_TEST_DATABASE(db, engine, "posts");
        CAdoManager manager;
        QCOMPARE(manager.OpenAdoConnection(db->connectionString()), 0L);
        const bool lite = engine == TestEngine::SQLite;
        QCOMPARE(manager.ExecuteSql(std::string("create table b (k integer primary key, v ")
                                            + (lite ? "blob" : "bytea") + ", t text)",
                                    1),
                 0L);
        // Every byte value (NUL, "\", quotes, GBK lead bytes), an empty blob, a large one.
        std::string all;
        for (int i = 0; i < 256; ++i)
            all += char(i);
        std::string large(3 << 20, '\0');
        for (std::size_t i = 0; i < large.size(); ++i)
            large[i] = char((i * 7919) >> 3);
        const std::vector<std::string> blobs = {all, std::string(), large, "'\\x00'"};
        for (std::size_t i = 0; i < blobs.size(); ++i) {
            const BoundStatement insert {"insert into b (k, v, t) values (?, ?, ?)",
                                         {SqlValue::fromInteger((long long)i),
                                          SqlValue::fromBlob(blobs[i]),
                                          SqlValue::fromText(gbk("文字"))},
                                         {}};
            QVERIFY2(manager.ExecuteSql(insert, 1) == 0, qPrintable(show(manager.LastError())));
        }
        std::vector<std::vector<SqlValue>> rows;
        QCOMPARE(manager.ForEachRow({"select k, v, t, null from b where k >= ? order by k",
                                     {SqlValue::fromInteger(0)},
                                     {}},
                                    [&](const std::vector<SqlValue> &row) {
                                        rows.push_back(row);
                                        return true;
                                    }),
                 0L);
        QCOMPARE(rows.size(), blobs.size());
        for (std::size_t i = 0; i < blobs.size(); ++i) {
            QCOMPARE(rows[i][0].integer, (long long)i);
            QCOMPARE(rows[i][1].kind, SqlValue::Blob);
            QVERIFY2(rows[i][1].text == blobs[i], qPrintable(QString::number(i)));
            QCOMPARE(rows[i][2], SqlValue::fromText(gbk("文字")));
            QCOMPARE(rows[i][3].kind, SqlValue::Null);
        }
        // A blob bound in a condition compares as bytes.
        long long found = -1;
        QCOMPARE(manager.ForEachRow({"select k from b where v = ?", {SqlValue::fromBlob(all)}, {}},
                                    [&](const std::vector<SqlValue> &row) {
                                        found = row[0].integer;
                                        return true;
                                    }),
                 0L);
        QCOMPARE(found, 0LL);
        // Stopping early leaves the connection usable, with nothing held.
        int seen = 0;
        QCOMPARE(manager.ForEachRow({"select k from b order by k", {}, {}},
                                    [&](const std::vector<SqlValue> &) { return ++seen < 2; }),
                 0L);
        QCOMPARE(seen, 2);
        QCOMPARE(manager.ExecuteSql("drop table b", 1), 0L);
        // A failing statement is reported like any other.
        QVERIFY(manager.ForEachRow({"select k from b", {}, {}}, [](const std::vector<SqlValue> &) {
            return true;
        }) < 0);
        QVERIFY(show(manager.LastError()).contains(QStringLiteral("select k from b")));
    }

    void transactionNumbers_data() { addEngineRows(); }
    void transactionNumbers()
    {
        QFETCH(TestEngine, engine);
        QUILLERY_TEST_DATABASE(db, engine, "posts");
        CAdoManager manager;
        QCOMPARE(manager.OpenAdoConnection(db->connectionString()), 0L);
        const unsigned long long before = manager.TransactionNumber();
        QCOMPARE(manager.BeginTransaction(), 0L);
        const unsigned long long first = manager.TransactionNumber();
        QVERIFY(first != before);
        QCOMPARE(manager.CommitTransaction(), 0L);
        QVERIFY(manager.TransactionCommitted(first));
        QCOMPARE(manager.BeginTransaction(), 0L);
        const unsigned long long second = manager.TransactionNumber();
        QVERIFY(second != first);
        QVERIFY(!manager.TransactionCommitted(second));
        QCOMPARE(manager.RollbackTransaction(), 0L);
        QVERIFY(!manager.TransactionCommitted(second));
        // Closing with a transaction open rolls it back.
        QCOMPARE(manager.BeginTransaction(), 0L);
        const unsigned long long third = manager.TransactionNumber();
        QCOMPARE(manager.CloseAdoConnection(), 0L);
        QVERIFY(!manager.TransactionCommitted(third));
    }
};

QUILLERY_REGISTER_TEST(TestRowStream)
#include "tst_RowStream.moc"
