#include "ImportTestHelpers.h"
#include "PgCluster.h"
#include "TestDatabase.h"
#include "TestRegistry.h"

#include "browser/import/ImportTexts.h"
#include "common/FileSystem.h"

#include <QFile>
#include <QTemporaryDir>

#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

Q_DECLARE_METATYPE(TestEngine)

// Runs that meet a failing database, hostile folders and files that cannot be held.
namespace {

std::string u(const char *utf8)
{
    return Gbk::literal(utf8);
}

bool startsWith(const std::string &text, const std::string &prefix)
{
    return text.rfind(prefix, 0) == 0;
}

// Calls back on every line, on the run's thread.
class LineHookSink : public RecordingSink
{
public:
    void ImportMessage(const std::string &line) override
    {
        RecordingSink::ImportMessage(line);
        if (onLine)
            onLine(line);
    }
    std::function<void(const std::string &)> onLine;
};

ImportOutcome run(ImportSettings settings, ImportSink &sink, ImportTuning tuning = ImportTuning(),
                  RoomModel *rooms = nullptr, ImportRun **out = nullptr)
{
    CAdoManager ado;
    ImportRun importRun(rooms, sink);
    importRun.SetTuning(tuning);
    if (out)
        *out = &importRun;
    const ImportOutcome outcome = importRun.RunImport(settings, ado);
    ado.CloseAdoConnection();
    if (out)
        *out = nullptr;
    return outcome;
}

// The lines that speak about files: all but the summary and the line of a stopped run.
std::size_t fileLines(const std::vector<std::string> &lines, std::size_t runLines)
{
    return lines.size() >= runLines ? lines.size() - runLines : 0;
}

long summaryTotal(const std::string &summary)
{
    const std::size_t at = summary.find('=');
    return at == std::string::npos ? -1 : std::stol(summary.substr(at + 1));
}

// While alive, new threads ask for a stack larger than any address space: none can start.
class ThreadsCannotStart
{
public:
    ThreadsCannotStart()
    {
        pthread_getattr_default_np(&saved_);
        pthread_attr_t huge;
        pthread_attr_init(&huge);
        pthread_attr_setstacksize(&huge, std::size_t(1) << 50);
        pthread_setattr_default_np(&huge);
        pthread_attr_destroy(&huge);
    }
    ~ThreadsCannotStart()
    {
        pthread_setattr_default_np(&saved_);
        pthread_attr_destroy(&saved_);
    }
    ThreadsCannotStart(const ThreadsCannotStart &) = delete;
    ThreadsCannotStart &operator=(const ThreadsCannotStart &) = delete;

private:
    pthread_attr_t saved_;
};

} // namespace

class TestImportFaults : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // A lost server or a lost database file is no per-file failure: the run stops at once
    // with one line in the database's words, the summary, and the box of a failed run.
    void lostDatabaseStopsTheRun_data()
    {
        QTest::addColumn<TestEngine>("engine");
        QTest::newRow("postgresql server stopped") << TestEngine::PostgreSQL;
        QTest::newRow("sqlite file removed") << TestEngine::SQLite;
    }
    void lostDatabaseStopsTheRun()
    {
        QFETCH(TestEngine, engine);
        PgCluster cluster;
        QString reason;
        std::unique_ptr<TestDatabase> db;
        if (engine == TestEngine::PostgreSQL) {
            if (PgCluster::binDirectory().isEmpty() && !PgCluster::mustRun())
                QSKIP("PostgreSQL server programs are not installed");
            QVERIFY2(cluster.start(reason), qPrintable(reason));
            db = TestDatabase::createOn(cluster, {"posts"}, reason);
        } else {
            bool skipped = false;
            db = TestDatabase::create(engine, {"posts"}, reason, skipped);
        }
        QVERIFY2(db, qPrintable(reason));
        TempAppDir dir;
        for (int i = 1; i <= 300; ++i)
            dir.write("in/" + std::to_string(i) + ".htm", postPage("t" + std::to_string(i)));

        RecordingSink sink;
        sink.onStatus = [&](std::size_t files) {
            if (files != 100)
                return;
            if (engine == TestEngine::PostgreSQL) {
                QString why;
                QVERIFY2(cluster.stop(why), qPrintable(why));
            } else {
                for (const char *suffix : {"", "-wal", "-shm"})
                    QFile::remove(db->sqliteFile() + QLatin1String(suffix));
            }
        };
        ImportTuning tuning;
        tuning.maxBatchRows = 10;
        ImportRun *importRun = nullptr;
        const ImportOutcome outcome = run(pageSettings(db->connectionString(), dir.file("in")),
                                          sink, tuning, nullptr, &importRun);
        QVERIFY(outcome != ImportOutcome::Completed && outcome != ImportOutcome::Aborted);

        // Every counted file has its line or its row; then the cause, then the summary.
        QVERIFY2(sink.lines.size() >= 2, qPrintable(QString::number(sink.lines.size())));
        const std::string summary = sink.lines.back();
        QVERIFY(startsWith(summary, u("插入完成: 总文件=")));
        const std::string &cause = sink.lines[sink.lines.size() - 2];
        QVERIFY2(startsWith(cause, u("数据库发生错误,导入已经停止(hr=-")), qPrintable(show(cause)));
        QVERIFY(cause.find_first_of("\r\n") == std::string::npos);
        QCOMPARE(sink.boxes, std::vector<std::string> {cause});
        const long total = summaryTotal(summary);
        const long inserted = std::stol(summary.substr(summary.rfind('=') + 1));
        QVERIFY2(total >= 100 && total < 300, qPrintable(show(summary)));
        QCOMPARE(long(fileLines(sink.lines, 2)), total - inserted);
        for (std::size_t i = 0; i + 2 < sink.lines.size(); ++i)
            QVERIFY2(sink.lines[i].find(dir.file("in/")) != std::string::npos,
                     qPrintable(show(sink.lines[i])));

        if (engine == TestEngine::PostgreSQL) {
            QVERIFY2(cluster.resume(reason), qPrintable(reason));
            QCOMPARE(countPosts(db->connectionString(), "posts"), (long long)inserted);
            // The next run completes the set.
            RecordingSink again;
            QCOMPARE(run(pageSettings(db->connectionString(), dir.file("in")), again),
                     ImportOutcome::Completed);
            QCOMPARE(countPosts(db->connectionString(), "posts"), 300ll);
        }
    }

    // An abort while a failed batch is replayed still gives every counted file its line
    // or its row.
    void abortDuringReplayLeavesNoFileUnreported_data()
    {
        QTest::addColumn<TestEngine>("engine");
        QTest::newRow("sqlite") << TestEngine::SQLite;
        QTest::newRow("postgresql") << TestEngine::PostgreSQL;
    }
    void abortDuringReplayLeavesNoFileUnreported()
    {
        QFETCH(TestEngine, engine);
        QUILLERY_TEST_DATABASE(db, engine, "posts");
        QUILLERY_EXECUTE(db, "insert into posts(topicid,title,roomid) values(5,'there',1)");
        TempAppDir dir;
        for (int i = 1; i <= 40; ++i)
            dir.write("in/" + std::to_string(i) + ".htm", postPage("t" + std::to_string(i)));
        ImportSettings settings = pageSettings(db->connectionString(), dir.file("in"));
        settings.checkTopicid = settings.checkTitle = false; // the key refuses file 5
        ImportTuning tuning;
        tuning.maxBatchRows = 1000;
        tuning.maxBatchTime = std::chrono::minutes(5); // one batch, flushed at the end
        LineHookSink sink;
        ImportRun *importRun = nullptr;
        sink.onLine = [&](const std::string &) {
            if (importRun)
                importRun->AbortImport();
        };
        run(settings, sink, tuning, nullptr, &importRun);
        const long long rows = countPosts(db->connectionString(), "posts") - 1;
        QCOMPARE(summaryTotal(sink.lines.back()), 40L);
        QCOMPARE(rows + long(fileLines(sink.lines, 1)), 40ll);
        QCOMPARE(rows, 39ll);
    }

    // The database decides what a duplicate is: a title column that ignores case, a text
    // topicid. Batches must refuse exactly what the row-by-row run refuses.
    void duplicatesAsTheDatabaseComparesThem_data()
    {
        QTest::addColumn<TestEngine>("engine");
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("rows");
        QTest::addColumn<bool>("numbered");
        const auto add = [](const char *name, TestEngine engine, const char *table,
                            const char *rows, bool numbered = false) {
            QTest::newRow(name) << engine << QString::fromLatin1(table) << QString::fromLatin1(rows)
                                << numbered;
        };
        add("sqlite nocase title", TestEngine::SQLite,
            "create table dup (topicid integer primary key, title text collate nocase, "
            "roomid integer)",
            "insert into dup values(1000,'T3',1)");
        add("sqlite text topicid", TestEngine::SQLite,
            "create table dup (topicid text, title text, roomid integer)",
            "insert into dup values('0007','x',1)");
        add("sqlite text topicid numbered", TestEngine::SQLite,
            "create table dup (topicid text, title text, roomid integer)",
            "insert into dup values('10003 ','x',1)", true);
        add("postgresql text topicid", TestEngine::PostgreSQL,
            "create table dup (topicid text, title text, roomid bigint)",
            "insert into dup values('0007','x',1)");
        add("postgresql char title", TestEngine::PostgreSQL,
            "create table dup (topicid bigint primary key, title char(8), roomid bigint)",
            "insert into dup values(1000,'t3',1)");
    }
    void duplicatesAsTheDatabaseComparesThem()
    {
        QFETCH(TestEngine, engine);
        QFETCH(QString, table);
        QFETCH(QString, rows);
        QFETCH(bool, numbered);
        TempAppDir dir;
        // Titles that differ from others and from the row only by case or by trailing
        // blanks, and file names that differ from topicids only by leading zeros.
        const std::vector<std::pair<std::string, std::string>> files {
                {"in/1.htm", "T1"}, {"in/2.htm", "t1"},  {"in/3.htm", "t3 "},
                {"in/4.htm", "t3"}, {"in/007.htm", "a"}, {"in/0007.htm", "b"},
                {"in/7.htm", "c"},  {"in/8.htm", "T8"},  {"in/08.htm", "t8"}};
        for (const auto &[name, title] : files)
            dir.write(name, postPage(title));
        std::vector<std::vector<std::string>> lines;
        std::vector<std::vector<PostRow>> contents;
        for (const bool batched : {false, true}) {
            QUILLERY_TEST_DATABASE(db, engine, "posts");
            QUILLERY_EXECUTE(db, table.toStdString(), rows.toStdString());
            ImportSettings settings = pageSettings(db->connectionString(), dir.file("in"), "dup");
            if (numbered) {
                settings.topicidMode = TopicidMode::AutoGrow;
                settings.autoGrowStart = 10000;
            }
            ImportTuning tuning;
            tuning.batched = batched;
            RecordingSink sink;
            run(settings, sink, tuning);
            lines.push_back(sink.lines);
            std::vector<PostRow> found;
            CAdoManager ado;
            QCOMPARE(ado.OpenAdoConnection(db->connectionString()), 0L);
            std::unique_ptr<CAdoRecordset> set;
            QCOMPARE(ado.ExecuteSql("select topicid, title from dup order by topicid, title", set,
                                    CAdoManager::CommandText),
                     0L);
            for (; set->IsOpen() && !set->IsEOF(); set->MoveNext())
                found.push_back({set->Value(0).Text(), set->Value(1).Text(), {}, {}, {}, {}});
            set.reset();
            contents.push_back(found);
        }
        QCOMPARE(shown(lines[1]), shown(lines[0]));
        QVERIFY(contents[0] == contents[1]);
    }

    // The Part's order: the duplicate check before the values an integer column refuses.
    void duplicateIsFoundBeforeBadValues_data()
    {
        QTest::addColumn<bool>("batched");
        QTest::newRow("batched") << true;
        QTest::newRow("row by row") << false;
    }
    void duplicateIsFoundBeforeBadValues()
    {
        QFETCH(bool, batched);
        QUILLERY_TEST_DATABASE(db, TestEngine::SQLite, "posts");
        QUILLERY_EXECUTE(db, "insert into posts(topicid,title,roomid) values(1,'one',11)",
                         "insert into posts(topicid,title,roomid) values(2,'two',11)");
        TempAppDir dir;
        dir.write("in/1.htm", postPage("new", "11", "u", "many"));
        dir.write("in/3.htm", postPage("two", "x"));
        dir.write("in/4.htm", postPage("four", "x"));
        ImportTuning tuning;
        tuning.batched = batched;
        RecordingSink sink;
        run(pageSettings(db->connectionString(), dir.file("in")), sink, tuning);
        QCOMPARE(sink.lines.size(), std::size_t(4));
        QCOMPARE(show(sink.lines[0]),
                 show(u("文件<") + dir.file("in/1.htm")
                      + u(">已经存在(可能是topicid或者title),忽略该文件")));
        QCOMPARE(show(sink.lines[1]),
                 show(u("文件<") + dir.file("in/3.htm")
                      + u(">已经存在(可能是topicid或者title),忽略该文件")));
        QVERIFY(sink.lines[2].find(u("失败(hr=")) != std::string::npos);
    }

    void rootRoomOfTheImportFolder()
    {
        TempAppDir dir;
        dir.write("Configs/InitTree.xml", treeConfig("posts"));
        RoomModel rooms;
        QVERIFY(rooms.LoadTreeConfig(dir.file("Configs/InitTree.xml")));
        const TreeItem root = rooms.FindChildItem(nullptr, gbk("甲"));
        QVERIFY(root);
        QCOMPARE(FindImportRootRoom(rooms, gbk("/data/甲")), root);
        QCOMPARE(FindImportRootRoom(rooms, gbk("/data/甲/")), root);
        QCOMPARE(FindImportRootRoom(rooms, gbk("\\data\\甲\\")), root);
        QCOMPARE(FindImportRootRoom(rooms, gbk("/data/甲/乙")), TreeItem(nullptr));
        QCOMPARE(FindImportRootRoom(rooms, gbk("甲")), root);
    }

    // FIFOs, devices and links that lead nowhere are met, counted and reported; the
    // walk never opens them.
    void filesThatAreNoPostFilesAreReported()
    {
        QUILLERY_TEST_DATABASE(db, TestEngine::SQLite, "posts");
        TempAppDir dir;
        dir.write("in/1.htm", postPage("one"));
        QCOMPARE(::mkfifo(dir.file("in/2.htm").c_str(), 0600), 0);
        QVERIFY(QFile::link(QStringLiteral("/dev/null"),
                            dir.qtPath() + QStringLiteral("/in/3.htm")));
        QVERIFY(QFile::link(dir.qtPath() + QStringLiteral("/gone"),
                            dir.qtPath() + QStringLiteral("/in/4.htm")));
        RecordingSink sink;
        run(pageSettings(db->connectionString(), dir.file("in")), sink);
        QCOMPARE(sink.lines.size(), std::size_t(4));
        QCOMPARE(show(sink.lines[0]),
                 show(u("发现文件< ") + dir.file("in/2.htm") + u(" >不是普通文件,忽略这个文件")));
        QCOMPARE(show(sink.lines[1]),
                 show(u("发现文件< ") + dir.file("in/3.htm") + u(" >不是普通文件,忽略这个文件")));
        QCOMPARE(show(sink.lines[2]), show(dir.file("in/4.htm") + u("   文件打开错误(error=2)")));
        QCOMPARE(show(sink.lines[3]), show(u("插入完成: 总文件=4成功插入=1")));
    }

    // Names with line breaks or escape characters stay on one line of their own.
    void controlCharactersAreShownEscaped()
    {
        QUILLERY_TEST_DATABASE(db, TestEngine::SQLite, "posts");
        TempAppDir dir;
        dir.write("in/a\nb.htm", postPage("x"));
        dir.write("in/c\x1b[2Jd.htm", postPage("y"));
        // Unknown placeholders of a broken conversion file: a few boxes, then a count.
        std::string conversion;
        for (int i = 0; i < 20; ++i)
            conversion += std::to_string(i) + "<|\x1b[31mroom" + std::to_string(i) + "|\r\n";
        dir.write("RoomID-Name.txt", conversion);
        RecordingSink sink;
        ImportSettings settings = pageSettings(db->connectionString(), dir.file("in"));
        settings.topicidMode = TopicidMode::FileName;
        run(settings, sink);
        QCOMPARE(sink.lines.size(), std::size_t(3));
        QCOMPARE(show(sink.lines[0]), show(u("文件名为< a\\nb >不是数字的没法入库,忽略")));
        QCOMPARE(show(sink.lines[1]), show(u("文件名为< c\\x1b[2Jd >不是数字的没法入库,忽略")));
        QCOMPARE(show(sink.statuses.front()), show(dir.file("in/") + "a\\nb.htm"));
        QCOMPARE(sink.boxes.size(), std::size_t(6));
        QCOMPARE(show(sink.boxes[0]), QStringLiteral("|\\x1b[31mroom0|"));
        QCOMPARE(show(sink.boxes[5]), show(u("另有15个无法识别的占位符没有一一显示")));
    }

    // A thread of the run that cannot start (the counting one, the reading one) fails the
    // run with a message box; nothing is read, and the next run goes as usual.
    void threadThatCannotStartFailsTheRun_data()
    {
        QTest::addColumn<bool>("countAhead");
        QTest::addColumn<bool>("pipelined");
        QTest::newRow("counting thread") << true << false;
        QTest::newRow("reading thread") << false << true;
    }
    void threadThatCannotStartFailsTheRun()
    {
        QFETCH(bool, countAhead);
        QFETCH(bool, pipelined);
        QUILLERY_TEST_DATABASE(db, TestEngine::SQLite, "posts");
        TempAppDir dir;
        dir.write("in/1.htm", postPage("one"));
        ImportTuning tuning;
        tuning.countAhead = countAhead;
        tuning.pipelined = pipelined;
        RecordingSink sink;
        ImportOutcome outcome = ImportOutcome::Completed;
        {
            const ThreadsCannotStart noThreads;
            outcome = run(pageSettings(db->connectionString(), dir.file("in")), sink, tuning);
        }
        QVERIFY(outcome != ImportOutcome::Completed && outcome != ImportOutcome::Aborted);
        QVERIFY(sink.lines.empty());
        QCOMPARE(sink.boxes.size(), std::size_t(1));
        QVERIFY2(startsWith(sink.boxes[0], u("无法启动导入所需的线程(")),
                 qPrintable(show(sink.boxes[0])));
        QCOMPARE(countPosts(db->connectionString(), "posts"), 0ll);

        RecordingSink again;
        QCOMPARE(run(pageSettings(db->connectionString(), dir.file("in")), again, tuning),
                 ImportOutcome::Completed);
        QCOMPARE(again.lines, std::vector<std::string> {u("插入完成: 总文件=1成功插入=1")});
    }

    // A file larger than the memory the reader may take is that file's open error.
    void fileTooLargeToHoldIsAnOpenError()
    {
        QTemporaryDir shm(QStringLiteral("/dev/shm/quillery-XXXXXX"));
        if (!shm.isValid())
            QSKIP("needs /dev/shm");
        QUILLERY_TEST_DATABASE(db, TestEngine::SQLite, "posts");
        TempAppDir dir;
        writeBytes(shm.path() + QStringLiteral("/in/1.htm"), postPage("small"));
        const std::string huge =
                QFile::encodeName(shm.path() + QStringLiteral("/in/2.htm")).toStdString();
        const int fd = ::open(huge.c_str(), O_WRONLY | O_CREAT, 0600);
        QVERIFY(fd >= 0);
        const bool sized = ::ftruncate(fd, off_t(1) << 62) == 0;
        ::close(fd);
        if (!sized)
            QSKIP("this file system cannot hold a sparse file of 4 EiB");
        RecordingSink sink;
        run(pageSettings(db->connectionString(),
                         FileSystem::fromQtPath(shm.path() + QStringLiteral("/in"))),
            sink);
        QCOMPARE(sink.lines.size(), std::size_t(2));
        QVERIFY2(sink.lines[0].find(u("   文件打开错误(error=")) != std::string::npos,
                 qPrintable(show(sink.lines[0])));
        QCOMPARE(sink.lines[1], u("插入完成: 总文件=2成功插入=1"));
    }
};

QUILLERY_REGISTER_TEST(TestImportFaults)
#include "tst_ImportFaults.moc"
