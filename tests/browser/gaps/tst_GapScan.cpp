#include "DbTestHelpers.h"
#include "TestRegistry.h"

#include "browser/gaps/GapScan.h"
#include "browser/gaps/MissingRuns.h"
#include "browser/rooms/RoomModel.h"
#include "common/Codec.h"

#include <QDir>
#include <QFile>

namespace {

// Every run the scan hands out, as "a-b" (gaps) or "a!" (lost files); optionally stops
// after so many.
class Collector : public MissingSink
{
public:
    bool Missing(const MissingRun &run) override
    {
        runs << (run.lostFile ? QStringLiteral("%1!").arg(run.first)
                              : QStringLiteral("%1-%2").arg(run.first).arg(run.last));
        if (run.lostFile)
            paths << Gbk::toQString(run.path);
        return stopAfter < 0 || runs.size() < stopAfter;
    }
    bool Progress(long long reachedId, long long) override
    {
        reached << reachedId;
        return true;
    }
    QStringList runs;
    QStringList paths;
    QList<long long> reached;
    qsizetype stopAfter = -1;
};

QStringList list(std::initializer_list<const char *> texts)
{
    QStringList strings;
    for (const char *text : texts)
        strings << QString::fromLatin1(text);
    return strings;
}

std::vector<std::string> insertIds(const std::vector<long long> &ids, int roomid = 11)
{
    std::vector<std::string> statements;
    for (const long long id : ids)
        statements.push_back("INSERT INTO T (topicid, title, roomid) VALUES (" + std::to_string(id)
                             + ", 'x', " + std::to_string(roomid) + ")");
    return statements;
}

GapScanRequest request(const TestDatabase &db, std::optional<long long> first,
                       std::optional<long long> last, long long window = 65536)
{
    GapScanRequest r;
    r.connection = db.connectionString();
    r.tables = {"T"};
    r.first = first;
    r.last = last;
    r.window = window;
    return r;
}

} // namespace

class TestGapScan : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void gapsInKeyOrder_data() { addEngineRows(); }
    // Gaps at the start, between rows, across window edges and at the end; windows of
    // two rows must give what one window gives.
    void gapsInKeyOrder()
    {
        QFETCH(TestEngine, engine);
        QUILLERY_TEST_DATABASE(db, engine, "T");
        QUILLERY_EXECUTE(db, insertIds({3, 4, 5, 8, 10, 11, 12, 40}));
        for (const long long window : {2LL, 3LL, 65536LL}) {
            Collector sink;
            const GapScanResult result = ScanGaps(request(*db, 1, 15, window), sink);
            QCOMPARE(int(result.outcome), int(GapScanOutcome::Done));
            QCOMPARE(sink.runs, list({"1-2", "6-7", "9-9", "13-15"}));
            QCOMPARE(result.rows, 7);
            QCOMPARE(result.missingIds, 8);
            QCOMPARE(result.gapRuns, 4);
            QVERIFY(!result.NothingMissing());
            QVERIFY(!sink.reached.isEmpty());
            QCOMPARE(sink.reached.last(), 15);
        }
        // A range inside one run of rows, and a range with no rows at all.
        Collector full;
        QVERIFY(ScanGaps(request(*db, 3, 5, 2), full).NothingMissing());
        QVERIFY(full.runs.isEmpty());
        Collector none;
        const GapScanResult empty = ScanGaps(request(*db, 100, 4294967295LL), none);
        QCOMPARE(none.runs, list({"100-4294967295"}));
        QCOMPARE(empty.missingIds, 4294967295LL - 99);
    }

    void defaultBounds_data() { addEngineRows(); }
    void defaultBounds()
    {
        QFETCH(TestEngine, engine);
        QUILLERY_TEST_DATABASE(db, engine, "T");
        Collector nothing;
        const GapScanResult emptyTable =
                ScanGaps(request(*db, std::nullopt, std::nullopt), nothing);
        QCOMPARE(int(emptyTable.outcome), int(GapScanOutcome::Done));
        QVERIFY(emptyTable.emptyRange);
        QVERIFY(nothing.runs.isEmpty());

        QUILLERY_EXECUTE(db, insertIds({5, 6, 9, 12}));
        Collector both;
        const GapScanResult result = ScanGaps(request(*db, std::nullopt, std::nullopt, 1), both);
        QCOMPARE(both.runs, list({"7-8", "10-11"}));
        QCOMPARE(result.first, 5);
        QCOMPARE(result.last, 12);
        Collector lastOnly;
        ScanGaps(request(*db, 1, std::nullopt), lastOnly);
        QCOMPARE(lastOnly.runs, list({"1-4", "7-8", "10-11"}));
        // A first ID beyond the largest row is a reversed range, not an endless one.
        Collector beyond;
        QCOMPARE(int(ScanGaps(request(*db, 20, std::nullopt), beyond).outcome),
                 int(GapScanOutcome::Refused));
    }

    void refusedAndFailed_data() { addEngineRows(); }
    void refusedAndFailed()
    {
        QFETCH(TestEngine, engine);
        QUILLERY_TEST_DATABASE(db, engine, "T");
        QUILLERY_EXECUTE(db, insertIds({1, 2}));
        Collector sink;
        GapScanRequest hostile = request(*db, 1, 5);
        hostile.tables = {"T", "T; DROP TABLE T"};
        GapScanResult result = ScanGaps(hostile, sink);
        QCOMPARE(int(result.outcome), int(GapScanOutcome::Refused));
        QVERIFY(Gbk::toQString(result.problem).contains(QStringLiteral("T; DROP TABLE T")));
        QVERIFY(ScanGaps(request(*db, 1, 2), sink).NothingMissing()); // still there

        QCOMPARE(int(ScanGaps(request(*db, 5, 4), sink).outcome), int(GapScanOutcome::Refused));
        GapScanRequest files = request(*db, 1, 5);
        files.files = true;
        QCOMPARE(int(ScanGaps(files, sink).outcome), int(GapScanOutcome::Refused));

        GapScanRequest missing = request(*db, 1, 5);
        missing.tables = {"T", "NoSuchTable"};
        result = ScanGaps(missing, sink);
        QCOMPARE(int(result.outcome), int(GapScanOutcome::Failed));
        QVERIFY(!result.problem.empty());
        QVERIFY(result.problem.find('\n') == std::string::npos);
        QVERIFY(sink.runs.isEmpty());
        // The same from the bounds of the tables: the message names the table that failed.
        missing.first.reset();
        missing.last.reset();
        result = ScanGaps(missing, sink);
        QCOMPARE(int(result.outcome), int(GapScanOutcome::Failed));
        QVERIFY2(Gbk::toQString(result.problem).contains(QStringLiteral("NoSuchTable")),
                 qPrintable(show(result.problem)));
    }

    void severalTables_data() { addEngineRows(); }
    // An ID is there when any table has it; one in two tables counts once.
    void severalTables()
    {
        QFETCH(TestEngine, engine);
        QUILLERY_TEST_DATABASE(db, engine, "T", "U");
        QUILLERY_EXECUTE(db, insertIds({2, 3, 7, 9}));
        QUILLERY_EXECUTE(db, insertPostsSql(engine, "U", 3, 5),
                         insertPostsSql(engine, "U", 12, 12));
        for (const long long window : {1LL, 2LL, 65536LL}) {
            GapScanRequest r = request(*db, std::nullopt, std::nullopt, window);
            r.tables = {"T", "U"};
            Collector sink;
            const GapScanResult result = ScanGaps(r, sink);
            QCOMPARE(int(result.outcome), int(GapScanOutcome::Done));
            QCOMPARE(sink.runs, list({"6-6", "8-8", "10-11"}));
            QCOMPARE(result.first, 2);
            QCOMPARE(result.last, 12);
            QCOMPARE(result.rows, 7); // 2 3 4 5 7 9 12
        }
        GapScanRequest none = request(*db, 1, 2);
        none.tables.clear();
        Collector sink;
        QCOMPARE(int(ScanGaps(none, sink).outcome), int(GapScanOutcome::Refused));
        // Files are looked for in one table's room only.
        RoomModel rooms;
        GapScanRequest files = request(*db, 1, 2);
        files.tables = {"T", "U"};
        files.files = true;
        files.rooms = &rooms;
        files.rootIndex = 0;
        QCOMPARE(int(ScanGaps(files, sink).outcome), int(GapScanOutcome::Refused));
    }

    void sinkStops()
    {
        QUILLERY_TEST_DATABASE(db, TestEngine::SQLite, "T");
        QUILLERY_EXECUTE(db, insertIds({2, 4, 6}));
        Collector sink;
        sink.stopAfter = 2;
        const GapScanResult result = ScanGaps(request(*db, 1, 10, 1), sink);
        QCOMPARE(int(result.outcome), int(GapScanOutcome::Stopped));
        QCOMPARE(sink.runs, list({"1-1", "3-3"}));
    }

    void lostFiles_data() { addEngineRows(); }
    // Rows whose file is missing, is a folder, or leads out of the archive through a link
    // count as lost; present files and rows outside every location entry do not.
    void lostFiles()
    {
        QFETCH(TestEngine, engine);
        QUILLERY_TEST_DATABASE(db, engine, "T");
        QTemporaryDir dir;
        const QString root = dir.path();
        const QString archive = root + QStringLiteral("/archive");
        const std::string config = gbk(R"(<?xml version="1.0" encoding="GBK"?>
<r><数据库连接字符串>x</数据库连接字符串>
<帖子类型 TABLE="T" ROOMID="1">甲区<帖子类型 ROOMID="11">乙</帖子类型>
<帖子属性范围>1 100 )")
                + Gbk::fromQString(archive)
                + gbk(R"(\|ROOMID|\|ID|.htm</帖子属性范围></帖子类型></r>)");
        writeBytes(root + QStringLiteral("/InitTree.xml"), config);
        RoomModel rooms;
        std::string reason;
        QVERIFY2(rooms.LoadTreeConfig(Gbk::fromQString(root + QStringLiteral("/InitTree.xml")),
                                      &reason),
                 qPrintable(show(reason)));

        writeBytes(archive + QStringLiteral("/11/1.htm"), "post");
        writeBytes(archive + QStringLiteral("/11/2.htm"), "post");
        QVERIFY(QDir().mkpath(archive + QStringLiteral("/11/4.htm"))); // a folder
        writeBytes(root + QStringLiteral("/outside.htm"), "elsewhere");
        QVERIFY(QFile::link(root + QStringLiteral("/outside.htm"),
                            archive + QStringLiteral("/11/5.htm")));
        QVERIFY(QFile::link(archive + QStringLiteral("/11/1.htm"),
                            archive + QStringLiteral("/11/6.htm"))); // inside: present
        QUILLERY_EXECUTE(db, insertIds({1, 2, 3, 4, 5, 6, 200}));

        GapScanRequest r = request(*db, 1, 210, 2);
        r.files = true;
        r.rooms = &rooms;
        r.rootIndex = 0;
        Collector sink;
        const GapScanResult result = ScanGaps(r, sink);
        QCOMPARE(int(result.outcome), int(GapScanOutcome::Done));
        QCOMPARE(sink.runs, list({"3!", "4!", "5!", "7-199", "201-210"}));
        QCOMPARE(result.lostFiles, 3);
        QCOMPARE(sink.paths.first(), archive + QStringLiteral("/11/3.htm"));
        QVERIFY(Gbk::toQString(GapSummary(result, true)).contains(QStringLiteral("3")));
    }

    void runJoiner()
    {
        RunJoiner joiner;
        QVERIFY(!joiner.Add(1, 2));
        QVERIFY(!joiner.Add(3, 3)); // adjacent: joined
        QVERIFY(!joiner.Add(3, 5)); // overlapping (a lost file inside a run)
        const auto first = joiner.Add(7, 7);
        QVERIFY(first && first->first == 1 && first->last == 5);
        const auto last = joiner.Finish();
        QVERIFY(last && last->first == 7 && last->last == 7);
        QVERIFY(!joiner.Finish());
    }
};

QUILLERY_REGISTER_TEST(TestGapScan)
#include "tst_GapScan.moc"
