#include "MessageBoxRecorder.h"
#include "PostCommandHelpers.h"
#include "TestRegistry.h"
#include "TestSupport.h"

#include "browser/CGoToPost.h"
#include "browser/CKestrelCommands.h"
#include "browser/CLeftTreeView.h"
#include "browser/CMainFrame.h"
#include "browser/CMainStatusBar.h"
#include "browser/db/CAdoManager.h"
#include "browser/posts/CConfirmOperationDialog.h"
#include "browser/posts/CFindPostDialog.h"
#include "browser/posts/CMovePostDialog.h"
#include "browser/posts/CPostListView.h"
#include "browser/posts/CPostPanelFrame.h"
#include "browser/posts/CPostTabStrip.h"
#include "browser/posts/PostListController.h"
#include "browser/posts/PostPager.h"
#include "browser/rooms/KestrelEvents.h"
#include "common/Codec.h"
#include "common/FileSystem.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QToolBar>

#include <deque>
#include <functional>

namespace {

// 甲区 (TA): 乙 (11) holding 标准库 (the start room "111*"), and 丙 (13). 二区 (TB): 丁 (21).
// The files of TA's posts lie in one folder per room.
const char *const Config = R"(<?xml version="1.0" encoding="GBK"?>
<r>
  <数据库连接字符串>Provider=SQLite;Data Source=|APP_PATH|\Data\T.db</数据库连接字符串>
  <帖子类型 TABLE="TA" ROOMID="1">甲区<帖子类型 ROOMID="11">乙<帖子类型 ROOMID="111*">标准库</帖子类型></帖子类型><帖子类型 ROOMID="13">丙</帖子类型>
    <帖子属性范围>1 100000 |APP_PATH|\posts\|ROOMID|\|ID|.htm</帖子属性范围>
  </帖子类型>
  <帖子类型 TABLE="TB" ROOMID="2">二区<帖子类型 ROOMID="21">丁</帖子类型>
    <帖子属性范围>1 100000 |APP_PATH|\b\|ID|.htm</帖子属性范围>
  </帖子类型>
</r>
)";

QString u(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

QStringList a(std::initializer_list<const char *> utf8)
{
    QStringList list;
    for (const char *text : utf8)
        list << QString::fromUtf8(text);
    return list;
}

QStringList comboTexts(const QComboBox *box)
{
    QStringList texts;
    for (int i = 0; i < box->count(); ++i)
        texts << box->itemText(i);
    return texts;
}

void shoot(QWidget &widget, const QString &name)
{
    const QString folder = qEnvironmentVariable("QUILLERY_SCREENSHOTS");
    if (folder.isEmpty())
        return;
    QDir().mkpath(folder);
    QTest::qWait(200);
    QVERIFY(widget.grab().save(folder + u'/' + name));
}

} // namespace

class TestPostCommands : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        dir_ = std::make_unique<TempAppDir>();
        dir_->write("Configs/InitTree.xml", gbk(Config));
        dir_->write("Configs/NoPost.Bk", gbk("<html><body>缺少 |NOT_FOUND_PATH|</body></html>"));
        dir_->write("Configs/Add0Post.htm", "<html><body>start</body></html>");
        frame_ = std::make_unique<CMainFrame>();
        QVERIFY(frame_->LoadConfiguration(std::nullopt));
        execute({"insert into TB (topicid, title, roomid) values (5001, 'b post', 21)"});
        for (int id : {1, 2, 3, 99, 100})
            insertPost(id, 111);
        insertPost(4, 13);
        for (int id : {2, 99, 100})
            dir_->write("posts/111/" + std::to_string(id) + ".htm",
                        "<html>" + std::to_string(id) + "</html>");
        QCoreApplication::sendPostedEvents(frame_.get()); // lists the start room
        QCOMPARE(list()->topLevelItemCount(), 5);
    }
    void cleanup()
    {
        frame_.reset();
        dir_.reset();
    }

    void findDialogComposesAndLists()
    {
        ModalDriver driver;
        driver.then([](QDialog &dialog) {
            auto *find = qobject_cast<CFindPostDialog *>(&dialog);
            if (!find)
                return int(QDialog::Rejected);
            shoot(dialog, QStringLiteral("find-dialog.png"));
            // Cancelling first: nothing happens.
            return click(dialog, dialog.findChildren<QPushButton *>().last());
        });
        frame_->commands()->findPosts->trigger();
        QCOMPARE(driver.shown, 1);
        QCOMPARE(list()->topLevelItemCount(), 5);

        driver.then([this](QDialog &dialog) {
            auto &find = static_cast<CFindPostDialog &>(dialog);
            [&] {
                QCOMPARE(find.windowTitle(), u("查找帖子"));
                QCOMPARE(comboTexts(find.rootBox()), (QStringList {u("甲区"), u("二区")}));
                QCOMPARE(find.tableField()->text(), QStringLiteral("TA"));
                QCOMPARE(
                        comboTexts(find.subRoomBox()),
                        (QStringList {u("该论坛的所有帖子"), u("乙"), u("乙 -> 标准库"), u("丙")}));
                QVERIFY(find.includeSubRoomsBox()->isChecked());
                QVERIFY(find.byTitleButton()->isChecked());
                QVERIFY(find.textField()->text().isEmpty());
                QVERIFY(find.startButton()->isDefault());
                find.rootBox()->setCurrentIndex(1);
                QCOMPARE(find.tableField()->text(), QStringLiteral("TB"));
                QCOMPARE(comboTexts(find.subRoomBox()),
                         (QStringList {u("该论坛的所有帖子"), u("丁")}));
                find.rootBox()->setCurrentIndex(0);
                find.subRoomBox()->setCurrentIndex(1);
                find.textField()->setText(u("标题"));
            }();
            QTest::keyClick(find.textField(), Qt::Key_Return); // the default button
            return dialog.result();
        });
        frame_->commands()->findPosts->trigger();
        QCOMPARE(driver.shown, 2);
        // 乙 with its sub-room 标准库: the marker "111*" did not reach the statement.
        QCOMPARE(list()->topLevelItemCount(), 5);
        QCOMPARE(frame_->postListing()->currentRoomIndex(), -1);
        QCOMPARE(frame_->postListing()->currentRootIndex(), 0);
        QCOMPARE(frame_->mainStatusBar()->pane(3)->text(),
                 u("查询记录的个数= 5 ,当前显示第 1 到 5 个"));

        // The post ID in the other table.
        driver.then([](QDialog &dialog) {
            auto &find = static_cast<CFindPostDialog &>(dialog);
            find.rootBox()->setCurrentIndex(1);
            find.byTopicIdButton()->setChecked(true);
            find.textField()->setText(QStringLiteral("500"));
            return click(dialog, find.startButton());
        });
        frame_->commands()->findPosts->trigger();
        QCOMPARE(list()->topLevelItemCount(), 1);
        QCOMPARE(list()->topLevelItem(0)->text(1), QStringLiteral("5001"));
        QCOMPARE(frame_->postListing()->currentRootIndex(), 1);
        QCOMPARE(driver.unexpected, 0);
    }

    void deleteAsksTwice()
    {
        MessageBoxRecorder recorder;
        frame_->commands()->deletePosts->trigger();
        QCOMPARE(recorder.texts(), QStringList {u("没有发现选择的帖子,请先选择帖子")});

        ModalDriver driver;
        select(a({"3", "99", "100"}));
        driver.then([](QDialog &dialog) {
            auto &confirm = static_cast<CConfirmOperationDialog &>(dialog);
            [&] {
                QCOMPARE(confirm.windowTitle(), u("确认操作是否进行......"));
                QCOMPARE(confirm.messageLabel()->text(),
                         u("所有帖子ID如下所列的帖子在库中信息将被删除,你确认吗?"));
                QStringList shown;
                for (int i = 0; i < confirm.list()->count(); ++i)
                    shown << confirm.list()->item(i)->text();
                QCOMPARE(shown, a({"100", "3", "99"})); // text order
                QVERIFY(confirm.refuseButton()->isDefault());
            }();
            shoot(dialog, QStringLiteral("confirm-dialog.png"));
            QTest::keyClick(&dialog, Qt::Key_Return); // Enter refuses
            return dialog.result();
        });
        frame_->commands()->deletePosts->trigger();
        QCOMPARE(driver.shown, 1);
        QCOMPARE(list()->topLevelItemCount(), 5);
        QCOMPARE(countRows("TA"), 6);

        // The rows go; the files stay when the second question is refused.
        driver.then([](QDialog &dialog) {
            return click(dialog, static_cast<CConfirmOperationDialog &>(dialog).acceptButton());
        });
        driver.then([this](QDialog &dialog) {
            auto &confirm = static_cast<CConfirmOperationDialog &>(dialog);
            [&] {
                QCOMPARE(confirm.messageLabel()->text(),
                         u("帖子在数据库中已删除,以下是所对应的文件,你删除吗?"));
                QCOMPARE(confirm.list()->count(), 3);
                QVERIFY(confirm.list()->item(0)->text().startsWith(dir_->qtPath()));
                // The configured "\" separators show as "/".
                for (int i = 0; i < confirm.list()->count(); ++i)
                    QVERIFY(!confirm.list()->item(i)->text().contains(QLatin1Char('\\')));
            }();
            return click(dialog, confirm.refuseButton());
        });
        frame_->commands()->deletePosts->trigger();
        QCOMPARE(driver.shown, 3);
        QCOMPARE(listedIds(), a({"1", "2"}));
        QCOMPARE(countRows("TA"), 3);
        QVERIFY(FileSystem::exists(dir_->file("posts/111/99.htm")));

        // A missing file is offered, not counted.
        insertPost(3, 111);
        frame_->postListing()->RunPostQuery("select * from TA where roomid=111");
        select(a({"2", "3"}));
        driver.then([](QDialog &dialog) {
            return click(dialog, static_cast<CConfirmOperationDialog &>(dialog).acceptButton());
        });
        driver.then([](QDialog &dialog) {
            return click(dialog, static_cast<CConfirmOperationDialog &>(dialog).acceptButton());
        });
        recorder.clear();
        frame_->commands()->deletePosts->trigger();
        QCOMPARE(recorder.texts(),
                 QStringList {u("所选帖子在数据库中和磁盘文件上(共1个)都已删除")});
        QVERIFY(!FileSystem::exists(dir_->file("posts/111/2.htm")));
        QVERIFY(FileSystem::exists(dir_->file("posts/111/99.htm"))); // nothing else goes
        QCOMPARE(listedIds(), a({"1"}));
        QCOMPARE(driver.unexpected, 0);
    }

    void failedOrRefusedStatementsChangeNothing()
    {
        MessageBoxRecorder recorder;
        ModalDriver driver;
        // A post ID that is no integer: nothing is asked or sent.
        auto *odd = new QTreeWidgetItem(
                QStringList {QStringLiteral("x"), QStringLiteral("12a"), u("标准库")});
        list()->addTopLevelItem(odd);
        select(a({"1", "12a"}));
        frame_->commands()->deletePosts->trigger();
        frame_->commands()->movePosts->trigger();
        QCOMPARE(recorder.texts(),
                 (QStringList {u("帖子ID“12a”不是整数,没有对数据库做任何操作。"),
                               u("帖子ID“12a”不是整数,没有对数据库做任何操作。")}));
        QCOMPARE(driver.shown, 0);
        delete odd;

        // A failed statement is shown with the database's report; the rows stay and no
        // files are offered.
        execute({"drop table TA"});
        recorder.clear();
        select(a({"1", "2"}));
        driver.then([](QDialog &dialog) {
            return click(dialog, static_cast<CConfirmOperationDialog &>(dialog).acceptButton());
        });
        frame_->commands()->deletePosts->trigger();
        QCOMPARE(driver.shown, 1);
        QCOMPARE(recorder.calls().size(), 1);
        QVERIFY2(
                recorder.lastText().startsWith(u(
                        "执行SQL语句[ delete from TA where  topicid = 1 or topicid = 2 ]发生错误")),
                qPrintable(recorder.lastText()));
        QVERIFY(recorder.lastText().contains(u("错误描述")));
        QCOMPARE(list()->topLevelItemCount(), 5);
        QVERIFY(FileSystem::exists(dir_->file("posts/111/2.htm")));

        // A failed move leaves the files where they are.
        recorder.clear();
        driver.then([](QDialog &dialog) {
            auto &move = static_cast<CMovePostDialog &>(dialog);
            move.targetBox()->setCurrentIndex(3);
            return click(dialog, move.acceptButton());
        });
        frame_->commands()->movePosts->trigger();
        QCOMPARE(driver.shown, 2);
        QCOMPARE(recorder.calls().size(), 1);
        QVERIFY2(recorder.lastText().startsWith(u("执行SQL语句[ update TA set roomid = 13 where ")),
                 qPrintable(recorder.lastText()));
        QCOMPARE(list()->topLevelItemCount(), 5);
        QCOMPARE(dir_->read("posts/111/2.htm"), std::string("<html>2</html>"));
        QVERIFY(!FileSystem::exists(dir_->file("posts/13")));
        QCOMPARE(driver.unexpected, 0);
    }

    void moveToAnotherRoomMovesTheFiles()
    {
        MessageBoxRecorder recorder;
        ModalDriver driver;
        dir_->write("posts/13/100.htm", "already there");
        select(a({"2", "99", "100"}));
        driver.then([](QDialog &dialog) {
            auto &move = static_cast<CMovePostDialog &>(dialog);
            [&] {
                QCOMPARE(move.windowTitle(), u("把选择的帖子转移到......"));
                QCOMPARE(move.tableLabel()->text(), QStringLiteral("TA"));
                QCOMPARE(comboTexts(move.targetBox()),
                         (QStringList {u("甲区"), u("乙"), u("乙 -> 标准库"), u("丙")}));
                QCOMPARE(move.roomIdLabel()->text(), QStringLiteral("1"));
                QCOMPARE(move.postList()->topLevelItemCount(), 3);
                QCOMPARE(move.postList()->topLevelItem(0)->text(0), QStringLiteral("2"));
                QCOMPARE(move.postList()->topLevelItem(0)->text(1), u("标准库"));
                QCOMPARE(move.postList()->columnWidth(0), 100);
                QCOMPARE(move.postList()->columnWidth(1), 210);
                move.targetBox()->setCurrentIndex(3);
                QCOMPARE(move.roomIdLabel()->text(), QStringLiteral("13"));
            }();
            shoot(dialog, QStringLiteral("move-dialog.png"));
            return click(dialog, move.acceptButton());
        });
        frame_->commands()->movePosts->trigger();
        QCOMPARE(driver.shown, 1);
        QCOMPARE(listedIds(), a({"1", "3"}));
        QCOMPARE(frame_->mainStatusBar()->pane(3)->text(), u("帖子转移成功完成"));
        QCOMPARE(countRows("TA where roomid = 13"), 4);
        // The files follow their room; an existing file is never replaced.
        QCOMPARE(dir_->read("posts/13/2.htm"), std::string("<html>2</html>"));
        QCOMPARE(dir_->read("posts/13/99.htm"), std::string("<html>99</html>"));
        QCOMPARE(dir_->read("posts/13/100.htm"), std::string("already there"));
        QCOMPARE(dir_->read("posts/111/100.htm"), std::string("<html>100</html>"));
        QCOMPARE(recorder.calls().size(), 1);
        QVERIFY(recorder.lastText().contains(QStringLiteral("100.htm")));

        // Back to the marked room: its id without the marker; refusing changes nothing.
        frame_->postListing()->RunPostQuery("select * from TA where roomid=13");
        select(a({"2"}));
        driver.then([](QDialog &dialog) {
            return click(dialog, static_cast<CMovePostDialog &>(dialog).refuseButton());
        });
        frame_->commands()->movePosts->trigger();
        QCOMPARE(list()->topLevelItemCount(), 4);
        driver.then([](QDialog &dialog) {
            auto &move = static_cast<CMovePostDialog &>(dialog);
            move.targetBox()->setCurrentIndex(2);
            return click(dialog, move.acceptButton());
        });
        frame_->commands()->movePosts->trigger();
        QCOMPARE(countRows("TA where roomid = 111"), 3);
        QCOMPARE(dir_->read("posts/111/2.htm"), std::string("<html>2</html>"));
        QCOMPARE(driver.unexpected, 0);
    }

    void failedFindKeepsTheListedRoom()
    {
        const int room = frame_->postListing()->currentRoomIndex();
        QVERIFY(room >= 0);
        QCOMPARE(frame_->postListing()->currentRootIndex(), 0);
        execute({"drop table TB"});
        MessageBoxRecorder recorder;
        ModalDriver driver;
        driver.then([](QDialog &dialog) {
            auto &find = static_cast<CFindPostDialog &>(dialog);
            find.rootBox()->setCurrentIndex(1);
            return click(dialog, find.startButton());
        });
        frame_->commands()->findPosts->trigger();
        QCOMPARE(driver.shown, 1);
        QCOMPARE(recorder.calls().size(), 1);
        // The rows of the room stay listed, and so do the indices that name it.
        QCOMPARE(list()->topLevelItemCount(), 5);
        QCOMPARE(frame_->postListing()->currentRoomIndex(), room);
        QCOMPARE(frame_->postListing()->currentRootIndex(), 0);
    }

    void previousPageAfterRowsLeft()
    {
        for (int id = 1000; id < 1245; ++id)
            insertPost(id, 13);
        frame_->postListing()->RunPostQuery("select * from TA where roomid=13");
        frame_->postListing()->ShowNextPage();
        frame_->postListing()->ShowNextPage();
        QCOMPARE(frame_->postListing()->pager().rowsShown(), 246);
        MessageBoxRecorder recorder;
        ModalDriver driver;
        for (int i = 0; i < 2; ++i)
            driver.then([](QDialog &dialog) {
                return click(dialog, static_cast<CConfirmOperationDialog &>(dialog).acceptButton());
            });
        select(a({"1240", "1241", "1242"}));
        frame_->commands()->deletePosts->trigger();
        QCOMPARE(list()->topLevelItemCount(), 43);
        frame_->postListing()->ShowPreviousPage();
        QCOMPARE(frame_->mainStatusBar()->pane(3)->text(),
                 u("查询记录的个数= 243 ,当前显示第 101 到 200 个"));
    }

    void deletedAndMovedRowsLeaveTheCount()
    {
        ModalDriver driver;
        const auto accept = [](QDialog &dialog) {
            return click(dialog, static_cast<CConfirmOperationDialog &>(dialog).acceptButton());
        };
        driver.then(accept);
        driver.then([](QDialog &dialog) {
            return click(dialog, static_cast<CConfirmOperationDialog &>(dialog).refuseButton());
        });
        select(a({"3"}));
        frame_->commands()->deletePosts->trigger();
        QCOMPARE(status(), u("查询记录的个数= 4 ,当前显示第 1 到 4 个"));
        // The room's rows are held whole; paging through them again does not bring the
        // deleted post back, and the count holds.
        frame_->postListing()->ShowFirstPage();
        QCOMPARE(listedIds(), a({"1", "2", "99", "100"}));
        QCOMPARE(status(), u("查询记录的个数= 4 ,当前显示第 1 到 4 个"));
        frame_->postListing()->ShowNextPage();
        QCOMPARE(status(), u("已经到达最后页(总记录个数=4)"));

        // A move takes rows out of the listed room as well; the pane says it was done.
        driver.then([](QDialog &dialog) {
            auto &move = static_cast<CMovePostDialog &>(dialog);
            move.targetBox()->setCurrentIndex(3); // 丙
            return click(dialog, move.acceptButton());
        });
        select(a({"1", "2", "99", "100"}));
        frame_->commands()->movePosts->trigger();
        QCOMPARE(status(), u("帖子转移成功完成"));
        frame_->postListing()->ShowFirstPage();
        QCOMPARE(list()->topLevelItemCount(), 0);
        QCOMPARE(status(), u("查询记录的个数= 0 ,当前页没有帖子"));
        QCOMPARE(driver.unexpected, 0);
    }

    void f5ListsTheRoomOrTheSearchAgain()
    {
        frame_->show();
        QVERIFY(QTest::qWaitForWindowExposed(frame_.get()));
        frame_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(frame_.get()));
        // Another user's post: listing the room again by double-click keeps the rows on show.
        insertPost(7, 111);
        QCoreApplication::postEvent(
                frame_.get(),
                new CIndexEvent(WM_OPEN_ROOM, frame_->postListing()->currentRoomIndex()));
        QCoreApplication::sendPostedEvents(frame_.get());
        QCOMPARE(list()->topLevelItemCount(), 5);
        const int room = frame_->postListing()->currentRoomIndex();
        QTest::keyClick(frame_.get(), Qt::Key_F5);
        QCOMPARE(listedIds(), a({"1", "2", "3", "7", "99", "100"}));
        QCOMPARE(frame_->postListing()->currentRoomIndex(), room);

        // A search is queried again the same way.
        frame_->postListing()->RunFindQuery({"select * from TA where roomid = 13", {}, {}}, 0);
        QCOMPARE(listedIds(), a({"4"}));
        insertPost(8, 13);
        QTest::keyClick(frame_.get(), Qt::Key_F5);
        QCOMPARE(listedIds(), a({"4", "8"}));
        QCOMPARE(frame_->postListing()->currentRoomIndex(), -1);
    }

    void goToAPostById()
    {
        MessageBoxRecorder recorder;
        frame_->show();
        QVERIFY(QTest::qWaitForWindowExposed(frame_.get()));
        frame_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(frame_.get()));
        dir_->write("b/5001.htm", "<html>5001</html>");
        QLineEdit *field = frame_->goToPost()->field();
        frame_->commands()->mainToolBar->hide();
        QTest::keyClick(frame_.get(), Qt::Key_G, Qt::ControlModifier);
        QTRY_VERIFY(field->hasFocus());
        QVERIFY(field->isVisible());
        shoot(*frame_, QStringLiteral("goto-field.png"));

        QTest::keyClicks(field, QStringLiteral("5001"));
        QTest::keyClick(field, Qt::Key_Return);
        QCOMPARE(recorder.calls().size(), 0);
        CPostTabStrip *strip = frame_->postPanel()->strip();
        QCOMPARE(strip->tabs().count(), 1);
        QCOMPARE(strip->tabs().entry(0).displayPath, dir_->path() + "\\b\\5001.htm");
        QCOMPARE(frame_->roomTree()->currentItem()->text(0), u("丁"));
        QVERIFY(frame_->roomTree()->currentItem()->parent()->isExpanded());
        // The list is not touched.
        QCOMPARE(list()->topLevelItemCount(), 5);

        QVERIFY(frame_->goToPost()->GoToPost(QStringLiteral(" 99 ")));
        QCOMPARE(frame_->roomTree()->currentItem()->text(0), u("标准库"));
        QCOMPARE(strip->tabs().count(), 2);

        QVERIFY(!frame_->goToPost()->GoToPost(QStringLiteral("77777")));
        QVERIFY(!frame_->goToPost()->GoToPost(QStringLiteral("12a")));
        QCOMPARE(recorder.texts(),
                 (QStringList {u("所有帖子表中都没有帖子ID为 77777 的帖子。"),
                               u("“12a”不是帖子ID: 请输入一个正整数。")}));
        // A table that cannot be asked is named.
        execute({"drop table TB"});
        QVERIFY(!frame_->goToPost()->GoToPost(QStringLiteral("5001")));
        QCOMPARE(recorder.lastText(),
                 u("所有帖子表中都没有帖子ID为 5001 的帖子。\n以下帖子表无法查询: TB"));
    }

private:
    CPostListView *list() const { return frame_->postList(); }
    QString status() const { return frame_->mainStatusBar()->pane(3)->text(); }

    void execute(const std::vector<std::string> &statements)
    {
        CAdoManager ado;
        QCOMPARE(ado.OpenAdoConnection(frame_->roomTree()->rooms().GetConnectionString()), 0L);
        for (const std::string &sql : statements)
            QVERIFY2(ado.ExecuteSql(sql, CAdoManager::CommandText) == 0,
                     qPrintable(Gbk::toQString(ado.LastError())));
    }
    void insertPost(int id, int roomid)
    {
        execute({"insert into TA (topicid, title, roomid) values (" + std::to_string(id) + ", '"
                 + gbk("标题") + std::to_string(id) + "', " + std::to_string(roomid) + ")"});
    }
    long countRows(const std::string &from)
    {
        CAdoManager ado;
        std::unique_ptr<CAdoRecordset> rs;
        if (ado.OpenAdoConnection(frame_->roomTree()->rooms().GetConnectionString()) != 0
            || ado.ExecuteSql("select count(*) as n from " + from, rs, CAdoManager::CommandText)
                    != 0)
            return -1;
        long long n = -1;
        rs->Value("n").ToInt64(n);
        return long(n);
    }
    void select(const QStringList &ids)
    {
        list()->clearSelection();
        for (int row = 0; row < list()->topLevelItemCount(); ++row) {
            if (ids.contains(list()->topLevelItem(row)->text(1)))
                list()->topLevelItem(row)->setSelected(true);
        }
    }
    QStringList listedIds() const
    {
        QStringList ids;
        for (int row = 0; row < list()->topLevelItemCount(); ++row)
            ids << list()->topLevelItem(row)->text(1);
        return ids;
    }

    std::unique_ptr<TempAppDir> dir_;
    std::unique_ptr<CMainFrame> frame_;
};

QUILLERY_REGISTER_TEST(TestPostCommands)
#include "tst_PostCommands.moc"
