#include "BodyArchiveFixture.h"
#include "TestRegistry.h"

#include "browser/bodysearch/BodyIndexBuild.h"
#include "browser/search/BodyIndex.h"

#include <QRandomGenerator>

namespace {

// The archive's posts: generated pages in rooms 1, 12, 121 and 13 of TA, and a few in TB.
bool fill(BodyArchive &a, int count, quint32 seed = 7)
{
    QRandomGenerator random(seed);
    static const int rooms[] = {1, 12, 121, 13};
    for (int id = 1; id <= count; ++id) {
        const std::string page = SearchTest::makePost(random, 40 + int(random.bounded(80)));
        a.writeFile(id, page);
        if (!a.add(id, rooms[id % 4], std::string()))
            return false;
        a.writeFile(id, page); // add() wrote a plain page; the generated one is the post
    }
    for (int id = 1; id <= count / 4; ++id) {
        if (!a.add(id * 3, 2, std::string(), "TB"))
            return false;
        a.writeFile(id * 3, SearchTest::makePost(random, 60), "TB");
    }
    return true;
}

// Every reference query finds in the whole archive exactly what a scan of the files finds.
void verifyExact(BodyArchive &a)
{
    for (const char *q : referenceQueries()) {
        const SearchQuery query = parsedQuery(q);
        const std::vector<long long> want = a.expected(query);
        long long count = -1;
        const std::vector<long long> got = a.found(query, ArchiveSearchScope(a.rooms), &count);
        QVERIFY2(got == want, q);
        QCOMPARE(count, (long long)want.size());
    }
}

struct RunCounts
{
    long long checked, indexed, unreadable, removed;
    bool operator==(const RunCounts &) const = default;
};

RunCounts countsOf(const BodyIndexBuild &build)
{
    const BodyIndexProgress &p = build.Progress();
    return {p.checked.load(), p.indexed.load(), p.unreadable.load(), p.removed.load()};
}

} // namespace

class TestBodyIndexBuild : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // A first build indexes every readable post; an unreadable one is a line and the
    // run goes on; a second build reads only what changed: a rewritten file, a new row,
    // and removes the entry of a deleted row.
    void buildsThenUpdatesOnlyWhatChanged_data() { addEngineRows(); }
    void buildsThenUpdatesOnlyWhatChanged()
    {
        OPEN_BODY_ARCHIVE(a);
        QVERIFY(fill(a, 40));
        QVERIFY(a.add(41, 12, gbk("没有文件的帖子")));
        QFile::remove(QString::fromLocal8Bit(a.fileOf(41)));
        a.posts["TA"].erase(41); // nothing to find: the reference has no file either
        {
            BodyIndexBuild build(a.rooms, a.connection());
            std::vector<std::string> lines;
            build.SetLineHandler([&](const std::string &line) { lines.push_back(line); });
            QCOMPARE(build.Run(BodyIndexBuild::TargetsOf(a.rooms)), BodyIndexOutcome::Completed);
            QCOMPARE(countsOf(build), (RunCounts {51, 50, 1, 0}));
            QCOMPARE(build.Progress().total.load(), 51LL);
            QCOMPARE(lines.size(), std::size_t(1));
            QVERIFY2(lines[0].find("41") != std::string::npos, qPrintable(show(lines[0])));
            QVERIFY(!build.Progress().running);
        }
        verifyExact(a);

        // Unchanged files are not read again.
        {
            BodyIndexBuild build(a.rooms, a.connection());
            QCOMPARE(build.Run(BodyIndexBuild::TargetsOf(a.rooms)), BodyIndexOutcome::Completed);
            QCOMPARE(countsOf(build), (RunCounts {51, 0, 1, 0}));
        }

        a.writeFile(5, BodyArchive::page(gbk("改写以后的内容 独一无二")));
        QVERIFY(a.add(60, 13, gbk("新来的帖子 独一无二")));
        QString error;
        QVERIFY2(a.db->execute({"delete from TA where topicid = 6"}, error), qPrintable(error));
        a.posts["TA"].erase(6);
        {
            BodyIndexBuild build(a.rooms, a.connection());
            QCOMPARE(build.Run(BodyIndexBuild::TargetsOf(a.rooms)), BodyIndexOutcome::Completed);
            QCOMPARE(countsOf(build), (RunCounts {51, 2, 1, 1}));
        }
        QCOMPARE(a.foundInArchive(parsedQuery("独一无二")), (std::vector<long long> {60, 5}));
        verifyExact(a);
    }

    // An abort stops between batches: what was committed is searchable, the rest is
    // not there half-way, and the next run finishes the work.
    void abortKeepsCommittedBatches_data() { addEngineRows(); }
    void abortKeepsCommittedBatches()
    {
        OPEN_BODY_ARCHIVE(a);
        QVERIFY(fill(a, 40));
        QFile::remove(QString::fromLocal8Bit(a.fileOf(17)));
        a.posts["TA"].erase(17);
        BodyIndexBuild build(a.rooms, a.connection());
        build.SetBatchPosts(4);
        build.SetLineHandler([&](const std::string &) { build.Abort(); });
        std::atomic<int> outcome {-1};
        std::string why;
        QVERIFY(build.Start(
                BodyIndexBuild::TargetsOf(a.rooms),
                [&](BodyIndexOutcome ended) { outcome = int(ended); }, why));
        build.Wait();
        QCOMPARE(outcome.load(), int(BodyIndexOutcome::Aborted));
        const long long indexed = build.Progress().indexed;
        // Posts 1..12 in three batches. 13..16 were sealed, to be written after the
        // next batch was built, and are dropped with the rest: not committed.
        QCOMPARE(indexed, 12LL);

        const SearchQuery query = parsedQuery("的");
        // TB, after TA, has no index yet: the rest of the run never began.
        const std::vector<long long> got = a.found(query, {ArchiveSearchScope(a.rooms)[0]});
        std::vector<long long> want;
        for (long long id : a.expected(query, {}, "TA"))
            if (id <= 12)
                want.push_back(id);
        QCOMPARE(got, want);

        BodyIndexBuild again(a.rooms, a.connection());
        QCOMPARE(again.Run(BodyIndexBuild::TargetsOf(a.rooms)), BodyIndexOutcome::Completed);
        QCOMPARE(again.Progress().indexed.load(), 50LL - 1 - 12);
        verifyExact(a);
    }

    // A table that is not there stops the run with one line naming it; --drop removes
    // the index, and a search then asks for a build.
    void failureAndDrop_data() { addEngineRows(); }
    void failureAndDrop()
    {
        OPEN_BODY_ARCHIVE(a);
        QVERIFY(fill(a, 8));
        BodyIndexBuild build(a.rooms, a.connection());
        QCOMPARE(build.Run({{"TA", 0}, {"TC", 1}}), BodyIndexOutcome::Failed);
        QVERIFY2(show(build.Problem()).contains(u"TC", Qt::CaseInsensitive),
                 qPrintable(show(build.Problem())));
        QVERIFY(build.Problem().find('\n') == std::string::npos);
        QCOMPARE(build.Progress().indexed.load(), 0LL); // refused before any work

        QCOMPARE(build.Run({{"TA", -1}}), BodyIndexOutcome::Failed); // no room, no files

        QCOMPARE(build.Run(BodyIndexBuild::TargetsOf(a.rooms)), BodyIndexOutcome::Completed);
        verifyExact(a);
        QCOMPARE(build.Drop(BodyIndexBuild::TargetsOf(a.rooms)), BodyIndexOutcome::Completed);
        BodySearchPage search(a.rooms, a.connection());
        BodySearchPageResult result;
        QCOMPARE(search.Run(ArchiveSearchScope(a.rooms), parsedQuery("的"), 0, 10, false, result),
                 BodyIndex::IndexMissing);
        QCOMPARE(search.ProblemTable(), a.db->engine() == TestEngine::SQLite ? "TA" : "ta");
    }

    void paceOfProgress()
    {
        BodyIndexProgress progress;
        progress.checked = 300;
        QCOMPARE(PaceOf(progress, 0).secondsLeft, -1LL);
        QCOMPARE(PaceOf(progress, 3).secondsLeft, -1LL); // total not counted yet
        progress.total = 1200;
        const BodyIndexPace pace = PaceOf(progress, 3);
        QCOMPARE(pace.perSecond, 100.0);
        QCOMPARE(pace.secondsLeft, 9LL);
    }
};

QUILLERY_REGISTER_TEST(TestBodyIndexBuild)
#include "tst_BodyIndexBuild.moc"
