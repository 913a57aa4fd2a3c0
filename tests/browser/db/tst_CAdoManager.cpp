#include "DbTestHelpers.h"
#include "PgCluster.h"
#include "TestRegistry.h"

#include "browser/db/AdoTypes.h"
#include "browser/db/DbFaultInjection.h"
#include "common/FileSystem.h"

#include <QElapsedTimer>
#include <QFile>

#include <QRegularExpression>

#include <new>
#include <thread>

namespace {

std::string reportStart(const char *header, const std::string &sql, long code)
{
    return gbk(header) + "\r\n" + gbk("\r\nSQL语句: ") + sql + gbk("\r\n错误号码: [")
            + std::to_string(code) + gbk("]\r\n错误消息: ");
}

bool startsWith(const std::string &text, const std::string &prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
}

void throwBadAlloc(const char *)
{
    throw std::bad_alloc();
}

} // namespace

class TestCAdoManager : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void openTwiceKeepsTheConnection_data() { addEngineRows(); }
    void openTwiceKeepsTheConnection()
    {
        QFETCH(TestEngine, engine);
        QUILLERY_TEST_DATABASE(db, engine, "posts");
        CAdoManager manager;
        QCOMPARE(manager.OpenAdoConnection(db->connectionString()), 0L);
        QCOMPARE(manager.OpenAdoConnection(db->connectionString()), 31L);
        QCOMPARE(manager.OpenAdoConnection("Provider=Nothing"), 31L);
        QVERIFY(manager.LastError().empty());
        QVERIFY(manager.IsOpen());
        QCOMPARE(manager.ExecuteSql("insert into posts (topicid, title) values (1, 'a')", 1), 0L);
    }

    void closeWithoutConnection_data() { addEngineRows(); }
    void closeWithoutConnection()
    {
        QFETCH(TestEngine, engine);
        QUILLERY_TEST_DATABASE(db, engine, "posts");
        CAdoManager manager;
        QCOMPARE(manager.CloseAdoConnection(), 31L);
        QCOMPARE(manager.OpenAdoConnection(db->connectionString()), 0L);
        QCOMPARE(manager.CloseAdoConnection(), 0L);
        QCOMPARE(manager.CloseAdoConnection(), 31L);
        QVERIFY(manager.LastError().empty());
        // Closed, it opens again.
        QCOMPARE(manager.OpenAdoConnection(db->connectionString()), 0L);
    }

    void missingTableIsReported_data() { addEngineRows(); }
    void missingTableIsReported()
    {
        QFETCH(TestEngine, engine);
        QUILLERY_TEST_DATABASE(db, engine, "posts");
        CAdoManager manager;
        QCOMPARE(manager.OpenAdoConnection(db->connectionString()), 0L);
        const long expected = engine == TestEngine::SQLite
                ? MakeDbErrorCode(DbEngine::SQLite, 1)
                : MakeDbErrorCode(DbEngine::PostgreSQL, SqlStateNumber("42P01"));

        const std::string sql = "select * from nosuchtable where roomid=3";
        QCOMPARE(manager.ExecuteSql(sql, 1), expected);
        QVERIFY2(startsWith(manager.LastError(),
                            reportStart("ExecuteSql函数发生错误:", sql, expected)),
                 qPrintable(show(manager.LastError())));
        QVERIFY(manager.LastError().find(gbk("\r\n错误描述: ")) != std::string::npos);
        QVERIFY(manager.LastError().find("nosuchtable", sql.size() + 30) != std::string::npos);

        std::unique_ptr<CAdoRecordset> rs;
        const std::string update = "update nosuchtable set roomid = 1";
        QCOMPARE(manager.ExecuteSql(update, rs, 1), expected);
        QVERIFY(startsWith(manager.LastError(),
                           reportStart("ExecuteSql[Rs]函数发生错误:", update, expected)));
        QCOMPARE(manager.ExecuteSql(sql, rs, 1), expected);
        QVERIFY(startsWith(manager.LastError(),
                           reportStart("ExecuteSql[Rs]函数发生错误:", sql, expected)));
        QVERIFY(!rs);

        // The connection stays open for the caller to close.
        QVERIFY(manager.IsOpen());
        QCOMPARE(manager.ExecuteSql("select * from posts", rs, 1), 0L);
        QCOMPARE(manager.CloseAdoConnection(), 0L);
    }

    void badConnectionStrings_data()
    {
        QTest::addColumn<QByteArray>("connection");
        QTest::addColumn<uint>("engine");
        QTest::addColumn<QByteArray>("shown");
        QTest::newRow("unknown provider")
                << QByteArray("Provider=SQLOLEDB;Data Source=srv;Password=pw1")
                << uint(DbEngine::Layer)
                << QByteArray("Provider=SQLOLEDB;Data Source=srv;Password=***");
        QTest::newRow("malformed")
                << QByteArray("Provider=SQLite;Data Source=x.db;Pwd='pw1") << uint(DbEngine::Layer)
                << QByteArray("Provider=SQLite;Data Source=x.db;Pwd=***");
        QTest::newRow("missing file")
                << QByteArray("Provider=SQLite;Data Source=DIR/none/x.db") << uint(DbEngine::SQLite)
                << QByteArray("Provider=SQLite;Data Source=DIR/none/x.db");
        QTest::newRow("not a database")
                << QByteArray("Provider=SQLite;Data Source=DIR/junk.db") << uint(DbEngine::SQLite)
                << QByteArray("Provider=SQLite;Data Source=DIR/junk.db");
        QTest::newRow("no server") << QByteArray("Provider=PostgreSQL;Host=DIR;Port=5999;User ID=u;"
                                                 "Password=\"pw1;x\"")
                                   << uint(DbEngine::PostgreSQL)
                                   << QByteArray("Provider=PostgreSQL;Host=DIR;Port=5999;User ID=u;"
                                                 "Password=***");
    }

    void badConnectionStrings()
    {
        QFETCH(QByteArray, connection);
        QFETCH(uint, engine);
        QFETCH(QByteArray, shown);
        const TempAppDir dir;
        dir.write("junk.db", std::string(4096, 'j'));
        const std::string cs =
                connection.replace("DIR", QByteArray::fromStdString(dir.path())).toStdString();
        const std::string masked =
                shown.replace("DIR", QByteArray::fromStdString(dir.path())).toStdString();

        CAdoManager manager;
        const long code = manager.OpenAdoConnection(cs);
        QVERIFY(code < 0);
        QCOMPARE(uint(EngineOfCode(code)), engine);
        const std::string head = masked
                + gbk("\r\n打开上面的连接串发生错误(在OpenAdoConnection)\r\n")
                + gbk("\r\n错误号码: [") + std::to_string(code) + "]";
        QVERIFY2(startsWith(manager.LastError(), head), qPrintable(show(manager.LastError())));
        QVERIFY2(manager.LastError().find("pw1") == std::string::npos, "password shown");
        QVERIFY(!manager.IsOpen());
        // A lost file is never replaced by a new empty database.
        QVERIFY(!FileSystem::exists(dir.file("none/x.db")));
    }

    void statementsNeedAnOpenConnection_data() { addEngineRows(); }
    void statementsNeedAnOpenConnection()
    {
        QFETCH(TestEngine, engine);
        QUILLERY_TEST_DATABASE(db, engine, "posts");
        CAdoManager manager;
        const long notOpen = MakeDbErrorCode(DbEngine::Layer, LayerError::NotOpen);
        QCOMPARE(manager.ExecuteSql("delete from posts", 1), notOpen);
        QVERIFY(startsWith(manager.LastError(),
                           gbk("ExecuteSql函数发生错误:\r\n\r\nSQL语句: delete from posts")));
        manager.OpenAdoConnection(db->connectionString());
        manager.CloseAdoConnection();
        std::unique_ptr<CAdoRecordset> rs;
        QCOMPARE(manager.ExecuteSql("select * from posts", rs, 1), notOpen);
        QVERIFY(startsWith(manager.LastError(), gbk("ExecuteSql[Rs]函数发生错误:")));

        QCOMPARE(manager.OpenAdoConnection(db->connectionString()), 0L);
        QCOMPARE(manager.ExecuteSql("select * from posts", 2),
                 MakeDbErrorCode(DbEngine::Layer, LayerError::UnsupportedOption));
        QCOMPARE(manager.ExecuteSql("select * from posts", 1 | 0x80), 0L);
    }

    void unexpectedFailures_data() { addEngineRows(); }
    void unexpectedFailures()
    {
        QFETCH(TestEngine, engine);
        QUILLERY_TEST_DATABASE(db, engine, "posts");
        QUILLERY_EXECUTE(db, insertPostsSql(engine, "posts", 1, 3));
        CAdoManager manager;
        QCOMPARE(manager.OpenAdoConnection(db->connectionString()), 0L);
        manager.ExecuteSql("select * from nosuchtable", 1);
        const std::string before = manager.LastError();
        std::unique_ptr<CAdoRecordset> rs;
        QCOMPARE(manager.ExecuteSql("select * from posts", rs, 1), 0L);

        DbFaultInjection::SetHook(throwBadAlloc);
        const long execute = manager.ExecuteSql("delete from posts", 1);
        const std::string appended = manager.LastError();
        const long executeRs = manager.ExecuteSql("select 1", rs, 1);
        const std::string replaced = manager.LastError();
        const long move = rs->MoveNext();
        const long close = manager.CloseAdoConnection();
        const std::string closeText = manager.LastError();
        CAdoManager other;
        const long open = other.OpenAdoConnection("Provider=PostgreSQL;Password=pw1");
        DbFaultInjection::SetHook(nullptr);

        QCOMPARE(execute, 31L);
        QCOMPARE(appended, before + gbk("\r\n上面的SQL语句在ExecuteSql发生无法意料的错误"));
        QCOMPARE(executeRs, 31L);
        QCOMPARE(replaced, gbk("\r\n上面的SQL语句在ExecuteSql[Rs]发生无法意料的错误!"));
        QVERIFY(rs->IsOpen()); // the failure came before the old record set was touched
        QCOMPARE(move, 31L);
        QCOMPARE(close, 31L);
        QCOMPARE(closeText, gbk("CloseAdoConnection发生无法意料的错误!"));
        QVERIFY(manager.IsOpen());
        QCOMPARE(open, 31L);
        QCOMPARE(other.LastError(),
                 "Provider=PostgreSQL;Password=***"
                         + gbk("\r\n上面的连接串在OpenAdoConnection发生没有意料到的错误"));
        QCOMPARE(manager.CloseAdoConnection(), 0L);
    }

    void recordsetIsReplaced_data() { addEngineRows(); }
    void recordsetIsReplaced()
    {
        QFETCH(TestEngine, engine);
        QUILLERY_TEST_DATABASE(db, engine, "posts");
        QUILLERY_EXECUTE(db, insertPostsSql(engine, "posts", 1, 30));
        CAdoManager manager;
        QCOMPARE(manager.OpenAdoConnection(db->connectionString()), 0L);
        std::unique_ptr<CAdoRecordset> rs;
        QCOMPARE(manager.ExecuteSql("select * from posts where topicid <= 10", rs, 1), 0L);
        QCOMPARE(rs->RecordCount(), 10L);
        QCOMPARE(manager.ExecuteSql("select topicid from posts where topicid > 25 order by topicid",
                                    rs, 1),
                 0L);
        QCOMPARE(rs->RecordCount(), 5L);
        QCOMPARE(rs->FieldCount(), 1);
        QCOMPARE(numberOf(*rs, "topicid"), 26LL);

        // A failed statement still closes the open record set first.
        QCOMPARE(manager.ExecuteSql("select * from nosuchtable", rs, 1) < 0, true);
        QVERIFY(rs);
        QVERIFY(!rs->IsOpen());

        // Statements without rows leave a closed record set; rows they return are kept.
        QCOMPARE(manager.ExecuteSql("update posts set reply = 9 where topicid = 1", rs, 1), 0L);
        QVERIFY(rs && !rs->IsOpen());
        QCOMPARE(manager.ExecuteSql(
                         "insert into posts (topicid, title) values (99, 'x') returning topicid",
                         rs, 1),
                 0L);
        QVERIFY(rs->IsOpen());
        QCOMPARE(rs->RecordCount(), 1L);
        QCOMPARE(numberOf(*rs, "topicid"), 99LL);
        QCOMPARE(manager.ExecuteSql("select count(*) from posts where reply = 9", rs, 1), 0L);
        QCOMPARE(rs->Value(0).Text(), std::string("1"));
    }

    void readableAfterCloseWhileOthersWrite_data() { addEngineRows(); }
    void readableAfterCloseWhileOthersWrite()
    {
        QFETCH(TestEngine, engine);
        QUILLERY_TEST_DATABASE(db, engine, "posts");
        QUILLERY_EXECUTE(db, insertPostsSql(engine, "posts", 1, 600));
        std::unique_ptr<CAdoRecordset> rs;
        {
            CAdoManager manager;
            QCOMPARE(manager.OpenAdoConnection(db->connectionString()), 0L);
            QCOMPARE(manager.ExecuteSql("select * from posts order by topicid", rs, 1), 0L);
            QCOMPARE(manager.CloseAdoConnection(), 0L);
        }
        // Others change the table while the result is read: every statement of theirs
        // commits at once. The count stays the query's; the rows already read stay as
        // they were read, and positions whose rows are gone are holes.
        QUILLERY_EXECUTE(db, "delete from posts where topicid > 100",
                         "update posts set title = 'x'");
        QCOMPARE(rs->RecordCount(), 600L);
        long long positions = 0;
        long long last = 0;
        for (; !rs->IsEOF(); ++positions) {
            if (positions < 256) {
                QCOMPARE(numberOf(*rs, "topicid"), positions + 1);
                QCOMPARE(textOf(*rs, "title"), gbk("帖子") + std::to_string(positions + 1));
            } else if (!rs->IsDeleted()) {
                QVERIFY(numberOf(*rs, "topicid") > last);
                last = numberOf(*rs, "topicid");
            } else {
                QVERIFY(rs->Value("topicid").IsNull());
            }
            QCOMPARE(rs->MoveNext(), 0L);
        }
        QCOMPARE(positions, 600LL);

        CAdoManager later;
        QCOMPARE(later.OpenAdoConnection(db->connectionString()), 0L);
        std::unique_ptr<CAdoRecordset> now;
        QCOMPARE(later.ExecuteSql("select * from posts", now, 1), 0L);
        QCOMPARE(now->RecordCount(), 100L);
    }

    void nullsAndTypeCodes_data() { addEngineRows(); }
    void nullsAndTypeCodes()
    {
        QFETCH(TestEngine, engine);
        QUILLERY_TEST_DATABASE(db, engine, "posts");
        QUILLERY_EXECUTE(db,
                         "insert into posts (topicid, title, roomid, reply) values (1, '', 12, 0)",
                         "insert into posts (topicid, title) values (2, NULL)");
        CAdoManager manager;
        manager.OpenAdoConnection(db->connectionString());
        std::unique_ptr<CAdoRecordset> rs;
        QCOMPARE(manager.ExecuteSql("select * from posts order by topicid", rs, 1), 0L);
        QCOMPARE(rs->FieldCount(), 6);
        for (const char *number : {"topicid", "roomid", "reply"})
            QVERIFY2(IsAdoIntegerType(rs->FieldType(rs->FieldIndex(number))), number);
        for (const char *text : {"title", "username", "createtime"}) {
            const int type = rs->FieldType(rs->FieldIndex(text));
            QVERIFY2(type >= AdoType::VarChar && type <= AdoType::LongVarWChar, text);
        }
        QVERIFY(!rs->Value("reply").IsNull());
        QCOMPARE(textOf(*rs, "reply"), std::string("0"));
        QVERIFY(!rs->Value("title").IsNull()); // empty text is not NULL
        QVERIFY(rs->Value("username").IsNull());
        QCOMPARE(numberOf(*rs, "roomid"), 12LL);
        QCOMPARE(rs->MoveNext(), 0L);
        QVERIFY(rs->Value("title").IsNull());
        QVERIFY(rs->Value("roomid").IsNull());
        long long number = 5;
        QVERIFY(!rs->Value("roomid").ToInt64(number));
        QCOMPARE(textOf(*rs, "roomid"), std::string());
        QCOMPARE(rs->Value("roomid").Type(), rs->FieldType(rs->FieldIndex("roomid")));
    }

    void engineTypeCodes_data()
    {
        QTest::addColumn<TestEngine>("engine");
        QTest::addColumn<QByteArray>("create");
        QTest::addColumn<QList<int>>("types");
        QTest::newRow("sqlite") << TestEngine::SQLite
                                << QByteArray("create table t (a INTEGER, b BIGINT, c REAL, d "
                                              "TEXT, e BOOLEAN, f BLOB)")
                                << QList<int> {20, 20, 5, 203, 11, 205};
        QTest::newRow("postgresql")
                << TestEngine::PostgreSQL
                << QByteArray("create table t (a smallint, b integer, c bigint, d float8, e "
                              "numeric(8,2), "
                              "f varchar(20), g text, h date, i timestamp, j boolean)")
                << QList<int> {2, 3, 20, 5, 131, 202, 203, 7, 135, 11};
    }

    void engineTypeCodes()
    {
        QFETCH(TestEngine, engine);
        QFETCH(QByteArray, create);
        QFETCH(QList<int>, types);
        QUILLERY_TEST_DATABASE(db, engine);
        QUILLERY_EXECUTE(db, create.toStdString());
        const std::string row = engine == TestEngine::SQLite
                ? "insert into t values (1, 2, 1.5, 'x', 1, x'00')"
                : "insert into t values (1, 2, 3, 1.5, 2.25, 'x', 'y', '2024-05-06', "
                  "'2024-05-06 07:08:09', true)";
        QUILLERY_EXECUTE(db, row);
        CAdoManager manager;
        manager.OpenAdoConnection(db->connectionString());
        std::unique_ptr<CAdoRecordset> rs;
        QCOMPARE(manager.ExecuteSql("select * from t", rs, 1), 0L);
        QList<int> got;
        for (int i = 0; i < rs->FieldCount(); ++i)
            got << rs->FieldType(i);
        QCOMPARE(got, types);
        if (engine == TestEngine::PostgreSQL) {
            const QLocale locale;
            QCOMPARE(rs->Value("h").Text(),
                     locale.toString(QDate(2024, 5, 6), QLocale::ShortFormat).toStdString());
            QVERIFY2(rs->Value("i").Text().find("07:08:09") != std::string::npos,
                     rs->Value("i").Text().c_str());
            QCOMPARE(rs->Value("j").Text(), std::string("True"));
            QCOMPARE(rs->Value("e").Text(), QLocale().toString(2.25).toStdString());
        }
    }

    void gbkTextRoundTrip_data() { addEngineRows(); }
    void gbkTextRoundTrip()
    {
        QFETCH(TestEngine, engine);
        QUILLERY_TEST_DATABASE(db, engine, "posts");
        // 淺 and 乗 have the trail byte "\", 億 has "|", 嘯 has "["; ① and ㈠ are symbols.
        const std::vector<std::string> titles = {gbk("技术讨论区: 淺乗億嘯"), gbk("①㈠『引号』"),
                                                 gbk("含'单引号'的标题")};
        CAdoManager manager;
        QCOMPARE(manager.OpenAdoConnection(db->connectionString()), 0L);
        for (std::size_t i = 0; i < titles.size(); ++i) {
            std::string quoted;
            for (char c : titles[i])
                quoted += c == '\'' ? std::string("''") : std::string(1, c);
            const std::string sql = "insert into posts (topicid, title, username) values ("
                    + std::to_string(i + 1) + ", '" + quoted + "', '" + gbk("作者") + "')";
            QCOMPARE(manager.ExecuteSql(sql, 1), 0L);
        }
        const std::string emoji = engine == TestEngine::SQLite ? "char(128512)" : "chr(128512)";
        QCOMPARE(manager.ExecuteSql("insert into posts (topicid, title) values (9, 'a' || " + emoji
                                            + " || 'b')",
                                    1),
                 0L);

        std::unique_ptr<CAdoRecordset> rs;
        QCOMPARE(manager.ExecuteSql("select title as " + gbk("\"标题\"")
                                            + ", username from posts where username = '"
                                            + gbk("作者") + "' order by topicid",
                                    rs, 1),
                 0L);
        QCOMPARE(rs->FieldName(0), gbk("标题"));
        QCOMPARE(rs->RecordCount(), 3L);
        for (const std::string &title : titles) {
            QCOMPARE(rs->Value(gbk("标题")).Text(), title);
            rs->MoveNext();
        }
        // Characters GBK cannot hold become "?", never vanish.
        QCOMPARE(manager.ExecuteSql("select title from posts where topicid = 9", rs, 1), 0L);
        QCOMPARE(rs->Value("title").Text(), std::string("a?b"));
    }

    void commandTimeoutApplies_data() { addEngineRows(); }
    void commandTimeoutApplies()
    {
        QFETCH(TestEngine, engine);
        QUILLERY_TEST_DATABASE(db, engine, "posts");
        CAdoManager holder;
        CAdoManager manager;
        manager.SetCommandTimeout(1);
        QCOMPARE(manager.OpenAdoConnection(db->connectionString()), 0L);
        QElapsedTimer timer;
        long code;
        if (engine == TestEngine::SQLite) {
            QCOMPARE(holder.OpenAdoConnection(db->connectionString()), 0L);
            QCOMPARE(holder.ExecuteSql("BEGIN IMMEDIATE", 1), 0L);
            timer.start();
            code = manager.ExecuteSql("insert into posts (topicid) values (1)", 1);
            QCOMPARE(code, MakeDbErrorCode(DbEngine::SQLite, 5)); // SQLITE_BUSY
        } else {
            timer.start();
            code = manager.ExecuteSql("select pg_sleep(5)", 1);
            QCOMPARE(code, MakeDbErrorCode(DbEngine::PostgreSQL, SqlStateNumber("57014")));
        }
        QVERIFY2(timer.elapsed() >= 900 && timer.elapsed() < 4000,
                 qPrintable(QString::number(timer.elapsed())));
        manager.SetCommandTimeout(30);
        QCOMPARE(manager.ExecuteSql("select 1", 1), 0L);
    }

    // The import sheet's object: opened and left open by the worker, closed and opened
    // again by the user-interface thread.
    void usedFromAnotherThread_data() { addEngineRows(); }
    void usedFromAnotherThread()
    {
        QFETCH(TestEngine, engine);
        QUILLERY_TEST_DATABASE(db, engine, "posts");
        QTest::failOnWarning(QRegularExpression(QStringLiteral(".*")));
        CAdoManager manager;
        long inWorker = -1;
        std::thread worker([&] {
            inWorker = manager.OpenAdoConnection(db->connectionString());
            if (inWorker == 0)
                inWorker = manager.ExecuteSql(insertPostsSql(engine, "posts", 1, 10), 1);
        });
        worker.join();
        QCOMPARE(inWorker, 0L);
        QCOMPARE(manager.CloseAdoConnection(), 0L);
        QCOMPARE(manager.OpenAdoConnection(db->connectionString()), 0L);
        std::unique_ptr<CAdoRecordset> rs;
        QCOMPARE(manager.ExecuteSql("select * from posts", rs, 1), 0L);
        QCOMPARE(rs->RecordCount(), 10L);
    }

    // Look-ups each make a manager of their own: on PostgreSQL they share one connection
    // per thread, never one holding a transaction, and a connection that broke meanwhile
    // is replaced without the caller noticing.
    void postgresConnectionIsHeldForTheNextManager()
    {
        QUILLERY_TEST_DATABASE(db, TestEngine::PostgreSQL, "posts");
        const auto backend = [&](CAdoManager &manager) {
            std::unique_ptr<CAdoRecordset> rs;
            long long pid = -1;
            if (manager.ExecuteSql("select pg_backend_pid()", rs, 1) == 0)
                rs->Value(0).ToInt64(pid);
            return pid;
        };
        long long first = 0;
        {
            CAdoManager manager;
            QCOMPARE(manager.OpenAdoConnection(db->connectionString()), 0L);
            first = backend(manager);
            QCOMPARE(manager.BeginTransaction(), 0L);
            QCOMPARE(manager.ExecuteSql(insertPostsSql(TestEngine::PostgreSQL, "posts", 1, 3), 1),
                     0L);
        } // closed with the transaction open: rolled back
        CAdoManager other; // opened while the first is held: a connection of its own
        {
            CAdoManager manager;
            QCOMPARE(manager.OpenAdoConnection(db->connectionString()), 0L);
            QCOMPARE(backend(manager), first);
            QVERIFY(!manager.InTransaction());
            std::unique_ptr<CAdoRecordset> rs;
            QCOMPARE(manager.ExecuteSql("select count(*) from posts", rs, 1), 0L);
            QCOMPARE(rs->Value(0).Text(), std::string("0"));
            QCOMPARE(other.OpenAdoConnection(db->connectionString()), 0L);
            QVERIFY(backend(other) != first);
        }
        // Another thread has a connection of its own.
        long long inThread = 0;
        std::thread([&] {
            CAdoManager manager;
            if (manager.OpenAdoConnection(db->connectionString()) == 0)
                inThread = backend(manager);
        }).join();
        QVERIFY(inThread > 0 && inThread != first);
        // The held connection ends on the server's side: the next manager opens anew.
        BoundStatement kill {"select pg_terminate_backend(?)", {SqlValue::fromInteger(first)}, {}};
        QCOMPARE(other.ExecuteSql(kill, 1), 0L);
        QTest::qWait(200);
        CAdoManager manager;
        QCOMPARE(manager.OpenAdoConnection(db->connectionString()), 0L);
        const long long replaced = backend(manager);
        QVERIFY(replaced > 0 && replaced != first);
        QVERIFY(manager.LastError().empty());
    }

    // Rows without a result run through SQLite's own interface: values stored as Qt's
    // driver stores them, failures reported in its words and codes.
    void sqliteBoundStatementsStoreAndReportAsBefore()
    {
        QUILLERY_TEST_DATABASE(db, TestEngine::SQLite, "posts");
        CAdoManager manager;
        QCOMPARE(manager.OpenAdoConnection(db->connectionString()), 0L);
        const std::string title = gbk("标题") + std::string("a\0b", 3) + gbk("」");
        BoundStatement insert {"insert into posts (topicid, title, username, createtime) "
                               "values (?, ?, ?, ?)",
                               {SqlValue::fromInteger(4294967296LL), SqlValue::fromText(title),
                                SqlValue::fromText(std::string()), SqlValue()},
                               "shown insert"};
        QCOMPARE(manager.ExecuteSql(insert, 1), 0L);
        std::unique_ptr<CAdoRecordset> rs;
        QCOMPARE(manager.ExecuteSql("select topicid, title, username is null, createtime is null, "
                                    "length(title) from posts",
                                    rs, 1),
                 0L);
        QCOMPARE(rs->Value(0).Text(), std::string("4294967296"));
        QCOMPARE(rs->Value(1).Text(), title);
        QCOMPARE(rs->Value(2).Text(), std::string("0")); // empty text, not NULL
        QCOMPARE(rs->Value(3).Text(), std::string("1"));
        const long code = manager.ExecuteSql(insert, 1); // the same key again
        QCOMPARE(code, MakeDbErrorCode(DbEngine::SQLite, 1555));
        QCOMPARE(manager.LastErrorReason(),
                 std::string("Unable to fetch row: UNIQUE constraint failed: posts.topicid"));
        QVERIFY(startsWith(manager.LastError(),
                           reportStart("ExecuteSql函数发生错误:", "shown insert", code)));
        // A statement SQLite cannot prepare is reported as before, and the kept ones
        // still run.
        BoundStatement broken {"insert into nowhere values (?)", {SqlValue::fromInteger(1)}, {}};
        QVERIFY(manager.ExecuteSql(broken, 1) != 0);
        QVERIFY(manager.LastErrorReason().find("no such table: nowhere") != std::string::npos);
        insert.values[0] = SqlValue::fromInteger(5);
        QCOMPARE(manager.ExecuteSql(insert, 1), 0L);
    }

    void removedSqliteFileIsNotWrittenTo()
    {
        QUILLERY_TEST_DATABASE(db, TestEngine::SQLite, "posts");
        CAdoManager manager;
        QCOMPARE(manager.OpenAdoConnection(db->connectionString()), 0L);
        QVERIFY(QFile::remove(db->sqliteFile()));
        const long code = manager.ExecuteSql("insert into posts (topicid) values (1)", 1);
        QCOMPARE(code, MakeDbErrorCode(DbEngine::Layer, LayerError::DatabaseFileLost));
        QVERIFY(manager.LastError().find("Lumora.db") != std::string::npos);
    }
};

QUILLERY_REGISTER_TEST(TestCAdoManager)
#include "tst_CAdoManager.moc"
