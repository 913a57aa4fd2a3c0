#include "MessageBoxRecorder.h"
#include "PostCommandHelpers.h"
#include "TestDatabase.h"
#include "TestRegistry.h"
#include "TestSupport.h"

#include "browser/CKestrelCommands.h"
#include "browser/CMainFrame.h"
#include "browser/posts/CMovePostDialog.h"
#include "common/Codec.h"
#include "common/FileSystem.h"

#include <QAction>
#include <QComboBox>
#include <QHeaderView>

Q_DECLARE_METATYPE(TestEngine)

// Delete and move on a post table whose columns are not the usual ones, on both engines.
class TestPostCommandColumns : public QObject
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
        QCOMPARE(offered, QStringList {Gbk::toQString(dir_->path() + "\\n\\7\\1.htm")});
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
        QVERIFY(frame.RunPostQuery("select roomid, reply from TN"));
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

private:
    static QString u(const char *utf8) { return QString::fromUtf8(utf8); }

    std::unique_ptr<TempAppDir> dir_;
};

QUILLERY_REGISTER_TEST(TestPostCommandColumns)
#include "tst_PostCommandColumns.moc"
