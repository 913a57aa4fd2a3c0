#include "MessageBoxRecorder.h"
#include "PostCommandHelpers.h"
#include "TestDatabase.h"
#include "TestRegistry.h"
#include "TestSupport.h"

#include "browser/CKestrelCommands.h"
#include "browser/CLeftTreeView.h"
#include "browser/CMainFrame.h"
#include "browser/posts/CMovePostDialog.h"
#include "browser/posts/PostListController.h"
#include "common/Codec.h"
#include "common/FileSystem.h"

#include <QAction>
#include <QComboBox>
#include <QHeaderView>

Q_DECLARE_METATYPE(TestEngine)

// Delete and move name posts by their ID: read from its own column, on both engines, and
// used for files only where the post location table can hold it.
class TestPostCommandIds : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        dir_ = std::make_unique<TempAppDir>();
        dir_->write("Configs/NoPost.Bk", "<html><body>|NOT_FOUND_PATH|</body></html>");
        dir_->write("Configs/Add0Post.htm", "<html><body>start</body></html>");
    }
    void cleanup() { dir_.reset(); }

    void deleteAndMoveTakeTheIdFromItsColumn_data()
    {
        QTest::addColumn<TestEngine>("engine");
        QTest::newRow("sqlite") << TestEngine::SQLite;
        QTest::newRow("postgresql") << TestEngine::PostgreSQL;
    }

    void deleteAndMoveTakeTheIdFromItsColumn()
    {
        // A post table without a title: the list shows the ID, the room (by its name, here
        // "2008") and the replies. Neither the room name nor a reply count is a post ID.
        QFETCH(TestEngine, engine);
        QUILLERY_TEST_DATABASE(db, engine);
        const std::string integer = engine == TestEngine::SQLite ? "INTEGER" : "BIGINT";
        QString error;
        QVERIFY2(db->execute({"CREATE TABLE TN (topicid " + integer + " PRIMARY KEY, roomid "
                                      + integer + ", reply INTEGER)",
                              "INSERT INTO TN VALUES (1, 7, 2)", "INSERT INTO TN VALUES (2, 7, 1)",
                              "INSERT INTO TN VALUES (2008, 7, 1)"},
                             error),
                 qPrintable(error));
        dir_->write("Configs/NoTitle.xml",
                    gbk("<?xml version=\"1.0\" encoding=\"GBK\"?><r><数据库连接字符串>")
                            + db->connectionString()
                            + gbk("</数据库连接字符串><帖子类型 TABLE=\"TN\" ROOMID=\"7*\">2008"
                                  "<帖子类型 ROOMID=\"8\">丙</帖子类型>"
                                  "<帖子属性范围>1 100000 |APP_PATH|\\n\\|ROOMID|\\|ID|.htm"
                                  "</帖子属性范围></帖子类型></r>"));
        for (const char *id : {"1", "2", "2008"})
            dir_->write(std::string("n/7/") + id + ".htm", id);
        CMainFrame frame;
        QVERIFY(frame.LoadConfiguration(std::string("Configs/NoTitle.xml")));
        QCoreApplication::sendPostedEvents(&frame);
        CPostListView *list = frame.postList();
        QCOMPARE(list->topLevelItemCount(), 3);
        QCOMPARE(list->headerItem()->text(0), u("帖子ID"));
        const std::string connection = db->connectionString();

        MessageBoxRecorder recorder;
        QStringList offered;
        {
            ModalDriver driver;
            driver.then(acceptConfirmation);
            driver.then([&](QDialog &dialog) {
                offered = confirmationItems(dialog);
                return acceptConfirmation(dialog);
            });
            selectRows(list, 0, {QStringLiteral("1")});
            frame.commands()->deletePosts->trigger();
            QCOMPARE(driver.shown, 2);
        }
        QCOMPARE(countOn(connection, "TN where topicid = 1"), 0L);
        QCOMPARE(countOn(connection, "TN"), 2L);
        QCOMPARE(offered, QStringList {Gbk::toQString(dir_->file("n/7/1.htm"))});
        QVERIFY(!FileSystem::exists(dir_->file("n/7/1.htm")));
        QVERIFY(FileSystem::exists(dir_->file("n/7/2008.htm")));

        {
            ModalDriver driver;
            driver.then([](QDialog &dialog) {
                auto &move = static_cast<CMovePostDialog &>(dialog);
                move.targetBox()->setCurrentIndex(1);
                return click(dialog, move.acceptButton());
            });
            selectRows(list, 0, {QStringLiteral("2")});
            frame.commands()->movePosts->trigger();
            QCOMPARE(driver.shown, 1);
        }
        QCOMPARE(countOn(connection, "TN where roomid = 8"), 1L);
        QCOMPARE(countOn(connection, "TN where topicid = 2 and roomid = 8"), 1L);
        QCOMPARE(dir_->read("n/8/2.htm"), std::string("2"));
        QVERIFY(FileSystem::exists(dir_->file("n/7/2008.htm")));

        // Rows without their ID column: delete and move say so and do nothing.
        QVERIFY(frame.postListing()->RunPostQuery("select roomid, reply from TN"));
        QCOMPARE(list->columnCount(), 2);
        recorder.clear();
        ModalDriver driver;
        list->topLevelItem(0)->setSelected(true);
        frame.commands()->deletePosts->trigger();
        frame.commands()->movePosts->trigger();
        QCOMPARE(driver.shown, 0);
        QCOMPARE(driver.unexpected, 0);
        QCOMPARE(recorder.texts(),
                 (QStringList {u("列表中没有帖子ID(topicid)列,不知道要删除或转移哪些帖子。"),
                               u("列表中没有帖子ID(topicid)列,不知道要删除或转移哪些帖子。")}));
        QCOMPARE(countOn(connection, "TN"), 2L);
        QCOMPARE(countOn(connection, "TN where roomid = 8"), 1L);
    }

    void idsBeyondThePathLookUpTouchNoFile()
    {
        // The path look-up holds 0..4294967295: 5000000000 would become 4294967295 there and
        // -4294967295 would wrap to 1. Their rows go or move; no other post's file does.
        dir_->write(
                "Configs/InitTree.xml",
                gbk("<?xml version=\"1.0\" encoding=\"GBK\"?><r><数据库连接字符串>"
                    "Provider=SQLite;Data Source=|APP_PATH|\\Data\\T.db</数据库连接字符串>"
                    "<帖子类型 TABLE=\"TA\" ROOMID=\"1\">甲<帖子类型 ROOMID=\"111*\">乙</帖子类型>"
                    "<帖子类型 ROOMID=\"13\">丙</帖子类型><帖子属性范围>0 4294967295 "
                    "|APP_PATH|\\posts\\|ROOMID|\\|ID|.htm</帖子属性范围></帖子类型></r>"));
        CMainFrame frame;
        QVERIFY(frame.LoadConfiguration(std::nullopt));
        const std::string connection = frame.roomTree()->rooms().GetConnectionString();
        CAdoManager ado;
        QCOMPARE(ado.OpenAdoConnection(connection), 0L);
        for (const char *values : {"2, 'two'", "5000000000, 'big'", "-4294967295, 'negative'",
                                   "4294967295, 'last'", "6000000000, 'big2'"})
            QCOMPARE(ado.ExecuteSql(std::string("insert into TA (topicid, title, roomid) values (")
                                            + values + ", 111)",
                                    CAdoManager::CommandText),
                     0L);
        ado.CloseAdoConnection();
        dir_->write("posts/111/4294967295.htm", "last");
        dir_->write("posts/111/1.htm", "one");
        dir_->write("posts/111/2.htm", "two");
        QCoreApplication::sendPostedEvents(&frame); // lists 乙
        CPostListView *list = frame.postList();
        QCOMPARE(list->topLevelItemCount(), 5);

        MessageBoxRecorder recorder;
        QStringList offered;
        {
            ModalDriver driver;
            driver.then(acceptConfirmation);
            driver.then([&](QDialog &dialog) {
                offered = confirmationItems(dialog);
                return acceptConfirmation(dialog);
            });
            selectRows(list, 1, {u("5000000000"), u("-4294967295"), u("2")});
            frame.commands()->deletePosts->trigger();
            QCOMPARE(driver.unexpected, 0);
        }
        QCOMPARE(countOn(connection, "TA where topicid in (5000000000, -4294967295, 2)"), 0L);
        QCOMPARE(offered, QStringList {Gbk::toQString(dir_->file("posts/111/2.htm"))});
        QCOMPARE(dir_->read("posts/111/4294967295.htm"), std::string("last"));
        QCOMPARE(dir_->read("posts/111/1.htm"), std::string("one"));
        QVERIFY(!FileSystem::exists(dir_->file("posts/111/2.htm")));

        {
            ModalDriver driver;
            driver.then([](QDialog &dialog) {
                auto &move = static_cast<CMovePostDialog &>(dialog);
                move.targetBox()->setCurrentIndex(2); // 丙
                return click(dialog, move.acceptButton());
            });
            selectRows(list, 1, {u("6000000000")});
            frame.commands()->movePosts->trigger();
            QCOMPARE(driver.shown, 1);
        }
        QCOMPARE(countOn(connection, "TA where topicid = 6000000000 and roomid = 13"), 1L);
        QCOMPARE(dir_->read("posts/111/4294967295.htm"), std::string("last"));
        QVERIFY(!FileSystem::exists(dir_->file("posts/13/4294967295.htm")));
    }

private:
    static QString u(const char *utf8) { return QString::fromUtf8(utf8); }

    std::unique_ptr<TempAppDir> dir_;
};

QUILLERY_REGISTER_TEST(TestPostCommandIds)
#include "tst_PostCommandIds.moc"
