#include "DbTestHelpers.h"
#include "TestRegistry.h"

#include "browser/db/AdoTypes.h"
#include "browser/db/BoundStatement.h"
#include "browser/db/DbError.h"

#include <QElapsedTimer>

namespace {

BoundStatement insertPost(long long topicid, const std::string &title, const SqlValue &roomid)
{
    return BoundStatement {"insert into posts (topicid, title, roomid) values (?, ?, ?)",
                           {SqlValue::fromInteger(topicid), SqlValue::fromText(title), roomid},
                           "insert into posts ... " + std::to_string(topicid)};
}

BoundStatement postById(long long topicid)
{
    return BoundStatement {
            "select * from posts where topicid = ?", {SqlValue::fromInteger(topicid)}, {}};
}

long long countRows(CAdoManager &manager, const char *table = "posts")
{
    std::unique_ptr<CAdoRecordset> rs;
    if (manager.ExecuteSql(std::string("select count(*) as n from ") + table, rs, 1) != 0)
        return -1;
    return numberOf(*rs, "n");
}

// Texts that would end a quoted literal, end or comment out a statement, or start a
// second one, if they ever became SQL text; GBK characters whose second byte is "\" or
// "|" or "`"; a long one.
std::vector<std::string> hostileTexts()
{
    return {"It's",
            "'; delete from posts; --",
            "x'); drop table posts; --",
            "a \"b\" ;; -- c /* d */",
            "100% _x_ \\' \\\\",
            "\x95\x5c\xd5\x5c\x81\x7c\x81\x60\x81\x40 " + gbk("中文标题"),
            "?",
            std::string()};
}

} // namespace

class TestBoundStatement : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void hostileValuesAreStoredAsData_data() { addEngineRows(); }
    void hostileValuesAreStoredAsData()
    {
        QFETCH(TestEngine, engine);
        QUILLERY_TEST_DATABASE(db, engine, "posts");
        CAdoManager manager;
        QCOMPARE(manager.OpenAdoConnection(db->connectionString()), 0L);
        const std::vector<std::string> texts = hostileTexts();
        for (std::size_t i = 0; i < texts.size(); ++i) {
            const long code = manager.ExecuteSql(
                    insertPost(static_cast<long long>(i + 1), texts[i], SqlValue::fromInteger(7)),
                    1);
            QVERIFY2(code == 0, qPrintable(show(manager.LastError())));
        }
        QCOMPARE(countRows(manager), (long long)(texts.size()));
        for (std::size_t i = 0; i < texts.size(); ++i) {
            std::unique_ptr<CAdoRecordset> rs;
            QCOMPARE(manager.ExecuteSql(postById(static_cast<long long>(i + 1)), rs, 1), 0L);
            QCOMPARE(rs->RecordCount(), 1L);
            QVERIFY2(textOf(*rs, "title") == texts[i], qPrintable(QString::number(i)));
            QCOMPARE(numberOf(*rs, "roomid"), 7LL);
        }
        // A long text (not in the title: PostgreSQL's index on it takes no such entry).
        std::string longText(1 << 20, 'L');
        longText.replace(1000, 4, "';--");
        QCOMPARE(manager.ExecuteSql(
                         BoundStatement {"update posts set username = ? where topicid = ?",
                                         {SqlValue::fromText(longText), SqlValue::fromInteger(1)},
                                         {}},
                         1),
                 0L);
        {
            std::unique_ptr<CAdoRecordset> rs;
            QCOMPARE(manager.ExecuteSql(postById(1), rs, 1), 0L);
            QVERIFY(textOf(*rs, "username") == longText);
        }
        // A title looked up by value finds exactly its row, quotes and all.
        std::unique_ptr<CAdoRecordset> rs;
        const BoundStatement byTitle {
                "select topicid from posts where title = ?", {SqlValue::fromText(texts[1])}, {}};
        QCOMPARE(manager.ExecuteSql(byTitle, rs, 1), 0L);
        QCOMPARE(rs->RecordCount(), 1L);
        QCOMPARE(numberOf(*rs, "topicid"), 2LL);
    }

    void aSecondStatementInAQueryNeverRuns_data() { addEngineRows(); }
    void aSecondStatementInAQueryNeverRuns()
    {
        QFETCH(TestEngine, engine);
        QUILLERY_TEST_DATABASE(db, engine, "posts");
        QUILLERY_EXECUTE(db, insertPostsSql(engine, "posts", 1, 5));
        CAdoManager manager;
        QCOMPARE(manager.OpenAdoConnection(db->connectionString()), 0L);
        std::unique_ptr<CAdoRecordset> rs;
        QVERIFY(manager.ExecuteSql(
                        "select * from posts where title like '%x'; delete from posts; --%'", rs, 1)
                != 0);
        QCOMPARE(countRows(manager), 5LL);
    }

    void nulBytesSurviveOrAreRefused_data() { addEngineRows(); }
    void nulBytesSurviveOrAreRefused()
    {
        QFETCH(TestEngine, engine);
        QUILLERY_TEST_DATABASE(db, engine, "posts");
        CAdoManager manager;
        QCOMPARE(manager.OpenAdoConnection(db->connectionString()), 0L);
        const std::string text("a\0b\0\0"
                               "\xd6\xd0",
                               7);
        const long code = manager.ExecuteSql(insertPost(1, text, SqlValue::null()), 1);
        if (engine == TestEngine::PostgreSQL) {
            // PostgreSQL texts cannot hold NUL: refused before anything is sent.
            QCOMPARE(code, MakeDbErrorCode(DbEngine::Layer, LayerError::NulInText));
            QVERIFY(manager.LastError().find("insert into posts ... 1") != std::string::npos);
            QCOMPARE(countRows(manager), 0LL);
            return;
        }
        QCOMPARE(code, 0L);
        std::unique_ptr<CAdoRecordset> rs;
        QCOMPARE(manager.ExecuteSql(postById(1), rs, 1), 0L);
        QCOMPARE(textOf(*rs, "title").size(), text.size());
        QVERIFY(textOf(*rs, "title") == text);
        QVERIFY(rs->Value("roomid").IsNull());
    }

    void valuesKeepTheirKinds_data() { addEngineRows(); }
    void valuesKeepTheirKinds()
    {
        QFETCH(TestEngine, engine);
        QUILLERY_TEST_DATABASE(db, engine, "posts");
        CAdoManager manager;
        QCOMPARE(manager.OpenAdoConnection(db->connectionString()), 0L);
        QCOMPARE(manager.ExecuteSql(insertPost(4294967295LL, "big", SqlValue::fromInteger(-3)), 1),
                 0L);
        QCOMPARE(manager.ExecuteSql(insertPost(5, "null room", SqlValue::null()), 1), 0L);
        std::unique_ptr<CAdoRecordset> rs;
        // Compared as numbers: a text would not equal the integer column on PostgreSQL, and
        // on SQLite an integer column holds an integer.
        const BoundStatement check {
                "select topicid, roomid from posts where topicid = ? and roomid = ?",
                {SqlValue::fromInteger(4294967295LL), SqlValue::fromInteger(-3)},
                {}};
        QCOMPARE(manager.ExecuteSql(check, rs, 1), 0L);
        QCOMPARE(rs->RecordCount(), 1L);
        QCOMPARE(numberOf(*rs, "topicid"), 4294967295LL);
        QVERIFY(IsAdoIntegerType(rs->FieldType(0)));
        if (engine == TestEngine::SQLite) {
            QCOMPARE(manager.ExecuteSql("select typeof(roomid) as t from posts where topicid = 5",
                                        rs, 1),
                     0L);
            QCOMPARE(textOf(*rs, "t"), std::string("null"));
        }
    }

    void reportsShowTheDisplayText_data() { addEngineRows(); }
    void reportsShowTheDisplayText()
    {
        QFETCH(TestEngine, engine);
        QUILLERY_TEST_DATABASE(db, engine, "posts");
        CAdoManager manager;
        QCOMPARE(manager.OpenAdoConnection(db->connectionString()), 0L);
        const BoundStatement missing {"select 1 from nosuch where topicid = ?",
                                      {SqlValue::fromInteger(12)},
                                      "select 1 from nosuch where  topicid = 12 "};
        const long expected = engine == TestEngine::SQLite
                ? MakeDbErrorCode(DbEngine::SQLite, 1)
                : MakeDbErrorCode(DbEngine::PostgreSQL, SqlStateNumber("42P01"));
        std::unique_ptr<CAdoRecordset> rs;
        QCOMPARE(manager.ExecuteSql(missing, rs, 1), expected);
        const std::string head = gbk("ExecuteSql[Rs]函数发生错误:\r\n\r\nSQL语句: ")
                + missing.display + gbk("\r\n错误号码: [") + std::to_string(expected) + "]";
        QVERIFY2(manager.LastError().compare(0, head.size(), head) == 0,
                 qPrintable(show(manager.LastError())));
        BoundStatement plain = missing;
        plain.display.clear();
        QCOMPARE(manager.ExecuteSql(plain, 1), expected);
        const std::string plainHead = gbk("ExecuteSql函数发生错误:\r\n\r\nSQL语句: ") + plain.sql
                + gbk("\r\n错误号码: [");
        QVERIFY(manager.LastError().compare(0, plainHead.size(), plainHead) == 0);
        // Too few values is the database's complaint, not a crash.
        QVERIFY(manager.ExecuteSql(
                        BoundStatement {"insert into posts (topicid, title) values (?, ?)",
                                        {SqlValue::fromInteger(1)},
                                        {}},
                        1)
                != 0);
    }

    void transactions_data() { addEngineRows(); }
    void transactions()
    {
        QFETCH(TestEngine, engine);
        QUILLERY_TEST_DATABASE(db, engine, "posts");
        CAdoManager manager;
        QCOMPARE(manager.BeginTransaction(), MakeDbErrorCode(DbEngine::Layer, LayerError::NotOpen));
        QVERIFY(manager.LastError().find("BeginTransaction") != std::string::npos);
        QCOMPARE(manager.OpenAdoConnection(db->connectionString()), 0L);
        QCOMPARE(manager.CommitTransaction(), 31L);
        QCOMPARE(manager.RollbackTransaction(), 31L);
        QVERIFY(!manager.InTransaction());

        QCOMPARE(manager.BeginTransaction(), 0L);
        QVERIFY(manager.InTransaction());
        QCOMPARE(manager.BeginTransaction(), 31L);
        QCOMPARE(manager.ExecuteSql(insertPost(10, "t", SqlValue::fromInteger(1)), 1), 0L);
        // The duplicate check inside the transaction sees the transaction's own row.
        std::unique_ptr<CAdoRecordset> rs;
        const BoundStatement duplicate {
                "select 1 from posts where topicid = ?", {SqlValue::fromInteger(10)}, {}};
        QCOMPARE(manager.ExecuteSql(duplicate, rs, 1), 0L);
        QVERIFY(!rs->IsEOF());
        // Others do not see it yet.
        CAdoManager other;
        QCOMPARE(other.OpenAdoConnection(db->connectionString()), 0L);
        QCOMPARE(countRows(other), 0LL);
        QCOMPARE(manager.RollbackTransaction(), 0L);
        QVERIFY(!manager.InTransaction());
        QCOMPARE(countRows(manager), 0LL);

        QCOMPARE(manager.BeginTransaction(), 0L);
        for (int i = 1; i <= 50; ++i)
            QCOMPARE(manager.ExecuteSql(insertPost(i, "c", SqlValue::fromInteger(i)), 1), 0L);
        QCOMPARE(manager.CommitTransaction(), 0L);
        QCOMPARE(countRows(other), 50LL);

        // Without a transaction every statement commits on its own.
        QCOMPARE(manager.ExecuteSql(insertPost(51, "d", SqlValue::null()), 1), 0L);
        QCOMPARE(countRows(other), 51LL);

        // Closing with a transaction open rolls it back.
        QCOMPARE(manager.BeginTransaction(), 0L);
        QCOMPARE(manager.ExecuteSql(insertPost(52, "e", SqlValue::null()), 1), 0L);
        QCOMPARE(manager.CloseAdoConnection(), 0L);
        QVERIFY(!manager.InTransaction());
        QCOMPARE(countRows(other), 51LL);
    }

    void longResultsWithValuesAreComplete_data() { addEngineRows(); }
    void longResultsWithValuesAreComplete()
    {
        QFETCH(TestEngine, engine);
        QUILLERY_TEST_DATABASE(db, engine, "posts");
        QUILLERY_EXECUTE(db, insertPostsSql(engine, "posts", 1, 3000, "i % 2"));
        CAdoManager manager;
        QCOMPARE(manager.OpenAdoConnection(db->connectionString()), 0L);
        std::unique_ptr<CAdoRecordset> rs;
        const BoundStatement room {
                "select * from posts where roomid = ?", {SqlValue::fromInteger(1)}, {}};
        QCOMPARE(manager.ExecuteSql(room, rs, 1), 0L);
        manager.CloseAdoConnection();
        QCOMPARE(rs->RecordCount(), 1500L);
        long seen = 0;
        for (; !rs->IsEOF(); rs->MoveNext()) {
            QCOMPARE(numberOf(*rs, "roomid"), 1LL);
            ++seen;
        }
        QCOMPARE(seen, 1500L);
    }

    void commandTimeoutInterruptsAStatement_data() { addEngineRows(); }
    void commandTimeoutInterruptsAStatement()
    {
        QFETCH(TestEngine, engine);
        QUILLERY_TEST_DATABASE(db, engine, "posts");
        CAdoManager manager;
        QCOMPARE(manager.OpenAdoConnection(db->connectionString()), 0L);
        manager.SetCommandTimeout(1);
        // Runs for ever without the time-out.
        const std::string endless = engine == TestEngine::SQLite
                ? "with recursive c(x) as (select 1 union all select x + 1 from c) "
                  "select count(*) from c"
                : "select count(*) from generate_series(1, 1000000000000)";
        const long expected = engine == TestEngine::SQLite
                ? MakeDbErrorCode(DbEngine::SQLite, 9)
                : MakeDbErrorCode(DbEngine::PostgreSQL, SqlStateNumber("57014"));
        QElapsedTimer timer;
        timer.start();
        std::unique_ptr<CAdoRecordset> rs;
        QCOMPARE(manager.ExecuteSql(endless, rs, 1), expected);
        QVERIFY(timer.elapsed() < 10000);
        QVERIFY(manager.LastError().find(gbk("ExecuteSql[Rs]函数发生错误:")) == 0);
        if (engine == TestEngine::SQLite)
            QVERIFY2(manager.LastError().find(gbk("命令超时(1秒)")) != std::string::npos,
                     qPrintable(show(manager.LastError())));
        timer.restart();
        QCOMPARE(manager.ExecuteSql("create table t2 as " + endless, 1), expected);
        QVERIFY(timer.elapsed() < 10000);
        // The connection goes on working, and a statement within the time is not cut.
        QCOMPARE(manager.ExecuteSql("select count(*) as n from posts", rs, 1), 0L);
        QCOMPARE(numberOf(*rs, "n"), 0LL);
    }
};

QUILLERY_REGISTER_TEST(TestBoundStatement)
#include "tst_BoundStatement.moc"
