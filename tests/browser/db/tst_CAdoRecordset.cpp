#include "DbTestHelpers.h"
#include "PgCluster.h"
#include "TestRegistry.h"

#include "browser/db/DbError.h"

#include <QFile>

#include <random>
#include <set>

namespace {

std::unique_ptr<CAdoRecordset> query(const TestDatabase &db, const std::string &sql)
{
    CAdoManager manager;
    std::unique_ptr<CAdoRecordset> rs;
    if (manager.OpenAdoConnection(db.connectionString()) != 0
        || manager.ExecuteSql(sql, rs, CAdoManager::CommandText) != 0)
        qWarning("%s", qPrintable(show(manager.LastError())));
    return rs;
}

bool startsWith(const std::string &text, const std::string &prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
}

} // namespace

class TestCAdoRecordset : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void walksForwardAndBack_data() { addEngineRows(); }
    void walksForwardAndBack()
    {
        QFETCH(TestEngine, engine);
        QUILLERY_TEST_DATABASE(db, engine, "posts");
        QUILLERY_EXECUTE(db, insertPostsSql(engine, "posts", 1, 250));
        const auto rs = query(*db, "select * from posts order by topicid");
        QVERIFY(rs && rs->IsOpen());
        QCOMPARE(rs->RecordCount(), 250L);
        QVERIFY(!rs->IsBOF() && !rs->IsEOF());
        QCOMPARE(rs->AbsolutePosition(), 1L);

        long long id = 1;
        for (; !rs->IsEOF(); rs->MoveNext())
            QCOMPARE(numberOf(*rs, "topicid"), id++);
        QCOMPARE(id, 251LL);
        QCOMPARE(rs->AbsolutePosition(), -3L);
        QVERIFY(rs->Value("topicid").IsNull());
        QCOMPARE(rs->MoveNext(), MakeDbErrorCode(DbEngine::Layer, LayerError::NoCurrentRecord));
        QVERIFY(rs->IsEOF());

        while (rs->MovePrevious() == 0 && !rs->IsBOF())
            QCOMPARE(numberOf(*rs, "topicid"), --id);
        QCOMPARE(id, 1LL);
        QVERIFY(rs->IsBOF());
        QCOMPARE(rs->AbsolutePosition(), -2L);
        QVERIFY(rs->MovePrevious() < 0);
        QCOMPARE(rs->MoveNext(), 0L);
        QCOMPARE(numberOf(*rs, "topicid"), 1LL);
        QCOMPARE(rs->MoveFirst(), 0L);
        QCOMPARE(numberOf(*rs, "topicid"), 1LL);
    }

    // Random runs of steps over a result several windows long, against the position the
    // cursor must be at: catches every refill that lands on the wrong rows, for each way a
    // listed result is read (by key, by a list of row keys, by offset).
    void windowsFollowTheCursor_data()
    {
        QTest::addColumn<TestEngine>("engine");
        QTest::addColumn<QByteArray>("sql");
        for (TestEngine engine : {TestEngine::SQLite, TestEngine::PostgreSQL}) {
            const char *name = engine == TestEngine::SQLite ? "sqlite" : "postgresql";
            QTest::addRow("%s, by key", name) << engine << QByteArray("select * from posts");
            QTest::addRow("%s, by key with a condition", name)
                    << engine << QByteArray("select * from posts where reply >= 0");
            QTest::addRow("%s, by key, quoted name", name)
                    << engine << QByteArray("select * from \"posts\" where reply <> 9");
            QTest::addRow("%s, table without a key", name)
                    << engine << QByteArray("select * from loose where reply >= 0");
            QTest::addRow("%s, view", name) << engine << QByteArray("select * from posts_view");
            QTest::addRow("%s, by offset", name)
                    << engine << QByteArray("select topicid, title from posts order by topicid");
        }
    }
    void windowsFollowTheCursor()
    {
        QFETCH(TestEngine, engine);
        QFETCH(QByteArray, sql);
        QUILLERY_TEST_DATABASE(db, engine, "posts");
        const long long total = 3 * CAdoRecordset::WindowLimit + 77;
        QUILLERY_EXECUTE(db, insertPostsSql(engine, "posts", 1, int(total)),
                         "create table loose as select * from posts order by topicid",
                         "create view posts_view as select * from posts");
        const auto rs = query(*db, sql.toStdString());
        QVERIFY(rs);
        QCOMPARE(rs->RecordCount(), long(total));

        std::mt19937 random(20240506);
        long long position = 0; // what the cursor must show: -1 BOF, total EOF
        for (int run = 0; run < 300; ++run) {
            const int kind = int(random() % 10);
            const long long steps = 1 + static_cast<long long>(random() % 700);
            if (kind == 0) {
                QCOMPARE(rs->MoveFirst(), 0L);
                position = 0;
            }
            for (long long s = 0; s < steps; ++s) {
                if (kind < 5 && position < total) {
                    QCOMPARE(rs->MoveNext(), 0L);
                    ++position;
                } else if (kind >= 5 && position >= 0) {
                    QCOMPARE(rs->MovePrevious(), 0L);
                    --position;
                }
            }
            QCOMPARE(rs->IsEOF(), position == total);
            QCOMPARE(rs->IsBOF(), position < 0);
            if (position >= 0 && position < total) {
                QCOMPARE(numberOf(*rs, "topicid"), position + 1);
                QCOMPARE(textOf(*rs, "title"), gbk("帖子") + std::to_string(position + 1));
            }
        }
    }

    // The post list's paging: 100 rows on, then 200 back and 100 on again, across the
    // whole result and without an ORDER BY: every row once, the same rows coming back.
    void pagingWithoutOrderIsStable_data() { addEngineRows(); }
    void pagingWithoutOrderIsStable()
    {
        QFETCH(TestEngine, engine);
        QUILLERY_TEST_DATABASE(db, engine, "posts");
        QUILLERY_EXECUTE(db, insertPostsSql(engine, "posts", 1, 4000, "i % 3"));
        const auto rs = query(*db, "select * from posts where roomid=1");
        QVERIFY(rs);
        QCOMPARE(rs->RecordCount(), 1334L);

        std::vector<long long> order;
        std::set<long long> seen;
        while (!rs->IsEOF()) {
            for (int i = 0; i < 100 && !rs->IsEOF(); ++i) {
                order.push_back(numberOf(*rs, "topicid"));
                QVERIFY(seen.insert(order.back()).second);
                QCOMPARE(rs->MoveNext(), 0L);
            }
        }
        QCOMPARE(order.size(), std::size_t(1334));
        for (long long id : order)
            QCOMPARE(id % 3, 1LL);

        // From the last (short) page back to the first, as "上一页" does.
        long long shown = 1334;
        long long pageSize = 34;
        while (shown > 100) {
            for (long long i = 0; i < 100 + pageSize; ++i, --shown)
                QCOMPARE(rs->MovePrevious(), 0L);
            for (int i = 0; i < 100; ++i, ++shown) {
                QCOMPARE(numberOf(*rs, "topicid"), order[std::size_t(shown)]);
                QCOMPARE(rs->MoveNext(), 0L);
            }
            pageSize = 100;
        }
        QCOMPARE(shown, 100LL);
    }

    void emptyResult_data() { addEngineRows(); }
    void emptyResult()
    {
        QFETCH(TestEngine, engine);
        QUILLERY_TEST_DATABASE(db, engine, "posts");
        const auto rs = query(*db, "select * from posts where roomid=3");
        QVERIFY(rs && rs->IsOpen());
        QCOMPARE(rs->RecordCount(), 0L);
        QVERIFY(rs->IsEOF() && rs->IsBOF());
        QCOMPARE(rs->FieldCount(), 6);
        QCOMPARE(rs->FieldName(1), std::string("title"));
        QCOMPARE(rs->MoveFirst(), 0L);
        QVERIFY(rs->IsEOF());
        QVERIFY(rs->MoveNext() < 0);
        QVERIFY(rs->MovePrevious() < 0);
        QVERIFY(rs->Value(0).IsNull());
    }

    void fieldsByExactName_data() { addEngineRows(); }
    void fieldsByExactName()
    {
        QFETCH(TestEngine, engine);
        QUILLERY_TEST_DATABASE(db, engine, "posts");
        QUILLERY_EXECUTE(db, insertPostsSql(engine, "posts", 5, 5));
        const auto rs = query(*db, "select topicid, title as \"Title\" from posts");
        QVERIFY(rs);
        QCOMPARE(rs->FieldIndex("topicid"), 0);
        QCOMPARE(rs->FieldIndex("Title"), 1);
        QCOMPARE(rs->FieldIndex("title"), -1);
        QCOMPARE(rs->FieldIndex("TopicID"), -1);
        QVERIFY(rs->Value("roomid").IsNull());
        QCOMPARE(rs->Value("roomid").Type(), 0);
        QCOMPARE(rs->FieldName(7), std::string());
        QCOMPARE(rs->FieldType(-1), 0);
        QCOMPARE(textOf(*rs, "topicid"), std::string("5"));
    }

    void closedRecordset_data() { addEngineRows(); }
    void closedRecordset()
    {
        QFETCH(TestEngine, engine);
        QUILLERY_TEST_DATABASE(db, engine, "posts");
        QUILLERY_EXECUTE(db, insertPostsSql(engine, "posts", 1, 10));
        const auto rs = query(*db, "select * from posts");
        QVERIFY(rs);
        rs->Close();
        QVERIFY(!rs->IsOpen());
        QCOMPARE(rs->RecordCount(), -1L);
        QCOMPARE(rs->FieldCount(), 0);
        QVERIFY(rs->IsEOF() && rs->IsBOF());
        const long closed = MakeDbErrorCode(DbEngine::Layer, LayerError::RecordsetClosed);
        QCOMPARE(rs->MoveFirst(), closed);
        QCOMPARE(rs->MoveNext(), closed);
        QCOMPARE(rs->MovePrevious(), closed);
        QVERIFY(startsWith(rs->LastError(),
                           gbk("记录集读取数据发生错误(在MovePrevious):\r\n错误号码: [")));
        QVERIFY(rs->Value("topicid").IsNull());
        rs->Close(); // again: nothing happens
    }

    void removedSqliteFileIsReported()
    {
        QUILLERY_TEST_DATABASE(db, TestEngine::SQLite, "posts");
        QUILLERY_EXECUTE(db, insertPostsSql(TestEngine::SQLite, "posts", 1, 2000));
        const auto rs = query(*db, "select * from posts order by topicid");
        QVERIFY(rs);
        for (int i = 0; i < 150; ++i)
            rs->MoveNext();
        for (const char *suffix : {"", "-wal", "-shm"})
            QFile::remove(db->sqliteFile() + QLatin1StringView(suffix));

        long code = 0;
        int moved = 0;
        while ((code = rs->MoveNext()) == 0)
            ++moved;
        QCOMPARE(code, MakeDbErrorCode(DbEngine::Layer, LayerError::DatabaseFileLost));
        QVERIFY(moved < 2000 - 150);
        QVERIFY(startsWith(rs->LastError(), gbk("记录集读取数据发生错误(在MoveNext):")));
        QVERIFY(rs->LastError().find(gbk("数据库文件已经不存在")) != std::string::npos);
        // The cursor stays on the last record read, and what was read stays readable.
        QVERIFY(!rs->IsEOF());
        QCOMPARE(numberOf(*rs, "topicid"), 151LL + moved);
        QCOMPARE(rs->MovePrevious(), 0L);
        QCOMPARE(numberOf(*rs, "topicid"), 150LL + moved);
        QCOMPARE(rs->RecordCount(), 2000L);
    }

    void stoppedServerIsReported()
    {
        PgCluster cluster;
        QString reason;
        if (PgCluster::binDirectory().isEmpty() && !PgCluster::mustRun())
            QSKIP("PostgreSQL server programs are not installed");
        QVERIFY2(cluster.start(reason), qPrintable(reason));
        const auto db = TestDatabase::createOn(cluster, {"posts"}, reason);
        QVERIFY2(db, qPrintable(reason));
        QUILLERY_EXECUTE(db, insertPostsSql(TestEngine::PostgreSQL, "posts", 1, 2000));
        const auto rs = query(*db, "select * from posts order by topicid");
        QVERIFY(rs);
        QVERIFY2(cluster.stop(reason), qPrintable(reason));

        long code = 0;
        int moved = 0;
        while ((code = rs->MoveNext()) == 0)
            ++moved;
        QVERIFY(code < 0);
        QCOMPARE(EngineOfCode(code), DbEngine::PostgreSQL);
        QVERIFY(moved > 0 && moved < 2000);
        QVERIFY(startsWith(rs->LastError(), gbk("记录集读取数据发生错误(在MoveNext):")));
        QCOMPARE(numberOf(*rs, "topicid"), 1LL + moved);
        QCOMPARE(rs->MoveFirst(), 0L);
        QCOMPARE(numberOf(*rs, "topicid"), 1LL);

        CAdoManager manager;
        QVERIFY(manager.OpenAdoConnection(db->connectionString()) < 0);
    }
};

QUILLERY_REGISTER_TEST(TestCAdoRecordset)
#include "tst_CAdoRecordset.moc"
