#include "MessageBoxRecorder.h"
#include "TestRegistry.h"
#include "TestSupport.h"

#include "browser/CKestrelCommands.h"
#include "browser/CLeftTreeView.h"
#include "browser/CMainFrame.h"
#include "browser/CMainStatusBar.h"
#include "browser/CRoomPropertiesDialog.h"
#include "browser/posts/CPostListView.h"
#include "browser/posts/CPostPanelFrame.h"
#include "browser/posts/PostListController.h"
#include "browser/rooms/KestrelEvents.h"
#include "common/Codec.h"
#include "common/FileSystem.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProcess>
#include <QSplitter>
#include <QStandardPaths>
#include <QToolBar>

namespace {

const char *const ShellConfig = R"(<?xml version="1.0" encoding="GBK"?>
<r>
  <数据库连接字符串>Provider=SQLite;Data Source=|APP_PATH|\Data\T.db</数据库连接字符串>
  <帖子类型 TABLE="TA" ROOMID="1">甲区<帖子类型 ROOMID="12">乙<帖子类型 ROOMID="123*">丙</帖子类型></帖子类型><帖子类型 ROOMID="13">丁</帖子类型></帖子类型>
  <帖子类型 TABLE="TB" ROOMID="2">戊<帖子类型 ROOMID="21">己</帖子类型></帖子类型>
</r>
)";

// Records the posted window messages.
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

QPoint centreOf(QTreeWidget &tree, QTreeWidgetItem *item)
{
    return tree.visualItemRect(item).center();
}

// What the windowing system delivers: a click, then the double-click.
void doubleClick(QTreeWidget &tree, QTreeWidgetItem *item)
{
    QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, centreOf(tree, item));
    QTest::mouseDClick(tree.viewport(), Qt::LeftButton, {}, centreOf(tree, item));
    QTest::mouseRelease(tree.viewport(), Qt::LeftButton, {}, centreOf(tree, item));
}

} // namespace

class TestKestrelShell : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        dir_ = std::make_unique<TempAppDir>();
        dir_->write("Configs/InitTree.xml", gbk(ShellConfig));
    }
    void cleanup()
    {
        UiSeam::SetModalHandler({});
        dir_.reset();
    }

    void startRoomIsSelectedAndOpened()
    {
        EventSpy spy;
        CLeftTreeView tree(&spy);
        std::string path, reason;
        QVERIFY(tree.LoadTreeConfig(std::nullopt, path, reason));
        QCOMPARE(path, dir_->path() + "/Configs/InitTree.xml");
        QCOMPARE(tree.topLevelItemCount(), 2);
        QVERIFY(!tree.topLevelItem(1)->isExpanded());
        tree.SelectStartRoom();
        QTreeWidgetItem *start = tree.itemOf(tree.rooms().StartRoom());
        QVERIFY(start->isSelected());
        QCOMPARE(start->text(0), QString::fromUtf8("丙"));
        QVERIFY(start->parent()->isExpanded());
        QVERIFY(start->parent()->parent()->isExpanded());
        QVERIFY(!tree.topLevelItem(1)->isExpanded());
        QVERIFY(spy.events.isEmpty()); // posted, not sent
        QCoreApplication::sendPostedEvents(&spy);
        QCOMPARE(spy.events, (QList<QPair<int, int>> {{int(WM_OPEN_ROOM), 2}}));
    }

    void doubleClickOpensWithoutExpanding()
    {
        EventSpy spy;
        CLeftTreeView tree(&spy);
        showLoaded(tree);
        QTreeWidgetItem *top = tree.topLevelItem(1);
        QVERIFY(!top->isExpanded());
        doubleClick(tree, top);
        QVERIFY(!top->isExpanded());
        QVERIFY(top->isSelected());
        QCoreApplication::sendPostedEvents(&spy);
        QCOMPARE(spy.events, (QList<QPair<int, int>> {{int(WM_OPEN_ROOM), 4}}));
        top->setExpanded(true);
        doubleClick(tree, top);
        QVERIFY(top->isExpanded());
        QCoreApplication::sendPostedEvents(&spy);
        QCOMPARE(spy.events.size(), 2);

        // Single clicks and keys only move the selection.
        spy.events.clear();
        QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, centreOf(tree, top->child(0)));
        QTest::keyClick(&tree, Qt::Key_Up);
        QCoreApplication::sendPostedEvents(&spy);
        QVERIFY(spy.events.isEmpty());
        QVERIFY(top->isSelected());
    }

    void rightClickLeavesSelection()
    {
        EventSpy spy;
        CLeftTreeView tree(&spy);
        showLoaded(tree);
        QTreeWidgetItem *first = tree.topLevelItem(0);
        QTreeWidgetItem *second = tree.topLevelItem(1);
        tree.setCurrentItem(first);
        QTest::mouseClick(tree.viewport(), Qt::RightButton, {}, centreOf(tree, second));
        QVERIFY(first->isSelected());
        QVERIFY(!second->isSelected());
        QCOMPARE(tree.SelectedRoom(), tree.rooms().TopLevelItems()[0]);
    }

    void roomPropertiesShowSelectedRoom()
    {
        MessageBoxRecorder recorder;
        CMainFrame frame;
        QVERIFY(frame.LoadConfiguration(std::nullopt));
        QStringList shown;
        UiSeam::SetModalHandler([&](QDialog &dialog) {
            auto &properties = dynamic_cast<CRoomPropertiesDialog &>(dialog);
            shown << properties.windowTitle() << properties.roomidText()
                  << properties.roomnameText() << properties.tableText();
            return int(QDialog::Rejected);
        });
        frame.commands()->roomProperties->trigger();
        QCOMPARE(shown,
                 (QStringList {QString::fromUtf8("类型基本属性"), QStringLiteral("123"),
                               QString::fromUtf8("丙"), QStringLiteral("TA")}));
        QVERIFY(recorder.calls().isEmpty());

        frame.roomTree()->clearSelection();
        shown.clear();
        frame.commands()->roomProperties->trigger();
        QVERIFY(shown.isEmpty());
        QCOMPARE(recorder.texts(),
                 QStringList {QString::fromUtf8("还没有选择类型,请先在左边的列表中选择一个类型")});
    }

    void propertiesDialogFieldsAreReadOnly()
    {
        CRoomPropertiesDialog dialog(nullptr, QStringLiteral("1"), QStringLiteral("n"),
                                     QStringLiteral("T"));
        const auto fields = dialog.findChildren<QLineEdit *>();
        QCOMPARE(fields.size(), 3);
        for (QLineEdit *field : fields)
            QVERIFY(field->isReadOnly());
        QVERIFY(dialog.findChildren<QAbstractButton *>().isEmpty());
    }

    void openRoomRemembersRoomAndRoot()
    {
        CMainFrame frame;
        QVERIFY(frame.LoadConfiguration(std::nullopt));
        QCOMPARE(frame.postListing()->currentRoomIndex(), -1);
        QCoreApplication::sendPostedEvents(&frame);
        QCOMPARE(frame.postListing()->currentRoomIndex(), 2);
        QCOMPARE(frame.postListing()->currentRootIndex(), 0);
        QCoreApplication::postEvent(&frame, new CIndexEvent(WM_OPEN_ROOM, 5));
        QCoreApplication::sendPostedEvents(&frame);
        QCOMPARE(frame.postListing()->currentRoomIndex(), 5);
        QCOMPARE(frame.postListing()->currentRootIndex(), 1);
    }

    void menusAndToolbarAsDescribed()
    {
        CMainFrame frame;
        QCOMPARE(frame.windowTitle(), QString::fromUtf8("Kestrel程序主窗口"));
        QStringList menus;
        for (QAction *menu : frame.menuBar()->actions())
            menus << menu->text();
        QCOMPARE(menus,
                 (QStringList {QString::fromUtf8("文件(&F)"), QString::fromUtf8("查看(&V)"),
                               QString::fromUtf8("所属类型"), QString::fromUtf8("帖子功能"),
                               QString::fromUtf8("帮助(&H)")}));
        QStringList posts;
        for (QAction *item : frame.commands()->postMenu->actions())
            posts << item->text() + QLatin1Char('|') + item->statusTip();
        QCOMPARE(posts.at(5), QString::fromUtf8("查    找|按照各种方式灵活查找帖子"));
        QCOMPARE(frame.commands()->import->toolTip(), QString::fromUtf8("导入已下载帖子"));
        QCOMPARE(frame.commands()->about->text(), QString::fromUtf8("关于 Kestrel(&A)..."));
        QStringList buttons;
        for (QAction *action : frame.commands()->mainToolBar->actions())
            buttons << (action->isSeparator() ? QStringLiteral("-") : action->toolTip());
        // The go-to-post field follows, after a separator of its own.
        QCOMPARE(buttons.mid(0, 5),
                 (QStringList {QString::fromUtf8("第一页"), QString::fromUtf8("下一页"),
                               QString::fromUtf8("显示上一页的帖子"), QStringLiteral("-"),
                               QString::fromUtf8("查找帖子")}));
        QCOMPARE(frame.commands()->mainToolBar->allowedAreas(), Qt::AllToolBarAreas);
        QVERIFY(frame.commands()->mainToolBar->isMovable());

        // Prompts go to the first status pane only.
        QStatusTipEvent tip(frame.commands()->nextPage->statusTip());
        QCoreApplication::sendEvent(&frame, &tip);
        QCOMPARE(frame.mainStatusBar()->pane(0)->text(), QString::fromUtf8("显示帖子列表的下页"));
        QStatusTipEvent none {QString()};
        QCoreApplication::sendEvent(&frame, &none);
        QCOMPARE(frame.mainStatusBar()->pane(0)->text(), QString::fromUtf8("就绪"));
    }

    void toolbarAndStatusBarToggle()
    {
        CMainFrame frame;
        QVERIFY(frame.LoadConfiguration(std::nullopt));
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        QVERIFY(frame.commands()->toolBar->isChecked());
        frame.commands()->toolBar->trigger();
        QVERIFY(!frame.commands()->mainToolBar->isVisible());
        QVERIFY(!frame.commands()->toolBar->isChecked());
        frame.commands()->statusBar->trigger();
        QVERIFY(!frame.mainStatusBar()->isVisible());
        frame.commands()->statusBar->trigger();
        QVERIFY(frame.mainStatusBar()->isVisible());
    }

    void layoutAndStatusPanesOnResize()
    {
        CMainFrame frame;
        QVERIFY(frame.LoadConfiguration(std::nullopt));
        frame.resize(1000, 700);
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        const QSize client = frame.columns()->size();
        QCOMPARE(frame.columns()->sizes().first(), client.width() / 5);
        QCOMPARE(frame.rows()->sizes().first(), client.height() / 3);
        QCOMPARE(frame.columns()->handleWidth(), 4);
        QCOMPARE(frame.rows()->handleWidth(), 4);

        CMainStatusBar *bar = frame.mainStatusBar();
        const int w0 = bar->pane(0)->width(), w1 = bar->pane(1)->width(),
                  w2 = bar->pane(2)->width();
        const int w3 = bar->pane(3)->width();
        frame.resize(1300, 700);
        QTRY_VERIFY(bar->pane(3)->width() > w3);
        QCOMPARE(bar->pane(3)->width() - w3, 300);
        QCOMPARE(bar->pane(0)->width(), w0);
        QCOMPARE(bar->pane(1)->width(), w1);
        QCOMPARE(bar->pane(2)->width(), w2);
    }

    void functionKeysCyclePanes()
    {
        CMainFrame frame;
        QVERIFY(frame.LoadConfiguration(std::nullopt));
        frame.show();
        frame.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&frame));
        QCOMPARE(frame.commands()->nextPane->shortcut(), QKeySequence(Qt::Key_F6));
        QCOMPARE(frame.commands()->previousPane->shortcut(), QKeySequence(Qt::SHIFT | Qt::Key_F6));
        QWidget *const tree = frame.roomTree();
        QWidget *const list = frame.postList();
        QWidget *const panel = frame.postPanel();
        const auto focusedPane = [&]() -> QWidget * {
            for (QWidget *pane : {tree, list, panel}) {
                if (pane == QApplication::focusWidget()
                    || pane->isAncestorOf(QApplication::focusWidget()))
                    return pane;
            }
            return nullptr;
        };
        frame.roomTree()->setFocus();
        QTRY_COMPARE(focusedPane(), tree);
        frame.commands()->nextPane->trigger();
        QTRY_COMPARE(focusedPane(), list);
        frame.commands()->nextPane->trigger();
        QTRY_COMPARE(focusedPane(), panel);
        frame.commands()->nextPane->trigger();
        QTRY_COMPARE(focusedPane(), tree);
        frame.commands()->previousPane->trigger();
        QTRY_COMPARE(focusedPane(), panel);
    }

    void unreadableConfigurationEndsWithMessage()
    {
        MessageBoxRecorder recorder;
        CMainFrame frame;
        QVERIFY(!frame.LoadConfiguration(std::string("Configs\\Missing.xml")));
        QCOMPARE(recorder.texts(),
                 QStringList {Gbk::toQString(dir_->path())
                              + QString::fromUtf8(
                                      "/Configs/Missing.xml 配置打开错误,请检查,程序将退出。")});
        QCOMPARE(recorder.calls().first().caption, QStringLiteral("Kestrel"));
        QCOMPARE(recorder.calls().first().icon, QMessageBox::Critical);
        QCOMPARE(frame.roomTree()->topLevelItemCount(), 0);
    }

    void brokenConfigurationShowsTheParsersReasonInTheDetails()
    {
        dir_->write("Configs/Broken.xml", "<?xml version=\"1.0\"?><Kestrel><unclosed>");
        MessageBoxRecorder recorder;
        CMainFrame frame;
        QVERIFY(!frame.LoadConfiguration(std::string("Configs/Broken.xml")));
        QCOMPARE(recorder.calls().size(), 1);
        QVERIFY(recorder.lastText().startsWith(Gbk::toQString(dir_->path())
                                               + QStringLiteral("/Configs/Broken.xml ")));
        QVERIFY2(recorder.calls().first().details.contains(QStringLiteral("line 1")),
                 qPrintable(recorder.calls().first().details));
    }

    void tableThatIsNoNameIsRefusedAtLoad()
    {
        // A megabyte of table name once reached the start room's query, its message box and
        // standard error whole. No database is reached here: the load itself refuses.
        const std::string connection =
                gbk("<?xml version=\"1.0\" encoding=\"GBK\"?><r><数据库连接字符串>"
                    "Provider=PostgreSQL;Host=/nowhere;Database=x</数据库连接字符串>");
        for (const std::string &table :
             {std::string(1 << 20, 'T'), std::string("TA; drop table TB"), std::string("1TA"),
              std::string("a.b.c"), std::string("TA ")}) {
            dir_->write("Configs/Bad.xml",
                        connection + gbk("<帖子类型 TABLE=\"TB\" ROOMID=\"2\">好表</帖子类型>")
                                + gbk("<帖子类型 TABLE=\"") + table
                                + gbk("\" ROOMID=\"1*\">坏表</帖子类型></r>"));
            MessageBoxRecorder recorder;
            CMainFrame frame;
            QVERIFY(!frame.LoadConfiguration(std::string("Configs/Bad.xml")));
            QCOMPARE(recorder.calls().size(), 1);
            const UiSeam::MessageBoxCall call = recorder.calls().first();
            QVERIFY(call.text.endsWith(QString::fromUtf8("配置打开错误,请检查,程序将退出。")));
            QVERIFY2(call.details.contains(QString::fromUtf8("坏表")), qPrintable(call.details));
            QVERIFY(!call.details.contains(QString::fromUtf8("好表")));
            QVERIFY(call.details.size() < 6000);
            QCOMPARE(frame.roomTree()->topLevelItemCount(), 0);
        }
        // A table in a schema is a name.
        dir_->write("Configs/Schema.xml",
                    connection
                            + gbk("<帖子类型 TABLE=\"archive.TA\" ROOMID=\"1\">甲</帖子类型></r>"));
        MessageBoxRecorder recorder;
        CMainFrame frame;
        QVERIFY(frame.LoadConfiguration(std::string("Configs/Schema.xml")));
        QVERIFY(recorder.calls().isEmpty());
    }

    void doubtfulRoomIdsAndEntriesAreNamedOnceAtLoad()
    {
        const std::string digits(100000, '7');
        const std::string letters(100000, 'x');
        dir_->write("Configs/Doubtful.xml",
                    gbk("<?xml version=\"1.0\" encoding=\"GBK\"?><r><数据库连接字符串>"
                        "Provider=SQLite;Data Source=|APP_PATH|\\Data\\T.db"
                        "</数据库连接字符串><帖子类型 TABLE=\"TA\" ROOMID=\"1\">好"
                        "<帖子类型 ROOMID=\"\">空号</帖子类型>"
                        "<帖子类型 ROOMID=\"abc\">字母</帖子类型>"
                        "<帖子类型 ROOMID=\"")
                            + digits + gbk("\">长号</帖子类型><帖子类型 ROOMID=\"") + letters
                            + gbk("\">长名</帖子类型>"
                                  "<帖子类型 ROOMID=\"4294967296\">大号</帖子类型>"
                                  "<帖子类型 ROOMID=\"12\">正常</帖子类型>"
                                  "<帖子类型 ROOMID=\"4294967295\">最大</帖子类型>"
                                  "<帖子属性范围>1 100 |APP_PATH|\\p\\|ID|.htm</帖子属性范围>"
                                  "<帖子属性范围>1 x |APP_PATH|\\q\\|ID|.htm</帖子属性范围>"
                                  "<帖子属性范围>200 300</帖子属性范围>"
                                  "</帖子类型></r>"));
        MessageBoxRecorder recorder;
        CMainFrame frame;
        QVERIFY(frame.LoadConfiguration(std::string("Configs/Doubtful.xml")));
        // One warning, naming each doubtful room and entry; the rooms are still there.
        QCOMPARE(recorder.calls().size(), 1);
        const QString warning = recorder.lastText();
        QCOMPARE(recorder.calls().first().icon, QMessageBox::Warning);
        for (const char *named :
             {"空号", "字母", "长号", "长名", "大号", "1 x |APP_PATH|", "200 300"})
            QVERIFY2(warning.contains(QString::fromUtf8(named)), named);
        for (const char *fine : {"正常", "最大", "1 100"})
            QVERIFY2(!warning.contains(QString::fromUtf8(fine)), fine);
        QVERIFY(warning.size() < 8000);
        QCOMPARE(frame.roomTree()->topLevelItem(0)->childCount(), 7);
    }

    void failedQueryOfAHugeStatementIsCut()
    {
        // A room id of 100 KB letters in a statement the database refuses (an existing
        // database without the table): the message quotes a few KB of it, not all of it.
        dir_->write("Data/T.db", std::string());
        dir_->write("Configs/Long.xml",
                    gbk("<?xml version=\"1.0\" encoding=\"GBK\"?><r><数据库连接字符串>"
                        "Provider=SQLite;Data Source=|APP_PATH|\\Data\\T.db</数据库连接字符串>"
                        "<帖子类型 TABLE=\"TA\" ROOMID=\"")
                            + std::string(100000, 'x') + gbk("\">长名</帖子类型></r>"));
        MessageBoxRecorder recorder;
        CMainFrame frame;
        QVERIFY(frame.LoadConfiguration(std::string("Configs/Long.xml")));
        recorder.clear(); // the warning about the room id
        frame.postListing()->OpenRoom(0);
        QCOMPARE(recorder.calls().size(), 1);
        QVERIFY(recorder.lastText().size() < 8000);
        QVERIFY(recorder.lastText().startsWith(QString::fromUtf8("执行SQL语句[ select * from TA")));
        QVERIFY(recorder.lastText().contains(QString::fromUtf8("…")));
        QVERIFY(recorder.calls().first().details.size() < 10000); // the database's report
        QCOMPARE(frame.postListing()->currentRoomIndex(), -1);
    }

    void argumentNamesAnotherConfiguration()
    {
        dir_->write("Configs/Other.xml",
                    gbk("<?xml version=\"1.0\" encoding=\"GBK\"?><r><帖子类型 TABLE=\"X\" "
                        "ROOMID=\"9\">别的</帖子类型></r>"));
        CMainFrame frame;
        QVERIFY(frame.LoadConfiguration(std::string("Configs/Other.xml")));
        QCOMPARE(frame.roomTree()->topLevelItemCount(), 1);
        QCOMPARE(frame.roomTree()->topLevelItem(0)->text(0), QString::fromUtf8("别的"));
        QCOMPARE(frame.postListing()->currentRoomIndex(), -1); // no start room: nothing is opened
        QCoreApplication::sendPostedEvents(&frame);
        QCOMPARE(frame.postListing()->currentRoomIndex(), -1);
    }

    void programStartsWithItsTitle()
    {
        // The built program on the shipped configuration, as a user starts it.
        if (QStandardPaths::findExecutable(QStringLiteral("xwininfo")).isEmpty())
            QSKIP("xwininfo (package x11-utils) is needed to find the program's window");
        const QString program = QStringLiteral(QUILLERY_APP_DIR "/Kestrel");
        QProcess kestrel;
        kestrel.start(program, {});
        QVERIFY(kestrel.waitForStarted());
        bool found = false;
        for (int i = 0; i < 60 && !found; ++i) {
            QTest::qWait(250);
            QProcess windows;
            windows.start(QStringLiteral("xwininfo"),
                          {QStringLiteral("-root"), QStringLiteral("-tree")});
            windows.waitForFinished();
            found = QString::fromUtf8(windows.readAllStandardOutput())
                            .contains(QString::fromUtf8("\"Kestrel程序主窗口\""));
        }
        QCOMPARE(kestrel.state(), QProcess::Running);
        kestrel.terminate();
        QVERIFY(kestrel.waitForFinished(10000));
        QVERIFY(found);
    }

    void programWithoutDisplaySaysSo()
    {
        QProcess kestrel;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        kestrel.setProcessEnvironment(env);
        kestrel.start(QStringLiteral(QUILLERY_APP_DIR "/Kestrel"), {});
        QVERIFY(kestrel.waitForFinished(20000));
        QVERIFY(kestrel.exitCode() != 0);
        QVERIFY(QString::fromLocal8Bit(kestrel.readAllStandardError())
                        .contains(QStringLiteral("no graphical display")));

        env.insert(QStringLiteral("DISPLAY"), QStringLiteral(":9999")); // nobody listens there
        kestrel.setProcessEnvironment(env);
        kestrel.start(QStringLiteral(QUILLERY_APP_DIR "/Kestrel"), {});
        QVERIFY(kestrel.waitForFinished(20000));
        QCOMPARE(kestrel.exitStatus(), QProcess::NormalExit);
        QVERIFY(kestrel.exitCode() != 0);
        QVERIFY(QString::fromLocal8Bit(kestrel.readAllStandardError())
                        .contains(QStringLiteral("no graphical display")));
    }

private:
    static void showLoaded(CLeftTreeView &tree)
    {
        std::string path, reason;
        QVERIFY(tree.LoadTreeConfig(std::nullopt, path, reason));
        tree.resize(300, 300);
        tree.show();
        QVERIFY(QTest::qWaitForWindowExposed(&tree));
    }

    std::unique_ptr<TempAppDir> dir_;
};

QUILLERY_REGISTER_TEST(TestKestrelShell)
#include "tst_KestrelShell.moc"
