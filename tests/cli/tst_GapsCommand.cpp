#include "DbTestHelpers.h"
#include "QuilleryProcess.h"
#include "TestRegistry.h"

#include "common/Codec.h"

#include <QDir>
#include <QFile>
#include <QProcess>

namespace {

using namespace QuilleryProcess;

// 甲区 (TA) files its posts by room.
const char *const Config = R"(<?xml version="1.0" encoding="GBK"?>
<r>
  <数据库连接字符串>%1</数据库连接字符串>
  <帖子类型 TABLE="TA" ROOMID="1">甲区<帖子类型 ROOMID="11">乙</帖子类型>
    <帖子属性范围>1 100000 %2\|ROOMID|\|ID|.htm</帖子属性范围>
  </帖子类型>
</r>
)";

} // namespace

class TestGapsCommand : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void usage()
    {
        const Run help = quillery(a({"gaps", "--help"}));
        QCOMPARE(help.status, 0);
        QVERIFY(help.out.startsWith(u("用法: quillery gaps (--table 表名 | --root 根节点)")));
        for (const char *option : {"--first", "--last", "--files", "--ranges", "--template",
                                   "--output", "--config", "--connection"})
            QVERIFY2(help.out.contains(QString::fromLatin1(option)), option);
        QVERIFY(quillery(a({"--help"})).out.contains(QStringLiteral("  gaps ")));
        const QList<QPair<QStringList, QString>> wrong {
                {a({}), u("需要 --table 或 --root 其中之一")},
                {a({"--table", "T", "--root", "R"}), u("--table 和 --root 不能同时使用")},
                {a({"--table", "T", "-t", "|ID|"}), u("-t 和 -o 须一起使用")},
                {a({"--table", "T", "-o", "x.lst"}), u("-t 和 -o 须一起使用")},
                {a({"--table", "T", "--ranges", "-t", "|ID|", "-o", "x"}),
                 u("--ranges 不能与 -o 一起使用")},
                {a({"--table", "T", "--first", "1e3"}), u("--first: “1e3” 不是整数")},
                {a({"--table", "T", "--bogus"}), u("--bogus")},
                {a({"--table", "T", "extra"}), u("extra")},
        };
        for (const auto &[arguments, message] : wrong) {
            const Run run = quillery(QStringList {QStringLiteral("gaps")} + arguments);
            QCOMPARE(run.status, 2);
            QVERIFY2(run.err.contains(message), qPrintable(run.err));
            QVERIFY(run.out.isEmpty());
        }
        const Run outside = quillery(a({"gaps", "--table", "T", "--last", "4294967296"}));
        QCOMPARE(outside.status, 1);
        QVERIFY2(outside.err.contains(u("4294967295")), qPrintable(outside.err));
    }

    void gapsOnBothEngines_data() { addEngineRows(); }
    void gapsOnBothEngines()
    {
        QFETCH(TestEngine, engine);
        QUILLERY_TEST_DATABASE(db, engine, "TA");
        QUILLERY_EXECUTE(db, insertPostsSql(engine, "TA", 3, 5, "11"),
                         insertPostsSql(engine, "TA", 8, 8, "11"),
                         insertPostsSql(engine, "TA", 10, 12, "11"));
        QTemporaryDir dir;
        const QString archive = dir.path() + QStringLiteral("/posts");
        for (const int id : {3, 4, 5, 8, 10, 12})
            writeBytes(archive + QStringLiteral("/11/%1.htm").arg(id), "post");
        writeBytes(
                dir.path() + QStringLiteral("/InitTree.xml"),
                Gbk::fromQString(u(Config).arg(Gbk::toQString(db->connectionString()), archive)));
        const QStringList base {QStringLiteral("gaps"), QStringLiteral("--config"),
                                dir.path() + QStringLiteral("/InitTree.xml")};

        // One ID a line on standard output, the summary on standard error; default bounds
        // are the table's.
        Run run = quillery(base + a({"--table", "TA"}));
        QCOMPARE(run.status, 1);
        QCOMPARE(run.out, QStringLiteral("6\n7\n9\n"));
        QVERIFY2(run.err.contains(u("帖子ID 3 到 12: 共有 7 个帖子, 缺少 3 个(2 段)")),
                 qPrintable(run.err));
        run = quillery(base + a({"--root", "甲区", "--first", "1", "--last", "14", "--ranges"}));
        QCOMPARE(run.out, QStringLiteral("1-2\n6-7\n9\n13-14\n"));
        // Lost files join the runs they touch: 11 lies between nothing and 13.
        run = quillery(
                base
                + a({"--root", "甲区", "--first", "1", "--last", "14", "--ranges", "--files"}));
        QCOMPARE(run.out, QStringLiteral("1-2\n6-7\n9\n11\n13-14\n"));
        QVERIFY2(run.err.contains(u("文件丢失 1 个")), qPrintable(run.err));
        // Nothing missing: exit 0, nothing on standard output.
        run = quillery(base + a({"--table", "TA", "--first", "3", "--last", "5", "--files"}));
        QCOMPARE(run.status, 0);
        QVERIFY(run.out.isEmpty());

        // The download list: the lines `quillery urls` writes, for the missing IDs only.
        const QString list = dir.path() + QStringLiteral("/out/list.lst");
        QVERIFY(QDir().mkpath(dir.path() + QStringLiteral("/out")));
        const QString lineTemplate = u("http://h/|ID4|/|ID|.xml?|ID-1|");
        run = quillery(base
                       + QStringList {QStringLiteral("--table"), QStringLiteral("TA"),
                                      QStringLiteral("--first"), QStringLiteral("1"),
                                      QStringLiteral("--last"), QStringLiteral("10"),
                                      QStringLiteral("-t"), lineTemplate, QStringLiteral("-o"),
                                      list});
        QCOMPARE(run.status, 1);
        QVERIFY2(run.out.contains(u("下载列表 ")) && run.out.contains(u(": 5 行")),
                 qPrintable(run.out));
        const QString full = dir.path() + QStringLiteral("/out/full.lst");
        QCOMPARE(quillery({QStringLiteral("urls"), QStringLiteral("--first"), QStringLiteral("1"),
                           QStringLiteral("--last"), QStringLiteral("10"), QStringLiteral("-t"),
                           lineTemplate, QStringLiteral("-o"), full})
                         .status,
                 0);
        QStringList kept;
        const QStringList fullLines = QString::fromLatin1(readBytes(full))
                                              .split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
        for (const int id : {1, 2, 6, 7, 9})
            kept << fullLines.at(id - 1);
        QCOMPARE(QString::fromLatin1(readBytes(list)),
                 kept.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"));

        // Failures: one line naming the reason, exit 1.
        run = quillery(base + a({"--table", "Missing"}));
        QCOMPARE(run.status, 1);
        QCOMPARE(run.err.count(u'\n'), 1);
        QVERIFY2(run.err.startsWith(u("quillery gaps: 读取帖子表 Missing 时数据库出错")),
                 qPrintable(run.err));
        // A table the database lacks leaves an earlier list as it was.
        const std::string earlier = readBytes(list);
        run = quillery(base
                       + QStringList {QStringLiteral("--table"), QStringLiteral("Missing"),
                                      QStringLiteral("-t"), lineTemplate, QStringLiteral("-o"),
                                      list});
        QCOMPARE(run.status, 1);
        QCOMPARE(readBytes(list), earlier);
        run = quillery(base + a({"--table", "TA; drop table TA"}));
        QCOMPARE(run.status, 1);
        QVERIFY(run.err.contains(u("不是可用的帖子表名")));
        QCOMPARE(quillery(base + a({"--table", "TA", "--first", "3", "--last", "5"})).status, 0);
        run = quillery(base + a({"--root", "丙区"}));
        QCOMPARE(run.status, 1);
        QVERIFY(run.err.contains(u("没有名为 “丙区” 的根节点")));
        run = quillery(base + a({"--table", "Other", "--files"}));
        QCOMPARE(run.status, 2);
        // An ID the list cannot hold is refused, not wrapped.
        run = quillery(base
                       + QStringList {QStringLiteral("--table"), QStringLiteral("TA"),
                                      QStringLiteral("--first"), QStringLiteral("2147483647"),
                                      QStringLiteral("--last"), QStringLiteral("2147483648"),
                                      QStringLiteral("-t"), lineTemplate, QStringLiteral("-o"),
                                      list});
        QCOMPARE(run.status, 1);
        QVERIFY2(run.err.contains(u("2147483646")), qPrintable(run.err));
    }

    void emptyTable()
    {
        QUILLERY_TEST_DATABASE(db, TestEngine::SQLite, "TA");
        const Run run =
                quillery(QStringList {QStringLiteral("gaps"), QStringLiteral("--connection"),
                                      Gbk::toQString(db->connectionString()),
                                      QStringLiteral("--table"), QStringLiteral("TA")});
        QCOMPARE(run.status, 0);
        QVERIFY(run.out.isEmpty());
        QVERIFY2(run.err.contains(u("帖子表 TA 中没有帖子")), qPrintable(run.err));
    }
};

QUILLERY_REGISTER_TEST(TestGapsCommand)
#include "tst_GapsCommand.moc"
