#include "ImportTestHelpers.h"
#include "TestDatabase.h"
#include "TestRegistry.h"

#include "browser/db/DbError.h"
#include "browser/import/ImportTexts.h"
#include "common/FileSystem.h"

Q_DECLARE_METATYPE(TestEngine)

namespace {

void addEngines()
{
    QTest::addColumn<TestEngine>("engine");
    QTest::newRow("sqlite") << TestEngine::SQLite;
    QTest::newRow("postgresql") << TestEngine::PostgreSQL;
}

long mismatchCode(TestEngine engine)
{
    return engine == TestEngine::SQLite
            ? MakeDbErrorCode(DbEngine::SQLite, 20)
            : MakeDbErrorCode(DbEngine::PostgreSQL, SqlStateNumber("22P02"));
}

std::string u(const char *utf8)
{
    return Gbk::literal(utf8);
}

ImportOutcome runImport(ImportSettings settings, RecordingSink &sink, RoomModel *rooms = nullptr,
                        ImportTuning tuning = ImportTuning(), TreeItem root = nullptr,
                        ImportRun **runOut = nullptr)
{
    CAdoManager ado;
    ImportRun run(rooms, sink);
    run.SetTuning(tuning);
    if (runOut)
        *runOut = &run;
    const ImportOutcome outcome = run.RunImport(settings, ado, root);
    ado.CloseAdoConnection();
    return outcome;
}

} // namespace

class TestImportRun : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void fieldsLinesAndHostileFiles_data() { addEngines(); }
    void fieldsLinesAndHostileFiles()
    {
        QFETCH(TestEngine, engine);
        QUILLERY_TEST_DATABASE(db, engine, "posts");
        TempAppDir dir;
        const std::string in = dir.file("in") + "/";
        dir.write("in/.htm", postPage("dot"));
        dir.write("in/00006.htm", postPage("six"));
        dir.write("in/1.htm", postPage(gbk("First 标题")));
        dir.write("in/10.htm", std::string("\x89PNG\r\n\x1a\n\0\0\x01\xff", 12));
        dir.write("in/11.htm", postPage("\xe6\xa0\x87\xe9\xa2\x98")); // UTF-8 bytes, not GBK
        dir.write("in/2.htm", postPage("It's", "11", "o'brien", " 4 ", "2001'x"));
        dir.write("in/3.htm",
                  postPage("x'); drop table posts; --", "11", "'; delete from posts; --", "-2",
                           "'||(select 1)||'"));
        dir.write("in/4.htm", postPage("t4", "11", "user", "1; delete from posts"));
        dir.write("in/5.htm", postPage("t5", "11 or 1=1"));
        dir.write("in/7.htm", "<room>11</room>");
        dir.write("in/8.htm", std::string("<room>11</room>\0<title>t</title>", 32));
        dir.write("in/9.htm", "");
        dir.write("in/abc.htm", postPage("abc"));
        dir.write("in/sub/13.htm", postPage("thirteen", "12"));

        RecordingSink sink;
        QCOMPARE(runImport(pageSettings(db->connectionString(), in), sink),
                 ImportOutcome::Completed);
        const std::string code = std::to_string(mismatchCode(engine));
        const std::vector<std::string> expected {
                "insert into posts(topicid,title,roomid,username,createtime,reply) "
                "values(,'dot',11,'user','2001-02-03 04:05:06',3)"
                        + u("失败(hr=") + code + ")",
                u("发现文件< 10.htm >没有找到相应的roomid,忽略这个文件"),
                "insert into posts(topicid,title,roomid,username,createtime,reply) "
                "values(4,'t4',11,'user','2001-02-03 04:05:06',1; delete from posts)"
                        + u("失败(hr=") + code + ")",
                "insert into posts(topicid,title,roomid,username,createtime,reply) "
                "values(5,'t5',11 or 1=1,'user','2001-02-03 04:05:06',3)"
                        + u("失败(hr=") + code + ")",
                u("发现文件< 7.htm >没有找到相应的Title,忽略这个文件"),
                u("发现文件< 8.htm >没有找到相应的Title,忽略这个文件"),
                u("发现文件< 9.htm >没有找到相应的roomid,忽略这个文件"),
                u("文件名为< abc >不是数字的没法入库,忽略"),
                u("插入完成: 总文件=14成功插入=6"),
        };
        QCOMPARE(shown(sink.lines), shown(expected));
        QCOMPARE(sink.statuses.size(), std::size_t(14));
        QCOMPARE(sink.statuses.front(), in + ".htm");
        QCOMPARE(sink.statuses.back(), in + "sub/13.htm");
        QVERIFY(sink.boxes.empty());

        const std::vector<PostRow> rows = readPosts(db->connectionString(), "posts");
        QCOMPARE(rows.size(), std::size_t(6));
        QCOMPARE(rows[0],
                 (PostRow {"1", gbk("First 标题"), "11", "user", "3", "2001-02-03 04:05:06"}));
        QCOMPARE(rows[1], (PostRow {"2", "It's", "11", "o'brien", "4", "2001'x"}));
        QCOMPARE(rows[2],
                 (PostRow {"3", "x'); drop table posts; --", "11", "'; delete from posts; --", "-2",
                           "'||(select 1)||'"}));
        QCOMPARE(rows[3].topicid, std::string("6"));
        QCOMPARE(rows[4].topicid, std::string("11"));
        QCOMPARE(rows[5].title, std::string("thirteen"));
        QCOMPARE(rows[5].roomid, std::string("12"));
    }

    void duplicatesAndChecksOff_data() { addEngines(); }
    void duplicatesAndChecksOff()
    {
        QFETCH(TestEngine, engine);
        QUILLERY_TEST_DATABASE(db, engine, "posts");
        TempAppDir dir;
        const std::string in = dir.file("in") + "/";
        dir.write("in/1.htm", postPage("A"));
        dir.write("in/2.htm", postPage("B"));
        dir.write("in/3.htm", postPage("A"));
        const std::string duplicate = u("已经存在(可能是topicid或者title),忽略该文件");

        RecordingSink first;
        runImport(pageSettings(db->connectionString(), in), first);
        QCOMPARE(
                shown(first.lines),
                shown({u("文件<") + in + "3.htm>" + duplicate, u("插入完成: 总文件=3成功插入=2")}));

        RecordingSink second;
        runImport(pageSettings(db->connectionString(), in), second);
        QCOMPARE(second.lines.size(), std::size_t(4));
        QCOMPARE(second.lines[0], u("文件<") + in + "1.htm>" + duplicate);
        QCOMPARE(second.lines[3], u("插入完成: 总文件=3成功插入=0"));

        // Without checks the key refuses the copies; the third file goes in.
        ImportSettings settings = pageSettings(db->connectionString(), in);
        settings.checkTopicid = settings.checkTitle = false;
        RecordingSink third;
        CAdoManager ado;
        ImportRun run(nullptr, third);
        run.RunImport(settings, ado);
        QCOMPARE(third.lines.size(), std::size_t(3));
        QVERIFY(third.lines[0].rfind("insert into posts(topicid,title,roomid,username,createtime,"
                                     "reply) values(1,'A',11,'user','2001-02-03 04:05:06',3)"
                                             + u("失败(hr=-"),
                                     0)
                == 0);
        QVERIFY(third.lines[1].find("values(2,'B'") != std::string::npos);
        QCOMPARE(third.lines[2], u("插入完成: 总文件=3成功插入=1"));
        QCOMPARE(run.ReplayedBatches(), std::uint64_t(1));
        QCOMPARE(countPosts(db->connectionString(), "posts"), 3ll);
    }

    // The batches must give exactly the lines, counters and rows of the row-by-row run,
    // also when a batch fails and is replayed.
    void batchesGiveTheRowByRowResult_data()
    {
        QTest::addColumn<TestEngine>("engine");
        QTest::addColumn<int>("scenario");
        for (int scenario = 0; scenario < 5; ++scenario) {
            QTest::addRow("sqlite %d", scenario) << TestEngine::SQLite << scenario;
            QTest::addRow("postgresql %d", scenario) << TestEngine::PostgreSQL << scenario;
        }
    }
    void batchesGiveTheRowByRowResult()
    {
        QFETCH(TestEngine, engine);
        QFETCH(int, scenario);
        TempAppDir dir;
        const std::string in = dir.file("in") + "/";
        for (int i = 1; i <= 60; ++i) {
            const std::string title = "t" + std::to_string(i % 23);
            dir.write("in/" + std::to_string(i % 3) + "/" + std::to_string(i) + ".htm",
                      postPage(title, i % 17 == 0 ? "x" : "11", "u", i % 13 == 0 ? "r" : "1"));
        }
        std::vector<std::vector<std::string>> lines;
        std::vector<std::vector<PostRow>> rows;
        std::vector<std::int32_t> counters;
        for (const bool batched : {true, false}) {
            QUILLERY_TEST_DATABASE(db, engine, "posts");
            // Rows already there: the first ten files, and a title of an unrelated post.
            QUILLERY_EXECUTE(db, "insert into posts(topicid,title,roomid) values(3,'t3',1)",
                             "insert into posts(topicid,title,roomid) values(10007,'t7',1)");
            ImportSettings settings = pageSettings(db->connectionString(), in);
            settings.checkTopicid = scenario != 1 && scenario != 2;
            settings.checkTitle = scenario != 2 && scenario != 3;
            if (scenario == 4) {
                settings.topicidMode = TopicidMode::AutoGrow;
                settings.autoGrowStart = 10000;
            }
            if (scenario == 2) // without checks the title index refuses copies
                QUILLERY_EXECUTE(db, "create unique index posts_unique_title on posts(title)");
            ImportTuning tuning;
            tuning.batched = batched;
            tuning.maxBatchRows = 7; // several batches, some of them failing
            RecordingSink sink;
            CAdoManager ado;
            ImportRun run(nullptr, sink);
            run.SetTuning(tuning);
            run.RunImport(settings, ado);
            ado.CloseAdoConnection();
            lines.push_back(sink.lines);
            rows.push_back(readPosts(db->connectionString(), "posts"));
            counters.push_back(settings.autoGrowStart);
            QCOMPARE(long(rows.back().size()) - 2, run.Progress().insertedFiles.load());
            // Every file met ends up either inserted or skipped.
            QCOMPARE(run.Progress().insertedFiles + run.Progress().skippedFiles,
                     run.Progress().totalFiles.load());
        }
        QCOMPARE(shown(lines[0]), shown(lines[1]));
        QVERIFY(rows[0] == rows[1]);
        QCOMPARE(counters[0], counters[1]);
    }

    void everyRoomidMode_data() { addEngines(); }
    void everyRoomidMode()
    {
        QFETCH(TestEngine, engine);
        QUILLERY_TEST_DATABASE(db, engine, "posts");
        TempAppDir dir;
        dir.write("Configs/InitTree.xml", treeConfig("posts"));
        RoomModel rooms;
        QVERIFY(rooms.LoadTreeConfig(dir.file("Configs/InitTree.xml")));
        const std::string root = dir.file(gbk("甲")) + "/";
        dir.write(gbk("甲/1.htm"), postPage("one"));
        dir.write(gbk("甲/乙/2.htm"), postPage("two"));
        dir.write(gbk("甲/其他/3.htm"), postPage("three"));
        dir.write(gbk("甲/丙/4.htm"), postPage("four"));
        dir.write("RoomID-Name.txt", gbk("11<房间乙\r\n?12<房间丙\r\n"));

        ImportSettings settings = pageSettings(db->connectionString(), root);
        settings.roomidMode = RoomidMode::FolderIsRoomname;
        const TreeItem rootItem = FindImportRootRoom(rooms, settings.importDirectory);
        QVERIFY(rootItem);
        RecordingSink sink;
        runImport(settings, sink, &rooms, ImportTuning(), rootItem);
        QCOMPARE(sink.lines.back(), u("插入完成: 总文件=3成功插入=3"));
        std::vector<PostRow> rows = readPosts(db->connectionString(), "posts");
        QCOMPARE(rows.size(), std::size_t(3));
        QCOMPARE(rows[0].roomid, std::string("1"));
        QCOMPARE(rows[1].roomid, std::string("11"));
        QCOMPARE(rows[2].roomid, std::string("12"));

        QUILLERY_EXECUTE(db, "delete from posts");
        dir.write("conv/5.htm", postPage(gbk("五"), gbk("房间乙")));
        dir.write("conv/6.htm", postPage(gbk("六"), gbk("房间丙")));
        settings = pageSettings(db->connectionString(), dir.file("conv"));
        settings.roomidMode = RoomidMode::ConvertedName;
        RecordingSink converted;
        runImport(settings, converted);
        QCOMPARE(shown(converted.lines),
                 shown({u("发现文件< 6.htm >没有找到相应的roomid,忽略这个文件"),
                        u("插入完成: 总文件=2成功插入=1")}));

        settings.roomidMode = RoomidMode::StartMarkerValue;
        settings.roomid = {"12", ""};
        settings.checkTopicid = settings.checkTitle = false;
        QUILLERY_EXECUTE(db, "delete from posts");
        RecordingSink fixed;
        runImport(settings, fixed);
        rows = readPosts(db->connectionString(), "posts");
        QCOMPARE(rows.size(), std::size_t(2));
        QCOMPARE(rows[0].roomid, std::string("12"));

        QUILLERY_EXECUTE(db, "delete from posts");
        dir.write("byid/21/7.htm", postPage("seven"));
        settings = pageSettings(db->connectionString(), dir.file("byid"));
        settings.roomidMode = RoomidMode::FolderIsRoomid;
        RecordingSink byFolder;
        runImport(settings, byFolder);
        rows = readPosts(db->connectionString(), "posts");
        QCOMPARE(rows.size(), std::size_t(1));
        QCOMPARE(rows[0].roomid, std::string("21"));
    }

    void autoGrowAndNextTopicid_data() { addEngines(); }
    void autoGrowAndNextTopicid()
    {
        QFETCH(TestEngine, engine);
        QUILLERY_TEST_DATABASE(db, engine, "posts");
        TempAppDir dir;
        dir.write("in/a.htm", postPage("a"));
        dir.write("in/b.htm", postPage("b", "bad"));
        dir.write("in/c.htm", postPage("a"));
        dir.write("in/d.htm", postPage("d"));
        RecordingSink sink;
        CAdoManager ado;
        const auto next = [&](const std::string &table,
                              const std::string &connection = std::string()) {
            ImportSettings search = DefaultImportSettings();
            search.connectionString = connection.empty() ? db->connectionString() : connection;
            search.table = table;
            return FindNextTopicid(ado, search, sink);
        };
        QCOMPARE(next("posts"), 1u);

        ImportSettings settings = pageSettings(db->connectionString(), dir.file("in"));
        settings.topicidMode = TopicidMode::AutoGrow;
        settings.autoGrowStart = 41;
        {
            ImportRun run(nullptr, sink);
            run.RunImport(settings, ado); // hands the counter back, as to the page
            ado.CloseAdoConnection();
        }
        // A failed and a duplicate file do not use up a number.
        QCOMPARE(settings.autoGrowStart, 43);
        QCOMPARE(sink.lines[0].find("values(42,'b',bad,") != std::string::npos, true);
        const std::vector<PostRow> rows = readPosts(db->connectionString(), "posts");
        QCOMPARE(rows.size(), std::size_t(2));
        QCOMPARE(rows[0], (PostRow {"41", "a", "11", "user", "3", "2001-02-03 04:05:06"}));
        QCOMPARE(rows[1].topicid, std::string("42"));
        QCOMPARE(rows[1].title, std::string("d"));
        QCOMPARE(next("posts"), 43u);
        QVERIFY(sink.boxes.empty());

        QUILLERY_EXECUTE(db, "insert into posts(topicid,title,roomid) values(4294967295,'max',1)");
        QCOMPARE(next("posts"), 0u);
        QCOMPARE(sink.boxes.size(), std::size_t(1));
        QCOMPARE(sink.boxes[0],
                 u("查找最大topicid发生错误, "
                   "请检查“导入到的表中”字段中填入的表名称(posts)是否存在?"));
        QCOMPARE(next("nosuch"), 0u);
        QCOMPARE(next("posts;drop"), 0u);
        QCOMPARE(sink.boxes.size(), std::size_t(3));
        QCOMPARE(next("posts", "Provider=SQLite;Data Source=/nonexistent/x.db"), 0u);
        QCOMPARE(sink.boxes.back(), u("打开数据库连接错误,请检查连接字符串填写是否正确?"));
        ado.CloseAdoConnection();
    }

    void abortKeepsWhatWasInserted_data() { addEngines(); }
    void abortKeepsWhatWasInserted()
    {
        QFETCH(TestEngine, engine);
        QUILLERY_TEST_DATABASE(db, engine, "posts");
        TempAppDir dir;
        for (int i = 1; i <= 3000; ++i)
            dir.write("in/" + std::to_string(i % 10) + "/" + std::to_string(i) + ".htm",
                      postPage("t" + std::to_string(i)));
        RecordingSink sink;
        CAdoManager ado;
        ImportRun run(nullptr, sink);
        sink.onStatus = [&](std::size_t count) {
            if (count == 1200)
                run.AbortImport();
        };
        ImportSettings settings = pageSettings(db->connectionString(), dir.file("in"));
        QCOMPARE(run.RunImport(settings, ado), ImportOutcome::Aborted);
        ado.CloseAdoConnection();
        QVERIFY(run.KeepRunning()); // set again for the next run
        const long inserted = run.Progress().insertedFiles.load();
        QCOMPARE(sink.lines.back(), u("插入完成: 总文件=1200成功插入=") + std::to_string(inserted));
        QCOMPARE(inserted, 1200L);
        QCOMPARE(countPosts(db->connectionString(), "posts"), 1200ll);
    }

    void databaseAndTableFailures()
    {
        TempAppDir dir;
        RecordingSink sink;
        ImportSettings settings = pageSettings("Provider=PostgreSQL;Host=" + dir.path()
                                                       + ";Port=1;Password=secret;User ID=x",
                                               dir.file("in"));
        QCOMPARE(runImport(settings, sink), ImportOutcome::ConnectionFailed);
        QVERIFY(sink.lines.empty());
        QCOMPARE(sink.boxes.size(), std::size_t(1));
        QVERIFY(sink.boxes[0].rfind(u("导入数据打开数据库连接错误,请检查连接字符串填写是否正确?"
                                      "连接字符串如下:\r\n"),
                                    0)
                == 0);
        QVERIFY(sink.boxes[0].find("secret") == std::string::npos);
        QVERIFY(sink.boxes[0].find("***") != std::string::npos);
        // The database's own reason goes with it, password masked there too.
        QVERIFY2(sink.boxDetails[0].find("No such file or directory") != std::string::npos,
                 sink.boxDetails[0].c_str());
        QVERIFY(sink.boxDetails[0].find("secret") == std::string::npos);
        QVERIFY(sink.boxDetails[0].find("***") != std::string::npos);

        QUILLERY_TEST_DATABASE(db, TestEngine::SQLite, "posts");
        RecordingSink tables;
        settings = pageSettings(db->connectionString(), dir.file("in"), "nosuch");
        QCOMPARE(runImport(settings, tables), ImportOutcome::TableFailed);
        QVERIFY(tables.lines.empty());
        QVERIFY(tables.boxes[0].rfind(u("获取表nosuch属性发生错误[-"), 0) == 0);
        QVERIFY(tables.boxes[0].find(u("],可能输入的表名不存在")) != std::string::npos);
        settings.table = "posts where 1=1;";
        QCOMPARE(runImport(settings, tables), ImportOutcome::TableFailed);
        QCOMPARE(tables.boxes[1], u("获取表posts where 1=1;属性发生错误[87],可能输入的表名不存在"));
    }

    void missingTablesAreNamedAsTheDatabaseLooksThemUp_data() { addEngines(); }
    void missingTablesAreNamedAsTheDatabaseLooksThemUp()
    {
        QFETCH(TestEngine, engine);
        QUILLERY_TEST_DATABASE(db, engine, "posts");
        const bool postgres = engine == TestEngine::PostgreSQL;
        // Made with quotes and capitals, as graphical tools make tables: another name there.
        QUILLERY_EXECUTE(db,
                         "create table \"MixedCase\" (topicid bigint, title text, roomid bigint)");
        TempAppDir dir;
        RecordingSink sink;
        ImportSettings settings = pageSettings(db->connectionString(), dir.file("in"), "NoSuch");
        QCOMPARE(runImport(settings, sink), ImportOutcome::TableFailed);
        const std::string named = postgres ? "nosuch" : "NoSuch";
        QVERIFY2(sink.boxes[0].rfind(u("获取表") + named + u("属性发生错误[-"), 0) == 0,
                 sink.boxes[0].c_str());
        QVERIFY2(sink.boxDetails[0].find(postgres ? "relation \"nosuch\" does not exist"
                                                  : "no such table: NoSuch")
                         != std::string::npos,
                 sink.boxDetails[0].c_str());
        settings.table = "MixedCase";
        QCOMPARE(runImport(settings, sink),
                 postgres ? ImportOutcome::TableFailed : ImportOutcome::Completed);
        if (postgres)
            QVERIFY(sink.boxes[1].rfind(u("获取表mixedcase属性发生错误[-"), 0) == 0);

        CAdoManager ado;
        ImportSettings search = DefaultImportSettings();
        search.connectionString = db->connectionString();
        search.table = "NoSuch";
        QCOMPARE(FindNextTopicid(ado, search, sink), 0u);
        QCOMPARE(sink.boxes.back(),
                 u("查找最大topicid发生错误, 请检查“导入到的表中”字段中填入的表名称(") + named
                         + u(")是否存在?"));
        QVERIFY(!sink.boxDetails.back().empty());
    }

    void longTitlesAndWhyAnInsertFailed_data() { addEngines(); }
    void longTitlesAndWhyAnInsertFailed()
    {
        QFETCH(TestEngine, engine);
        const bool postgres = engine == TestEngine::PostgreSQL;
        TempAppDir dir;
        const std::string in = dir.file("in") + "/";
        const std::string title = Gbk::fromQString(chineseTitle(1500));
        const std::string longer = Gbk::fromQString(chineseTitle(2500));
        dir.write("in/1.htm", postPage(title));
        dir.write("in/2.htm", postPage(longer));
        dir.write("refused/2.htm", postPage(longer));
        {
            // The post table as the README makes it stores them.
            QUILLERY_TEST_DATABASE(db, engine, "posts");
            RecordingSink sink;
            runImport(pageSettings(db->connectionString(), in), sink);
            QCOMPARE(shown(sink.lines), shown({u("插入完成: 总文件=2成功插入=2")}));
            const std::vector<PostRow> rows = readPosts(db->connectionString(), "posts");
            QCOMPARE(rows.size(), std::size_t(2));
            QVERIFY(rows[0].title == title && rows[1].title == longer);
        }
        // A table that refuses the second post: the line says why in the database's own
        // words; the 5,000-byte statement gives way so that the reason fits the line.
        QUILLERY_TEST_DATABASE(db, engine, "posts");
        std::string reason;
        if (postgres) {
            QUILLERY_EXECUTE(db, "create index posts_title_btree on posts (title)");
            reason = "index row size";
        } else {
            QUILLERY_EXECUTE(db, "create unique index posts_unique_title on posts(title)",
                             "insert into posts(topicid,title,roomid) values(9,'" + longer
                                     + "',11)");
            reason = "UNIQUE constraint failed: posts.title";
        }
        RecordingSink sink;
        ImportSettings settings = pageSettings(db->connectionString(), dir.file("refused"));
        settings.checkTitle = false;
        runImport(settings, sink);
        QCOMPARE(sink.lines.size(), std::size_t(2));
        const std::string &line = sink.lines[0];
        QVERIFY(line.size() <= 4095);
        QVERIFY(line.rfind("insert into posts(topicid,title,roomid,username,createtime,reply) "
                           "values(2,'",
                           0)
                == 0);
        QVERIFY2(line.find(u("失败(hr=-")) != std::string::npos, line.c_str());
        QVERIFY2(line.find(reason) != std::string::npos, line.c_str());
        QVERIFY(line.find('\n') == std::string::npos && line.find('\r') == std::string::npos);
        QCOMPARE(sink.lines[1], u("插入完成: 总文件=1成功插入=0"));
    }

    void missingFolderStillEndsWithTheSummary()
    {
        QUILLERY_TEST_DATABASE(db, TestEngine::SQLite, "posts");
        TempAppDir dir;
        RecordingSink sink;
        runImport(pageSettings(db->connectionString(), dir.file("nowhere")), sink);
        QCOMPARE(sink.lines.size(), std::size_t(2));
        QVERIFY(sink.lines[0].rfind(u("目录< ") + dir.file("nowhere") + "/ >", 0) == 0);
        QCOMPARE(sink.lines[1], u("插入完成: 总文件=0成功插入=0"));
    }

    void pathCheckAndPlaceholders()
    {
        QUILLERY_TEST_DATABASE(db, TestEngine::SQLite, "posts");
        TempAppDir dir;
        dir.write("Configs/InitTree.xml", treeConfig("posts"));
        RoomModel rooms;
        QVERIFY(rooms.LoadTreeConfig(dir.file("Configs/InitTree.xml")));
        dir.write("in/11/1.htm", postPage("one"));
        dir.write("in/wrong/5.htm", postPage("five"));
        ImportSettings settings = pageSettings(db->connectionString(), dir.file("in"));
        settings.pathCheck = true;
        RecordingSink sink;
        runImport(settings, sink, &rooms);
        QCOMPARE(shown(sink.lines),
                 shown({u("警告:帖子(5)由程序构造的路径(") + dir.file("in/11/5.htm")
                                + u(")和实际磁盘上的路径(") + dir.file("in/wrong/5.htm")
                                + u(")不一致,帖子可能不能显示"),
                        u("插入完成: 总文件=2成功插入=2")}));

        // The same check in auto-grow mode, where the number comes at insert time.
        QUILLERY_EXECUTE(db, "delete from posts");
        settings.topicidMode = TopicidMode::AutoGrow;
        settings.autoGrowStart = 1;
        RecordingSink numbered;
        runImport(settings, numbered, &rooms);
        QCOMPARE(numbered.lines.size(), std::size_t(2));
        QVERIFY(numbered.lines[0].find(dir.file("in/11/2.htm")) != std::string::npos);

        TempAppDir other;
        other.write("Configs/InitTree.xml",
                    treeConfig("posts", "|APP_PATH|\\in\\|BOGUS|\\|ID|.htm"));
        RoomModel bogus;
        QVERIFY(bogus.LoadTreeConfig(other.file("Configs/InitTree.xml")));
        for (int i = 1; i <= 5; ++i)
            other.write("in/" + std::to_string(i) + ".htm", postPage("p" + std::to_string(i)));
        QUILLERY_EXECUTE(db, "delete from posts");
        settings = pageSettings(db->connectionString(), other.file("in"));
        settings.pathCheck = true;
        RecordingSink placeholders;
        runImport(settings, placeholders, &bogus);
        QCOMPARE(placeholders.boxes, std::vector<std::string> {"|BOGUS|"});
        QCOMPARE(placeholders.lines.size(), std::size_t(6));
    }

    void tableWithoutOptionalColumns_data() { addEngines(); }
    void tableWithoutOptionalColumns()
    {
        QFETCH(TestEngine, engine);
        QUILLERY_TEST_DATABASE(db, engine, "posts");
        QUILLERY_EXECUTE(db,
                         "create table thin (topicid bigint primary key, title text, roomid text)");
        TempAppDir dir;
        dir.write("in/1.htm", postPage("It's", "O'Room"));
        RecordingSink sink;
        ImportSettings settings = pageSettings(db->connectionString(), dir.file("in"), "thin");
        CAdoManager ado;
        ImportRun run(nullptr, sink);
        run.RunImport(settings, ado);
        ado.CloseAdoConnection();
        QVERIFY(!run.Columns().hasUsername && !run.Columns().hasReply);
        QVERIFY(!run.Columns().roomidIsNumeric);
        QCOMPARE(sink.lines.back(), u("插入完成: 总文件=1成功插入=1"));
        CAdoManager reader;
        QCOMPARE(reader.OpenAdoConnection(db->connectionString()), 0L);
        std::unique_ptr<CAdoRecordset> rows;
        QCOMPARE(reader.ExecuteSql("select roomid, title from thin", rows, 1), 0L);
        QCOMPARE(rows->Value(0).Text(), std::string("o'room")); // from the search text
        QCOMPARE(rows->Value(1).Text(), std::string("It's"));
        rows.reset();
        reader.CloseAdoConnection();
    }

    void aFiftyMegabyteFile()
    {
        QUILLERY_TEST_DATABASE(db, TestEngine::SQLite, "posts");
        TempAppDir dir;
        std::string big = postPage("big");
        big.append(50u << 20, 'x');
        dir.write("in/1.htm", big);
        RecordingSink sink;
        runImport(pageSettings(db->connectionString(), dir.file("in")), sink);
        QCOMPARE(sink.lines.back(), u("插入完成: 总文件=1成功插入=1"));
    }
};

QUILLERY_REGISTER_TEST(TestImportRun)
#include "tst_ImportRun.moc"
