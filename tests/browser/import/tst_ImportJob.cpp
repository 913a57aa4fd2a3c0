#include "ImportTestHelpers.h"
#include "TestDatabase.h"
#include "TestRegistry.h"

#include "browser/db/EmbeddedDatabase.h"
#include "browser/import/ImportJob.h"
#include "browser/import/ImportTexts.h"

#include <QDeadlineTimer>

#include <atomic>

namespace {

// What a job's end hands over, from the run's thread.
struct Ended
{
    std::atomic<int> calls {0};
    std::atomic<ImportOutcome> outcome {ImportOutcome::Failed};
    std::atomic<std::int32_t> autoGrowNext {0};

    ImportJob::EndedHandler handler()
    {
        return [this](ImportOutcome runOutcome, std::int32_t next) {
            outcome = runOutcome;
            autoGrowNext = next;
            ++calls;
        };
    }
};

} // namespace

class TestImportJob : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // The job runs on a copy: the caller's settings keep their markers, their connection
    // text and their counter. The connection string is expanded once for the search of the
    // next topicid and the run together: one box for its unknown placeholder, and "||"
    // stays one bar.
    void leavesTheCallersSettingsAndExpandsOnce()
    {
        TempAppDir dir;
        const std::string database = dir.path() + "/a|b.db";
        std::string why;
        QCOMPARE(EnsureEmbeddedDatabase("Provider=SQLite;Data Source=" + database, {"posts"}, why),
                 0L);
        dir.write("in/1.htm", postPage("one"));
        dir.write("in/2.htm", postPage("two"));
        ImportSettings settings =
                pageSettings("Provider=SQLite;Data Source=" + dir.path() + "/a||b.db|NOSUCH|",
                             dir.file("in") + "/");
        settings.connectionExpanded = false;
        settings.title = {"<TITLE>", "</TITLE>"};
        settings.topicidMode = TopicidMode::AutoGrow;
        settings.autoGrowStart = 7;
        const ImportSettings before = settings;

        RecordingSink sink;
        ImportJob job(nullptr, sink);
        QVERIFY(!job.Prepare(settings));
        QCOMPARE(sink.boxes, std::vector<std::string> {"|NOSUCH|"});
        QCOMPARE(job.settings().connectionString, "Provider=SQLite;Data Source=" + database);
        QCOMPARE(job.settings().title.start, std::string("<title>"));
        QVERIFY(job.NumberFromNextTopicid());
        QCOMPARE(job.settings().autoGrowStart, 1);

        Ended ended;
        QVERIFY(job.Start(ended.handler(), why));
        QVERIFY(job.Started());
        job.Wait();
        QVERIFY(!job.Started());
        QCOMPARE(ended.calls.load(), 1);
        QCOMPARE(ended.outcome.load(), ImportOutcome::Completed);
        QCOMPARE(ended.autoGrowNext.load(), 3);
        QCOMPARE(countPosts("Provider=SQLite;Data Source=" + database, "posts"), 2LL);
        QCOMPARE(sink.boxes.size(), std::size_t(1));
        QCOMPARE(sink.lines.back(), Gbk::literal("插入完成: 总文件=2成功插入=2"));

        QCOMPARE(settings.connectionString, before.connectionString);
        QCOMPARE(settings.connectionExpanded, false);
        QCOMPARE(settings.title.start, std::string("<TITLE>"));
        QCOMPARE(settings.autoGrowStart, 7);
    }

    // What stops a run stops it before anything starts: settings that lack a field, a
    // folder that names no top-level room for roomid mode 3.
    void problemsStopItBeforeItStarts()
    {
        TempAppDir dir;
        RecordingSink sink;
        ImportJob job(nullptr, sink);
        ImportSettings settings = pageSettings("Provider=SQLite;Data Source=x.db", dir.path());
        settings.table.clear();
        auto problem = job.Prepare(settings);
        QVERIFY(problem);
        QCOMPARE(problem->page, 2);
        QVERIFY(problem->text.find(Gbk::literal(ImportText::NeedTable)) != std::string::npos);

        dir.write("Configs/tree.xml", treeConfig("posts"));
        RoomModel rooms;
        QVERIFY(rooms.LoadTreeConfig(dir.file("Configs/tree.xml")));
        ImportJob roomJob(&rooms, sink);
        settings = pageSettings("Provider=SQLite;Data Source=x.db", dir.file("in/other"));
        settings.roomidMode = RoomidMode::FolderIsRoomname;
        problem = roomJob.Prepare(settings);
        QVERIFY(problem);
        QCOMPARE(problem->text, Gbk::literal(ImportText::NoRootRoomForFolder));
        settings.importDirectory = dir.file("in") + gbk("/甲/");
        QVERIFY(!roomJob.Prepare(settings));
        QVERIFY(!roomJob.Started());
        QVERIFY(sink.boxes.empty());
    }

    // A job that goes while its run is on aborts it and waits for its end: the end is
    // handed over once, and the rows it reports are committed.
    void goingAwayAbortsAndWaits()
    {
        TempAppDir dir;
        const std::string connection = "Provider=SQLite;Data Source=" + dir.path() + "/j.db";
        std::string why;
        QCOMPARE(EnsureEmbeddedDatabase(connection, {"posts"}, why), 0L);
        for (int i = 1; i <= 3000; ++i)
            dir.write("in/" + std::to_string(i) + ".htm", postPage("t" + std::to_string(i)));
        RecordingSink sink;
        Ended ended;
        {
            ImportJob job(nullptr, sink);
            QVERIFY(!job.Prepare(pageSettings(connection, dir.file("in") + "/")));
            QVERIFY(job.Start(ended.handler(), why));
            const QDeadlineTimer deadline(10000);
            while (job.Progress().totalFiles.load() < 10 && !deadline.hasExpired()
                   && ended.calls.load() == 0)
                QThread::msleep(1);
        }
        QCOMPARE(ended.calls.load(), 1);
        QVERIFY(ended.outcome.load() == ImportOutcome::Aborted
                || ended.outcome.load() == ImportOutcome::Completed);
        const long long inserted = countPosts(connection, "posts");
        QVERIFY(inserted > 0);
        QVERIFY(sink.lines.back().find(Gbk::literal("成功插入=") + std::to_string(inserted))
                != std::string::npos);
    }

    // A run sizes SQLite's page cache, sorting and log for itself; the connection it
    // leaves open has SQLite's own settings again, on success as after an abort.
    void sqliteSettingsOfARunArePutBack()
    {
        QUILLERY_TEST_DATABASE(db, TestEngine::SQLite, "posts");
        TempAppDir dir;
        for (int i = 1; i <= 40; ++i)
            dir.write("in/" + std::to_string(i) + ".htm", postPage("t" + std::to_string(i)));
        const auto settingsOf = [](CAdoManager &ado) {
            std::string values;
            for (const char *name :
                 {"cache_size", "temp_store", "journal_size_limit", "wal_autocheckpoint"}) {
                std::unique_ptr<CAdoRecordset> rs;
                if (ado.ExecuteSql(std::string("PRAGMA ") + name, rs, 1) == 0 && rs && !rs->IsEOF())
                    values += rs->Value(0).Text() + " ";
            }
            return values;
        };
        CAdoManager fresh;
        QCOMPARE(fresh.OpenAdoConnection(db->connectionString()), 0L);
        const std::string defaults = settingsOf(fresh);
        QCOMPARE(defaults, std::string("-2000 0 4194304 1000 "));
        for (const bool abort : {false, true}) {
            RecordingSink sink;
            CAdoManager ado;
            ImportRun run(nullptr, sink);
            if (abort)
                sink.onStatus = [&](std::size_t count) {
                    if (count == 10)
                        run.AbortImport();
                };
            ImportSettings settings = pageSettings(db->connectionString(), dir.file("in"));
            QCOMPARE(run.RunImport(settings, ado),
                     abort ? ImportOutcome::Aborted : ImportOutcome::Completed);
            QVERIFY(ado.IsOpen());
            QCOMPARE(settingsOf(ado), defaults);
        }
    }
};

QUILLERY_REGISTER_TEST(TestImportJob)
#include "tst_ImportJob.moc"
