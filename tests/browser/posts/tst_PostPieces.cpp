#include "PlaceholderSpy.h"
#include "TestRegistry.h"
#include "TestSupport.h"

#include "browser/posts/EditedPage.h"
#include "browser/posts/NotFoundPage.h"
#include "browser/posts/PostColumnTable.h"
#include "browser/posts/PostSandbox.h"
#include "browser/posts/PostTabList.h"
#include "browser/posts/TextEditorCommand.h"
#include "browser/rooms/PostPlaceholder.h"
#include "common/AppDirectory.h"
#include "common/FileSystem.h"

#include <QDir>

#include <cstdio>
#include <unistd.h>

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

    void columnsAreFoundByTheirField()
    {
        PostColumnTable table;
        table.RecomputeShown({"topicid", "roomid", "reply"}); // no title
        QCOMPARE(table.ColumnOf(PostColumnTable::TopicIdSlot), 0);
        QCOMPARE(table.ColumnOf(PostColumnTable::RoomIdSlot), 1);
        QCOMPARE(table.ColumnOf(3), 2);
        QCOMPARE(table.ColumnOf(PostColumnTable::TitleSlot), -1);
        table.RecomputeShown({"roomid", "reply"});
        QCOMPARE(table.ColumnOf(PostColumnTable::TopicIdSlot), -1);
        QCOMPARE(table.ColumnOf(PostColumnTable::RoomIdSlot), 0);
        QCOMPARE(table.ColumnOf(-1), -1);
        QCOMPARE(table.ColumnOf(PostColumnTable::SlotCount), -1);
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

    void titleGivesWayToWhatTheSharingColumnsNeed()
    {
        PostColumnTable table;
        table.RecomputeShown({"topicid", "title", "roomid", "reply", "username", "createtime"});
        // Wide enough: the widths are the plain ones.
        QCOMPARE(table.ColumnWidths(1000, 110), (std::vector<int> {500, 55, 136, 36, 136, 136}));
        // 620: the plain share would be 73; the title gives 111 of its 310.
        QCOMPARE(table.ColumnWidths(620), (std::vector<int> {310, 55, 73, 36, 73, 73}));
        QCOMPARE(table.ColumnWidths(620, 110), (std::vector<int> {199, 55, 110, 36, 110, 110}));
        // The title keeps as much as a sharing column is wanted to have.
        QCOMPARE(table.ColumnWidths(400, 110), (std::vector<int> {110, 55, 66, 36, 66, 66}));
        QCOMPARE(table.ColumnWidths(150, 110), (std::vector<int> {75, 55, 20, 36, 20, 20}));
        // Without sharing columns nothing changes.
        table.RecomputeShown({"topicid", "title", "reply"});
        QCOMPARE(table.ColumnWidths(300, 110), (std::vector<int> {150, 55, 36}));
    }

    void tabsOpenRetitleAndDropOldest()
    {
        PostTabList tabs;
        QCOMPARE(tabs.Open("a", "/p/1").target, 0);
        const auto again = tabs.Open("a2", "/p/1", "", "17", "/q/17.htm");
        QCOMPARE(again.target, 0);
        QCOMPARE(again.action, PostTabList::OpenAction::Retitled);
        QCOMPARE(tabs.count(), 1);
        QCOMPARE(tabs.entry(0).title, std::string("a2"));
        // The shared not-found tab tells of the post opened last.
        QCOMPARE(tabs.entry(0).postId, std::string("17"));
        QCOMPARE(tabs.entry(0).postPath, std::string("/q/17.htm"));
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

    void sandboxKeepsToThePostAndItsArchive()
    {
        dir_->write("archive/htm/9/5.htm", "<p>post</p>");
        dir_->write("archive/htm/9/a.png", "png");
        dir_->write("archive/htm/own.css", "p {}");
        dir_->write("archive/other/x.css", "p {}");
        dir_->write("secret.txt", "key");
        const std::string nine = dir_->file("archive/htm/9/");
        QVERIFY(::symlink("../../../secret.txt", (nine + "out.css").c_str()) == 0);
        QVERIFY(::symlink(dir_->file("archive/htm").c_str(), dir_->file("linked").c_str()) == 0);

        // Reached through a link and "..": the real locations count.
        const PostSandbox sandbox(dir_->file("linked/9/../9/./5.htm"), dir_->file("linked"));
        const std::string real = FileSystem::resolveDiskPath(dir_->file("archive/htm"));
        QCOMPARE(sandbox.roots(), (std::vector<std::string> {real + "/9", real}));
        QCOMPARE(sandbox.url(), QUrl::fromLocalFile(QString::fromStdString(real + "/9/5.htm")));
        const auto url = [&](const char *relative) {
            return QUrl::fromLocalFile(dir_->qtPath() + QLatin1Char('/')
                                       + QString::fromLatin1(relative));
        };
        QVERIFY(sandbox.IsDocument(url("archive/htm/9/5.htm")));
        QUrl anchor = url("archive/htm/9/5.htm");
        anchor.setFragment(QStringLiteral("top"));
        QVERIFY(sandbox.IsDocument(anchor));
        QVERIFY(sandbox.IsDocument(url("archive/htm/9/../9/5.htm")));
        QVERIFY(!sandbox.IsDocument(url("archive/htm/9/a.png")));
        QVERIFY(sandbox.Allows(url("archive/htm/9/5.htm"), PostResource::Document));
        QVERIFY(sandbox.Allows(url("archive/htm/own.css"), PostResource::Stylesheet));
        QVERIFY(sandbox.Allows(url("linked/9/a.png"), PostResource::Image));
        QVERIFY(sandbox.Allows(url("archive/htm/own.css"), PostResource::Font));
        // Frames, objects and other documents are refused even inside the archive.
        QVERIFY(!sandbox.Allows(url("archive/htm/9/a.png"), PostResource::Other));
        QVERIFY(!sandbox.Allows(url("archive/htm/9/a.png"), PostResource::Document));
        QVERIFY(!sandbox.Allows(url("archive/other/x.css"), PostResource::Stylesheet));
        QVERIFY(!sandbox.Allows(url("secret.txt"), PostResource::Image));
        QVERIFY(!sandbox.Allows(url("archive/htm/9/out.css"), PostResource::Stylesheet));
        QVERIFY(!sandbox.Allows(url("archive/htm/9/../../../secret.txt"), PostResource::Image));
        QVERIFY(!sandbox.Allows(url("archive/htm/9/missing.png"), PostResource::Image));
        QVERIFY(!sandbox.Allows(QUrl(QStringLiteral("http://127.0.0.1/a.png")),
                                PostResource::Image));
        QVERIFY(!sandbox.Allows(QUrl(QStringLiteral("data:image/png,x")), PostResource::Image));
        QUrl withHost = url("archive/htm/own.css");
        withHost.setHost(QStringLiteral("127.0.0.1"));
        QVERIFY(!sandbox.Allows(withHost, PostResource::Stylesheet));

        // A sibling whose name starts with the archive folder's is outside it.
        dir_->write("archive/htm-old/x.css", "p {}");
        dir_->write("archive/htm-old/x.png", "png");
        dir_->write("archive/htmx.png", "png");
        QVERIFY(!sandbox.Allows(url("archive/htm-old/x.css"), PostResource::Stylesheet));
        QVERIFY(!sandbox.Allows(url("archive/htm-old/x.png"), PostResource::Image));
        QVERIFY(!sandbox.Allows(url("archive/htmx.png"), PostResource::Image));

        // A post file or room folder that links out of its area loads nothing at all.
        dir_->write("elsewhere/5.htm", "<p>not the archive's</p>");
        QVERIFY(::symlink("../../../secret.txt", (nine + "linked.htm").c_str()) == 0);
        QVERIFY(::symlink("../../elsewhere", dir_->file("archive/htm/8").c_str()) == 0);
        QVERIFY(sandbox.HoldsDocument());
        for (const char *outside : {"archive/htm/9/linked.htm", "archive/htm/8/5.htm"}) {
            const PostSandbox linked(dir_->file(outside), dir_->file("archive/htm"));
            QVERIFY2(!linked.HoldsDocument(), outside);
            QVERIFY(linked.roots().empty());
            QVERIFY(!linked.IsDocument(url(outside)));
            QVERIFY(!linked.Allows(url("archive/htm/own.css"), PostResource::Stylesheet));
        }
        // With no archive folder, the folder the post was looked up in is its area.
        QVERIFY(!PostSandbox(dir_->file("archive/htm/9/linked.htm"), std::string())
                         .HoldsDocument());
        QVERIFY(PostSandbox(dir_->file("archive/htm/8/5.htm"), std::string()).HoldsDocument());
        ::unlink(dir_->file("archive/htm/8").c_str());

        // A bare name was looked up in the working folder.
        const QString before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(QString::fromStdString(dir_->file("archive/htm/9"))));
        QVERIFY(PostSandbox("5.htm", std::string()).HoldsDocument());
        QVERIFY(!PostSandbox("linked.htm", std::string()).HoldsDocument());
        QVERIFY(QDir::setCurrent(before));

        // Without an archive folder only the post's own folder.
        const PostSandbox alone(dir_->file("archive/htm/9/5.htm"), std::string());
        QVERIFY(alone.Allows(url("archive/htm/9/a.png"), PostResource::Image));
        QVERIFY(!alone.Allows(url("archive/htm/own.css"), PostResource::Stylesheet));
        // The file system's root is never an area.
        QVERIFY(PostSandbox("/5.htm", "/").roots().empty());
        // Links to folders would lead the folder's removal astray.
        ::unlink(dir_->file("linked").c_str());
    }

    void sandboxMatchesRawGbkNames()
    {
        // An archive unpacked without converting its names: the name on disk is GBK.
        const std::string name = gbk("帖子.htm");
        dir_->write("raw/x", "");
        const std::string diskPath = dir_->path() + "/raw/" + name;
        std::FILE *file = std::fopen(diskPath.c_str(), "wb");
        QVERIFY(file);
        std::fclose(file);
        const PostSandbox sandbox(diskPath, std::string());
        QCOMPARE(DiskPathOfFileUrl(sandbox.url()), FileSystem::resolveDiskPath(diskPath));
        QVERIFY(sandbox.url().toEncoded().endsWith("/raw/%CC%FB%D7%D3.htm"));
        QVERIFY(sandbox.IsDocument(QUrl::fromEncoded(sandbox.url().toEncoded() + "#top")));
        QVERIFY(!sandbox.IsDocument(QUrl::fromLocalFile(QString::fromUtf8("/tmp/帖子.htm"))));
    }

    void archiveFolderOfPathTemplates()
    {
        PlaceholderSpy spy;
        const std::string app = AppDirectory();
        QCOMPARE(PostArchiveFolder("|APP_PATH|\\htm\\|ROOMID|\\|ID|.htm"), app + "/htm");
        // A post placeholder inside a name leaves no folder that is surely the archive's:
        // the fixed part of "Lumora_|ROOMID|" would widen it to the home folder.
        QCOMPARE(PostArchiveFolder("|APP_PATH|\\posts\\p|ID|.htm"), std::string());
        QCOMPARE(PostArchiveFolder("/home/u/Lumora_|ROOMID|/|ID|.htm"), std::string());
        QCOMPARE(PostArchiveFolder("/home/u/Lumora/x|ROOMNAME_PATH|/|ID|.htm"), std::string());
        QCOMPARE(PostArchiveFolder("/home/u/Lumora\\|ROOMID|\\|ID|.htm"),
                 std::string("/home/u/Lumora"));
        // 運 is DF 5C in GBK: its trail byte is no separator.
        QCOMPARE(PostArchiveFolder("/home/u/" + gbk("運") + "|ROOMID|/|ID|.htm"), std::string());
        QCOMPARE(PostArchiveFolder("/data/|ROOMNAME_PATH|/|TITLE|.htm"), std::string("/data"));
        QCOMPARE(PostArchiveFolder("/data/fixed/one.htm"), std::string("/data/fixed"));
        QCOMPARE(PostArchiveFolder("|ID|.htm"), std::string());
        QCOMPARE(PostArchiveFolder("/a/|WHAT|/b/|ID|.htm"), std::string("/a//b"));
        QVERIFY(spy.reports().empty()); // reported once, by the post's own path
    }

    void notFoundPageShowsThePathAsText()
    {
        dir_->write("Configs/NoPost.Bk", "<a title=\"|NOT_FOUND_PATH|\">|NOT_FOUND_PATH|</a>");
        std::string why;
        QVERIFY(!BuildNotFoundPage(gbk("/档/<b>&\"x'.htm"), why).empty());
        const std::string shown = gbk("/档/&lt;b&gt;&amp;&quot;x&#39;.htm");
        QCOMPARE(dir_->read("Configs/NoPost.htm"), "<a title=\"" + shown + "\">" + shown + "</a>");
    }

    void editedPagesKeepTheirCharset()
    {
        std::string bytes;
        // 한 (Hangul) and an emoji are not in GBK: references, never "?".
        QVERIFY(EncodePage(QString::fromUtf8("<p>中文 한 😀 a?</p>"), QStringLiteral("GBK"), bytes));
        QCOMPARE(bytes, gbk("<p>中文 ") + "&#54620; &#128512; a?</p>");
        QVERIFY(EncodePage(QString::fromUtf8("한한中"), QStringLiteral("GBK"), bytes));
        QCOMPARE(bytes, "&#54620;&#54620;" + gbk("中"));
        QVERIFY(EncodePage(QString::fromUtf8("中文 한"), QStringLiteral("UTF-8"), bytes));
        QCOMPARE(bytes, std::string("中文 한"));
        QVERIFY(!EncodePage(QStringLiteral("x"), QStringLiteral("no-such-charset"), bytes));

        QCOMPARE(EditingModeCode(QStringLiteral("on")), 0);
        QCOMPARE(EditingModeCode(QStringLiteral("Off")), 1);
        QCOMPARE(EditingModeCode(QStringLiteral("Inherit")), 2);
        QCOMPARE(EditingModeCode(QStringLiteral("true")), 31);
        QVERIFY(EndsWithXml("/p/1.XmL"));
        QVERIFY(EndsWithXml(".xml"));
        QVERIFY(!EndsWithXml("/p/1.xm"));
        QVERIFY(!EndsWithXml("xml"));
        QCOMPARE(ProposedHtmlPath(gbk("/档/123.xml")), gbk("/档/123.htm"));
        QCOMPARE(ProposedHtmlPath("/p/123.XmL"), std::string("/p/123.htm"));
        // Only a final ".xml" is replaced: a page keeps its name.
        QCOMPARE(ProposedHtmlPath("/p/x.html"), std::string("/p/x.html"));
        QCOMPARE(ProposedHtmlPath("/p/5.htm"), std::string("/p/5.htm"));
        QCOMPARE(ProposedHtmlPath("/p.xml/5"), std::string("/p.xml/5"));
        QCOMPARE(SerializedPage(QStringLiteral("<!DOCTYPE html>"), QStringLiteral("<html></html>")),
                 QStringLiteral("<!DOCTYPE html>\n<html></html>"));
        QCOMPARE(WithCharsetDeclared(QStringLiteral("<html><HEAD lang=\"x\"><title>t</title>"),
                                     QStringLiteral("GBK")),
                 QStringLiteral("<html><HEAD lang=\"x\"><meta charset=\"GBK\"><title>t</title>"));
        const QString declared = QStringLiteral("<head><meta http-equiv=\"Content-Type\" "
                                                "content=\"text/html; charset=gbk\"></head>");
        QCOMPARE(WithCharsetDeclared(declared, QStringLiteral("UTF-8")), declared);
    }

    void savingReplacesTheWholeFileOrNothing()
    {
        dir_->write("p/1.htm", "old");
        const std::string path = dir_->file("p/1.htm");
        std::string why;
        QVERIFY(WriteEditedPage(path, QString::fromUtf8("新的"), QStringLiteral("GBK"), why));
        QCOMPARE(dir_->read("p/1.htm"), gbk("新的"));
        QVERIFY(!FileSystem::setReadOnly(path));
        QVERIFY(!WriteEditedPage(path, QStringLiteral("again"), QStringLiteral("GBK"), why));
        QVERIFY(!why.empty());
        QCOMPARE(dir_->read("p/1.htm"), gbk("新的"));
        QVERIFY(!WriteEditedPage(dir_->file("none/1.htm"), QStringLiteral("x"),
                                 QStringLiteral("GBK"), why));
        std::vector<FileSystem::DirectoryEntry> left;
        QVERIFY(!FileSystem::listDirectory(dir_->file("p"), "*", left));
        QCOMPARE(left.size(), std::size_t(1)); // no temporary file stays behind
        QVERIFY(FileSystem::isReadOnly(path));
    }

    void textEditorComesFromTheEnvironment()
    {
        const TextEditorCommand visual = ChooseTextEditor(
                QStringLiteral("\"/opt/my editor/ed\" --new-window"), QStringLiteral("kate"));
        QCOMPARE(visual.program, QStringLiteral("/opt/my editor/ed"));
        QCOMPARE(visual.arguments, QStringList {QStringLiteral("--new-window")});
        QCOMPARE(ChooseTextEditor(QString(), QStringLiteral("kate -n")).program,
                 QStringLiteral("kate"));
        // A terminal editor has no window of its own: the desktop chooses.
        QVERIFY(ChooseTextEditor(QString(), QStringLiteral("/usr/bin/vim")).program.isEmpty());
        QVERIFY(ChooseTextEditor(QStringLiteral("  "), QStringLiteral("nano -w"))
                        .program.isEmpty());
        QVERIFY(ChooseTextEditor(QString(), QString()).program.isEmpty());
    }

private:
    std::unique_ptr<TempAppDir> dir_;
};

QUILLERY_REGISTER_TEST(TestPostPieces)
#include "tst_PostPieces.moc"
