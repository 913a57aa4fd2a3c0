#include "ArchiveFixture.h"
#include "MessageBoxRecorder.h"
#include "TestRegistry.h"

#include "browser/CKestrelCommands.h"
#include "browser/CMissingPosts.h"

#include <QAction>
#include <QMenu>
#include <QPushButton>
#include <QTreeWidget>

namespace {
QString u(const char *utf8)
{
    return QString::fromUtf8(utf8);
}
} // namespace

// "检查缺少的帖子..." in the room menu: counts for the selected room's table over its post
// location entries, and the download list of what is missing.
class TestMissingPosts : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void cleanup() { UiSeam::SetModalHandler({}); }

    void countsAndWritesTheList()
    {
        ArchiveFixture archive;
        MessageBoxRecorder recorder;
        CMainFrame frame;
        QVERIFY(frame.LoadConfiguration(std::nullopt));
        QVERIFY(frame.roomTree()->topLevelItemCount() > 0);
        QVERIFY(frame.commands()->roomMenu->actions().contains(frame.commands()->checkMissing));
        QCOMPARE(frame.commands()->checkMissing->text(), u("检查缺少的帖子..."));

        // Nothing selected, then a table without posts.
        frame.roomTree()->clearSelection();
        frame.commands()->checkMissing->trigger();
        QCOMPARE(recorder.texts(),
                 QStringList {u("还没有选择类型,请先在左边的列表中选择一个类型")});
        recorder.clear();
        frame.roomTree()->setCurrentItem(frame.roomTree()->topLevelItem(0)->child(0));
        frame.commands()->checkMissing->trigger();
        QCOMPARE(recorder.texts(),
                 QStringList {u("类型“甲区”的帖子表中没有帖子属性范围内的帖子。")});

        // Posts 1 to 5 and 9; only 1 has its file.
        QVERIFY(ArchiveFixture::fill(frame, 5));
        CAdoManager ado;
        QCOMPARE(ado.OpenAdoConnection(frame.roomTree()->rooms().GetConnectionString()), 0L);
        QCOMPARE(ado.ExecuteSql("insert into TA (topicid, roomid) values (9, 12)",
                                CAdoManager::CommandText),
                 0L);
        ado.CloseAdoConnection();

        QStringList lines;
        bool writable = false;
        const QString list = archive.dir->qtPath() + QStringLiteral("/missing.lst");
        recorder.clear();
        recorder.queuePath(list);
        UiSeam::SetModalHandler([&](QDialog &dialog) {
            auto &shown = dynamic_cast<CMissingPostsDialog &>(dialog);
            lines = shown.lines();
            writable = shown.writeListButton()->isEnabled();
            shown.show();
            screenshot(QStringLiteral("kestrel-missing-posts.png"));
            shown.writeListButton()->click();
            return int(QDialog::Rejected);
        });
        frame.commands()->checkMissing->trigger();
        QCOMPARE(lines,
                 (QStringList {u("类型“甲区”, 帖子表 TA"),
                               u("帖子ID 1 到 9(帖子属性范围内表中已有的帖子ID)"),
                               u("表中有 6 个帖子"), u("缺少的帖子: 3 个(1 段)"),
                               u("文件丢失的帖子: 5 个")}));
        QVERIFY(writable);
        QCOMPARE(recorder.fileDialogs().size(), 1);
        QCOMPARE(recorder.texts().size(), 1);
        QVERIFY2(recorder.lastText().endsWith(u("已写好, 共 8 行")),
                 qPrintable(recorder.lastText()));
        std::string expected;
        for (int id : {2, 3, 4, 5, 6, 7, 8, 9})
            expected += "https://www.lumora.example/expert/buildtopic1.asp?id=" + std::to_string(id)
                    + "\r\n";
        QCOMPARE(readBytes(list), expected);
    }
};

QUILLERY_REGISTER_TEST(TestMissingPosts)
#include "tst_MissingPosts.moc"
