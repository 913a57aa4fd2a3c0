#include "TestDatabase.h"
#include "TestRegistry.h"
#include "TestSupport.h"

#include "browser/db/CAdoManager.h"
#include "browser/rooms/RoomModel.h"
#include "common/AppDirectory.h"
#include "common/Codec.h"
#include "common/FileSystem.h"
#include "sample/SampleArchive.h"

#include <QDir>
#include <QFile>
#include <QProcess>

#include <csignal>
#include <sys/resource.h>
#include <thread>

namespace {

const QString AppQuillery = QStringLiteral(QUILLERY_APP_DIR "/quillery");
const QString HtmlPreset = QString::fromUtf8("Lumora旧帖(htm), 所在目录名是roomid");
const QString XmlPreset = QString::fromUtf8("Lumora新帖(xml), roomid在文件中");

struct Run
{
    int status = -1;
    QString out;
    QString err;
    QStringList lines() const { return out.split(u'\n', Qt::SkipEmptyParts); }
};

QProcessEnvironment utf8Environment()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("LC_ALL"));
    env.remove(QStringLiteral("LC_CTYPE"));
    env.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
    return env;
}

Run finish(QProcess &process, int waitMs = 120000)
{
    Run run;
    if (!process.waitForFinished(waitMs)) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    if (process.exitStatus() != QProcess::NormalExit)
        return run;
    run.status = process.exitCode();
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

Run quillery(const QStringList &arguments, int waitMs = 120000)
{
    QProcess process;
    process.setProcessEnvironment(utf8Environment());
    process.start(AppQuillery, QStringList {QStringLiteral("import")} + arguments);
    return finish(process, waitMs);
}

QString u(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

QString q(const std::string &text)
{
    return QString::fromStdString(text);
}

// Many small posts named by their topicid, for the runs that are interrupted.
void writeManyPosts(const TempAppDir &dir, int count)
{
    for (int i = 1; i <= count; ++i) {
        const std::string id = std::to_string(i);
        writeBytes(q(dir.file("many/" + std::to_string(i % 50) + "/" + id + ".htm")),
                   "<html><Room>11</Room><TITLE>post " + id + "</TITLE><User>u" + id
                           + "</User></html>");
    }
}

QStringList manyArguments(const TempAppDir &dir, const std::string &connection)
{
    return {QStringLiteral("--dir"),
            q(dir.file("many")),
            QStringLiteral("--connection"),
            q(connection),
            QStringLiteral("--table"),
            QStringLiteral("posts"),
            QStringLiteral("--topicid-mode"),
            QStringLiteral("0"),
            QStringLiteral("--roomid-start"),
            QStringLiteral("<room>"),
            QStringLiteral("--roomid-end"),
            QStringLiteral("</room>"),
            QStringLiteral("--title-start"),
            QStringLiteral("<title>"),
            QStringLiteral("--title-end"),
            QStringLiteral("</title>"),
            QStringLiteral("--username-start"),
            QStringLiteral("<user>"),
            QStringLiteral("--username-end"),
            QStringLiteral("</user>"),
            QStringLiteral("--no-path-check"),
            QStringLiteral("--no-check-title")};
}

long long scalar(const std::string &connection, const std::string &sql)
{
    CAdoManager ado;
    if (ado.OpenAdoConnection(connection) != 0)
        return -1;
    std::unique_ptr<CAdoRecordset> rows;
    long long value = -1;
    if (ado.ExecuteSql(sql, rows, CAdoManager::CommandText) == 0)
        rows->Value(0).ToInt64(value);
    rows.reset();
    ado.CloseAdoConnection();
    return value;
}

// Waits until the running import has committed its first rows, so that a signal sent
// next lands mid-run however fast the machine is.
bool waitForFirstRows(const std::string &connection, QProcess &process)
{
    for (int i = 0; i < 6000; ++i) {
        if (scalar(connection, "select count(*) from posts") > 0)
            return true;
        if (process.state() != QProcess::Running)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

std::string text(const std::string &connection, const std::string &sql)
{
    CAdoManager ado;
    if (ado.OpenAdoConnection(connection) != 0)
        return std::string();
    std::unique_ptr<CAdoRecordset> rows;
    std::string value;
    if (ado.ExecuteSql(sql, rows, CAdoManager::CommandText) == 0)
        value = rows->Value(0).Text();
    rows.reset();
    ado.CloseAdoConnection();
    return value;
}

long insertedOf(const QString &summary)
{
    return summary.mid(summary.lastIndexOf(u'=') + 1).toLong();
}

} // namespace

class TestImportCommand : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void help()
    {
        const Run run = quillery({QStringLiteral("--help")});
        QCOMPARE(run.status, 0);
        QVERIFY(run.out.startsWith(u("用法: quillery import [选项]")));
        for (const char *option :
             {"--dir DIR", "--config FILE", "--connection TEXT", "--preset NAME", "--no-path-check",
              "--no-check-title", "--auto-start N|next", "--createtime-start TEXT", "--room ROOMID",
              "130 被中止"})
            QVERIFY2(run.out.contains(u(option)), option);
        QVERIFY(run.out.contains(QStringLiteral(QUILLERY_APP_DIR "/Import/")));
        QVERIFY(run.out.contains(u("磁盘已满")));
    }

    // Files of settings are read whole: a device or a huge file is refused at once.
    void settingsFilesMustBeSmallRegularFiles()
    {
        for (const char *option : {"--presets", "--config"}) {
            const Run run = quillery({QString::fromLatin1(option), QStringLiteral("/dev/zero"),
                                      QStringLiteral("--preset"), HtmlPreset},
                                     20000);
            QVERIFY2(run.status == 1, option);
            QVERIFY2(run.err.contains(u("/dev/zero")) && run.err.contains(u("不是普通文件")),
                     qPrintable(run.err));
        }
        TempAppDir dir;
        const QString big = dir.qtPath() + QStringLiteral("/big.xml");
        QFile file(big);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.resize(qint64(65) << 20));
        file.close();
        const Run run = quillery(
                {QStringLiteral("--presets"), big, QStringLiteral("--preset"), HtmlPreset}, 20000);
        QCOMPARE(run.status, 1);
        QVERIFY2(run.err.contains(u("64 MB")), qPrintable(run.err));
    }

    // The connection string is expanded once per run: "||" is one bar, and an unknown
    // placeholder is reported once.
    void connectionStringIsExpandedOnce()
    {
        TempAppDir dir;
        QDir().mkpath(dir.qtPath() + QStringLiteral("/in"));
        const Run run = quillery({QStringLiteral("--connection"),
                                  QStringLiteral("Provider=SQLite;Data Source=") + dir.qtPath()
                                          + QStringLiteral("/a||b|NOSUCH|.db"),
                                  QStringLiteral("--preset"), HtmlPreset, QStringLiteral("--dir"),
                                  dir.qtPath() + QStringLiteral("/in"), QStringLiteral("--table"),
                                  QStringLiteral("LangPosts"), QStringLiteral("--auto-start"),
                                  QStringLiteral("next")});
        QCOMPARE(run.status, 0);
        QVERIFY2(QFile::exists(dir.qtPath() + QStringLiteral("/a|b.db")), qPrintable(run.err));
        QCOMPARE(run.err.count(QStringLiteral("|NOSUCH|")), 1);

        // The configuration's string was expanded when it was read: not again.
        writeBytes(dir.qtPath() + QStringLiteral("/tree.xml"),
                   gbk(("<?xml version=\"1.0\" encoding=\"GBK\"?><r><数据库连接字符串>"
                        "Provider=SQLite;Data Source="
                        + dir.path()
                        + "/c||d.db</数据库连接字符串><帖子类型 TABLE=\"LangPosts\" "
                          "ROOMID=\"1\">甲</帖子类型></r>")
                               .c_str()));
        const Run configured =
                quillery({QStringLiteral("--config"), dir.qtPath() + QStringLiteral("/tree.xml"),
                          QStringLiteral("--preset"), HtmlPreset, QStringLiteral("--dir"),
                          dir.qtPath() + QStringLiteral("/in"), QStringLiteral("--table"),
                          QStringLiteral("LangPosts")});
        QCOMPARE(configured.status, 0);
        QVERIFY2(QFile::exists(dir.qtPath() + QStringLiteral("/c|d.db")),
                 qPrintable(configured.err));
    }

    // A full disk ends the run: one line with the database's words, the summary, exit
    // status 1; every row reported is there, and a second run completes the set.
    void fullDiskStopsTheRun()
    {
        QUILLERY_TEST_DATABASE(db, TestEngine::SQLite, "posts");
        TempAppDir dir;
        writeManyPosts(dir, 80000);
        QProcess process;
        process.setProcessEnvironment(utf8Environment());
        // Writes beyond 1.5 MB fail as on a full disk (EFBIG instead of the signal).
        process.setChildProcessModifier([] {
            const rlim_t limit = rlim_t(3) << 19;
            const struct rlimit size = {limit, limit};
            ::setrlimit(RLIMIT_FSIZE, &size);
            ::signal(SIGXFSZ, SIG_IGN);
        });
        process.start(AppQuillery,
                      QStringList {QStringLiteral("import")}
                              + manyArguments(dir, db->connectionString()));
        const Run run = finish(process);
        QCOMPARE(run.status, 1);
        const QStringList lines = run.lines();
        QVERIFY(lines.size() >= 2);
        QVERIFY2(lines.last().startsWith(u("插入完成: 总文件=")), qPrintable(lines.last()));
        QVERIFY2(lines[lines.size() - 2].startsWith(u("数据库发生错误,导入已经停止(hr=-")),
                 qPrintable(lines[lines.size() - 2]));
        const long inserted = insertedOf(lines.last());
        QVERIFY(inserted < 80000);
        QCOMPARE(scalar(db->connectionString(), "select count(*) from posts"), (long long)inserted);
        // Stopped: no more files counted than a batch and the queue behind it.
        QVERIFY2(lines.size() < 40000, qPrintable(QString::number(lines.size())));

        const Run again = quillery(manyArguments(dir, db->connectionString()));
        QCOMPARE(again.status, 0);
        QCOMPARE(insertedOf(again.lines().last()), long(80000 - inserted));
        QCOMPARE(scalar(db->connectionString(), "select count(*) from posts"), 80000ll);
    }

    // Short of memory: a thread that cannot start fails the run with a message, and a file
    // the reader cannot hold is that file's open error while the run goes on. Neither
    // ends the program.
    void memoryShortageFailsTheRunOrTheFile()
    {
        QUILLERY_TEST_DATABASE(db, TestEngine::SQLite, "posts");
        TempAppDir dir;
        writeManyPosts(dir, 1);
        const auto start = [&](QProcess &process, int resource, rlim_t limit) {
            process.setProcessEnvironment(utf8Environment());
            process.setChildProcessModifier([resource, limit] {
                const struct rlimit bound = {limit, limit};
                ::setrlimit(resource, &bound);
            });
            process.start(AppQuillery,
                          QStringList {QStringLiteral("import")}
                                  + manyArguments(dir, db->connectionString()));
        };
        {
            // Threads take their stack size from this limit: none fits in memory.
            QProcess process;
            start(process, RLIMIT_STACK, rlim_t(1) << 46);
            const Run run = finish(process);
            QCOMPARE(run.status, 1);
            QVERIFY2(run.err.contains(u("无法启动导入所需的线程(")), qPrintable(run.err));
            QCOMPARE(scalar(db->connectionString(), "select count(*) from posts"), 0ll);
        }
#if defined(__SANITIZE_ADDRESS__)
        QSKIP("the sanitizer's allocator cannot run within a limit on the address space");
#endif
        // A file of 2 GB in an address space of 1 GB: its buffer cannot be had.
        QFile huge(dir.qtPath() + QStringLiteral("/many/1/2.htm"));
        QVERIFY(huge.open(QIODevice::WriteOnly) && huge.resize(qint64(2) << 30));
        huge.close();
        QProcess process;
        start(process, RLIMIT_AS, rlim_t(1) << 30);
        const Run run = finish(process);
        QCOMPARE(run.status, 0);
        QCOMPARE(run.lines(),
                 (QStringList {q(dir.file("many/1/2.htm")) + u("   文件打开错误(error=12)"),
                               u("插入完成: 总文件=2成功插入=1")}));
    }

    void usageAndDatabaseErrors()
    {
        TempAppDir dir;
        QCOMPARE(quillery({QStringLiteral("--bogus")}).status, 2);
        Run run = quillery({QStringLiteral("--roomid-mode"), QStringLiteral("x")});
        QCOMPARE(run.status, 2);
        QVERIFY(run.err.contains(u("--roomid-mode: 请键入一个整数。")));
        run = quillery({QStringLiteral("--room"), QStringLiteral("999999")});
        QCOMPARE(run.status, 2);
        QVERIFY(run.err.contains(u("没有ID为 “999999” 的类型")));
        run = quillery({QStringLiteral("--preset"), QStringLiteral("nothing")});
        QCOMPARE(run.status, 2);
        run = quillery({QStringLiteral("--title-start"), QStringLiteral("<t>")});
        QCOMPARE(run.status, 2);
        QVERIFY(run.err.contains(
                u("基本字段(必填) -> “帖子所属类型ID(roomid)的获取”框的“匹配开始”项不能为空")));

        // A database below a plain file can be neither opened nor made.
        writeBytes(dir.qtPath() + QStringLiteral("/file"), "x");
        run = quillery({QStringLiteral("--connection"),
                        QStringLiteral("Provider=SQLite;Data Source=") + dir.qtPath()
                                + QStringLiteral("/file/x.db"),
                        QStringLiteral("--preset"), HtmlPreset, QStringLiteral("--dir"),
                        dir.qtPath()});
        QCOMPARE(run.status, 1);
        QVERIFY(run.out.isEmpty());
        QVERIFY(run.err.contains(u("导入数据打开数据库连接错误")));
    }

    // The sample archive through the shipped presets: every row as the generator made it,
    // and no path warning.
    void sampleArchiveIntoAFreshDatabase()
    {
        QTemporaryDir temporary;
        const std::string connection =
                "Provider=SQLite;Data Source=" + FileSystem::fromQtPath(temporary.path()) + "/s.db";
        const QDir sample(QStringLiteral(QUILLERY_APP_DIR "/sample"));
        const QStringList tables = sample.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        QCOMPARE(tables.size(), 4);
        long inserted = 0;
        for (const QString &table : tables) {
            for (const auto &[preset, folder] : {std::pair {HtmlPreset, QStringLiteral("htm")},
                                                 std::pair {XmlPreset, QStringLiteral("xml")}}) {
                const Run run = quillery({QStringLiteral("--preset"), preset,
                                          QStringLiteral("--table"), table, QStringLiteral("--dir"),
                                          sample.filePath(table + u'/' + folder),
                                          QStringLiteral("--connection"), q(connection)});
                QCOMPARE(run.status, 0);
                QCOMPARE(run.lines().size(), 1); // the summary alone: no warning, no skip
                QVERIFY(run.lines().last().startsWith(u("插入完成: 总文件=")));
                inserted += insertedOf(run.lines().last());
            }
        }

        SetAppDirectoryOverride(QUILLERY_APP_DIR);
        RoomModel rooms;
        QVERIFY(rooms.LoadTreeConfig(RoomModel::TreeConfigPath(std::nullopt)));
        const std::vector<SamplePost> posts = MakeSamplePosts(rooms);
        SetAppDirectoryOverride(std::string());
        QCOMPARE(inserted, long(posts.size()));
        CAdoManager ado;
        QCOMPARE(ado.OpenAdoConnection(connection), 0L);
        for (const SamplePost &post : posts) {
            std::unique_ptr<CAdoRecordset> rows;
            QCOMPARE(ado.ExecuteSql("select title, roomid, username, reply, createtime from "
                                            + post.table
                                            + " where topicid = " + std::to_string(post.topicid),
                                    rows, CAdoManager::CommandText),
                     0L);
            QVERIFY2(!rows->IsEOF(), qPrintable(QString::number(post.topicid)));
            QCOMPARE(Gbk::toQString(rows->Value(0).Text()), Gbk::toQString(post.title));
            QCOMPARE(rows->Value(1).Text(), post.roomid);
            QCOMPARE(Gbk::toQString(rows->Value(2).Text()), Gbk::toQString(post.username));
            QCOMPARE(rows->Value(3).Text(), std::to_string(post.reply));
            QCOMPARE(rows->Value(4).Text(), post.createtime);
        }
        ado.CloseAdoConnection();
    }

    void markersTypedWithPlaceholdersAndNextTopicid()
    {
        QUILLERY_TEST_DATABASE(db, TestEngine::SQLite, "posts");
        TempAppDir dir;
        writeBytes(q(dir.file("in/a.htm")), "<r>7</r><t>\tTab title</t>");
        writeBytes(q(dir.file("in/b.htm")), "<r>7</r><t>\tSecond</t>");
        const QStringList arguments {QStringLiteral("--dir"),
                                     q(dir.file("in")),
                                     QStringLiteral("--connection"),
                                     q(db->connectionString()),
                                     QStringLiteral("--table"),
                                     QStringLiteral("posts"),
                                     QStringLiteral("--roomid-start"),
                                     QStringLiteral("<R>"),
                                     QStringLiteral("--roomid-end"),
                                     QStringLiteral("</r>"),
                                     QStringLiteral("--title-start"),
                                     QStringLiteral("<t>|TAB|"),
                                     QStringLiteral("--title-end"),
                                     QStringLiteral("</t>"),
                                     QStringLiteral("--no-path-check"),
                                     QStringLiteral("--auto-start"),
                                     QStringLiteral("next")};
        const Run run = quillery(arguments);
        QCOMPARE(run.status, 0);
        QCOMPARE(run.lines(), QStringList {u("插入完成: 总文件=2成功插入=2")});
        QCOMPARE(text(db->connectionString(), "select title from posts where topicid = 1"),
                 std::string("Tab title"));
        QCOMPARE(scalar(db->connectionString(), "select max(topicid) from posts"), 2ll);
    }

    void interruptKeepsTheRows()
    {
        QUILLERY_TEST_DATABASE(db, TestEngine::SQLite, "posts");
        TempAppDir dir;
        writeManyPosts(dir, 40000);
        QProcess process;
        process.setProcessEnvironment(utf8Environment());
        process.start(AppQuillery,
                      QStringList {QStringLiteral("import")}
                              + manyArguments(dir, db->connectionString()));
        QVERIFY(process.waitForStarted());
        QVERIFY(waitForFirstRows(db->connectionString(), process));
        ::kill(pid_t(process.processId()), SIGINT);
        const Run run = finish(process);
        QCOMPARE(run.status, 130);
        const QString summary = run.lines().last();
        QVERIFY2(summary.startsWith(u("插入完成: 总文件=")), qPrintable(summary));
        const long inserted = insertedOf(summary);
        QVERIFY2(inserted < 40000, qPrintable(summary));
        QCOMPARE(scalar(db->connectionString(), "select count(*) from posts"), (long long)inserted);
    }

    void killedProcessThenACompletingRerun()
    {
        QUILLERY_TEST_DATABASE(db, TestEngine::SQLite, "posts");
        TempAppDir dir;
        writeManyPosts(dir, 40000);
        QProcess process;
        process.setProcessEnvironment(utf8Environment());
        process.start(AppQuillery,
                      QStringList {QStringLiteral("import")}
                              + manyArguments(dir, db->connectionString()));
        QVERIFY(process.waitForStarted());
        QVERIFY(waitForFirstRows(db->connectionString(), process));
        process.kill();
        process.waitForFinished();
        const long long before = scalar(db->connectionString(), "select count(*) from posts");
        QVERIFY(before >= 0 && before < 40000);
        QCOMPARE(text(db->connectionString(), "pragma integrity_check"), std::string("ok"));
        QCOMPARE(scalar(db->connectionString(),
                        "select count(*) from posts where title is null or username is null "
                        "or roomid <> 11"),
                 0ll);

        const Run run = quillery(manyArguments(dir, db->connectionString()));
        QCOMPARE(run.status, 0);
        QCOMPARE(insertedOf(run.lines().last()), long(40000 - before));
        QCOMPARE(scalar(db->connectionString(), "select count(*) from posts"), 40000ll);
        QCOMPARE(scalar(db->connectionString(), "select count(distinct title) from posts"),
                 40000ll);
    }
};

QUILLERY_REGISTER_TEST(TestImportCommand)
#include "tst_ImportCommand.moc"
