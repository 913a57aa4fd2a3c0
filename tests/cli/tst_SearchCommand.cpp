#include "DbTestHelpers.h"
#include "QuilleryProcess.h"
#include "TestRegistry.h"

#include "browser/db/CAdoManager.h"
#include "browser/search/BodyIndex.h"
#include "common/Codec.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QThread>

#include <csignal>
#include <limits>

namespace {

using namespace QuilleryProcess;

// 甲区 (TA): 乙 (12) with 丁 (121) below, and 丙 (13); the files under the folder %2.
const char *const Config = R"(<?xml version="1.0" encoding="GBK"?>
<r>
  <数据库连接字符串>%1</数据库连接字符串>
  <帖子类型 TABLE="TA" ROOMID="1">甲区<帖子类型 ROOMID="12">乙<帖子类型 ROOMID="121">丁</帖子类型></帖子类型><帖子类型 ROOMID="13">丙</帖子类型>
    <帖子属性范围>1 100000 %2/posts/|ID|.htm</帖子属性范围>
  </帖子类型>
</r>
)";

struct CliArchive
{
    TempAppDir dir;
    const TestDatabase *db = nullptr;
    QString config;

    void open(const TestDatabase &database)
    {
        db = &database;
        config = dir.qtPath() + QStringLiteral("/InitTree.xml");
        dir.write("InitTree.xml",
                  gbk(QString::fromUtf8(Config)
                              .arg(Gbk::toQString(db->connectionString()), dir.qtPath())
                              .toUtf8()
                              .constData()));
    }

    // A row and its file, whose body is GBK.
    bool add(int id, int room, const std::string &body)
    {
        dir.write("posts/" + std::to_string(id) + ".htm",
                  "<html><head><meta charset=\"gbk\"></head><body><p>" + body
                          + "</p></body></html>");
        QString error;
        return db->execute({"insert into TA (topicid, title, roomid, username, createtime) values ("
                            + std::to_string(id) + ", '" + gbk("标题") + std::to_string(id) + "', "
                            + std::to_string(room) + ", 'u', '2024-01-02')"},
                           error);
    }

    QString file(int id) const { return dir.qtPath() + QStringLiteral("/posts/%1.htm").arg(id); }

    Run search(const QStringList &arguments) const
    {
        return quillery(QStringList {QStringLiteral("search"), QStringLiteral("--config"), config}
                        + arguments);
    }
    Run index(const QStringList &arguments = {}) const
    {
        return quillery(QStringList {QStringLiteral("index"), QStringLiteral("--body"),
                                     QStringLiteral("--config"), config}
                        + arguments);
    }
};

// The post IDs of a search's rows, in order.
QStringList ids(const Run &run)
{
    QStringList found;
    for (const QString &line : run.out.split(u'\n', Qt::SkipEmptyParts))
        found << line.section(u'\t', 0, 0);
    return found;
}

} // namespace

class TestSearchCommand : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void usage()
    {
        const Run help = quillery(a({"search", "--help"}));
        QCOMPARE(help.status, 0);
        QVERIFY(help.out.startsWith(u("用法: quillery search [选项] [--] 查找内容")));
        QVERIFY(quillery(a({"index", "--help"})).out.contains(QStringLiteral("--body")));
        QVERIFY(quillery(a({"--help"})).out.contains(QStringLiteral("  search ")));
        const QList<QPair<QStringList, QString>> wrong {
                {a({"search"}), u("缺少查找内容")},
                {a({"search", "--table", "T", "--root", "R", "x"}),
                 u("--table 和 --root 不能同时使用")},
                {a({"search", "--no-subrooms", "x"}), u("--no-subrooms 只能与 --room 一起使用")},
                {a({"search", "--room", "12", "x"}), u("--room 需要")},
                {a({"search", "--limit", "0", "x"}), u("--limit 需要一个正整数")},
                {a({"search", "--limit", "ten", "x"}), u("--limit 需要一个正整数")},
                {a({"search", "--bogus", "x"}), u("未知的选项")},
                {a({"search", "，。！%'"}), u("只有标点或符号")},
                {a({"search", "\"内存 泄漏"}), u("引号没有配对")},
                {a({"search", "--", "-内存"}), u("只有排除的词")},
                {a({"index", "--title", "--body"}), u("需要 --title 或 --body 其中之一")},
        };
        for (const auto &[arguments, message] : wrong) {
            const Run run = quillery(arguments);
            QVERIFY2(run.status == 2, qPrintable(arguments.join(u' ')));
            QVERIFY2(run.err.contains(message), qPrintable(run.err));
        }
    }

    // Index, search, scope, count, snippets and limits on both engines; the characters a
    // database might take for its own are only text.
    void indexAndSearch_data() { addEngineRows(); }
    void indexAndSearch()
    {
        QFETCH(TestEngine, engine);
        QUILLERY_TEST_DATABASE(db, engine, "TA");
        CliArchive archive;
        archive.open(*db);
        const struct
        {
            int id;
            int room;
            const char *body;
        } posts[] = {{1, 1, "内存泄漏 在顶层"},
                     {2, 12, "乙里的内存泄漏"},
                     {3, 121, "丁里的内存 没有泄漏"},
                     {4, 13, "丙 内存"},
                     {5, 12, "进度 100%_done 了"},
                     {6, 12, "进度 100 abc_done 了"},
                     {7, 13, "it's fine"},
                     {8, 13, "its fine"},
                     {9, 12, "乗客 路径 C:\\temp\\dir"},
                     {10, 13, "癨乱"}};
        for (const auto &post : posts)
            QVERIFY(archive.add(post.id, post.room, gbk(post.body)));

        Run run = archive.search(a({"内存"}));
        QCOMPARE(run.status, 1);
        QVERIFY2(run.err.contains(u("还没有正文索引: 请先运行 quillery index --body")),
                 qPrintable(run.err));

        run = archive.index();
        QVERIFY2(run.status == 0, qPrintable(run.err));
        QVERIFY2(run.out.startsWith(u("正文索引已是最新: 检查 10 个帖子, 编入 10,")),
                 qPrintable(run.out));

        run = archive.search(a({"内存"}));
        QCOMPARE(run.status, 0);
        QCOMPARE(ids(run), a({"4", "3", "2", "1"}));
        QCOMPARE(run.out.split(u'\n').first(),
                 u("4\t标题4\t13\tu\t2024-01-02\t") + archive.file(4));
        QCOMPARE(archive.search(a({"内存泄漏"})).out.count(u'\n'), 2);
        QCOMPARE(archive.search(a({"--count", "内存"})).out, QStringLiteral("4\n"));
        QCOMPARE(ids(archive.search(a({"--root", "甲区", "--room", "12", "内存"}))), a({"3", "2"}));
        QCOMPARE(ids(archive.search(a({"--table", "TA", "--room", "12", "--no-subrooms", "内存"}))),
                 a({"2"}));
        QCOMPARE(ids(archive.search(a({"--", "内存", "-泄漏"}))), a({"4"}));
        QCOMPARE(ids(archive.search(a({"内存", "顶层"}))), a({"1"})); // several words: all

        run = archive.search(a({"--limit", "1", "--snippets", "泄漏"}));
        QCOMPARE(run.status, 0);
        QCOMPARE(run.out,
                 u("3\t标题3\t121\tu\t2024-01-02\t") + archive.file(3)
                         + u("\t丁里的内存 没有【泄漏】\n"));
        QVERIFY2(run.err.contains(u("共找到 3 个帖子, 只输出了前 1 个")), qPrintable(run.err));

        // No hits: nothing on standard output, status 1.
        run = archive.search(a({"没有这个词"}));
        QCOMPARE(run.status, 1);
        QVERIFY(run.out.isEmpty());
        QCOMPARE(archive.search(a({"--count", "没有这个词"})).out, QStringLiteral("0\n"));

        // % _ ' \ and the GBK trail bytes 0x5C of 乗 and 癨 are text, never patterns.
        QCOMPARE(ids(archive.search(a({"100%_done"}))), a({"5"}));
        QCOMPARE(ids(archive.search(a({"_done"}))), a({"5"}));
        QCOMPARE(ids(archive.search(a({"it's"}))), a({"7"}));
        QCOMPARE(ids(archive.search(a({"C:\\temp"}))), a({"9"}));
        QCOMPARE(ids(archive.search(a({"乗"}))), a({"9"}));
        QCOMPARE(ids(archive.search(a({"癨乱"}))), a({"10"}));

        // Changed files are read again; --drop removes the index.
        archive.dir.write("posts/4.htm", gbk("<html><body>已经改写</body></html>"));
        run = archive.index(a({"--root", "甲区"}));
        QVERIFY2(run.out.contains(u("检查 10 个帖子, 编入 1,")), qPrintable(run.out));
        QCOMPARE(ids(archive.search(a({"内存"}))), a({"3", "2", "1"}));
        run = archive.index(a({"--drop"}));
        QCOMPARE(run.status, 0);
        QCOMPARE(run.out, u("TA: 正文索引已删除\n"));
        QCOMPARE(archive.search(a({"内存"})).status, 1);
    }

    // Ctrl+C stops the build between batches: status 1, the batches committed stay and
    // are searched, and the next run completes the rest.
    void interruptedBuild()
    {
        QUILLERY_TEST_DATABASE(db, TestEngine::SQLite, "TA");
        CliArchive archive;
        archive.open(*db);
        constexpr int Posts = 20000;
        QString error;
        QVERIFY2(db->execute({insertPostsSql(TestEngine::SQLite, "TA", 1, Posts, "12")}, error),
                 qPrintable(error));
        for (int id = 1; id <= Posts; ++id)
            archive.dir.write("posts/" + std::to_string(id) + ".htm",
                              gbk("<html><body>内存 帖子 ") + std::to_string(id)
                                      + "</body></html>");

        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
        env.remove(QStringLiteral("LC_ALL"));
        process.setProcessEnvironment(env);
        process.start(AppQuillery,
                      {QStringLiteral("index"), QStringLiteral("--body"),
                       QStringLiteral("--config"), archive.config});
        QVERIFY(process.waitForStarted());
        // Waits for the first committed batch, read as any reader would.
        CAdoManager ado;
        QCOMPARE(ado.OpenAdoConnection(db->connectionString()), 0L);
        QElapsedTimer clock;
        clock.start();
        bool committed = false;
        while (!committed && clock.elapsed() < 60000 && process.state() == QProcess::Running) {
            BodyIndex index(ado, DbEngine::SQLite, "TA");
            std::vector<BodyStampRow> rows;
            committed = index.Stamps(std::numeric_limits<long long>::min(), 1, rows) == 0
                    && !rows.empty() && rows.front().indexed;
            if (!committed)
                QThread::msleep(5);
        }
        ado.CloseAdoConnection();
        QVERIFY(committed);
        ::kill(pid_t(process.processId()), SIGINT);
        QVERIFY(process.waitForFinished(60000));
        const QString err = QString::fromUtf8(process.readAllStandardError());
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QVERIFY2(process.exitCode() == 1, qPrintable(err));
        QVERIFY2(err.contains(u("已中止")), qPrintable(err));

        const Run count = archive.search(a({"--count", "内存"}));
        QCOMPARE(count.status, 0);
        const int kept = count.out.trimmed().toInt();
        QVERIFY2(kept > 0 && kept < Posts, qPrintable(count.out));
        const Run rest = archive.index();
        QCOMPARE(rest.status, 0);
        QVERIFY2(rest.out.contains(u("编入 %1,").arg(Posts - kept)), qPrintable(rest.out));
        QCOMPARE(archive.search(a({"--count", "内存"})).out.trimmed().toInt(), Posts);
    }
};

QUILLERY_REGISTER_TEST(TestSearchCommand)
#include "tst_SearchCommand.moc"
