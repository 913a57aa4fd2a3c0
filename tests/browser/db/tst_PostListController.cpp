#include "DbTestHelpers.h"
#include "TestRegistry.h"

#include "browser/posts/PostListController.h"
#include "browser/rooms/PostListTexts.h"
#include "browser/rooms/RoomModel.h"
#include "common/Codec.h"
#include "common/TextFormat.h"

#include <QFile>
#include <QTemporaryDir>

namespace {

// What the window would show, and how often it was asked.
class RecordingDisplay : public PostListDisplay
{
public:
    PostColumnTable &Columns() override { return columns; }
    int RowCount() const override { return int(rows.size()); }
    void ShowColumns(bool withSnippets) override
    {
        ++columnsShown;
        snippets = withSnippets;
    }
    void ShowRows(const std::vector<PostListRow> &shown) override { rows = shown; }
    void ShowQueryStatus(const std::string &text) override { status = text; }
    void QueryStarted(const std::string &text) override
    {
        QVERIFY(!busy);
        busy = true;
        ++queries;
        status = text;
    }
    void QueryEnded() override
    {
        QVERIFY(busy);
        busy = false;
    }
    void ShowQueryFailure(const std::string &message, const std::string &details) override
    {
        QVERIFY(!busy); // the message box needs the normal cursor
        failures.emplace_back(message, details);
    }

    long long firstId() const { return std::stoll(*rows.front().values[1]); }

    PostColumnTable columns;
    std::vector<PostListRow> rows;
    std::string status;
    int columnsShown = 0;
    bool snippets = false;
    int queries = 0;
    bool busy = false;
    std::vector<std::pair<std::string, std::string>> failures;
};

std::string shown(long count, int first, int last)
{
    return FormatText(Gbk::literal(PostListText::PageShown).c_str(), count, first, last);
}

// A configuration over the test database: 甲 (table TA) with rooms 3 and 5 below it, 乙
// (table TB).
struct Archive
{
    QTemporaryDir dir;
    RoomModel rooms;
    RecordingDisplay display;
    std::unique_ptr<PostListController> listing;

    bool load(const std::string &connection)
    {
        const QString path = dir.filePath(QStringLiteral("tree.xml"));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return false;
        file.write(QByteArray::fromStdString(
                gbk("<?xml version=\"1.0\" encoding=\"GBK\"?>\n<配置><数据库连接字符串>")
                + connection
                + gbk("</数据库连接字符串><帖子类型 TABLE=\"TA\" ROOMID=\"1\">甲<帖子类型 "
                      "ROOMID=\"3\">丙</帖子类型><帖子类型 ROOMID=\"5\">戊</帖子类型></"
                      "帖子类型><帖子类型 TABLE=\"TB\" ROOMID=\"2\">乙</帖子类型></配置>")));
        file.close();
        if (!rooms.LoadTreeConfig(path.toStdString()))
            return false;
        listing = std::make_unique<PostListController>(rooms, display);
        return true;
    }
    // The record index of a room.
    int record(const char *roomid) const
    {
        for (std::size_t i = 0; i < rooms.RecordCount(); ++i) {
            if (rooms.GetRoomRecord(int(i)).roomid == roomid)
                return int(i);
        }
        return -1;
    }
};

// Rows 1..count read by position, newest first, from two top-level rooms by turns; a read
// fails while `failing` is set.
class FakePages : public PagedPostSource
{
public:
    explicit FakePages(long long count)
        : count_(count)
    {
    }
    std::vector<std::string> FieldNames() const override { return {"title", "topicid"}; }
    bool ReadPage(long long offset, const PostColumnTable &columns, long long &count,
                  std::vector<PostListRow> &rows, std::string &message,
                  std::string &details) override
    {
        ++reads;
        if (failing) {
            message = "read failed";
            details = "the database said no";
            return false;
        }
        count = count_;
        rows.clear();
        for (long long id = count_ - offset; id > 0 && id > count_ - offset - 100; --id) {
            PostListRow row;
            for (int slot : columns.ShownSlots())
                row.values.emplace_back(slot == PostColumnTable::TopicIdSlot ? std::to_string(id)
                                                                             : "t");
            row.snippet = "snippet " + std::to_string(id);
            rows.push_back(row);
        }
        return true;
    }
    int RootIndexOfRow(int row) const override { return row % 2; }

    bool failing = false;
    int reads = 0;

private:
    long long count_;
};

} // namespace

class TestPostListController : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // A room is listed once; its pages go first, next, previous, and the status pane
    // says where the list stands.
    void listsARoomAndPagesThroughIt()
    {
        QUILLERY_TEST_DATABASE(db, TestEngine::SQLite, "TA", "TB");
        QUILLERY_EXECUTE(db, insertPostsSql(TestEngine::SQLite, "TA", 1, 1400));
        Archive archive;
        QVERIFY(archive.load(db->connectionString()));
        PostListController &listing = *archive.listing;
        RecordingDisplay &display = archive.display;
        QCOMPARE(listing.currentRoomIndex(), -1);

        const int room = archive.record("3");
        listing.OpenRoom(room);
        QCOMPARE(listing.currentRoomIndex(), room);
        QCOMPARE(listing.currentRootIndex(), 0);
        QCOMPARE(display.queries, 1);
        QCOMPARE(display.columnsShown, 1);
        QCOMPARE(display.rows.size(), std::size_t(100));
        QCOMPARE(display.status, shown(200, 1, 100));

        listing.ShowNextPage();
        QCOMPARE(display.status, shown(200, 101, 200));
        listing.ShowNextPage();
        QCOMPARE(display.status,
                 FormatText(Gbk::literal(PostListText::LastPageReached).c_str(), 200L));
        QCOMPARE(display.rows.size(), std::size_t(100));
        listing.ShowFirstPage();
        QCOMPARE(display.status, shown(200, 1, 100));
        listing.ShowPreviousPage();
        QCOMPARE(display.status,
                 FormatText(Gbk::literal(PostListText::FirstPageReached).c_str(), 200L));

        // Listed already: no second query.
        listing.OpenRoom(room);
        QCOMPARE(display.queries, 1);
        // A room of the other top-level room names its table.
        listing.OpenRoom(archive.record("2"));
        QCOMPARE(listing.currentRootIndex(), 1);
        QCOMPARE(display.rows.size(), std::size_t(0));
        QCOMPARE(display.queries, 2);
        QVERIFY(!display.busy);
    }

    // A query that fails says so with the database's words; the rows listed, the room and
    // the top-level room they came from stay, and so does a later refresh's.
    void aFailedQueryKeepsTheListAndItsRoom()
    {
        QUILLERY_TEST_DATABASE(db, TestEngine::SQLite, "TA", "TB");
        QUILLERY_EXECUTE(db, insertPostsSql(TestEngine::SQLite, "TA", 1, 70));
        Archive archive;
        QVERIFY(archive.load(db->connectionString()));
        const int room = archive.record("3");
        archive.listing->OpenRoom(room);
        QCOMPARE(archive.display.rows.size(), std::size_t(10));

        QVERIFY(!archive.listing->RunPostQuery("select * from missing"));
        QCOMPARE(archive.display.failures.size(), std::size_t(1));
        QVERIFY(archive.display.failures[0].first.find("select * from missing")
                != std::string::npos);
        QVERIFY(!archive.display.failures[0].second.empty());
        QVERIFY(archive.display.status.rfind(
                        Gbk::literal(PostListText::QueryStatusError).substr(0, 12), 0)
                == 0);
        QCOMPARE(archive.display.rows.size(), std::size_t(10));
        QCOMPARE(archive.listing->currentRoomIndex(), room);
        QVERIFY(!archive.display.busy);

        // The table goes: a refresh fails and the room stays the listed one.
        QUILLERY_EXECUTE(db, "drop table TA");
        archive.listing->RefreshPosts();
        QCOMPARE(archive.display.failures.size(), std::size_t(2));
        QCOMPARE(archive.listing->currentRoomIndex(), room);
        QCOMPARE(archive.listing->currentRootIndex(), 0);
    }

    // A refresh asks the database again, for the room or for the search listed.
    void refreshQueriesTheRoomOrTheSearchAgain()
    {
        QUILLERY_TEST_DATABASE(db, TestEngine::SQLite, "TA", "TB");
        QUILLERY_EXECUTE(db, insertPostsSql(TestEngine::SQLite, "TA", 1, 70),
                         insertPostsSql(TestEngine::SQLite, "TB", 1, 30, "2"));
        Archive archive;
        QVERIFY(archive.load(db->connectionString()));
        archive.listing->OpenRoom(archive.record("3"));
        QCOMPARE(archive.display.status, shown(10, 1, 10));
        QUILLERY_EXECUTE(db, insertPostsSql(TestEngine::SQLite, "TA", 101, 101, "3"));
        archive.listing->RefreshPosts();
        QCOMPARE(archive.display.status, shown(11, 1, 11));

        archive.listing->RunFindQuery({"select * from TB where topicid <= ?",
                                       {SqlValue::fromInteger(5)},
                                       "select * from TB where topicid <= 5"},
                                      1);
        QCOMPARE(archive.listing->currentRoomIndex(), -1);
        QCOMPARE(archive.listing->currentRootIndex(), 1);
        QCOMPARE(archive.display.status, shown(5, 1, 5));
        QUILLERY_EXECUTE(db, "delete from TB where topicid = 1");
        archive.listing->RefreshPosts();
        QCOMPARE(archive.display.status, shown(4, 1, 4));
        QCOMPARE(archive.display.firstId(), 2LL);
        QCOMPARE(archive.listing->currentRootIndex(), 1);

        // A search that fails leaves the one listed.
        archive.listing->RunFindQuery({"select * from nowhere", {}, {}}, 0);
        QCOMPARE(archive.listing->currentRootIndex(), 1);
        archive.listing->RefreshPosts();
        QCOMPARE(archive.display.status, shown(4, 1, 4));
    }

    // Rows taken out of the list are counted out; a page back covers the rows that were
    // on the page. A released result pages no more.
    void removedRowsAndAReleasedResult()
    {
        QUILLERY_TEST_DATABASE(db, TestEngine::SQLite, "TA", "TB");
        QUILLERY_EXECUTE(db, insertPostsSql(TestEngine::SQLite, "TA", 1, 250, "1"));
        Archive archive;
        QVERIFY(archive.load(db->connectionString()));
        PostListController &listing = *archive.listing;
        RecordingDisplay &display = archive.display;
        QVERIFY(listing.RunPostQuery("select * from TA order by topicid"));
        listing.ShowNextPage();
        QCOMPARE(display.firstId(), 101LL);
        display.rows.erase(display.rows.begin(), display.rows.begin() + 2);
        listing.PostRowsRemoved({"101", "102"});
        QCOMPARE(display.status, shown(248, 101, 198));
        listing.ShowPreviousPage();
        QCOMPARE(display.firstId(), 1LL);
        QCOMPARE(display.status, shown(248, 1, 100));

        const std::string before = display.status;
        listing.ReleasePostResult();
        QVERIFY(!listing.pager().HasOpenResult());
        listing.ShowNextPage();
        QCOMPARE(display.status, before);
        QCOMPARE(display.firstId(), 1LL);
        listing.ShowQueryStatus("moved");
        QCOMPARE(display.status, std::string("moved"));
    }

    // A paged listing (a body search's hits) is read a page at a time by position; a read
    // that fails keeps the list, and a new listing whose first page fails keeps the old.
    void pagedListingPagesByPosition()
    {
        QUILLERY_TEST_DATABASE(db, TestEngine::SQLite, "TA", "TB");
        QUILLERY_EXECUTE(db, insertPostsSql(TestEngine::SQLite, "TA", 1, 300));
        Archive archive;
        QVERIFY(archive.load(db->connectionString()));
        PostListController &listing = *archive.listing;
        RecordingDisplay &display = archive.display;

        auto pages = std::make_unique<FakePages>(250);
        FakePages *source = pages.get();
        QVERIFY(listing.RunPagedListing(std::move(pages), -1));
        QCOMPARE(listing.pagedListing(), source);
        QVERIFY(display.snippets);
        QCOMPARE(display.rows.size(), std::size_t(100));
        QCOMPARE(display.firstId(), 250LL);
        QCOMPARE(*display.rows.front().snippet, std::string("snippet 250"));
        QCOMPARE(display.status, shown(250, 1, 100));
        QCOMPARE(listing.currentRoomIndex(), -1);
        QCOMPARE(listing.RootIndexOfRow(3), 1);
        QCOMPARE(listing.RootIndexOfRow(4), 0);

        listing.ShowNextPage();
        listing.ShowNextPage();
        QCOMPARE(display.status, shown(250, 201, 250));
        QCOMPARE(display.firstId(), 50LL);
        const int reads = source->reads;
        listing.ShowNextPage();
        QCOMPARE(source->reads, reads); // nothing more to read
        QCOMPARE(display.status,
                 FormatText(Gbk::literal(PostListText::LastPageReached).c_str(), 250L));
        listing.ShowPreviousPage();
        QCOMPARE(display.status, shown(250, 101, 200));
        listing.ShowFirstPage();
        listing.ShowPreviousPage();
        QCOMPARE(display.status,
                 FormatText(Gbk::literal(PostListText::FirstPageReached).c_str(), 250L));

        // Rows taken out by a delete leave the count.
        listing.PostRowsRemoved({"250", "249"});
        QCOMPARE(display.status, shown(248, 1, 100));

        // A failed read: the rows stay, the message goes to the user.
        source->failing = true;
        listing.ShowNextPage();
        QCOMPARE(display.failures.size(), std::size_t(1));
        QCOMPARE(display.firstId(), 250LL);
        QVERIFY(!display.busy);
        source->failing = false;
        listing.RefreshPosts();
        QCOMPARE(display.status, shown(250, 1, 100));

        // A new listing that cannot be read keeps the old one and its columns.
        auto broken = std::make_unique<FakePages>(10);
        broken->failing = true;
        const int columnsShown = display.columnsShown;
        QVERIFY(!listing.RunPagedListing(std::move(broken), 0));
        QCOMPARE(listing.pagedListing(), source);
        QCOMPARE(display.columnsShown, columnsShown);
        QCOMPARE(display.rows.size(), std::size_t(100));

        // A room listed replaces it: its rows come from its own table, without snippets.
        listing.OpenRoom(archive.record("3"));
        QVERIFY(listing.pagedListing() == nullptr);
        QVERIFY(!display.snippets);
        QCOMPARE(listing.RootIndexOfRow(3), 0);
    }
};

QUILLERY_REGISTER_TEST(TestPostListController)
#include "tst_PostListController.moc"
