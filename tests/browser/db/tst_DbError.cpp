#include "TestRegistry.h"
#include "TestSupport.h"

#include "browser/db/DbError.h"
#include "browser/db/SqlStatement.h"

#include <QSqlError>

class TestDbError : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void codesAreNegativeAndTakeApart()
    {
        for (DbEngine engine : {DbEngine::Layer, DbEngine::SQLite, DbEngine::PostgreSQL}) {
            for (std::uint32_t native : {0u, 1u, 31u, 1555u, 0xFFFFu, 60466175u}) {
                const long code = MakeDbErrorCode(engine, native);
                QVERIFY(code < 0);
                QVERIFY(code >= -2147483648L); // a 32-bit HRESULT, not a 64-bit long
                QCOMPARE(EngineOfCode(code), engine);
                QCOMPARE(NativeOfCode(code), native);
            }
        }
        QCOMPARE(MakeDbErrorCode(DbEngine::SQLite, 1), long(std::int32_t(0x88000001u)));
    }

    void sqlStates()
    {
        QCOMPARE(SqlStateNumber("42P01"), 6844177u);
        QCOMPARE(SqlStateText(SqlStateNumber("42P01")), std::string("42P01"));
        QCOMPARE(SqlStateText(SqlStateNumber("ZZZZZ")), std::string("ZZZZZ"));
        QCOMPARE(SqlStateNumber("42p01"), 0u);
        QCOMPARE(SqlStateNumber("4201"), 0u);
    }

    // Failures of the database as a whole end an import; those of one statement do not.
    void failuresThatEndARun()
    {
        using E = DbEngine;
        for (const long code : {MakeDbErrorCode(E::SQLite, 13), MakeDbErrorCode(E::SQLite, 778),
                                MakeDbErrorCode(E::SQLite, 11), MakeDbErrorCode(E::SQLite, 8),
                                MakeDbErrorCode(E::Layer, LayerError::NotOpen),
                                MakeDbErrorCode(E::Layer, LayerError::DatabaseFileLost),
                                MakeDbErrorCode(E::PostgreSQL, SqlStateNumber("08006")),
                                MakeDbErrorCode(E::PostgreSQL, SqlStateNumber("57P01")),
                                MakeDbErrorCode(E::PostgreSQL, SqlStateNumber("53100")),
                                MakeDbErrorCode(E::PostgreSQL, SqlStateNumber("58030"))})
            QVERIFY2(IsFatalDbError(code), qPrintable(QString::number(code)));
        for (const long code :
             {MakeDbErrorCode(E::SQLite, 1555), MakeDbErrorCode(E::SQLite, 20),
              MakeDbErrorCode(E::SQLite, 5), MakeDbErrorCode(E::SQLite, 9),
              MakeDbErrorCode(E::Layer, LayerError::NulInText),
              MakeDbErrorCode(E::PostgreSQL, SqlStateNumber("23505")),
              MakeDbErrorCode(E::PostgreSQL, SqlStateNumber("22P02")),
              MakeDbErrorCode(E::PostgreSQL, SqlStateNumber("57014")), 31L, 183L, 0L})
            QVERIFY2(!IsFatalDbError(code), qPrintable(QString::number(code)));
    }

    void driverErrorsBecomeReports()
    {
        const QSqlError sqlite(QStringLiteral("Unable to fetch row"),
                               QStringLiteral("UNIQUE constraint failed: posts.topicid"),
                               QSqlError::StatementError, QStringLiteral("1555"));
        const DbError a = DbErrorFromSql(DbEngine::SQLite, sqlite);
        QCOMPARE(a.code, MakeDbErrorCode(DbEngine::SQLite, 1555));
        QCOMPARE(a.description,
                 std::string("Unable to fetch row: UNIQUE constraint failed: posts.topicid"));
        QCOMPARE(DbErrorMessage(a.code), std::string("SQLITE_CONSTRAINT (1555)"));

        const QSqlError pg(
                QStringLiteral("QPSQL: Unable to create query"),
                QStringLiteral("ERROR:  relation \"x\" does not exist\nLINE 1: ...\n(42P01)"),
                QSqlError::StatementError, QStringLiteral("42P01"));
        const DbError b = DbErrorFromSql(DbEngine::PostgreSQL, pg);
        QCOMPARE(b.code, MakeDbErrorCode(DbEngine::PostgreSQL, SqlStateNumber("42P01")));
        QCOMPARE(DbErrorMessage(b.code), std::string("SQLSTATE 42P01"));
        QVERIFY(b.description.find("exist\r\nLINE 1") != std::string::npos);

        const QSqlError unreachable(QStringLiteral("QPSQL: Unable to connect"),
                                    QStringLiteral("could not connect\n"),
                                    QSqlError::ConnectionError);
        QCOMPARE(DbErrorMessage(DbErrorFromSql(DbEngine::PostgreSQL, unreachable, true).code),
                 std::string("SQLSTATE 08001"));
        QCOMPARE(DbErrorMessage(DbErrorFromSql(DbEngine::PostgreSQL, unreachable).code),
                 std::string("SQLSTATE 08006"));
    }

    void codesWithoutTextGetTheFallback()
    {
        QCOMPARE(DbErrorMessage(long(std::int32_t(0x80040E37u))),
                 std::string("IDispatch error #3127"));
        QCOMPARE(DbErrorMessage(long(std::int32_t(0x80040200u))),
                 std::string("IDispatch error #0"));
        QCOMPARE(DbErrorMessage(MakeDbErrorCode(DbEngine::SQLite, 0)),
                 std::string("Unknown error 0x88000000"));
        QCOMPARE(DbErrorMessage(MakeDbErrorCode(DbEngine::Layer, 999)),
                 std::string("Unknown error 0x800003E7"));
    }

    void blocksAreLaidOutAsReported()
    {
        const DbError error {MakeDbErrorCode(DbEngine::Layer, LayerError::NotOpen), gbk("细节"),
                             "Kestrel CAdoManager"};
        QCOMPARE(DbStatementBlock("select 1"), gbk("\r\nSQL语句: select 1"));
        QCOMPARE(DbErrorBlock(error),
                 gbk("\r\n错误号码: [-2147483644]\r\n错误消息: 数据库连接没有打开"
                     "\r\n错误描述: 细节\r\n错误来源: Kestrel CAdoManager"));

        // A statement or a driver's text of megabytes is cut to a few KB, on a character.
        const std::string huge = "select '" + std::string(1 << 20, 'x') + "'";
        const std::string block = DbStatementBlock(huge);
        QVERIFY(block.size() < 5000);
        QVERIFY(block.rfind(gbk("…")) == block.size() - 2);
        QVERIFY(block.find("select 'xxx") != std::string::npos);
        std::string chinese;
        for (int i = 0; i < 100000; ++i)
            chinese += gbk("字");
        const DbError wordy {error.code, chinese, "x"};
        const std::string described = DbErrorBlock(wordy);
        QVERIFY(described.size() < 5000);
        const std::size_t cut = described.rfind(gbk("…"));
        QVERIFY(cut != std::string::npos);
        QCOMPARE(described.substr(cut - 2, 2), gbk("字")); // no half character before it
    }

    void statementShapes_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<bool>("isQuery");
        QTest::addColumn<QString>("text");
        QTest::newRow("select") << QStringLiteral("select * from t where roomid=3") << true
                                << QStringLiteral("select * from t where roomid=3");
        QTest::newRow("trailing") << QStringLiteral("  SELECT 1 ; ; -- done\n /* x */") << true
                                  << QStringLiteral("  SELECT 1");
        QTest::newRow("comments first") << QStringLiteral("-- a\n/* b */ values (1);") << true
                                        << QStringLiteral("-- a\n/* b */ values (1)");
        QTest::newRow("parenthesised") << QStringLiteral("((select 1) union (select 2))") << true
                                       << QStringLiteral("((select 1) union (select 2))");
        QTest::newRow("with select")
                << QStringLiteral("WITH d(x) AS (DELETE FROM t RETURNING 1) SELECT * FROM d")
                << true
                << QStringLiteral("WITH d(x) AS (DELETE FROM t RETURNING 1) SELECT * FROM d");
        QTest::newRow("with delete")
                << QStringLiteral("with recursive r as (select 1) delete from t where id in r")
                << false
                << QStringLiteral("with recursive r as (select 1) delete from t where id in r");
        QTest::newRow("insert") << QStringLiteral("insert into t values('select')") << false
                                << QStringLiteral("insert into t values('select')");
        QTest::newRow("quoted keyword")
                << QStringLiteral("\"select\" x") << false << QStringLiteral("\"select\" x");
        QTest::newRow("semicolon in string")
                << QStringLiteral("select ';' -- ;\n;") << true << QStringLiteral("select ';'");
        QTest::newRow("dollar quote")
                << QStringLiteral("select $a$;'$a$ ;") << true << QStringLiteral("select $a$;'$a$");
        QTest::newRow("bracket name") << QStringLiteral("select [a;b] from t;") << true
                                      << QStringLiteral("select [a;b] from t");
    }

    void statementShapes()
    {
        QFETCH(QString, sql);
        QFETCH(bool, isQuery);
        QFETCH(QString, text);
        const SqlStatementShape shape = AnalyzeSqlStatement(sql);
        QCOMPARE(shape.isQuery, isQuery);
        QCOMPARE(shape.text, text);
    }
};

QUILLERY_REGISTER_TEST(TestDbError)
#include "tst_DbError.moc"
