#include "PlaceholderSpy.h"
#include "TestRegistry.h"
#include "TestSupport.h"

#include "browser/posts/NotFoundPage.h"
#include "browser/posts/PostColumnTable.h"
#include "browser/posts/PostRequestPolicy.h"
#include "browser/posts/PostTabList.h"
#include "common/FileSystem.h"

namespace {
// Every byte is 10 pixels and a tab has 6 pixels of frame.
int byteWidth(int, const std::string &label)
{
    return 6 + 10 * int(label.size());
}
} // namespace

class TestPostPieces : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { dir_ = std::make_unique<TempAppDir>(); }
    void cleanup() { dir_.reset(); }

    void columnWidthsShareTheRest()
    {
        PostColumnTable table;
        QCOMPARE(table.ShownSlots(), (std::vector<int> {0, 1, 2}));
        QCOMPARE(table.ColumnWidths(600), (std::vector<int> {300, 55, 245}));
        table.RecomputeShown(
                {"topicid", "title", "roomid", "reply", "username", "createtime", "other"});
        QCOMPARE(table.ShownSlots(), (std::vector<int> {0, 1, 2, 3, 4, 5}));
        // 1000: 500 + 55 + 36 fixed, three columns share 409.
        QCOMPARE(table.ColumnWidths(1000), (std::vector<int> {500, 55, 136, 36, 136, 136}));
        table.RecomputeShown({"title", "topicid"});
        QCOMPARE(table.ShownSlots(), (std::vector<int> {0, 1}));
        table.RecomputeShown({"Title", "TOPICID", "roomid"}); // names match exactly
        QCOMPARE(table.ShownSlots(), (std::vector<int> {2}));
    }

    void narrowListGivesSharingColumnsAMinimum()
    {
        PostColumnTable table;
        QCOMPARE(table.ColumnWidths(100), (std::vector<int> {50, 55, 20}));
        QCOMPARE(table.ColumnWidths(110), (std::vector<int> {55, 55, 20}));
        QCOMPARE(table.ColumnWidths(140), (std::vector<int> {70, 55, 20})); // 15 left over
        QCOMPARE(table.ColumnWidths(150), (std::vector<int> {75, 55, 20}));
        QCOMPARE(table.ColumnWidths(152), (std::vector<int> {76, 55, 21}));
    }

    void tabsOpenRetitleAndDropOldest()
    {
        PostTabList tabs;
        QCOMPARE(tabs.Open("a", "/p/1").target, 0);
        const auto again = tabs.Open("a2", "/p/1");
        QCOMPARE(again.target, 0);
        QCOMPARE(again.action, PostTabList::OpenAction::Retitled);
        QCOMPARE(tabs.count(), 1);
        QCOMPARE(tabs.entry(0).title, std::string("a2"));
        for (int i = 2; i <= 5; ++i)
            QCOMPARE(tabs.Open("t" + std::to_string(i), "/p/" + std::to_string(i)).target, i - 1);
        const auto sixth = tabs.Open("t6", "/p/6");
        QCOMPARE(sixth.action, PostTabList::OpenAction::DroppedOldest);
        QCOMPARE(sixth.target, 4);
        QCOMPARE(tabs.count(), 5);
        QCOMPARE(tabs.entry(0).displayPath, std::string("/p/2"));
        QCOMPARE(tabs.entry(4).displayPath, std::string("/p/6"));
        // Paths compare byte for byte.
        QCOMPARE(tabs.Open("x", "/P/2").action, PostTabList::OpenAction::DroppedOldest);
        tabs.Close(1);
        QCOMPARE(tabs.count(), 4);
        QCOMPARE(tabs.entry(1).displayPath, std::string("/p/5"));
        tabs.Close(7);
        QCOMPARE(tabs.count(), 4);
    }

    void fitsLabelsIntoAllowances()
    {
        // One tab: the whole area minus 5. Width 100, allowance 95: "abcdefgh" (86) fits.
        QCOMPARE(FitTabLabels({"abcdefgh"}, 0, 100, byteWidth),
                 std::vector<std::string> {"abcdefgh"});
        // 9 bytes are 96 >= 95: one byte goes.
        QCOMPARE(FitTabLabels({"abcdefghi"}, 0, 100, byteWidth),
                 std::vector<std::string> {"abcdefgh"});
        // Three tabs in 400: unselected get 400/4 = 100 each (labels below 100: 9 bytes = 96).
        const auto labels =
                FitTabLabels({"0123456789ab", "x", "0123456789abcdefghijklmnopqrstuvwxyz0123"}, 2,
                             400, byteWidth);
        QCOMPARE(labels[0], std::string("012345678")); // 96
        QCOMPARE(labels[1], std::string("x")); // 16
        // Selected: 400 - 96 - 16 - 5 = 283: 27 bytes = 276.
        QCOMPARE(labels[2].size(), std::size_t(27));
        // Down to an empty label when even that is too wide.
        QCOMPARE(FitTabLabels({"abc"}, 0, 8, byteWidth), std::vector<std::string> {""});
    }

    void cutsWholeCharactersOnly()
    {
        const std::string title = gbk("中文标题");
        // 8 bytes are 86 pixels; allowance 70: each cut removes a whole character.
        const auto labels = FitTabLabels({title}, 0, 75, byteWidth);
        QCOMPARE(labels[0], gbk("中文标"));
        QCOMPARE(FitTabLabels({title}, 0, 60, byteWidth)[0], gbk("中文"));
    }

    void notFoundPageNamesTheMissingPath()
    {
        PlaceholderSpy spy;
        dir_->write("Configs/NoPost.Bk", gbk("<p>没有 |NOT_FOUND_PATH| ||x|| |APP_PATH|</p>"));
        std::string why;
        const std::string missing = gbk("/档案/缺少.htm");
        const std::string page = BuildNotFoundPage(missing, why);
        QCOMPARE(page, dir_->path() + "/Configs/NoPost.htm");
        QCOMPARE(dir_->read("Configs/NoPost.htm"),
                 gbk("<p>没有 ") + missing + " |x| " + dir_->path() + "</p>");
        QVERIFY(spy.reports().empty());

        // A read-only page from an earlier run is rewritten.
        QVERIFY(!FileSystem::setReadOnly(page));
        QCOMPARE(BuildNotFoundPage("", why), page);
        QCOMPARE(dir_->read("Configs/NoPost.htm"), gbk("<p>没有  |x| ") + dir_->path() + "</p>");
    }

    void notFoundPageNeedsItsTemplate()
    {
        std::string why;
        QCOMPARE(BuildNotFoundPage("/x", why), std::string());
        QVERIFY(QString::fromStdString(why).contains(QStringLiteral("NoPost.Bk")));
        QVERIFY(!FileSystem::exists(NotFoundPagePath()));
    }

    void requestsStayInThePostsArea()
    {
        const QUrl post = QUrl::fromLocalFile(QStringLiteral("/home/u/archive/htm/111/5.htm"));
        QVERIFY(IsPostRequestAllowed(post, post, true));
        QVERIFY(!IsPostRequestAllowed(QUrl::fromLocalFile(QStringLiteral("/etc/passwd")), post,
                                      true));
        const auto sub = [&](const char *path) {
            return IsPostRequestAllowed(QUrl::fromLocalFile(QString::fromLatin1(path)), post,
                                        false);
        };
        QVERIFY(sub("/home/u/archive/htm/111/a.png"));
        QVERIFY(sub("/home/u/archive/htm/lumora.css"));
        QVERIFY(sub("/home/u/archive/images/logo.svg"));
        QVERIFY(!sub("/home/u/other/secret.txt"));
        QVERIFY(!sub("/home/u/archive/../.ssh/id_rsa"));
        QVERIFY(!sub("/etc/hostname"));
        QVERIFY(!IsPostRequestAllowed(QUrl(QStringLiteral("http://beacon.example/x.png")), post,
                                      false));
        QVERIFY(!IsPostRequestAllowed(QUrl(QStringLiteral("https://example.com/")), post, true));
        QVERIFY(!IsPostRequestAllowed(QUrl(QStringLiteral("data:text/html,x")), post, false));
        const QUrl shallow = QUrl::fromLocalFile(QStringLiteral("/a/5.htm"));
        QVERIFY(!IsPostRequestAllowed(QUrl::fromLocalFile(QStringLiteral("/etc/passwd")), shallow,
                                      false));
    }

private:
    std::unique_ptr<TempAppDir> dir_;
};

QUILLERY_REGISTER_TEST(TestPostPieces)
#include "tst_PostPieces.moc"
