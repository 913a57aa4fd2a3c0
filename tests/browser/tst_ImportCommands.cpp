#include "MessageBoxRecorder.h"
#include "TestRegistry.h"
#include "TestSupport.h"

#include "browser/CImportController.h"
#include "browser/CKestrelCommands.h"
#include "browser/CLeftTreeView.h"
#include "browser/CMainFrame.h"
#include "browser/import/CImportDataBase.h"
#include "browser/import/CImportDataList.h"
#include "browser/import/CImportDataSheet.h"
#include "browser/posts/CPostListView.h"
#include "browser/posts/PostListController.h"
#include "browser/posts/PostPager.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>

namespace {
const char *const CommandsConfig = R"(<?xml version="1.0" encoding="GBK"?>
<r>
  <数据库连接字符串>Provider=SQLite;Data Source=|APP_PATH|\Data\T.db</数据库连接字符串>
  <帖子类型 TABLE="TA" ROOMID="1">甲区<帖子类型 ROOMID="12*">乙</帖子类型><帖子类型 ROOMID="13">丁</帖子类型></帖子类型>
</r>
)";
const char *const OnePreset = R"(<?xml version="1.0" encoding="GBK"?>
<r><下拉列表填充><下拉列表项>默认*</下拉列表项></下拉列表填充>
<具体内容项0><EdFileFormat>*.htm</EdFileFormat><RadioTopicid>0</RadioTopicid><EdTitleStart>&lt;title&gt;</EdTitleStart><EdTitleEnd>&lt;/title&gt;</EdTitleEnd></具体内容项0></r>)";

QString u(const char *utf8)
{
    return QString::fromUtf8(utf8);
}
} // namespace

class TestImportCommands : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        dir_ = std::make_unique<TempAppDir>();
        dir_->write("Configs/InitTree.xml", gbk(CommandsConfig));
        dir_->write("Configs/XmlListInfo.xml", gbk(OnePreset));
    }
    void cleanup()
    {
        UiSeam::SetModalHandler({});
        dir_.reset();
    }

    void importToSelectedRoomNeedsASelection()
    {
        MessageBoxRecorder recorder;
        CMainFrame frame;
        QVERIFY(frame.LoadConfiguration(std::nullopt));
        QVERIFY(frame.commands()->import->isEnabled());
        QVERIFY(frame.commands()->importToRoom->isEnabled());
        int opened = 0;
        UiSeam::SetModalHandler([&](QDialog &) { return ++opened, int(QDialog::Rejected); });
        frame.roomTree()->clearSelection();
        frame.commands()->importToRoom->trigger();
        QCOMPARE(opened, 0);
        QCOMPARE(recorder.texts(),
                 QStringList {u("还没有选择类型,请先在左边的列表中选择一个类型")});
    }

    void importToSelectedRoomLocksTheRoom()
    {
        CMainFrame frame;
        QVERIFY(frame.LoadConfiguration(std::nullopt));
        QCoreApplication::sendPostedEvents(&frame); // the start room is listed
        QVERIFY(frame.postListing()->currentRoomIndex() >= 0);
        QStringList seen;
        UiSeam::SetModalHandler([&](QDialog &dialog) {
            auto &sheet = dynamic_cast<CImportDataSheet &>(dialog);
            CImportDataList *list = sheet.listPage();
            seen << list->roomidStartField()->toPlainText() << list->tableField()->text()
                 << list->presetList()->itemText(0);
            if (!list->roomidRadio(2)->isChecked() || !list->tableField()->isReadOnly())
                seen << QStringLiteral("not locked");
            if (frame.postListing()->currentRoomIndex() != -1)
                seen << QStringLiteral("room not forgotten");
            return int(QDialog::Rejected);
        });
        frame.commands()->importToRoom->trigger();
        QCOMPARE(seen, (QStringList {QStringLiteral("12"), QStringLiteral("TA"), u("默认")}));
        // Without a run nothing is queried; the next double-click queries again.
        QCOMPARE(frame.postListing()->currentRoomIndex(), -1);
    }

    void theListedRoomIsQueriedAgainAfterARun()
    {
        CMainFrame frame;
        QVERIFY(frame.LoadConfiguration(std::nullopt));
        QCoreApplication::sendPostedEvents(&frame);
        const int listed = frame.postListing()->currentRoomIndex();
        QVERIFY(listed >= 0);
        QCOMPARE(frame.postList()->topLevelItemCount(), 0);
        for (int id : {31, 32})
            dir_->write("Import/" + std::to_string(id) + ".htm",
                        "<title>post " + std::to_string(id) + "</title>");
        bool released = false;
        UiSeam::SetModalHandler([&](QDialog &dialog) {
            auto &sheet = dynamic_cast<CImportDataSheet &>(dialog);
            sheet.basePage()->SetPathCheck(false);
            sheet.applyButton()->click();
            released = !frame.postListing()->pager().HasOpenResult();
            for (int waited = 0; sheet.HasWorker() && waited < 20000; waited += 20)
                QTest::qWait(20);
            QTest::qWait(150);
            return int(QDialog::Accepted);
        });
        frame.commands()->importToRoom->trigger();
        QVERIFY(released);
        QCOMPARE(frame.postListing()->currentRoomIndex(), listed);
        QCOMPARE(frame.postList()->topLevelItemCount(), 2);
    }

    void aPresetsFileThatCannotBeReadEndsTheProgram()
    {
        MessageBoxRecorder recorder;
        dir_->write("Configs/XmlListInfo.xml", "");
        CMainFrame frame;
        QVERIFY(frame.LoadConfiguration(std::nullopt));
        auto *controller = frame.findChild<CImportController *>();
        QVERIFY(controller);
        int ended = 0;
        controller->endProgram = [&ended] { ++ended; };
        int opened = 0;
        UiSeam::SetModalHandler([&](QDialog &) { return ++opened, int(QDialog::Rejected); });
        frame.commands()->import->trigger();
        QCOMPARE(ended, 1);
        QCOMPARE(opened, 0);
        QCOMPARE(recorder.calls().size(), 1);
        QVERIFY(recorder.lastText().endsWith(u("配置文件打开错误,请检查,程序将退出。")));
    }

private:
    std::unique_ptr<TempAppDir> dir_;
};

QUILLERY_REGISTER_TEST(TestImportCommands)
#include "tst_ImportCommands.moc"
