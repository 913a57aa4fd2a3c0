#include "ArchiveFixture.h"
#include "MessageBoxRecorder.h"
#include "PostViewHelpers.h"
#include "TestRegistry.h"

#include "browser/CBodyIndexBuildDialog.h"
#include "browser/CBodySearch.h"
#include "browser/CGoToPost.h"
#include "browser/CKestrelCommands.h"
#include "browser/CMainStatusBar.h"
#include "browser/bodysearch/BodyIndexBuild.h"
#include "browser/posts/CPostListView.h"
#include "browser/posts/CPostPanelFrame.h"
#include "browser/posts/CPostTabStrip.h"
#include "browser/posts/CSnippetDelegate.h"
#include "browser/posts/PostListController.h"
#include "browser/rooms/KestrelEvents.h"
#include "common/UiSeam.h"

#include <QAction>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QToolBar>
#include <QWebEngineSettings>

namespace {

QString u(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

// Posts of rooms 乙 (12) and 丙 (13) of table TA; ID -> room and body (UTF-8 HTML).
struct Post
{
    int id;
    int room;
    const char *body;
};
const Post Posts[] = {
        {3, 13, "<p>没有什么问题。</p>"},
        {5, 12, "<p>服务器报告内存泄漏, 随后重启。</p>"},
        {7, 13,
         "<p>第一段没有要找的词。</p><p>内存<b>泄</b>漏 又一次: 内存泄漏! Error errors ERROR "
         "不要标记的词</p>"},
        {9, 12, "<p>今天天气很好。</p>"},
};

// The archive of ArchiveFixture with the posts above, listed nowhere yet.
struct SearchArchive : ArchiveFixture
{
    SearchArchive()
    {
        for (const Post &post : Posts)
            dir->write("posts/" + std::to_string(post.id) + ".htm",
                       gbk((std::string("<html><head><meta charset=\"gbk\"></head><body>")
                            + post.body + "</body></html>")
                                   .c_str()));
    }

    static bool addRows(CMainFrame &frame)
    {
        CAdoManager ado;
        if (ado.OpenAdoConnection(frame.roomTree()->rooms().GetConnectionString()) != 0)
            return false;
        for (const Post &post : Posts) {
            const std::string sql =
                    "insert into TA (topicid, title, roomid, username, createtime) values ("
                    + std::to_string(post.id) + ", '" + gbk("帖子") + std::to_string(post.id)
                    + "', " + std::to_string(post.room) + ", 'user', '2001-02-03 04:05:06')";
            if (ado.ExecuteSql(sql, CAdoManager::CommandText) != 0)
                return false;
        }
        ado.CloseAdoConnection();
        return true;
    }

    static bool buildIndex(CMainFrame &frame)
    {
        RoomModel &rooms = frame.roomTree()->rooms();
        BodyIndexBuild build(rooms, rooms.GetConnectionString());
        return build.Run(BodyIndexBuild::TargetsOf(rooms)) == BodyIndexOutcome::Completed;
    }

    // The configuration loaded, the posts listed and indexed, the window on screen.
    static bool showIndexed(CMainFrame &frame)
    {
        if (!frame.LoadConfiguration(std::nullopt) || !addRows(frame) || !buildIndex(frame))
            return false;
        frame.resize(1100, 700);
        frame.show();
        return QTest::qWaitForWindowExposed(&frame);
    }
};

QStringList column(CPostListView *list, int column)
{
    QStringList texts;
    for (int row = 0; row < list->topLevelItemCount(); ++row)
        texts << list->topLevelItem(row)->text(column);
    return texts;
}

QTreeWidgetItem *roomItem(CMainFrame &frame, const char *name)
{
    const auto found = frame.roomTree()->findItems(u(name), Qt::MatchRecursive | Qt::MatchExactly);
    return found.isEmpty() ? nullptr : found.first();
}

} // namespace

// The search field on the toolbar: what it finds and where, the list of hits with their
// snippets, the offer to build a missing index, and the hits marked in an opened post.
class TestBodySearch : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void cleanup()
    {
        UiSeam::SetModalHandler({});
        UiSeam::SetMessageBoxHandler({});
    }

    void fieldMenuAndKeys()
    {
        SearchArchive archive;
        CMainFrame frame;
        QVERIFY(frame.LoadConfiguration(std::nullopt));
        frame.show();
        frame.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&frame));
        QLineEdit *field = frame.bodySearch()->field();
        QCOMPARE(field->placeholderText(), u("搜索帖子内容"));
        QVERIFY(frame.commands()->mainToolBar->isAncestorOf(field));
        QAction *command = frame.commands()->bodySearch;
        QCOMPARE(command->text(), u("全文查找..."));
        QVERIFY(frame.commands()->postMenu->actions().contains(command));
        QCOMPARE(command->shortcut(), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F));

        // Ctrl+Shift+F reaches the field from the room tree, also with the toolbar hidden;
        // Ctrl+G still goes to the post ID field.
        frame.commands()->mainToolBar->hide();
        frame.roomTree()->setFocus();
        QTest::keyClick(frame.roomTree(), Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
        QTRY_VERIFY(field->hasFocus());
        QVERIFY(frame.commands()->mainToolBar->isVisible());
        QTest::keyClick(field, Qt::Key_G, Qt::ControlModifier);
        QTRY_VERIFY(frame.goToPost()->field()->hasFocus());

        // The scope follows the tree: nothing selected is the whole archive.
        QCOMPARE(frame.bodySearch()->scopeLabel()->text(), u("范围: 全部帖子"));
        frame.roomTree()->setCurrentItem(roomItem(frame, "乙"));
        QCOMPARE(frame.bodySearch()->scopeLabel()->text(), u("范围: 甲区 > 乙"));
        QVERIFY(field->toolTip().contains(u("甲区 > 乙")));
        field->setFocus();
        screenshot(QStringLiteral("kestrel-search-field.png"));
    }

    void searchListsHitsWithSnippets()
    {
        SearchArchive archive;
        MessageBoxRecorder recorder;
        CMainFrame frame;
        QVERIFY(SearchArchive::showIndexed(frame));

        CPostListView *list = frame.postList();
        frame.roomTree()->setCurrentItem(nullptr);
        QVERIFY(frame.bodySearch()->Search(u("内存泄漏")));
        QVERIFY(recorder.calls().isEmpty());
        // Newest first, over every room; the snippet is the last column.
        QCOMPARE(column(list, 1), (QStringList {u("7"), u("5")}));
        QCOMPARE(column(list, 0), (QStringList {u("帖子7"), u("帖子5")}));
        QCOMPARE(column(list, 2), (QStringList {u("丙"), u("乙")}));
        QVERIFY(list->HasSnippetColumn());
        QCOMPARE(list->headerItem()->text(list->columnCount() - 1), u("内容摘要"));
        // Post 5's hit is in the middle of its sentence; the mark covers it exactly.
        const QString snippet = list->RowSnippet(1);
        QVERIFY2(snippet.contains(u("服务器报告内存泄漏")), qPrintable(snippet));
        const QPoint mark = list->topLevelItem(1)
                                    ->data(list->columnCount() - 1, CSnippetDelegate::MarkRole)
                                    .toPoint();
        QCOMPARE(snippet.mid(mark.x(), mark.y()), u("内存泄漏"));
        QCOMPARE(frame.mainStatusBar()->pane(3)->text(),
                 u("查询记录的个数= 2 ,当前显示第 1 到 2 个"));
        screenshot(QStringLiteral("kestrel-search-results.png"));

        // Scope by room: 乙 holds post 5 only, 丙 post 7; the top-level room its table.
        frame.roomTree()->setCurrentItem(roomItem(frame, "乙"));
        QVERIFY(frame.bodySearch()->Search(u("内存泄漏")));
        QCOMPARE(column(list, 1), QStringList {u("5")});
        frame.roomTree()->setCurrentItem(roomItem(frame, "丙"));
        QVERIFY(frame.bodySearch()->Search(u("内存泄漏")));
        QCOMPARE(column(list, 1), QStringList {u("7")});
        frame.roomTree()->setCurrentItem(roomItem(frame, "甲区"));
        QVERIFY(frame.bodySearch()->Search(u("内存泄漏 -重启")));
        QCOMPARE(column(list, 1), QStringList {u("7")});

        // No hit: an empty list, not a failure. F5 asks again.
        QVERIFY(frame.bodySearch()->Search(u("天气 问题")));
        QCOMPARE(list->topLevelItemCount(), 0);
        frame.commands()->refreshPosts->trigger();
        QCOMPARE(list->topLevelItemCount(), 0);
        QVERIFY(recorder.calls().isEmpty());

        // A room listed again shows its own columns, without snippets.
        QCoreApplication::sendEvent(&frame, new CIndexEvent(WM_OPEN_ROOM, 1));
        QVERIFY(!list->HasSnippetColumn());
    }

    void refusedQueriesKeepTheList()
    {
        SearchArchive archive;
        MessageBoxRecorder recorder;
        CMainFrame frame;
        QVERIFY(frame.LoadConfiguration(std::nullopt));
        QVERIFY(SearchArchive::addRows(frame));
        QVERIFY(SearchArchive::buildIndex(frame));
        QVERIFY(frame.bodySearch()->Search(u("天气")));
        QCOMPARE(frame.postList()->topLevelItemCount(), 1);

        for (const char *query : {"\"内存", "，。！", "-内存", "   "}) {
            recorder.clear();
            QVERIFY2(!frame.bodySearch()->Search(u(query)), query);
            QCOMPARE(recorder.calls().size(), 1);
            QCOMPARE(frame.postList()->topLevelItemCount(), 1);
        }
        recorder.clear();
        frame.bodySearch()->Search(u("\"内存"));
        QVERIFY2(recorder.lastText().contains(u("引号没有配对")), qPrintable(recorder.lastText()));
        // A search the database cannot answer: a clear message, the list as it was.
        const auto rename = [&](const char *sql) {
            CAdoManager ado;
            QCOMPARE(ado.OpenAdoConnection(frame.roomTree()->rooms().GetConnectionString()), 0L);
            QCOMPARE(ado.ExecuteSql(sql, CAdoManager::CommandText), 0L);
            ado.CloseAdoConnection();
        };
        rename("alter table TA rename to TA_away");
        recorder.clear();
        QVERIFY(!frame.bodySearch()->Search(u("内存泄漏")));
        QCOMPARE(recorder.calls().size(), 1);
        QVERIFY2(recorder.lastText().startsWith(u("全文查找失败: ")),
                 qPrintable(recorder.lastText()));
        QVERIFY(!recorder.calls().first().details.isEmpty());
        QCOMPARE(frame.postList()->topLevelItemCount(), 1);
        rename("alter table TA_away rename to TA");

        // Characters a database would read as its own stay text.
        recorder.clear();
        QVERIFY(frame.bodySearch()->Search(u("%' _\\")));
        QCOMPARE(frame.postList()->topLevelItemCount(), 0);
        QVERIFY(recorder.calls().isEmpty());
    }

    void missingIndexIsOfferedAndBuilt()
    {
        SearchArchive archive;
        MessageBoxRecorder recorder;
        CMainFrame frame;
        QVERIFY(frame.LoadConfiguration(std::nullopt));
        QVERIFY(SearchArchive::addRows(frame));
        frame.resize(1100, 700);
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        CBodySearch *search = frame.bodySearch();

        // The field says there is no index once it is reached.
        frame.commands()->bodySearch->trigger();
        QCOMPARE(search->field()->placeholderText(), u("搜索帖子内容 (没有正文索引)"));
        QVERIFY(search->field()->actions().contains(search->buildAction()));

        // Declined: nothing is built, the list stays.
        recorder.queueAnswer(QMessageBox::No);
        int builds = 0;
        UiSeam::SetModalHandler([&](QDialog &) {
            ++builds;
            return int(QDialog::Rejected);
        });
        QVERIFY(!search->Search(u("内存泄漏")));
        QCOMPARE(recorder.calls().size(), 1);
        QVERIFY2(recorder.lastText().contains(u("帖子表 TA 还没有正文索引")),
                 qPrintable(recorder.lastText()));
        QCOMPARE(builds, 0);
        QCOMPARE(frame.postList()->topLevelItemCount(), 0);

        // Accepted: the build window runs to its end, then the search lists its hits.
        recorder.clear();
        recorder.queueAnswer(QMessageBox::Yes);
        QString progress, summary;
        UiSeam::SetModalHandler([&](QDialog &dialog) {
            auto &build = dynamic_cast<CBodyIndexBuildDialog &>(dialog);
            build.show();
            if (!QTest::qWaitForWindowExposed(&build))
                return int(QDialog::Rejected);
            if (!QTest::qWaitFor([&] { return build.completed(); }, 20000))
                return int(QDialog::Rejected);
            progress = build.progressText();
            summary = build.summaryText();
            screenshot(QStringLiteral("kestrel-index-built.png"));
            return int(QDialog::Accepted);
        });
        QVERIFY(search->Search(u("内存泄漏")));
        QVERIFY2(summary.startsWith(u("正文索引已建立: 编入 4 个帖子")), qPrintable(summary));
        QVERIFY2(progress.contains(u("已检查 4 / 4 个帖子")), qPrintable(progress));
        QCOMPARE(column(frame.postList(), 1), (QStringList {u("7"), u("5")}));
        QCOMPARE(search->field()->placeholderText(), u("搜索帖子内容"));
        QVERIFY(!search->field()->actions().contains(search->buildAction()));
    }

    void stoppedBuildKeepsTheArchive()
    {
        SearchArchive archive;
        MessageBoxRecorder recorder;
        CMainFrame frame;
        QVERIFY(frame.LoadConfiguration(std::nullopt));
        frame.resize(1100, 700);
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        // Enough posts that the run is still going when the window closes.
        QVERIFY(ArchiveFixture::fill(frame, 2000));
        std::string body;
        for (int i = 0; i < 800; ++i)
            body += "<p>" + gbk("一段很长的正文, 写了又写") + std::to_string(i) + "</p>";
        // Rows 1001 to 2000 have no file where their entry puts them: they are lines of the
        // run, not hits.
        for (int id = 1; id <= 1000; ++id)
            archive.dir->write("posts/" + std::to_string(id) + ".htm",
                               "<html><body>" + body + "</body></html>");
        // The window's close box while the run goes on stops it; the window closes once it
        // has ended, and the archive answers queries afterwards.
        bool closedAfterEnd = false;
        QString summary;
        UiSeam::SetModalHandler([&](QDialog &dialog) {
            auto &build = dynamic_cast<CBodyIndexBuildDialog &>(dialog);
            build.show();
            if (!QTest::qWaitFor([&] { return build.running() || build.ended(); }, 5000))
                return int(QDialog::Rejected);
            // Part of the way: the bar and the counts move.
            if (QTest::qWaitFor([&] { return build.progressBar()->value() > 0 || build.ended(); },
                                10000))
                screenshot(QStringLiteral("kestrel-index-build.png"));
            build.close();
            if (!QTest::qWaitFor([&] { return build.ended(); }, 30000))
                return int(QDialog::Rejected);
            closedAfterEnd = build.isHidden() && !build.stopButton()->isEnabled();
            summary = build.summaryText();
            return int(QDialog::Rejected);
        });
        frame.roomTree()->setCurrentItem(roomItem(frame, "甲区"));
        QVERIFY(!frame.bodySearch()->BuildIndexes());
        QVERIFY(closedAfterEnd);
        QVERIFY2(summary.startsWith(u("已停止")), qPrintable(summary));
        QVERIFY(recorder.calls().isEmpty());
        QCoreApplication::sendEvent(&frame, new CIndexEvent(WM_OPEN_ROOM, 1));
        QCOMPARE(frame.postList()->topLevelItemCount(), 100);

        // A later build goes on from there and completes; the search then answers.
        UiSeam::SetModalHandler([&](QDialog &dialog) {
            auto &build = dynamic_cast<CBodyIndexBuildDialog &>(dialog);
            build.show();
            return QTest::qWaitFor([&] { return build.ended(); }, 60000) ? int(QDialog::Accepted)
                                                                         : int(QDialog::Rejected);
        });
        QVERIFY(frame.bodySearch()->BuildIndexes());
        QVERIFY(frame.bodySearch()->Search(u("写了又写199")));
        QCOMPARE(frame.mainStatusBar()->pane(3)->text(),
                 u("查询记录的个数= 1000 ,当前显示第 1 到 100 个"));
        QCOMPARE(frame.postList()->topLevelItem(0)->text(1), u("1000"));
        frame.commands()->nextPage->trigger();
        QCOMPARE(frame.postList()->topLevelItem(0)->text(1), u("900"));
        QCOMPARE(frame.mainStatusBar()->pane(3)->text(),
                 u("查询记录的个数= 1000 ,当前显示第 101 到 200 个"));
        frame.commands()->previousPage->trigger();
        QCOMPARE(frame.postList()->topLevelItem(0)->text(1), u("1000"));
        frame.commands()->previousPage->trigger();
        QCOMPARE(frame.mainStatusBar()->pane(3)->text(), u("已经到达第一页了(总记录个数=1000)"));
    }

    void openedHitIsMarked()
    {
        SearchArchive archive;
        MessageBoxRecorder recorder;
        CMainFrame frame;
        QVERIFY(SearchArchive::showIndexed(frame));
        CPostView *view = frame.postPanel()->view();

        QVERIFY(frame.bodySearch()->Search(u("内存泄漏 error -重启")));
        QCOMPARE(column(frame.postList(), 1), QStringList {u("7")});
        QSignalSpy marked(view, &CPostView::hitsMarked);
        frame.postList()->setCurrentItem(frame.postList()->topLevelItem(0));
        QCoreApplication::postEvent(&frame, new CIndexEvent(WM_OPEN_POST, 0));
        QVERIFY(marked.wait(20000));
        // Both 内存泄漏 (one across <b>), "Error" and "ERROR" but not "errors".
        QCOMPARE(marked.first().first().toInt(), 4);
        const QString marks = evaluate(view,
                                       QStringLiteral("Array.from(document.querySelectorAll("
                                                      "'[data-quillery-hit]')).map(function(m) {"
                                                      "return m.textContent; }).join('|')"))
                                      .toString();
        QCOMPARE(marks, u("内存|泄|漏|内存泄漏|Error|ERROR"));
        // The page's own scripts stay off.
        QVERIFY(!view->page()->settings()->testAttribute(QWebEngineSettings::JavascriptEnabled));
        screenshot(QStringLiteral("kestrel-search-post.png"));

        // An edited post is written without the marks, its text whole.
        CPostTabStrip *strip = frame.postPanel()->strip();
        strip->editAction->trigger();
        QTRY_COMPARE(designMode(view), QStringLiteral("on"));
        strip->saveAction->trigger();
        QTRY_COMPARE(designMode(view), QStringLiteral("off"));
        const std::string saved = archive.dir->read("posts/7.htm");
        QVERIFY2(saved.find("data-quillery-hit") == std::string::npos, qPrintable(show(saved)));
        QVERIFY2(saved.find(gbk("内存<b>泄</b>漏 又一次: 内存泄漏! Error errors ERROR"))
                         != std::string::npos,
                 qPrintable(show(saved)));
        QVERIFY(recorder.calls().isEmpty());

        // A post opened from a room's list marks nothing.
        QCoreApplication::sendEvent(&frame, new CIndexEvent(WM_OPEN_ROOM, 2));
        QVERIFY(frame.postList()->topLevelItemCount() > 0);
        QVERIFY(loads(view, [&] {
            QCoreApplication::sendEvent(&frame, new CIndexEvent(WM_OPEN_POST, 0));
        }));
        QTest::qWait(300);
        QCOMPARE(evaluate(view,
                          QStringLiteral("document.querySelectorAll('[data-quillery-hit]').length"))
                         .toInt(),
                 0);
    }
};

QUILLERY_REGISTER_TEST(TestBodySearch)
#include "tst_BodySearch.moc"
