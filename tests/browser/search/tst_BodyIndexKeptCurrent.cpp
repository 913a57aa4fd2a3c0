#include "BodyArchiveFixture.h"
#include "TestRegistry.h"

#include "browser/bodysearch/BodyIndexBuild.h"
#include "browser/db/DbEndpoint.h"
#include "browser/import/ImportRun.h"
#include "browser/import/ImportSink.h"
#include "browser/posts/PostStatementRun.h"
#include "browser/posts/PostStatements.h"
#include "browser/search/BodyIndex.h"

#include <QRandomGenerator>

namespace {

// The import's lines; boxes and statuses are not what these tests look at.
class LineSink : public ImportSink
{
public:
    void ImportStatus(const std::string &) override { }
    void ImportMessage(const std::string &line) override { lines.push_back(line); }
    void ImportMessageBox(const std::string &, const std::string &) override { }
    std::vector<std::string> lines;
};

// Import pages of TA's rooms from the archive's posts/ folder, where the post location
// entry finds them: topicid from the file name, the room and the title between markers.
std::string importedPage(QRandomGenerator &random, int room, int id)
{
    return "<html><head><meta charset=\"gbk\"></head><body><Room>" + std::to_string(room)
            + "</Room><TITLE>" + gbk("标题") + std::to_string(id) + "</TITLE>"
            + SearchTest::makePost(random, 30 + int(random.bounded(60))) + "</body></html>";
}

ImportOutcome importFolder(BodyArchive &a, const std::string &folder, bool batched, LineSink &sink)
{
    ImportSettings settings = DefaultImportSettings();
    settings.connectionString = a.connection();
    settings.importDirectory = folder;
    settings.table = "TA";
    settings.pathCheck = false;
    settings.topicidMode = TopicidMode::FileName;
    settings.roomid = {"<room>", "</room>"};
    settings.title = {"<title>", "</title>"};
    ImportTuning tuning;
    tuning.batched = batched;
    tuning.maxBatchRows = 7; // several batches
    CAdoManager ado;
    ImportRun run(nullptr, sink);
    run.SetTuning(tuning);
    const ImportOutcome outcome = run.RunImport(settings, ado);
    ado.CloseAdoConnection();
    return outcome;
}

// Every reference query, in the whole table and in room 12 with its sub-room, finds
// exactly what a scan of the files of the table's rows finds.
void verifyExact(BodyArchive &a, const char *step)
{
    BodySearchTable room;
    std::string problem;
    QVERIFY(RoomSearchScope(a.rooms, 0, "12", true, room, problem));
    for (const char *q : referenceQueries()) {
        const SearchQuery query = parsedQuery(q);
        QVERIFY2(a.found(query, {ArchiveSearchScope(a.rooms)[0]}) == a.expected(query, {}, "TA"),
                 qPrintable(QStringLiteral("%1: %2").arg(QString::fromUtf8(step),
                                                         QString::fromUtf8(q))));
        QVERIFY2(a.found(query, {room}) == a.expected(query, {12, 121}, "TA"),
                 qPrintable(QStringLiteral("%1, room 12: %2")
                                    .arg(QString::fromUtf8(step), QString::fromUtf8(q))));
    }
}

// The rows of TA as the fixture's reference knows them (room per post).
bool readRooms(BodyArchive &a)
{
    a.posts["TA"] = a.rowsOf("TA");
    return !a.posts["TA"].empty();
}

} // namespace

class TestBodyIndexKeptCurrent : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The import puts each inserted post in the index, batched and row by row alike; a
    // delete removes it; a move changes nothing in the index and the room scope follows
    // the row; a build after files changed brings it back in line. After each step the
    // index answers exactly as a scan of the files.
    void importDeleteMoveReindex_data()
    {
        QTest::addColumn<TestEngine>("engine");
        QTest::addColumn<bool>("batched");
        QTest::newRow("sqlite batched") << TestEngine::SQLite << true;
        QTest::newRow("sqlite row by row") << TestEngine::SQLite << false;
        QTest::newRow("postgresql batched") << TestEngine::PostgreSQL << true;
        QTest::newRow("postgresql row by row") << TestEngine::PostgreSQL << false;
    }
    void importDeleteMoveReindex()
    {
        QFETCH(bool, batched);
        OPEN_BODY_ARCHIVE(a);
        BodyIndexBuild build(a.rooms, a.connection());
        QCOMPARE(build.Run({BodyIndexBuild::TargetsOf(a.rooms)[0]}), BodyIndexOutcome::Completed);

        QRandomGenerator random(11);
        static const int rooms[] = {1, 12, 121, 13};
        for (int id = 1; id <= 40; ++id)
            a.writeFile(id, importedPage(random, rooms[id % 4], id));
        a.writeFile(41, "<html><Room>12</Room></html>"); // no title: not imported
        LineSink sink;
        QCOMPARE(importFolder(a, a.dir->file("posts"), batched, sink), ImportOutcome::Completed);
        QVERIFY(readRooms(a));
        QCOMPARE(a.posts["TA"].size(), std::size_t(40));
        verifyExact(a, "import");
        // A second import of the same files inserts nothing and leaves the index alone.
        LineSink again;
        QCOMPARE(importFolder(a, a.dir->file("posts"), batched, again), ImportOutcome::Completed);
        verifyExact(a, "import again");

        BoundStatement statement;
        std::string problem;
        const std::vector<std::string> deleted {"3", "4", "17", "40"};
        QVERIFY(ComposeDeleteStatement("TA", deleted, statement, problem));
        QCOMPARE(RunPostDelete(a.connection(), statement, "TA", deleted).stage,
                 StatementOutcome::Done);
        QVERIFY(readRooms(a));
        verifyExact(a, "delete");
        {
            CAdoManager ado;
            QCOMPARE(ado.OpenAdoConnection(a.connection()), 0L);
            BodyIndex index(ado, BodyIndex::EngineOf(a.connection()),
                            TableNameAsLookedUp(a.connection(), "TA"));
            std::vector<long long> orphans;
            QCOMPARE(index.Orphans(std::numeric_limits<long long>::min(), 100, orphans), 0L);
            QVERIFY(orphans.empty()); // nothing of the deleted posts is left behind
        }

        const std::vector<std::string> moved {"5", "6", "9"};
        QVERIFY(ComposeMoveStatement("TA", "12", moved, statement, problem));
        QCOMPARE(RunPostStatement(a.connection(), statement).stage, StatementOutcome::Done);
        QVERIFY(readRooms(a));
        QCOMPARE(a.posts["TA"][5], 12);
        verifyExact(a, "move");

        // Files changed behind the archive's back: the build reads those again.
        a.writeFile(7, BodyArchive::page(gbk("内存泄漏 改写了")));
        a.writeFile(8, BodyArchive::page(gbk("全文检索 索引")));
        BodyIndexBuild update(a.rooms, a.connection());
        QCOMPARE(update.Run({BodyIndexBuild::TargetsOf(a.rooms)[0]}), BodyIndexOutcome::Completed);
        QCOMPARE(update.Progress().indexed.load(), 2LL);
        verifyExact(a, "reindex");
    }

    // A post whose text cannot go into the index is not inserted either, with a line of
    // its own; a table without a body index imports as before, without making one.
    void importNeverReportsAnUnindexedPost_data() { addEngineRows(); }
    void importNeverReportsAnUnindexedPost()
    {
        OPEN_BODY_ARCHIVE(a);
        QRandomGenerator random(5);
        for (int id = 1; id <= 5; ++id)
            a.writeFile(id, importedPage(random, 12, id));
        LineSink plain;
        QCOMPARE(importFolder(a, a.dir->file("posts"), true, plain), ImportOutcome::Completed);
        QVERIFY(readRooms(a));
        BodySearchPage search(a.rooms, a.connection());
        BodySearchPageResult result;
        QCOMPARE(search.Run({ArchiveSearchScope(a.rooms)[0]}, parsedQuery("的"), 0, 10, false,
                            result),
                 BodyIndex::IndexMissing);
        for (const std::string &line : plain.lines)
            QVERIFY2(!show(line).contains(u"正文索引"), qPrintable(show(line)));

        // An index whose storage is broken: every insert is refused with its line.
        BodyIndexBuild build(a.rooms, a.connection());
        QCOMPARE(build.Run({BodyIndexBuild::TargetsOf(a.rooms)[0]}), BodyIndexOutcome::Completed);
        const bool sqlite = a.db->engine() == TestEngine::SQLite;
        QUILLERY_EXECUTE(a.db, sqlite ? "drop table TA_body_doc" : "drop table ta_body_doc");
        for (int id = 6; id <= 9; ++id)
            a.writeFile(id, importedPage(random, 12, id));
        for (const bool batched : {true, false}) {
            LineSink sink;
            QCOMPARE(importFolder(a, a.dir->file("posts"), batched, sink),
                     ImportOutcome::Completed);
            QCOMPARE(a.rowsOf("TA").size(), std::size_t(5));
            int refused = 0;
            for (const std::string &line : sink.lines)
                refused += show(line).contains(u"无法编入正文索引");
            QCOMPARE(refused, 4);
        }
    }
};

QUILLERY_REGISTER_TEST(TestBodyIndexKeptCurrent)
#include "tst_BodyIndexKeptCurrent.moc"
