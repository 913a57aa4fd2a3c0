#include "DbTestHelpers.h"
#include "TestRegistry.h"

#include "browser/db/CAdoRecordset.h"
#include "browser/db/CAdoValue.h"
#include "browser/db/DbFaultInjection.h"
#include "common/ResultCodes.h"

#include <QFile>
#include <QFileInfo>

namespace {

// What a record set gives for the first column of each row of the statement.
struct Seen
{
    std::vector<bool> nulls;
    std::vector<std::string> texts;
    std::vector<long long> numbers; // -1: not a number
    bool operator==(const Seen &) const = default;

    void add(const CAdoValue &value)
    {
        nulls.push_back(value.IsNull());
        texts.push_back(value.Text());
        long long number = 0;
        numbers.push_back(value.ToInt64(number) ? number : -1);
    }
};

Seen throughRecordset(CAdoManager &manager, const BoundStatement &statement)
{
    Seen seen;
    std::unique_ptr<CAdoRecordset> rows;
    if (manager.ExecuteSql(statement, rows, CAdoManager::CommandText) != 0 || !rows)
        return seen;
    for (; rows->IsOpen() && !rows->IsEOF(); rows->MoveNext())
        seen.add(rows->Value(0));
    return seen;
}

Seen throughSelectColumn(CAdoManager &manager, const BoundStatement &statement)
{
    Seen seen;
    std::vector<CAdoValue> values;
    if (manager.SelectColumn(statement, values, CAdoManager::CommandText) != 0)
        return seen;
    for (const CAdoValue &value : values)
        seen.add(value);
    return seen;
}

BoundStatement insertPost(long long topicid, const std::string &title)
{
    return {"insert into posts (topicid, title) values (?, ?)",
            {SqlValue::fromInteger(topicid), SqlValue::fromText(title)},
            "shown insert " + std::to_string(topicid)};
}

// Removes the database file at the second statement of a list.
QString fileToRemove;
int statementsSeen = 0;
void removeAtTheSecond(const char *point)
{
    if (std::string(point) == "ExecuteSql" && ++statementsSeen == 2)
        QFile::remove(fileToRemove);
}

} // namespace

class TestStatementBatches : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // SQLite stores any kind of value in a column without a type: each reads as the record
    // set reads it, in the order of the rows, with bound values in the condition.
    void everyKindOfValueReadsAsTheRecordSetReadsIt()
    {
        QUILLERY_TEST_DATABASE(db, TestEngine::SQLite, "posts");
        QUILLERY_EXECUTE(db, "create table mixed (k integer, v)",
                         "insert into mixed values (1, 4294967296), (2, -7), (3, 2.5), (4, 7.0), "
                         "(5, '" + gbk("标题」")
                                 + "'), (6, ''), (7, NULL), (8, x'41004243'), "
                                   "(9, ' 12 '), (10, cast(x'ff41' as text))");
        CAdoManager manager;
        QCOMPARE(manager.OpenAdoConnection(db->connectionString()), 0L);
        const BoundStatement query {"select v from mixed where k >= ? and k <> ? order by k desc",
                                    {SqlValue::fromInteger(1), SqlValue::fromInteger(0)},
                                    {}};
        const Seen expected = throughRecordset(manager, query);
        QCOMPARE(expected.texts.size(), std::size_t(10));
        QCOMPARE(expected.texts[9], std::string("4294967296"));
        QCOMPARE(expected.texts[5], gbk("标题」"));
        QVERIFY(expected.nulls[3]);
        QVERIFY(throughSelectColumn(manager, query) == expected);
        // No row, and a text value bound.
        std::vector<CAdoValue> values {CAdoValue()};
        const BoundStatement none {
                "select k from mixed where v = ?", {SqlValue::fromText(gbk("没有"))}, {}};
        QCOMPARE(manager.SelectColumn(none, values, CAdoManager::CommandText), 0L);
        QVERIFY(values.empty());
    }

    // Inside a transaction the look-up sees the rows the transaction wrote, on both engines.
    void seesTheOpenTransactionsRows_data() { addEngineRows(); }
    void seesTheOpenTransactionsRows()
    {
        QFETCH(TestEngine, engine);
        QUILLERY_TEST_DATABASE(db, engine, "posts");
        QUILLERY_EXECUTE(db, insertPostsSql(engine, "posts", 1, 300));
        CAdoManager manager;
        QCOMPARE(manager.OpenAdoConnection(db->connectionString()), 0L);
        QCOMPARE(manager.BeginTransaction(), 0L);
        QCOMPARE(manager.ExecuteSql(
                         BoundStatement {
                                 "insert into posts (topicid, title) values (?, ?)",
                                 {SqlValue::fromInteger(1000), SqlValue::fromText(gbk("新帖"))},
                                 {}},
                         CAdoManager::CommandText),
                 0L);
        const BoundStatement query {"select title from posts where topicid in (?, ?, ?) "
                                    "order by topicid",
                                    {SqlValue::fromInteger(299), SqlValue::fromInteger(1000),
                                     SqlValue::fromInteger(5000)},
                                    {}};
        const Seen seen = throughSelectColumn(manager, query);
        QCOMPARE(seen.texts, (std::vector<std::string> {gbk("帖子299"), gbk("新帖")}));
        QVERIFY(seen == throughRecordset(manager, query));
        QCOMPARE(manager.RollbackTransaction(), 0L);
    }

    // A failure reads as the record-set form's: the same code and the same report.
    void failuresAreReportedAsTheRecordSetsAre_data() { addEngineRows(); }
    void failuresAreReportedAsTheRecordSetsAre()
    {
        QFETCH(TestEngine, engine);
        QUILLERY_TEST_DATABASE(db, engine, "posts");
        CAdoManager manager;
        QCOMPARE(manager.OpenAdoConnection(db->connectionString()), 0L);
        for (const BoundStatement &broken :
             {BoundStatement {"select v from nowhere where k = ?",
                              {SqlValue::fromInteger(1)},
                              "shown query"},
              BoundStatement {"select topicid from posts where topicid = ? and ?",
                              {SqlValue::fromInteger(1)},
                              "shown query"}}) {
            std::unique_ptr<CAdoRecordset> rows;
            const long expected = manager.ExecuteSql(broken, rows, CAdoManager::CommandText);
            QVERIFY(expected != 0);
            const std::string report = manager.LastError();
            const std::string reason = manager.LastErrorReason();
            std::vector<CAdoValue> values {CAdoValue()};
            QCOMPARE(manager.SelectColumn(broken, values, CAdoManager::CommandText), expected);
            QCOMPARE(manager.LastError(), report);
            QCOMPARE(manager.LastErrorReason(), reason);
            QVERIFY(report.find("shown query") != std::string::npos);
        }
        // Kept statements still answer after the failures.
        QUILLERY_EXECUTE(db, insertPostsSql(engine, "posts", 1, 3));
        std::vector<CAdoValue> values;
        QCOMPARE(manager.SelectColumn({"select topicid from posts order by topicid", {}, {}},
                                      values, CAdoManager::CommandText),
                 0L);
        QCOMPARE(values.size(), std::size_t(3));
        QCOMPARE(manager.CloseAdoConnection(), 0L);
        QCOMPARE(manager.SelectColumn({"select 1", {}, {}}, values, CAdoManager::CommandText),
                 MakeDbErrorCode(DbEngine::Layer, LayerError::NotOpen));
    }

    // A list stops at its first failing statement, with that statement's code and report;
    // the ones before it have run, the ones after it have not.
    void listStopsAtItsFirstFailure_data() { addEngineRows(); }
    void listStopsAtItsFirstFailure()
    {
        QFETCH(TestEngine, engine);
        QUILLERY_TEST_DATABASE(db, engine, "posts");
        CAdoManager manager;
        QCOMPARE(manager.OpenAdoConnection(db->connectionString()), 0L);
        QCOMPARE(manager.ExecuteSql(std::vector<BoundStatement> {}, CAdoManager::CommandText), 0L);
        QCOMPARE(manager.ExecuteSql({insertPost(1, gbk("一")), insertPost(2, "b")},
                                    CAdoManager::CommandText),
                 0L);
        const long alone = manager.ExecuteSql(insertPost(2, "again"), CAdoManager::CommandText);
        QVERIFY(alone != 0);
        const std::string report = manager.LastError();
        const long listed =
                manager.ExecuteSql({insertPost(3, "c"), insertPost(2, "again"), insertPost(4, "d")},
                                   CAdoManager::CommandText);
        QCOMPARE(listed, alone);
        QCOMPARE(manager.LastError(), report);
        QVERIFY(report.find("shown insert 2") != std::string::npos);
        QCOMPARE(
                throughSelectColumn(manager, {"select topicid from posts order by topicid", {}, {}})
                        .texts,
                (std::vector<std::string> {"1", "2", "3"}));
    }

    // The file is not looked for at every statement of a list, but a database removed
    // while the list runs is still reported before anything could be committed.
    void removedDatabaseIsFoundByTheEndOfAList()
    {
        QUILLERY_TEST_DATABASE(db, TestEngine::SQLite, "posts");
        CAdoManager manager;
        QCOMPARE(manager.OpenAdoConnection(db->connectionString()), 0L);
        QCOMPARE(manager.BeginTransaction(), 0L);
        fileToRemove = db->sqliteFile();
        statementsSeen = 0;
        DbFaultInjection::SetHook(removeAtTheSecond);
        const long result =
                manager.ExecuteSql({insertPost(1, "a"), insertPost(2, "b"), insertPost(3, "c")},
                                   CAdoManager::CommandText);
        DbFaultInjection::SetHook(nullptr);
        QCOMPARE(result, MakeDbErrorCode(DbEngine::Layer, LayerError::DatabaseFileLost));
        QVERIFY(manager.LastError().find("shown insert 3") != std::string::npos);
        manager.RollbackTransaction();
    }

    // Slices of blobs come back as substrings of the whole values, from any row in any
    // order; a missing row or a slice past its blob's end fails with a report, and the
    // slices before it were read.
    void blobSlicesAreTheBytesWhereTheyLie()
    {
        QUILLERY_TEST_DATABASE(db, TestEngine::SQLite, "posts");
        QUILLERY_EXECUTE(db, "create table parts (part integer primary key, texts blob)");
        CAdoManager manager;
        QCOMPARE(manager.OpenAdoConnection(db->connectionString()), 0L);
        // Larger than a page: the slices lie on overflow pages.
        std::string big;
        for (int i = 0; big.size() < 70000; ++i)
            big += gbk("第") + std::to_string(i) + gbk("段 ");
        const std::string small = std::string("a\0b", 3) + gbk("中");
        QCOMPARE(manager.ExecuteSql(
                         BoundStatement {"insert into parts values (?, ?), (?, ?)",
                                         {SqlValue::fromInteger(7), SqlValue::fromBlob(big),
                                          SqlValue::fromInteger(9), SqlValue::fromBlob(small)},
                                         {}},
                         CAdoManager::CommandText),
                 0L);
        std::vector<BlobSlice> slices {{7, 0, 10, {}}, {7, 65000, 4000, {}}, {7, 5, 0, {}},
                                       {9, 0, 5, {}},  {7, 30000, 17, {}},   {7, 69990, 10, {}}};
        QCOMPARE(manager.BeginTransaction(), 0L);
        QCOMPARE(manager.ReadBlobSlices("parts", "texts", slices), 0L);
        for (const BlobSlice &slice : slices) {
            const std::string &whole = slice.rowid == 7 ? big : small;
            QCOMPARE(slice.bytes, whole.substr(std::size_t(slice.at), std::size_t(slice.len)));
        }
        std::vector<BlobSlice> missing {{9, 1, 2, {}}, {8, 0, 1, {}}};
        QVERIFY(manager.ReadBlobSlices("parts", "texts", missing) != 0);
        QCOMPARE(missing[0].bytes, small.substr(1, 2));
        QVERIFY(!manager.LastError().empty());
        for (const BlobSlice &outside :
             {BlobSlice {9, 3, 3, {}}, BlobSlice {9, -1, 1, {}}, BlobSlice {9, 0, -1, {}}}) {
            std::vector<BlobSlice> one {outside};
            QVERIFY(manager.ReadBlobSlices("parts", "texts", one) != 0);
            QVERIFY(manager.LastError().find("outside") != std::string::npos);
        }
        // A slice runs on into the next rows only past rows of exactly the run's size:
        // rows 20-22 hold one stream cut every 6 bytes, the last row shorter.
        const std::string stream = "0123456789abcdef";
        for (long long row = 20; row <= 22; ++row) {
            const std::string piece = stream.substr(std::size_t(row - 20) * 6, 6);
            QCOMPARE(manager.ExecuteSql(BoundStatement {"insert into parts values (?, ?)",
                                                        {SqlValue::fromInteger(row),
                                                         SqlValue::fromBlob(piece)},
                                                        {}},
                                        CAdoManager::CommandText),
                     0L);
        }
        std::vector<BlobSlice> runs {{20, 4, 12, {}}, {21, 5, 3, {}}, {22, 0, 4, {}}};
        QCOMPARE(manager.ReadBlobSlices("parts", "texts", runs, 6), 0L);
        QCOMPARE(runs[0].bytes, stream.substr(4, 12));
        QCOMPARE(runs[1].bytes, stream.substr(11, 3));
        for (const BlobSlice &past : {BlobSlice {21, 0, 11, {}}, BlobSlice {9, 0, 6, {}}}) {
            std::vector<BlobSlice> one {past};
            QVERIFY(manager.ReadBlobSlices("parts", "texts", one, 6) != 0);
            QVERIFY(manager.LastError().find("outside") != std::string::npos);
        }
        std::vector<BlobSlice> notRun {{20, 4, 12, {}}};
        QVERIFY(manager.ReadBlobSlices("parts", "texts", notRun, 7) != 0);
        QCOMPARE(manager.RollbackTransaction(), 0L);
    }

    // Commits copied back on the checkpointer's thread: afterwards the database file holds
    // every row, the writer's own setting is back, and the rows are all there.
    // On a database whose file is gone it only stands aside.
    void logCopiedBackOnAThreadOfItsOwn()
    {
        QUILLERY_TEST_DATABASE(db, TestEngine::SQLite, "posts");
        CAdoManager manager;
        QCOMPARE(manager.OpenAdoConnection(db->connectionString()), 0L);
        const auto pragma = [&](const std::string &sql) {
            std::vector<CAdoValue> values;
            long long n = -1;
            if (manager.SelectColumn({sql, {}, {}}, values, CAdoManager::CommandText) == 0
                && !values.empty())
                values.front().ToInt64(n);
            return n;
        };
        {
            const auto checkpointer = manager.CheckpointInBackground(4, 1 << 20, 777);
            QVERIFY(checkpointer && checkpointer->running());
            for (int batch = 0; batch < 20; ++batch) {
                QCOMPARE(manager.BeginTransaction(), 0L);
                for (int i = 0; i < 50; ++i) {
                    const long long id = batch * 50 + i;
                    QCOMPARE(manager.ExecuteSql(insertPost(id, std::string(300, 'x')),
                                                CAdoManager::CommandText),
                             0L);
                }
                QCOMPARE(manager.CommitTransaction(), 0L);
            }
        }
        QCOMPARE(pragma("PRAGMA wal_autocheckpoint"), 777LL);
        // The rows are in the database file itself, not only in its log.
        QVERIFY(QFileInfo(db->sqliteFile()).size() > 1000 * 300);
        QCOMPARE(pragma("select count(*) from posts"), 1000LL);

        QFile::remove(db->sqliteFile());
        const auto orphan = manager.CheckpointInBackground(4, 1 << 20, 777);
        QVERIFY(!orphan || !orphan->running());
    }
};

QUILLERY_REGISTER_TEST(TestStatementBatches)
#include "tst_StatementBatches.moc"
