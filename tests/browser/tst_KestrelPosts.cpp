#include "MessageBoxRecorder.h"
#include "TestDatabase.h"
#include "TestRegistry.h"
#include "TestSupport.h"

#include "browser/CGoToPost.h"
#include "browser/CKestrelCommands.h"
#include "browser/CLeftTreeView.h"
#include "browser/CMainFrame.h"
#include "browser/CMainStatusBar.h"
#include "browser/db/CAdoManager.h"
#include "browser/posts/CPostListView.h"
#include "browser/posts/CPostPanelFrame.h"
#include "browser/posts/CPostTabStrip.h"
#include "browser/posts/PostListController.h"
#include "browser/posts/PostPager.h"
#include "browser/rooms/KestrelEvents.h"
#include "common/FileSystem.h"

#include <QAction>
#include <QHeaderView>
#include <QLabel>
#include <QSignalSpy>

namespace {

const char *const PostsConfig = R"(<?xml version="1.0" encoding="GBK"?>
<r>
  <数据库连接字符串>Provider=SQLite;Data Source=|APP_PATH|\Data\T.db</数据库连接字符串>
  <帖子类型 TABLE="TA" ROOMID="1">甲区<帖子类型 ROOMID="12*">乙</帖子类型><帖子类型 ROOMID="13">丙</帖子类型>
    <帖子属性范围>1 1000 |APP_PATH|\posts\|ID|.htm</帖子属性范围>
  </帖子类型>
  <帖子类型 TABLE="Missing" ROOMID="2">没有表</帖子类型>
</r>
)";

class EventSpy : public QObject
{
public:
    QList<int> rows;
    bool event(QEvent *event) override
    {
        if (event->type() == WM_OPEN_POST) {
            rows.append(static_cast<CIndexEvent *>(event)->index());
            return true;
        }
        return QObject::event(event);
    }
};

} // namespace

class TestKestrelPosts : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        dir_ = std::make_unique<TempAppDir>();
        dir_->write("Configs/InitTree.xml", gbk(PostsConfig));
        dir_->write("Configs/NoPost.Bk", gbk("<html><body>缺少 |NOT_FOUND_PATH|</body></html>"));
        dir_->write("Configs/Add0Post.htm", "<html><body>start</body></html>");
        dir_->write("posts/7.htm", "<html><body>post seven</body></html>");
    }
    void cleanup() { dir_.reset(); }

    void startRoomIsListedAtStart()
    {
        CMainFrame frame;
        QVERIFY(frame.LoadConfiguration(std::nullopt)); // makes the embedded database
        fill(frame, 250, 12);
        CMainFrame started;
        QVERIFY(started.LoadConfiguration(std::nullopt));
        QCoreApplication::sendPostedEvents(&started);
        QCOMPARE(started.postList()->topLevelItemCount(), 100);
        QCOMPARE(started.mainStatusBar()->pane(3)->text(),
                 QString::fromUtf8("查询记录的个数= 250 ,当前显示第 1 到 100 个"));
        QCOMPARE(started.postList()->topLevelItem(0)->text(2), QString::fromUtf8("乙"));
        QCOMPARE(started.postList()->RowItemData(0), 12u);

        // The paging commands page; the room listed already is not queried again.
        started.commands()->nextPage->trigger();
        QCOMPARE(started.mainStatusBar()->pane(3)->text(),
                 QString::fromUtf8("查询记录的个数= 250 ,当前显示第 101 到 200 个"));
        QCoreApplication::postEvent(
                &started, new CIndexEvent(WM_OPEN_ROOM, started.postListing()->currentRoomIndex()));
        QCoreApplication::sendPostedEvents(&started);
        QCOMPARE(started.postListing()->pager().rowsShown(), 200);
        started.commands()->previousPage->trigger();
        QCOMPARE(started.postListing()->pager().rowsShown(), 100);
        started.commands()->firstPage->trigger();
        QCOMPARE(started.postListing()->pager().rowsShown(), 100);
    }

    void listColumnsAndWidths()
    {
        CMainFrame frame;
        QVERIFY(frame.LoadConfiguration(std::nullopt));
        fill(frame, 3, 12);
        QCoreApplication::sendPostedEvents(&frame);
        CPostListView *list = frame.postList();
        QCOMPARE(list->columnCount(), 6);
        QStringList headers;
        for (int i = 0; i < list->columnCount(); ++i)
            headers << list->headerItem()->text(i);
        QCOMPARE(headers,
                 (QStringList {QString::fromUtf8("标题"), QString::fromUtf8("帖子ID"),
                               QString::fromUtf8("所属类别"), QString::fromUtf8("回复"),
                               QString::fromUtf8("创建者"), QString::fromUtf8("创建时间")}));
        QCOMPARE(list->header()->defaultAlignment() & Qt::AlignHCenter, Qt::AlignHCenter);
        QCOMPARE(list->selectionMode(), QAbstractItemView::ExtendedSelection);
        QCOMPARE(list->selectionBehavior(), QAbstractItemView::SelectRows);

        CPostListView starting(nullptr);
        QCOMPARE(starting.columnCount(), 3);
        starting.ResizeColumns(600);
        QCOMPARE(starting.columnWidth(0), 300);
        QCOMPARE(starting.columnWidth(1), 55);
        QCOMPARE(starting.columnWidth(2), 245);
    }

    void doubleClickPostsTheMarkedRow()
    {
        EventSpy spy;
        CPostListView list(&spy);
        list.resize(600, 300);
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        for (int i = 0; i < 3; ++i)
            list.AddPostRow(
                    {std::string("t") + char('0' + i), std::to_string(i + 1), std::string("r")},
                    12);
        const QPoint second = list.visualItemRect(list.topLevelItem(1)).center();
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, second);
        QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, second);
        QCoreApplication::sendPostedEvents(&spy);
        QCOMPARE(spy.rows, QList<int> {1});
        const PostRowInfo info = list.GetRowPostInfo(1);
        QCOMPARE(info.title, std::string("t1"));
        QCOMPARE(info.topicidText, std::string("2"));
        QCOMPARE(info.roomname, std::string("r"));
        QCOMPARE(info.roomid, 12u);
    }

    void openingAPostFromTheList()
    {
        CMainFrame frame;
        QVERIFY(frame.LoadConfiguration(std::nullopt));
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        fill(frame, 10, 12);
        QCoreApplication::postEvent(&frame, new CIndexEvent(WM_OPEN_ROOM, 2));
        QCoreApplication::postEvent(&frame, new CIndexEvent(WM_OPEN_ROOM, 1));
        QCoreApplication::sendPostedEvents(&frame);
        CPostListView *list = frame.postList();
        int seven = -1;
        for (int row = 0; row < list->topLevelItemCount(); ++row) {
            if (list->topLevelItem(row)->text(1) == QStringLiteral("7"))
                seven = row;
        }
        QVERIFY(seven >= 0);
        QCoreApplication::postEvent(&frame, new CIndexEvent(WM_OPEN_POST, seven));
        QCoreApplication::sendPostedEvents(&frame);
        CPostTabStrip *strip = frame.postPanel()->strip();
        QCOMPARE(strip->tabs().count(), 1);
        QCOMPARE(strip->tabs().entry(0).displayPath, dir_->path() + "\\posts\\7.htm");
        // Its files may be shown with it from the folder its location entry names.
        QCOMPARE(strip->tabs().entry(0).archiveFolder, dir_->path() + "/posts");
        QCOMPARE(strip->tabBar()->tabText(0), list->topLevelItem(seven)->text(0));
    }

    void failuresOnTheWayToAPost()
    {
        MessageBoxRecorder recorder;
        CMainFrame frame;
        QVERIFY(frame.LoadConfiguration(std::nullopt));
        fill(frame, 10, 12);
        QCoreApplication::sendPostedEvents(&frame);
        QCoreApplication::postEvent(&frame, new CIndexEvent(WM_OPEN_POST, 99));
        QCoreApplication::sendPostedEvents(&frame);
        QCOMPARE(recorder.texts(), QStringList {QString::fromUtf8("打开帖子时发生错误")});
        QCOMPARE(recorder.calls().first().icon, QMessageBox::Critical);

        FileSystem::removeFile(dir_->file("Configs/NoPost.Bk"));
        QCoreApplication::postEvent(&frame, new CIndexEvent(WM_OPEN_POST, 0)); // a missing file
        QCoreApplication::sendPostedEvents(&frame);
        QCOMPARE(recorder.calls().size(), 2);
        QCOMPARE(frame.postPanel()->strip()->tabs().count(), 0);
        QCOMPARE(frame.postList()->topLevelItemCount(), 10);
    }

    void queryFailuresAreReported()
    {
        MessageBoxRecorder recorder;
        CMainFrame frame;
        QVERIFY(frame.LoadConfiguration(std::nullopt));
        fill(frame, 10, 12);
        QCoreApplication::sendPostedEvents(&frame);
        CAdoManager ado;
        QCOMPARE(ado.OpenAdoConnection(frame.roomTree()->rooms().GetConnectionString()), 0L);
        QCOMPARE(ado.ExecuteSql("drop table Missing", CAdoManager::CommandText), 0L);
        ado.CloseAdoConnection();
        // A room whose post table does not exist.
        QCoreApplication::postEvent(&frame, new CIndexEvent(WM_OPEN_ROOM, 3));
        QCoreApplication::sendPostedEvents(&frame);
        QCOMPARE(recorder.texts(),
                 QStringList {QString::fromUtf8(
                         "执行SQL语句[ select * from Missing where roomid=2 ]发生错误,请检查:\n"
                         "1.单词from后面的表名是否存在\n2. "
                         "等号(=)或者单词(like)后面的字段值及其相应的类型是否填写正确!")});
        QVERIFY(frame.mainStatusBar()->pane(3)->text().startsWith(
                QString::fromUtf8("查询发生错误返回(hr=-")));
        QCOMPARE(frame.postList()->topLevelItemCount(), 10); // the rows of the last query stay
    }

    void failedRoomQueryKeepsTheListedRoom()
    {
        MessageBoxRecorder recorder;
        CMainFrame frame;
        QVERIFY(frame.LoadConfiguration(std::nullopt));
        fill(frame, 10, 12);
        QCoreApplication::sendPostedEvents(&frame);
        const int listedRoom = frame.postListing()->currentRoomIndex();
        QCOMPARE(frame.postListing()->currentRootIndex(), 0);
        CAdoManager ado;
        QCOMPARE(ado.OpenAdoConnection(frame.roomTree()->rooms().GetConnectionString()), 0L);
        QCOMPARE(ado.ExecuteSql("drop table Missing", CAdoManager::CommandText), 0L);
        ado.CloseAdoConnection();
        // Room 3 lives in the second top-level room, whose table is gone.
        QCoreApplication::postEvent(&frame, new CIndexEvent(WM_OPEN_ROOM, 3));
        QCoreApplication::sendPostedEvents(&frame);
        QCOMPARE(recorder.calls().size(), 1);
        // The listed rows are still those of the first room: so are the indices.
        QCOMPARE(frame.postListing()->currentRoomIndex(), listedRoom);
        QCOMPARE(frame.postListing()->currentRootIndex(), 0);
        // Asking for the failed room again queries again.
        QCoreApplication::postEvent(&frame, new CIndexEvent(WM_OPEN_ROOM, 3));
        QCoreApplication::sendPostedEvents(&frame);
        QCOMPARE(recorder.calls().size(), 2);
    }

    void roomIdsAboveTwoToThe31Locate()
    {
        dir_->write("Configs/InitTree.xml", gbk(R"(<?xml version="1.0" encoding="GBK"?>
<r>
  <数据库连接字符串>Provider=SQLite;Data Source=|APP_PATH|\Data\T.db</数据库连接字符串>
  <帖子类型 TABLE="TA" ROOMID="1">甲区<帖子类型 ROOMID="3000000000*">大</帖子类型>
    <帖子属性范围>1 1000 |APP_PATH|\posts\|ROOMID_PATH|\|ID|.htm</帖子属性范围>
  </帖子类型>
</r>
)"));
        CMainFrame frame;
        QVERIFY(frame.LoadConfiguration(std::nullopt));
        {
            CAdoManager ado;
            QCOMPARE(ado.OpenAdoConnection(frame.roomTree()->rooms().GetConnectionString()), 0L);
            QCOMPARE(ado.ExecuteSql("insert into TA (topicid, title, roomid) values (7, 't', "
                                    "3000000000)",
                                    CAdoManager::CommandText),
                     0L);
        }
        QCoreApplication::sendPostedEvents(&frame);
        QCOMPARE(frame.postList()->topLevelItemCount(), 1);
        const PostRowInfo info = frame.postList()->GetRowPostInfo(0);
        QCOMPARE(info.roomid, 3000000000u);
        QCOMPARE(info.roomname, gbk("大"));
        QCOMPARE(frame.roomTree()->rooms().LocatePostFile(info,
                                                          frame.postListing()->currentRootIndex()),
                 dir_->path() + "\\posts\\1\\3000000000\\7.htm");
    }

    void unopenableDatabaseIsReported()
    {
        dir_->write(
                "Configs/InitTree.xml",
                gbk("<?xml version=\"1.0\" "
                    "encoding=\"GBK\"?><r><数据库连接字符串>Provider=Nothing;x=1</数据库连接字符串>"
                    "<帖子类型 TABLE=\"TA\" ROOMID=\"1*\">甲</帖子类型></r>"));
        MessageBoxRecorder recorder;
        CMainFrame frame;
        QVERIFY(frame.LoadConfiguration(std::nullopt));
        QCoreApplication::sendPostedEvents(&frame);
        QCOMPARE(recorder.texts(),
                 QStringList {QString::fromUtf8("打开连接字符串错误,请检查配置文件是否正确")});
        QVERIFY(frame.mainStatusBar()->pane(3)->text().startsWith(
                QString::fromUtf8("查询发生错误返回(hr=")));
    }

    void connectionFailuresSayWhy()
    {
        // No server behind that socket folder: each box keeps its text and holds the
        // database's reason in its details, the password masked.
        useConnection("Provider=PostgreSQL;Host=" + dir_->path()
                      + "/nosocket;Port=1;Database=x;User ID=y;Password=secret");
        MessageBoxRecorder recorder;
        UiSeam::SetModalHandler([](QDialog &) { return int(QDialog::Accepted); });
        CMainFrame frame;
        QVERIFY(frame.LoadConfiguration(std::nullopt));
        QCoreApplication::sendPostedEvents(&frame); // the start room
        auto *row = new QTreeWidgetItem(
                QStringList {QStringLiteral("t"), QStringLiteral("1"), QString::fromUtf8("乙")});
        frame.postList()->addTopLevelItem(row);
        row->setSelected(true);
        frame.commands()->deletePosts->trigger();
        QVERIFY(!frame.goToPost()->GoToPost(QStringLiteral("1")));
        UiSeam::SetModalHandler({});
        const QString openFailed = QString::fromUtf8("打开连接字符串错误,请检查配置文件是否正确");
        QCOMPARE(recorder.texts(),
                 (QStringList {openFailed, QString::fromUtf8("打开到数据库的连接发生错误"),
                               openFailed}));
        for (const UiSeam::MessageBoxCall &call : recorder.calls()) {
            QVERIFY2(call.details.contains(QStringLiteral("No such file or directory")),
                     qPrintable(call.details));
            QVERIFY(call.details.contains(QStringLiteral("Password=***")));
            QVERIFY(!call.details.contains(QStringLiteral("secret")));
        }
        QCOMPARE(frame.postList()->topLevelItemCount(), 1);
    }

    void missingTablesAreNamedAsPostgresLooksThemUp()
    {
        // "TA" made with quotes and capitals is not the table TA of the configuration.
        QUILLERY_TEST_DATABASE(db, TestEngine::PostgreSQL, "Other");
        QString why;
        QVERIFY2(db->execute({"create table \"TA\" (topicid bigint primary key, title text, "
                              "roomid bigint)"},
                             why),
                 qPrintable(why));
        useConnection(db->connectionString());
        MessageBoxRecorder recorder;
        CMainFrame frame;
        QVERIFY(frame.LoadConfiguration(std::nullopt));
        QCoreApplication::sendPostedEvents(&frame); // the start room
        QCOMPARE(recorder.calls().size(), 1);
        QVERIFY2(recorder.lastText().startsWith(
                         QString::fromUtf8("执行SQL语句[ select * from ta where roomid=12 ]")),
                 qPrintable(recorder.lastText()));
        QVERIFY2(recorder.calls()[0].details.contains(
                         QStringLiteral("relation \"ta\" does not exist")),
                 qPrintable(recorder.calls()[0].details));
        QVERIFY(!frame.goToPost()->GoToPost(QStringLiteral("5001")));
        QCOMPARE(recorder.lastText(),
                 QString::fromUtf8("所有帖子表中都没有帖子ID为 5001 的帖子。\n"
                                   "以下帖子表无法查询: ta, missing"));
    }

private:
    // The test's configuration with another connection string.
    void useConnection(const std::string &connection)
    {
        std::string config = gbk(PostsConfig);
        const std::string embedded = "Provider=SQLite;Data Source=|APP_PATH|\\Data\\T.db";
        config.replace(config.find(embedded), embedded.size(), connection);
        dir_->write("Configs/InitTree.xml", config);
    }

    // Posts 1..count of room `roomid` in TA.
    void fill(CMainFrame &frame, int count, int roomid)
    {
        CAdoManager ado;
        QCOMPARE(ado.OpenAdoConnection(frame.roomTree()->rooms().GetConnectionString()), 0L);
        for (int i = 1; i <= count; ++i) {
            const std::string sql =
                    "insert into TA (topicid, title, roomid, username, reply, createtime) values ("
                    + std::to_string(i) + ", '" + gbk("标题") + std::to_string(i) + "', "
                    + std::to_string(roomid) + ", 'u', " + std::to_string(i % 4)
                    + ", '2003-01-01')";
            QCOMPARE(ado.ExecuteSql(sql, CAdoManager::CommandText), 0L);
        }
        ado.CloseAdoConnection();
    }

    std::unique_ptr<TempAppDir> dir_;
};

QUILLERY_REGISTER_TEST(TestKestrelPosts)
#include "tst_KestrelPosts.moc"
