#include "BodyArchiveFixture.h"
#include "TestRegistry.h"

#include "browser/bodysearch/BodyIndexBuild.h"
#include "common/Codec.h"

namespace {

// Posts with known words in each room: 内存 in every post, 泄漏 in some.
bool fillRooms(BodyArchive &a)
{
    const struct
    {
        long long id;
        int room;
        const char *body;
    } rows[] = {{1, 1, "内存 顶层"},         {2, 12, "内存泄漏 乙"},  {3, 121, "内存泄漏 丁"},
                {4, 13, "内存 丙"},          {5, 12, "内存 乙 第二"}, {6, 121, "内存 丁 第二"},
                {7, 1, "内存泄漏 顶层 第二"}};
    for (const auto &row : rows) {
        if (!a.add(row.id, row.room, gbk(row.body)))
            return false;
    }
    return a.add(4, 2, gbk("内存 在另一个表"), "TB") && a.add(9, 2, gbk("内存泄漏 另一个表"), "TB")
            && a.add(2, 2, gbk("内存 另一个表"), "TB");
}

bool build(BodyArchive &a)
{
    BodyIndexBuild job(a.rooms, a.connection());
    return job.Run(BodyIndexBuild::TargetsOf(a.rooms)) == BodyIndexOutcome::Completed;
}

BodySearchTable roomScope(BodyArchive &a, const char *roomid, bool withSubRooms)
{
    BodySearchTable scope;
    std::string problem;
    if (!RoomSearchScope(a.rooms, 0, roomid, withSubRooms, scope, problem))
        qWarning("%s", qPrintable(show(problem)));
    return scope;
}

} // namespace

class TestBodySearchPage : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // A room with its sub-rooms, without them, the top-level room both ways, and the
    // whole archive over two tables.
    void roomsAndTables_data() { addEngineRows(); }
    void roomsAndTables()
    {
        OPEN_BODY_ARCHIVE(a);
        QVERIFY(fillRooms(a));
        QVERIFY(build(a));
        const SearchQuery query = parsedQuery("内存");
        using Ids = std::vector<long long>;
        QCOMPARE(a.found(query, {roomScope(a, "12", true)}), (Ids {6, 5, 3, 2}));
        QCOMPARE(a.found(query, {roomScope(a, "12", false)}), (Ids {5, 2}));
        QCOMPARE(a.found(query, {roomScope(a, "1", false)}), (Ids {7, 1}));
        QCOMPARE(a.found(query, {roomScope(a, "1", true)}), (Ids {7, 6, 5, 4, 3, 2, 1}));
        QCOMPARE(a.found(parsedQuery("内存泄漏"), {roomScope(a, "12", true)}), (Ids {3, 2}));
        // Whole archive: both tables merged, newest first (TA before TB on equal IDs).
        long long count = 0;
        QCOMPARE(a.found(query, ArchiveSearchScope(a.rooms), &count),
                 (Ids {9, 7, 6, 5, 4, 4, 3, 2, 2, 1}));
        QCOMPARE(count, 10LL);

        BodySearchTable scope;
        std::string problem;
        QVERIFY(!RoomSearchScope(a.rooms, 0, "99", true, scope, problem));
        QVERIFY(Gbk::toQString(problem).contains(u"99"));
        QVERIFY(!RoomSearchScope(a.rooms, 5, "1", true, scope, problem));
    }

    // Pages cut from the merge: consecutive pages give the whole list once; the rows
    // carry what the tables hold and the file's path; snippets for the page only.
    void pagesRowsAndSnippets_data() { addEngineRows(); }
    void pagesRowsAndSnippets()
    {
        OPEN_BODY_ARCHIVE(a);
        QVERIFY(fillRooms(a));
        QVERIFY(build(a));
        const SearchQuery query = parsedQuery("泄漏");
        BodySearchPage search(a.rooms, a.connection());
        std::vector<std::pair<long long, std::string>> seen;
        for (long long offset = 0; offset < 6; offset += 2) {
            BodySearchPageResult page;
            QCOMPARE(search.Run(ArchiveSearchScope(a.rooms), query, offset, 2, true, page), 0L);
            QCOMPARE(page.count, 4LL);
            QVERIFY(page.rows.size() <= 2);
            for (const BodySearchRow &row : page.rows) {
                seen.push_back({row.topicid, row.table});
                QVERIFY(row.hasSnippet && row.snippet.found);
                QCOMPARE(MarkedSnippet(row.snippet).find(gbk("【泄漏】")) != std::string::npos,
                         true);
                QCOMPARE(row.path, a.fileOf(row.topicid, row.table));
                QCOMPARE(row.title, gbk("标题") + std::to_string(row.topicid));
                QCOMPARE(row.author, "u" + std::to_string(row.topicid));
                QCOMPARE(row.date, std::string("2024-01-02 03:04:05"));
            }
        }
        const std::string ta = a.db->engine() == TestEngine::SQLite ? "TA" : "ta";
        const std::string tb = a.db->engine() == TestEngine::SQLite ? "TB" : "tb";
        QVERIFY((seen
                 == std::vector<std::pair<long long, std::string>> {
                         {9, tb}, {7, ta}, {3, ta}, {2, ta}}));

        // Without snippets nothing is read; a file gone since gives no snippet, and the
        // row is still shown.
        BodySearchPageResult page;
        QFile::remove(QString::fromLocal8Bit(a.fileOf(7)));
        QCOMPARE(search.Run(ArchiveSearchScope(a.rooms), query, 0, 2, false, page), 0L);
        QVERIFY(!page.rows[0].hasSnippet && !page.rows[1].hasSnippet);
        BodySearchPage::MakeSnippet(page.rows[1], query);
        QCOMPARE(page.rows[1].topicid, 7LL);
        QVERIFY(!page.rows[1].hasSnippet);
        BodySearchPage::MakeSnippet(page.rows[0], query);
        QVERIFY(page.rows[0].hasSnippet);
    }
};

QUILLERY_REGISTER_TEST(TestBodySearchPage)
#include "tst_BodySearchPage.moc"
