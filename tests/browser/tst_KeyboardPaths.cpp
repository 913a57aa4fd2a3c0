#include "ArchiveFixture.h"
#include "MessageBoxRecorder.h"
#include "PostViewHelpers.h"
#include "TestRegistry.h"

#include "browser/CGoToPost.h"
#include "browser/CKestrelCommands.h"
#include "browser/CMainStatusBar.h"
#include "browser/posts/CConfirmOperationDialog.h"
#include "browser/posts/CFindPostDialog.h"
#include "browser/posts/CPostFullScreenDialog.h"
#include "browser/posts/CPostListView.h"
#include "browser/posts/CPostPanelFrame.h"
#include "browser/posts/CPostTabStrip.h"
#include "browser/posts/PostListController.h"
#include "browser/posts/PostPager.h"
#include "browser/rooms/KestrelEvents.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QSplitter>
#include <QTimer>
#include <QToolBar>

#include <cmath>
#include <functional>

namespace {

class EventSpy : public QObject
{
public:
    QList<QPair<int, int>> events; // type, index
    bool event(QEvent *event) override
    {
        if (event->type() == WM_OPEN_ROOM || event->type() == WM_OPEN_POST) {
            events.append({int(event->type()), static_cast<CIndexEvent *>(event)->index()});
            return true;
        }
        return QObject::event(event);
    }
};

// A key as the user types it: to whatever has the focus, shortcuts first.
void press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QWidget *target = QApplication::focusWidget();
    QVERIFY(target);
    QTest::keyClick(target, Qt::Key(key), modifiers);
}

// The pop-up menu that opens from within `action`, closed again; nullptr when none.
QMenu *menuOpenedBy(const std::function<void()> &action, const QString &shot = QString())
{
    QMenu *opened = nullptr;
    QTimer::singleShot(0, [&] {
        QTRY_VERIFY(QApplication::activePopupWidget());
        opened = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        if (!shot.isEmpty())
            screenshot(shot);
        QApplication::activePopupWidget()->close();
    });
    action();
    return opened;
}

QWidget *focusedPane(CMainFrame &frame)
{
    QWidget *focus = QApplication::focusWidget();
    for (QWidget *pane :
         {static_cast<QWidget *>(frame.roomTree()), static_cast<QWidget *>(frame.postList()),
          static_cast<QWidget *>(frame.postPanel())}) {
        if (pane == focus || pane->isAncestorOf(focus))
            return pane;
    }
    return nullptr;
}

} // namespace

// Everything the mouse does in Kestrel, done from the keyboard.
class TestKeyboardPaths : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // Ctrl+Q closes the main window; the test program goes on.
    void initTestCase() { QGuiApplication::setQuitOnLastWindowClosed(false); }
    void cleanupTestCase() { QGuiApplication::setQuitOnLastWindowClosed(true); }
    void init() { fixture_ = std::make_unique<ArchiveFixture>(); }
    void cleanup()
    {
        UiSeam::SetModalHandler({});
        fixture_.reset();
    }

    void enterActivatesAndShiftF10OpensTheMenu()
    {
        EventSpy spy;
        CLeftTreeView tree(&spy);
        std::string path, reason;
        QVERIFY(tree.LoadTreeConfig(std::nullopt, path, reason));
        QMenu roomMenu;
        roomMenu.addAction(QStringLiteral("x"));
        tree.setRoomMenu(&roomMenu);
        tree.show();
        QVERIFY(QTest::qWaitForWindowExposed(&tree));

        // Without a selection Enter does nothing; arrows move it and do not query.
        QTest::keyClick(&tree, Qt::Key_Return);
        QTest::keyClick(&tree, Qt::Key_Down);
        QTest::keyClick(&tree, Qt::Key_Right); // opens 甲区
        QTest::keyClick(&tree, Qt::Key_Down);
        QCoreApplication::sendPostedEvents(&spy);
        QVERIFY(spy.events.isEmpty());
        QCOMPARE(tree.currentItem()->text(0), QString::fromUtf8("乙"));
        QTest::keyClick(&tree, Qt::Key_Enter, Qt::KeypadModifier);
        QTest::keyClick(&tree, Qt::Key_Return);
        QVERIFY(tree.currentItem()->parent()->isExpanded());
        QCoreApplication::sendPostedEvents(&spy);
        QCOMPARE(spy.events,
                 (QList<QPair<int, int>> {{int(WM_OPEN_ROOM), 1}, {int(WM_OPEN_ROOM), 1}}));
        // Ctrl+Enter is no activation.
        QTest::keyClick(&tree, Qt::Key_Return, Qt::ControlModifier);
        QCoreApplication::sendPostedEvents(&spy);
        QCOMPARE(spy.events.size(), 2);
        QCOMPARE(menuOpenedBy([&] { QTest::keyClick(&tree, Qt::Key_F10, Qt::ShiftModifier); }),
                 &roomMenu);
        QCOMPARE(tree.currentItem()->text(0), QString::fromUtf8("乙")); // the menu moved nothing

        spy.events.clear();
        CPostListView list(&spy);
        QMenu postMenu;
        postMenu.addAction(QStringLiteral("y"));
        list.setPostMenu(&postMenu);
        for (int i = 0; i < 3; ++i)
            list.AddPostRow({gbk("标题"), std::to_string(i), std::nullopt}, 12);
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        QTest::keyClick(&list, Qt::Key_Return);
        QTest::keyClick(&list, Qt::Key_Down);
        QTest::keyClick(&list, Qt::Key_Down);
        QCoreApplication::sendPostedEvents(&spy);
        QVERIFY(spy.events.isEmpty());
        QTest::keyClick(&list, Qt::Key_Return);
        QCoreApplication::sendPostedEvents(&spy);
        QCOMPARE(spy.events, (QList<QPair<int, int>> {{int(WM_OPEN_POST), 1}}));
        QCOMPARE(menuOpenedBy([&] { QTest::keyClick(&list, Qt::Key_F10, Qt::ShiftModifier); }),
                 &postMenu);
    }

    void menusShowTheKeysAndTheKeysKeepTheirPlace()
    {
        CMainFrame frame;
        QVERIFY(frame.LoadConfiguration(std::nullopt));
        QVERIFY(ArchiveFixture::fill(frame, 120));
        showActive(frame);
        CKestrelCommands *commands = frame.commands();
        const QList<QPair<QAction *, QKeySequence>> keys {
                {commands->exit, QKeySequence(Qt::CTRL | Qt::Key_Q)},
                {commands->findPosts, QKeySequence(Qt::CTRL | Qt::Key_F)},
                {commands->nextPage, QKeySequence(Qt::CTRL | Qt::Key_PageDown)},
                {commands->previousPage, QKeySequence(Qt::CTRL | Qt::Key_PageUp)},
                {commands->firstPage, QKeySequence(Qt::CTRL | Qt::Key_Home)},
                {commands->deletePosts, QKeySequence(Qt::Key_Delete)},
                {frame.postPanel()->strip()->fullScreenAction, QKeySequence(Qt::Key_F11)},
        };
        for (const auto &[action, key] : keys)
            QCOMPARE(action->shortcut(), key);
        QCOMPARE(frame.postPanel()->strip()->closeAction->shortcuts(),
                 (QList<QKeySequence> {QKeySequence(Qt::CTRL | Qt::Key_W),
                                       QKeySequence(Qt::CTRL | Qt::Key_F4)}));
        // The menu texts are as they were.
        QCOMPARE(commands->nextPage->text(), QString::fromUtf8("下一页"));
        QCOMPARE(commands->exit->text(), QString::fromUtf8("退出(&X)"));

        listRoom(frame);
        QStringList dialogs;
        UiSeam::SetModalHandler([&](QDialog &dialog) {
            dialogs << QString::fromLatin1(dialog.metaObject()->className());
            return int(QDialog::Rejected);
        });
        // The post menu shows the keys beside its commands.
        frame.postList()->setFocus();
        QCOMPARE(menuOpenedBy([] { press(Qt::Key_F10, Qt::ShiftModifier); },
                              QStringLiteral("menu-post-keys.png")),
                 commands->postMenu);
        // Delete in the list asks the first question of a delete, and nothing else.
        frame.postList()->setCurrentItem(frame.postList()->topLevelItem(0));
        press(Qt::Key_Delete);
        QCOMPARE(dialogs, QStringList {QStringLiteral("CConfirmOperationDialog")});
        QCOMPARE(frame.postList()->topLevelItemCount(), 100);
        // In the tree, the post view and the post ID field, Delete and Ctrl+Home stay
        // editing keys and the paging keys do not reach.
        frame.postListing()->ShowNextPage();
        QLineEdit *field = frame.goToPost()->field();
        field->setFocus();
        QTest::keyClicks(field, QStringLiteral("123"));
        press(Qt::Key_Home);
        press(Qt::Key_Delete);
        press(Qt::Key_End);
        press(Qt::Key_Home, Qt::ControlModifier);
        QCOMPARE(field->text(), QStringLiteral("23"));
        QCOMPARE(frame.postListing()->pager().rowsShown(), 120);
        frame.roomTree()->setFocus();
        press(Qt::Key_Delete);
        QCOMPARE(dialogs.size(), 1);
        press(Qt::Key_Home, Qt::ControlModifier);
        QCOMPARE(frame.postListing()->pager().rowsShown(), 100);

        // Ctrl+F finds, wherever the focus is.
        frame.postPanel()->view()->setFocus();
        press(Qt::Key_F, Qt::ControlModifier);
        QCOMPARE(dialogs.last(), QStringLiteral("CFindPostDialog"));
        // F11 opens the post full screen, F11 there closes it again.
        openFirstRow(frame);
        UiSeam::SetModalHandler({});
        bool closedByF11 = false;
        QTimer::singleShot(0, [&] {
            auto *full = fullScreenWindow();
            if (!full)
                return;
            press(Qt::Key_F11);
            closedByF11 = !full->isVisible();
        });
        press(Qt::Key_F11);
        QVERIFY(closedByF11);
        reactivate(frame);
        // Ctrl+F4 closes the post, Ctrl+Q the program.
        QCOMPARE(frame.postPanel()->strip()->tabBar()->count(), 1);
        press(Qt::Key_F4, Qt::ControlModifier);
        QCOMPARE(frame.postPanel()->strip()->tabBar()->count(), 0);
        press(Qt::Key_Q, Qt::ControlModifier);
        QVERIFY(!frame.isVisible());
    }

    void keyboardOnlyRun()
    {
        // List a room with Enter, page with Ctrl+PgDn, open a post with Enter, show it
        // full screen and leave with Escape, close it with Ctrl+W: no mouse at all.
        CMainFrame frame;
        QVERIFY(frame.LoadConfiguration(std::nullopt));
        QVERIFY(ArchiveFixture::fill(frame, 250));
        frame.resize(1000, 700);
        frame.move(0, 0);
        showActive(frame);
        QTRY_VERIFY(QApplication::focusWidget()); // a keyboard user starts somewhere
        for (int i = 0; i < 3 && focusedPane(frame) != frame.roomTree(); ++i)
            press(Qt::Key_F6);
        QCOMPARE(focusedPane(frame), frame.roomTree());

        press(Qt::Key_Down);
        press(Qt::Key_Right);
        press(Qt::Key_Down);
        QCoreApplication::processEvents();
        QCOMPARE(frame.postListing()->currentRoomIndex(), -1); // arrows never query
        press(Qt::Key_Return);
        QTRY_COMPARE(frame.postList()->topLevelItemCount(), 100);
        QCOMPARE(frame.postListing()->currentRoomIndex(), 1);
        press(Qt::Key_PageDown, Qt::ControlModifier);
        QCOMPARE(frame.mainStatusBar()->pane(3)->text(),
                 QString::fromUtf8("查询记录的个数= 250 ,当前显示第 101 到 200 个"));
        screenshot(QStringLiteral("focus-tree.png"));

        press(Qt::Key_F6);
        QCOMPARE(focusedPane(frame), frame.postList());
        press(Qt::Key_Down);
        const QString id = frame.postList()->currentItem()->text(1);
        QVERIFY(id == QStringLiteral("101") || id == QStringLiteral("102"));
        CPostPanelFrame *panel = frame.postPanel();
        QVERIFY(loads(panel->view(), [] { press(Qt::Key_Return); }));
        QTRY_COMPARE(bodyText(panel->view()), QString::fromUtf8("帖子 ") + id);
        QCOMPARE(panel->strip()->tabBar()->count(), 1);
        screenshot(QStringLiteral("focus-list.png"));

        press(Qt::Key_F6);
        QCOMPARE(focusedPane(frame), static_cast<QWidget *>(panel));
        screenshot(QStringLiteral("focus-panel.png"));

        // Escape reaches the full-screen window although its web view has the focus.
        bool left = false;
        QTimer::singleShot(0, [&] {
            auto *full = fullScreenWindow();
            if (!full)
                return;
            full->view()->setFocus();
            QTRY_VERIFY(full->view()->isAncestorOf(QApplication::focusWidget()));
            screenshot(QStringLiteral("keyboard-fullscreen.png"));
            press(Qt::Key_Escape);
            left = !full->isVisible();
        });
        press(Qt::Key_F11);
        QVERIFY(left);
        reactivate(frame);

        press(Qt::Key_W, Qt::ControlModifier);
        QCOMPARE(panel->strip()->tabBar()->count(), 0);
        QTRY_COMPARE(bodyText(panel->view()), QStringLiteral("start"));
    }

    void paneWithTheFocusStandsOut()
    {
        CMainFrame frame;
        QVERIFY(frame.LoadConfiguration(std::nullopt));
        for (QWidget *pane :
             {static_cast<QWidget *>(frame.roomTree()), static_cast<QWidget *>(frame.postList())}) {
            const QPalette colours = pane->palette();
            const QColor active = colours.color(QPalette::Active, QPalette::Highlight);
            const QColor inactive = colours.color(QPalette::Inactive, QPalette::Highlight);
            const QColor base = colours.color(QPalette::Inactive, QPalette::Base);
            QVERIFY(inactive != active);
            QVERIFY(inactive != base); // still visible without the focus
            QVERIFY(std::abs(inactive.lightness() - base.lightness()) >= 20);
            QVERIFY(std::abs(inactive.lightness() - active.lightness()) >= 20);
        }
        // The post panel marks the focus with a line under its tabs.
        showActive(frame);
        CPostPanelFrame *panel = frame.postPanel();
        const auto lineColour = [&] {
            return panel->grab().toImage().pixelColor(panel->width() / 2,
                                                      CPostPanelFrame::StripHeight);
        };
        frame.roomTree()->setFocus();
        QTRY_VERIFY(lineColour() != panel->palette().color(QPalette::Highlight));
        press(Qt::Key_F6, Qt::ShiftModifier);
        QTRY_COMPARE(focusedPane(frame), static_cast<QWidget *>(panel));
        QTRY_COMPARE(lineColour(), panel->palette().color(QPalette::Highlight));
    }

    void treeAndTitleGiveWayInANarrowWindow()
    {
        CMainFrame frame;
        QVERIFY(frame.LoadConfiguration(std::nullopt));
        QVERIFY(ArchiveFixture::fill(frame, 3));
        frame.resize(1200, 800);
        showActive(frame);
        listRoom(frame);
        QCOMPARE(frame.postList()->columnCount(), 6);
        frame.resize(800, 600);
        QTRY_VERIFY(frame.columns()->width() <= 800);
        QCoreApplication::processEvents();
        const int client = frame.columns()->width();
        QVERIFY2(std::abs(frame.columns()->sizes().first() - client / 5) <= 3,
                 qPrintable(QString::number(frame.columns()->sizes().first())));
        // The date with its time fits its column; the title gave the room for it.
        CPostListView *list = frame.postList();
        const int dateWidth =
                list->fontMetrics().horizontalAdvance(QStringLiteral("2001-02-03 04:05:06"));
        QVERIFY2(list->columnWidth(5) > dateWidth,
                 qPrintable(QString::number(list->columnWidth(5))));
        QVERIFY(list->columnWidth(0) < list->ClientWidth() / 2);
        screenshot(QStringLiteral("kestrel-800x600.png"));
    }

private:
    static void showActive(CMainFrame &frame)
    {
        frame.show();
        frame.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&frame));
    }
    // A window manager hands the activation back to the main window when the full-screen
    // window closes; Xvfb has none.
    static void reactivate(CMainFrame &frame)
    {
        if (!frame.isActiveWindow())
            showActive(frame);
    }
    static void listRoom(CMainFrame &frame)
    {
        QCoreApplication::postEvent(&frame, new CIndexEvent(WM_OPEN_ROOM, 1));
        QCoreApplication::sendPostedEvents(&frame);
        QTRY_VERIFY(frame.postList()->topLevelItemCount() > 0);
    }
    static void openFirstRow(CMainFrame &frame)
    {
        frame.postList()->setCurrentItem(frame.postList()->topLevelItem(0));
        QVERIFY(loads(frame.postPanel()->view(), [&] {
            QCoreApplication::postEvent(&frame, new CIndexEvent(WM_OPEN_POST, 0));
        }));
    }
    // The full-screen window once it shows its post, or nullptr.
    static CPostFullScreenDialog *fullScreenWindow()
    {
        CPostFullScreenDialog *full = nullptr;
        if (!QTest::qWaitFor(
                    [&] {
                        full = qobject_cast<CPostFullScreenDialog *>(
                                QApplication::activeModalWidget());
                        return full && full->isActiveWindow();
                    },
                    10000))
            return nullptr;
        if (!QTest::qWaitFor([&] { return !bodyText(full->view()).isEmpty(); }, 20000))
            return nullptr;
        return full;
    }

    std::unique_ptr<ArchiveFixture> fixture_;
};

QUILLERY_REGISTER_TEST(TestKeyboardPaths)
#include "tst_KeyboardPaths.moc"
