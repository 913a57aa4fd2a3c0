#include "DbTestHelpers.h"
#include "TestRegistry.h"

#include "browser/db/CAdoRecordset.h"
#include "browser/posts/PostPager.h"
#include "browser/posts/PostQuery.h"

#include <QFile>
#include <QFileInfo>

#include <set>

namespace {

// The names of the rooms 0..6 that insertPostsSql spreads the posts over.
std::string roomName(const std::string &roomid)
{
    return roomid == "3" ? gbk("三号房间") : roomid == "5" ? std::string() : "room" + roomid;
}

struct Listing
{
    PostPager pager {roomName};
    PostColumnTable columns;
    std::vector<PostListRow> rows; // what the list shows
    std::string status;

    void apply(const std::optional<PostPage> &page)
    {
        QVERIFY(page);
        if (page->replaceRows)
            rows = page->rows;
        status = page->status;
    }
    bool query(const TestDatabase &db, const std::string &sql)
    {
        return query(db, BoundStatement {sql, {}, {}});
    }
    bool query(const TestDatabase &db, const BoundStatement &sql)
    {
        const PostQueryOutcome outcome = RunPostQueryInto(pager, db.connectionString(), sql);
        if (outcome.stage != PostQueryOutcome::Done)
            return false;
        columns.RecomputeShown(pager.FieldNames());
        apply(pager.FirstPage(columns));
        return true;
    }
    void next() { apply(pager.NextPage(columns)); }
    void previous() { apply(pager.PreviousPage(columns, int(rows.size()))); }
    std::pair<long long, long long> shownIds() const
    {
        return {std::stoll(*rows.front().values[1]), std::stoll(*rows.back().values[1])};
    }
};

std::string shown(long count, int first, int last)
{
    return gbk("查询记录的个数= ") + std::to_string(count) + gbk(" ,当前显示第 ")
            + std::to_string(first) + gbk(" 到 ") + std::to_string(last) + gbk(" 个");
}
std::string lastPage(long count)
{
    return gbk("已经到达最后页(总记录个数=") + std::to_string(count) + ")";
}
std::string firstPage(long count)
{
    return gbk("已经到达第一页了(总记录个数=") + std::to_string(count) + ")";
}

} // namespace

class TestPostPaging : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void pagesThroughTwoHundredFifty_data() { addEngineRows(); }
    void pagesThroughTwoHundredFifty()
    {
        QFETCH(TestEngine, engine);
        QUILLERY_TEST_DATABASE(db, engine, "posts");
        QUILLERY_EXECUTE(db, insertPostsSql(engine, "posts", 1, 250, "1"));
        Listing list;
        QVERIFY(list.query(*db, "select * from posts where roomid=1 order by topicid"));
        QCOMPARE(list.rows.size(), std::size_t(100));
        QCOMPARE(list.shownIds(), std::make_pair(1LL, 100LL));
        QCOMPARE(list.status, shown(250, 1, 100));
        list.next();
        QCOMPARE(list.shownIds(), std::make_pair(101LL, 200LL));
        QCOMPARE(list.status, shown(250, 101, 200));
        list.next();
        QCOMPARE(list.shownIds(), std::make_pair(201LL, 250LL));
        QCOMPARE(list.status, shown(250, 201, 250));
        list.next();
        QCOMPARE(list.shownIds(), std::make_pair(201LL, 250LL));
        QCOMPARE(list.status, lastPage(250));
        list.previous();
        QCOMPARE(list.shownIds(), std::make_pair(101LL, 200LL));
        QCOMPARE(list.status, shown(250, 101, 200));
        list.previous();
        QCOMPARE(list.shownIds(), std::make_pair(1LL, 100LL));
        list.previous();
        QCOMPARE(list.shownIds(), std::make_pair(1LL, 100LL));
        QCOMPARE(list.status, firstPage(250));
        list.apply(list.pager.FirstPage(list.columns));
        QCOMPARE(list.status, shown(250, 1, 100));
    }

    void exactlyOnePage_data() { addEngineRows(); }
    void exactlyOnePage()
    {
        QFETCH(TestEngine, engine);
        QUILLERY_TEST_DATABASE(db, engine, "posts");
        QUILLERY_EXECUTE(db, insertPostsSql(engine, "posts", 1, 100, "1"));
        Listing list;
        QVERIFY(list.query(*db, "select * from posts where roomid=1"));
        QCOMPARE(list.status, shown(100, 1, 100));
        list.next();
        QCOMPARE(list.status, lastPage(100));
        QCOMPARE(list.rows.size(), std::size_t(100));
        list.previous();
        QCOMPARE(list.status, firstPage(100));
    }

    void emptyRoom_data() { addEngineRows(); }
    void emptyRoom()
    {
        QFETCH(TestEngine, engine);
        QUILLERY_TEST_DATABASE(db, engine, "posts");
        QUILLERY_EXECUTE(db, insertPostsSql(engine, "posts", 1, 20, "1"));
        Listing list;
        QVERIFY(list.query(*db, "select * from posts where roomid=1"));
        QCOMPARE(list.rows.size(), std::size_t(20));
        QVERIFY(list.query(*db, "select * from posts where roomid=2"));
        QVERIFY(list.rows.empty()); // the list is emptied
        QCOMPARE(list.status, lastPage(0));
        list.previous();
        QCOMPARE(list.status, firstPage(0));
    }

    void everyRowOnceInAStableOrder_data() { addEngineRows(); }
    void everyRowOnceInAStableOrder()
    {
        QFETCH(TestEngine, engine);
        QUILLERY_TEST_DATABASE(db, engine, "posts");
        QUILLERY_EXECUTE(db, insertPostsSql(engine, "posts", 1, 3000));
        Listing list;
        // No ORDER BY: the order is the engine's, but it must hold for the whole paging.
        QVERIFY(list.query(*db, "select * from posts where roomid=3"));
        std::vector<long long> forward;
        for (;;) {
            for (const PostListRow &row : list.rows)
                forward.push_back(std::stoll(*row.values[1]));
            const std::string before = list.status;
            list.next();
            if (list.status == lastPage(long(3000 / 7 + 1)))
                break;
        }
        QCOMPARE(forward.size(), std::size_t(429));
        QCOMPARE(std::set<long long>(forward.begin(), forward.end()).size(), forward.size());
        // Back to the start: the pages hold the same rows as on the way forward.
        std::vector<long long> backward;
        while (list.status != firstPage(429)) {
            std::vector<long long> page;
            for (const PostListRow &row : list.rows)
                page.push_back(std::stoll(*row.values[1]));
            backward.insert(backward.begin(), page.begin(), page.end());
            list.previous();
        }
        QCOMPARE(backward, forward);
    }

    // Rows inserted and deleted between pages: the count stays the query's, no row shows
    // twice on a page, deleted rows are not shown, and paging goes on to the end.
    void rowsChangingBetweenPages_data()
    {
        QTest::addColumn<TestEngine>("engine");
        QTest::addColumn<QByteArray>("table");
        QTest::addColumn<QByteArray>("sql");
        for (TestEngine engine : {TestEngine::SQLite, TestEngine::PostgreSQL}) {
            const char *name = engine == TestEngine::SQLite ? "sqlite" : "postgresql";
            QTest::addRow("%s, by key", name) << engine << QByteArray("posts")
                                              << QByteArray("select * from posts where roomid=1");
            QTest::addRow("%s, by offset", name)
                    << engine << QByteArray("posts")
                    << QByteArray("select * from posts where roomid=1 order by topicid");
        }
        QTest::newRow("postgresql, by row keys")
                << TestEngine::PostgreSQL << QByteArray("loose")
                << QByteArray("select * from loose where roomid=1");
    }
    void rowsChangingBetweenPages()
    {
        QFETCH(TestEngine, engine);
        QFETCH(QByteArray, table);
        QFETCH(QByteArray, sql);
        QUILLERY_TEST_DATABASE(db, engine, "posts");
        QUILLERY_EXECUTE(db, insertPostsSql(engine, "posts", 1, 1500, "i % 2"));
        const std::string t = table.toStdString();
        if (t != "posts") // a table without a primary key
            QUILLERY_EXECUTE(db, "create table " + t + " as select * from posts");
        Listing list;
        QVERIFY(list.query(*db, sql.toStdString()));
        QCOMPARE(list.status, shown(750, 1, 100));
        const long long firstShown = list.shownIds().first;
        list.next();
        // Past the rows the record set holds already (256): deleted ones and new ones.
        QUILLERY_EXECUTE(db, "delete from " + t + " where topicid between 601 and 801",
                         "update " + t + " set roomid = 0 where topicid between 901 and 951",
                         insertPostsSql(engine, t, 2001, 2400, "1"));
        std::set<long long> seen;
        int pages = 0;
        while (list.status.find(gbk("已经到达最后页")) == std::string::npos && pages < 20) {
            std::set<long long> page;
            for (const PostListRow &row : list.rows) {
                const long long id = std::stoll(*row.values[1]);
                QVERIFY2(page.insert(id).second, "a row twice on one page");
                seen.insert(id);
            }
            QVERIFY(list.status.find(gbk("查询记录的个数= 750 ,")) == 0);
            list.next();
            ++pages;
        }
        QCOMPARE(list.status, lastPage(750));
        for (long long id = 601; id <= 801; id += 2)
            QVERIFY2(!seen.count(id) || id < 513, qPrintable(QString::number(id)));
        QVERIFY(!seen.count(1500 + 1)); // nothing that did not exist
        // Back to the first page: the same first row.
        while (list.status != firstPage(750))
            list.previous();
        QCOMPARE(list.shownIds().first, firstShown);
    }

    // While a result is listed, writers and the WAL's checkpoint are not held up: the
    // record set keeps no transaction and no snapshot between its reads.
    void listedResultHoldsNothing_data() { addEngineRows(); }
    void listedResultHoldsNothing()
    {
        QFETCH(TestEngine, engine);
        QUILLERY_TEST_DATABASE(db, engine, "posts");
        QUILLERY_EXECUTE(db, insertPostsSql(engine, "posts", 1, 5000, "i % 2"));
        Listing list;
        QVERIFY(list.query(*db, "select * from posts where roomid=1"));
        list.next();
        QUILLERY_EXECUTE(db, insertPostsSql(engine, "posts", 5001, 9000, "i % 2"));
        CAdoManager other;
        QCOMPARE(other.OpenAdoConnection(db->connectionString()), 0L);
        std::unique_ptr<CAdoRecordset> rs;
        if (engine == TestEngine::SQLite) {
            QCOMPARE(other.ExecuteSql("PRAGMA wal_checkpoint(TRUNCATE)", rs, 1), 0L);
            QCOMPARE(rs->Value(0).Text(), std::string("0")); // not busy
            QCOMPARE(QFileInfo(db->sqliteFile() + QStringLiteral("-wal")).size(), 0);
        } else {
            QCOMPARE(other.ExecuteSql("select count(*) as n from pg_stat_activity where "
                                      "datname = current_database() and pid <> pg_backend_pid() "
                                      "and (backend_xmin is not null or state <> 'idle')",
                                      rs, 1),
                     0L);
            QCOMPARE(numberOf(*rs, "n"), 0LL);
            QCOMPARE(other.ExecuteSql("select count(*) as n from pg_prepared_statements", rs, 1),
                     0L);
        }
        list.next();
        QCOMPARE(list.status, shown(2500, 201, 300));
    }

    void columnsFollowTheResult_data() { addEngineRows(); }
    void columnsFollowTheResult()
    {
        QFETCH(TestEngine, engine);
        QUILLERY_TEST_DATABASE(db, engine, "posts");
        QUILLERY_EXECUTE(db, insertPostsSql(engine, "posts", 1, 10));
        Listing list;
        QVERIFY(list.query(*db, "select * from posts"));
        QCOMPARE(list.columns.ShownSlots(), (std::vector<int> {0, 1, 2, 3, 4, 5}));
        QCOMPARE(list.rows.front().values.size(), std::size_t(6));
        QVERIFY(list.query(*db, "select title, topicid, reply from posts"));
        QCOMPARE(list.columns.ShownSlots(), (std::vector<int> {0, 1, 3})); // no room column
        QCOMPARE(list.rows.front().itemData, 0u);
    }

    void roomNamesStandForRoomIds_data() { addEngineRows(); }
    void roomNamesStandForRoomIds()
    {
        QFETCH(TestEngine, engine);
        QUILLERY_TEST_DATABASE(db, engine, "posts");
        QUILLERY_EXECUTE(
                db, insertPostsSql(engine, "posts", 1, 7),
                "update posts set reply = NULL where topicid = 2",
                "insert into posts (topicid, title, roomid) values (8, '" + gbk("空房间")
                        + "', NULL)",
                "insert into posts (topicid, title, roomid) values (9, 'big', 3000000000)");
        Listing list;
        QVERIFY(list.query(*db, "select * from posts order by topicid"));
        QCOMPARE(list.rows.size(), std::size_t(9));
        QCOMPARE(*list.rows[2].values[2], gbk("三号房间")); // topicid 3: room 3
        QCOMPARE(list.rows[2].itemData, 3u);
        QCOMPARE(*list.rows[4].values[2], std::string()); // a room id no room has
        QCOMPARE(list.rows[4].itemData, 5u);
        QVERIFY(!list.rows[1].values[3]); // NULL reply: an empty cell
        QCOMPARE(*list.rows[7].values[0], gbk("空房间"));
        QCOMPARE(*list.rows[7].values[2], std::string()); // NULL room id
        QCOMPARE(list.rows[7].itemData, 0u);
        // Room ids of 2^31 and more stay unsigned.
        QCOMPARE(list.rows[8].itemData, 3000000000u);
        QCOMPARE(*list.rows[8].values[2], std::string("room3000000000"));
    }

    void textRoomIdsThatAreNoNumbers()
    {
        QUILLERY_TEST_DATABASE(db, TestEngine::SQLite, "posts");
        QUILLERY_EXECUTE(db, "insert into posts (topicid, title, roomid) values (1, 'a', 'abc')",
                         "insert into posts (topicid, title, roomid) values (2, 'b', '3')");
        Listing list;
        QVERIFY(list.query(*db, "select * from posts order by topicid"));
        QCOMPARE(*list.rows[0].values[2], std::string());
        QCOMPARE(list.rows[0].itemData, 0u);
        QCOMPARE(*list.rows[1].values[2], gbk("三号房间"));
        QCOMPARE(list.rows[1].itemData, 3u);
    }

    void failedQueriesKeepTheRows_data() { addEngineRows(); }
    void failedQueriesKeepTheRows()
    {
        QFETCH(TestEngine, engine);
        QUILLERY_TEST_DATABASE(db, engine, "posts");
        QUILLERY_EXECUTE(db, insertPostsSql(engine, "posts", 1, 10, "1"));
        Listing list;
        QVERIFY(list.query(*db, "select * from posts"));
        const PostQueryOutcome bad =
                RunPostQueryInto(list.pager, db->connectionString(), "select * from missing");
        QCOMPARE(bad.stage, PostQueryOutcome::QueryFailed);
        QVERIFY(bad.code < 0);
        QCOMPARE(list.rows.size(), std::size_t(10));
        QVERIFY(!list.pager.NextPage(list.columns)); // the old result is closed: no paging
        const PostQueryOutcome noDb =
                RunPostQueryInto(list.pager, "Provider=Nothing;x=1", "select 1");
        QCOMPARE(noDb.stage, PostQueryOutcome::OpenFailed);
    }

    void lostDatabaseKeepsThePage()
    {
        QUILLERY_TEST_DATABASE(db, TestEngine::SQLite, "posts");
        QUILLERY_EXECUTE(db, insertPostsSql(TestEngine::SQLite, "posts", 1, 5000, "1"));
        Listing list;
        QVERIFY(list.query(*db, "select * from posts order by topicid"));
        for (const char *suffix : {"", "-wal", "-shm"})
            QFile::remove(db->sqliteFile() + QLatin1StringView(suffix));
        std::string failure;
        for (int page = 0; page < 60 && failure.empty(); ++page) {
            const auto before = list.shownIds();
            const std::optional<PostPage> next = list.pager.NextPage(list.columns);
            QVERIFY(next);
            if (!next->replaceRows) {
                failure = next->status;
                QCOMPARE(list.shownIds(), before);
            } else {
                list.apply(next);
            }
        }
        QVERIFY(!failure.empty());
        QVERIFY(failure.find(gbk("读取查询结果时发生错误")) == 0);
        QVERIFY(failure.find('\n') == std::string::npos);
        // The pager stands where the shown page ends: going back still works.
        const auto shownBefore = list.shownIds();
        list.previous();
        QCOMPARE(list.shownIds().second, shownBefore.first - 1);
    }

    // The room's ID from the configuration is bound, never part of the statement: an ID
    // that reads like SQL lists nothing instead of every post.
    void roomQueryBindsTheRoomId_data() { addEngineRows(); }
    void roomQueryBindsTheRoomId()
    {
        QFETCH(TestEngine, engine);
        const BoundStatement query = RoomPostsQuery("LangPosts", "111");
        QCOMPARE(query.sql, std::string("select * from LangPosts where roomid=?"));
        QCOMPARE(query.shown(), std::string("select * from LangPosts where roomid=111"));
        QVERIFY(query.values == std::vector<SqlValue> {SqlValue::fromInteger(111)});

        QUILLERY_TEST_DATABASE(db, engine, "posts");
        QUILLERY_EXECUTE(db, insertPostsSql(engine, "posts", 1, 300, "1"));
        Listing list;
        QVERIFY(list.query(*db, RoomPostsQuery("posts", "1")));
        QCOMPARE(list.status, shown(300, 1, 100));
        const bool listed = list.query(*db, RoomPostsQuery("posts", "1 or 1=1"));
        // SQLite compares the text and finds nothing; PostgreSQL refuses it as no integer.
        QVERIFY(!listed || list.rows.empty());
        QVERIFY(list.query(*db, RoomPostsQuery("posts", "")));
        QVERIFY(list.rows.empty());
    }
};

QUILLERY_REGISTER_TEST(TestPostPaging)
#include "tst_PostPaging.moc"
