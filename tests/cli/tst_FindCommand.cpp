#include "DbTestHelpers.h"
#include "QuilleryProcess.h"
#include "TestRegistry.h"

#include "browser/posts/PostStatements.h"
#include "common/Codec.h"

#include <QFileInfo>
#include <QProcess>

namespace {

using namespace QuilleryProcess;

// 甲区 (TA): 乙 (11) holding 标准库 ("111*"), and 丙 (13); files by room, in a template
// written with Windows separators.
const char *const Config = R"(<?xml version="1.0" encoding="GBK"?>
<r>
  <数据库连接字符串>%1</数据库连接字符串>
  <帖子类型 TABLE="TA" ROOMID="1">甲区<帖子类型 ROOMID="11">乙<帖子类型 ROOMID="111*">标准库</帖子类型></帖子类型><帖子类型 ROOMID="13">丙</帖子类型>
    <帖子属性范围>1 100000 \posts\|ROOMID|\|ID|.htm</帖子属性范围>
  </帖子类型>
</r>
)";

} // namespace

class TestFindCommand : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void usage()
    {
        const Run help = quillery({QStringLiteral("find"), QStringLiteral("--help")});
        QCOMPARE(help.status, 0);
        QVERIFY(help.out.startsWith(u("用法: quillery find (--table 表名 | --root 根节点)")));
        QVERIFY(help.out.contains(QStringLiteral("--no-subrooms")));
        QVERIFY(quillery({QStringLiteral("--help")}).out.contains(QStringLiteral("  find ")));
        QVERIFY(quillery({QStringLiteral("index"), QStringLiteral("--help")})
                        .out.contains(QStringLiteral("--title")));
        const QList<QPair<QStringList, QString>> wrong {
                {a({}), u("需要 --table 或 --root 其中之一")},
                {a({"--table", "T", "--root", "R"}), u("--table 和 --root 不能同时使用")},
                {a({"--table", "T", "--title", "a", "--id", "1"}),
                 u("--title 和 --id 不能同时使用")},
                {a({"--table", "T", "--no-subrooms"}), u("--no-subrooms 只能与 --room 一起使用")},
        };
        for (const auto &[arguments, message] : wrong) {
            const Run run = quillery(QStringList {QStringLiteral("find")} + arguments);
            QCOMPARE(run.status, 2);
            QVERIFY2(run.err.contains(message), qPrintable(run.err));
        }
        QCOMPARE(quillery({QStringLiteral("index")}).status, 2);
    }

    // A new user's first search, before anything was imported: the embedded archive is
    // made empty, not reported missing.
    void firstSearchOfANewEmbeddedArchive()
    {
        TempAppDir dir;
        const QString database = dir.qtPath() + QStringLiteral("/Data/Lumora.db");
        dir.write("InitTree.xml",
                  gbk(QString::fromUtf8(Config)
                              .arg(QStringLiteral("Provider=SQLite;Data Source=") + database)
                              .toUtf8()
                              .constData()));
        const Run run = quillery({QStringLiteral("find"), QStringLiteral("--config"),
                                  dir.qtPath() + QStringLiteral("/InitTree.xml"),
                                  QStringLiteral("--root"), u("甲区"), QStringLiteral("--count")});
        QVERIFY2(run.status == 0, qPrintable(run.err));
        QCOMPARE(run.out, QStringLiteral("0\n"));
        QVERIFY(QFileInfo::exists(database));
    }

    void findsOnBothEngines_data() { addEngineRows(); }
    void findsOnBothEngines()
    {
        QFETCH(TestEngine, engine);
        QUILLERY_TEST_DATABASE(db, engine, "TA");
        QUILLERY_EXECUTE(db,
                         "insert into TA (topicid, title, roomid, username, reply, createtime) "
                         "values (5, '"
                                 + gbk("标题 it''s") + "', 111, 'u', 3, '2024-01-02')",
                         "insert into TA (topicid, title, roomid) values (123, 'Abc_def', 11)",
                         "insert into TA (topicid, title, roomid) values (1234, 'abcXdef', 13)",
                         "insert into TA (topicid, title, roomid) values (9, NULL, 13)");
        TempAppDir dir;
        dir.write("InitTree.xml",
                  gbk(QString::fromUtf8(Config)
                              .arg(Gbk::toQString(db->connectionString()))
                              .toUtf8()
                              .constData()));
        const QStringList base {QStringLiteral("find"), QStringLiteral("--config"),
                                dir.qtPath() + QStringLiteral("/InitTree.xml")};

        Run run = quillery(base + a({"--root", "甲区", "--room", "11", "--title", "it's"}));
        QCOMPARE(run.status, 0);
        QCOMPARE(run.out, u("5\t标题 it's\t111\tu\t3\t2024-01-02\t/posts/111/5.htm\n"));

        // ASCII case alike, "_" itself; the post ID as text.
        run = quillery(base + a({"--table", "TA", "--title", "C_D"}));
        QCOMPARE(run.out, QStringLiteral("123\tAbc_def\t11\t\t\t\t/posts/11/123.htm\n"));
        run = quillery(base + a({"--table", "TA", "--id", "123", "--count"}));
        QCOMPARE(run.out, QStringLiteral("2\n"));
        // Everything, the NULL title too; a room without its sub-rooms.
        QCOMPARE(quillery(base + a({"--table", "TA", "--count"})).out, QStringLiteral("4\n"));
        QCOMPARE(quillery(base + a({"--root", "甲区", "--room", "11", "--no-subrooms", "--count"}))
                         .out,
                 QStringLiteral("1\n"));
        QCOMPARE(quillery(base + a({"--root", "甲区", "--room", "111*", "--count"})).out,
                 QStringLiteral("1\n"));

        // Failures name what went wrong.
        run = quillery(base + a({"--root", "乙区"}));
        QCOMPARE(run.status, 1);
        QVERIFY(run.err.contains(u("没有名为 “乙区” 的根节点")));
        run = quillery(base + a({"--root", "甲区", "--room", "99"}));
        QCOMPARE(run.status, 1);
        run = quillery(base + a({"--table", "Missing"}));
        QCOMPARE(run.status, 1);
        QVERIFY2(run.err.contains(u("执行SQL语句[ select * from Missing where title like '%%' ]")),
                 qPrintable(run.err));
        run = quillery(base + a({"--table", "TA", "--connection", "Provider=Nothing"}));
        QCOMPARE(run.status, 1);

        // The title index gives the same rows; it follows inserts and deletes.
        // Built twice (the second time over the first): the rows indexed, and none of the
        // server's notices about what exists already.
        for (int round = 0; round < 2; ++round) {
            run = quillery({QStringLiteral("index"), QStringLiteral("--title"),
                            QStringLiteral("--config"),
                            dir.qtPath() + QStringLiteral("/InitTree.xml")});
            QVERIFY2(run.status == 0, qPrintable(run.err));
            QVERIFY2(run.out.startsWith(u("TA: 标题索引已建立 (4 行, ")), qPrintable(run.out));
            QVERIFY2(!run.err.contains(QStringLiteral("NOTICE")), qPrintable(run.err));
            // The test cluster classifies characters by "C": Chinese titles get no trigrams.
            QCOMPARE(run.err.contains(u("pg_trgm 不为中文标题建立三字索引")),
                     engine == TestEngine::PostgreSQL);
        }
        QCOMPARE(quillery(base + a({"--table", "TA", "--title", "abc"})).out,
                 QStringLiteral("123\tAbc_def\t11\t\t\t\t/posts/11/123.htm\n"
                                "1234\tabcXdef\t13\t\t\t\t/posts/13/1234.htm\n"));
        QUILLERY_EXECUTE(db, "delete from TA where topicid = 123",
                         "insert into TA (topicid, title, roomid) values (77, 'xabcx', 13)");
        QCOMPARE(quillery(base + a({"--table", "TA", "--title", "ABC", "--count"})).out,
                 QStringLiteral("2\n"));
        for (int round = 0; round < 2; ++round) {
            run = quillery({QStringLiteral("index"), QStringLiteral("--title"),
                            QStringLiteral("--drop"), QStringLiteral("--config"),
                            dir.qtPath() + QStringLiteral("/InitTree.xml")});
            QCOMPARE(run.status, 0);
            QVERIFY2(run.err.isEmpty(), qPrintable(run.err));
        }
        QCOMPARE(quillery(base + a({"--table", "TA", "--title", "ABC", "--count"})).out,
                 QStringLiteral("2\n"));
    }
};

QUILLERY_REGISTER_TEST(TestFindCommand)
#include "tst_FindCommand.moc"
