#include "ImportSheetFixture.h"
#include "MessageBoxRecorder.h"
#include "TestRegistry.h"

#include "browser/import/CImportDataBase.h"
#include "browser/import/CImportDataExtern.h"
#include "browser/import/CImportDataList.h"
#include "browser/import/ImportEvents.h"
#include "browser/import/SheetFields.h"
#include "common/CMessageListBox.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSystemTrayIcon>
#include <QTabWidget>

namespace {
QString u(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

QStringList comboTexts(const QComboBox *box)
{
    QStringList texts;
    for (int i = 0; i < box->count(); ++i)
        texts << box->itemText(i);
    return texts;
}

// A click on the button's indicator, where the mouse would press it.
void click(QWidget *button)
{
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(8, 10));
}

QStringList labelTexts(const QWidget *page)
{
    QStringList texts;
    for (const QLabel *label : page->findChildren<QLabel *>())
        texts << label->text();
    for (const QAbstractButton *button : page->findChildren<QAbstractButton *>())
        texts << button->text();
    for (const QGroupBox *group : page->findChildren<QGroupBox *>())
        texts << group->title();
    return texts;
}
} // namespace

class TestImportSheet : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void cleanup() { CImportDataSheet::SetTrayAvailableForTesting(std::nullopt); }

    void captionPagesLabelsAndDefaults()
    {
        SheetFixture fixture;
        auto sheet = fixture.makeSheet();
        QVERIFY(sheet->InitialiseSheet());
        QCOMPARE(sheet->windowTitle(),
                 u("导入帖子   --  注意:  [基本字段(必填)]和[扩充字段]两个页的输入都必须用小写"));
        QTabWidget *tabs = sheet->tabs();
        QCOMPARE(tabs->count(), 3);
        QCOMPARE(tabs->tabText(0), u("基本信息(必填)"));
        QCOMPARE(tabs->tabText(1), u("基本字段(必填)"));
        QCOMPARE(tabs->tabText(2), u("扩充字段"));
        QCOMPARE(tabs->currentWidget(), sheet->listPage());
        QCOMPARE(sheet->trayButton()->text(), u("放入托盘"));
        QCOMPARE(sheet->applyButton()->text(), u("开始导入"));
        QVERIFY(sheet->applyButton()->isEnabled());

        CImportDataBase *base = sheet->basePage();
        for (const char *text :
             {"连接字符串(一般用户无需修改):", "导入文件路径    (含所有子目录):", "选择目录",
              "检查程序构造的帖子路径和实际路径是否一致", "消息输出:", "清除消息", "导出消息",
              "处理:", "暂时没有文件在处理......"})
            QVERIFY2(labelTexts(base).contains(u(text)), text);
        // The database file's path shows with "/"; the configuration keeps its "\".
        const std::string source = "Provider=SQLite;Data Source=" + fixture.dir.path();
        QCOMPARE(fixture.rooms.GetConnectionString(), source + "\\Data\\T.db");
        QCOMPARE(base->ConnectionString(), source + "/Data/T.db");
        QCOMPARE(base->ImportFolder(), fixture.dir.path() + "/Import/");
        QVERIFY(base->PathCheck());
        QCOMPARE(base->messageList()->count(), 0);

        CImportDataList *list = sheet->listPage();
        for (const char *text : {"预先定义的格式:",
                                 "文件格式:",
                                 "(一般是htm或xml)",
                                 "导入到的表中:",
                                 "(一般用户建议不修改这里)",
                                 "插入前检查帖子ID(topicid)是否存在(慢很多)",
                                 "插入前检查帖子标题(title)是否存在(慢很多)",
                                 "帖子所属类型ID(roomid)的获取",
                                 "匹配开始:",
                                 "匹配结束:",
                                 "认为截取的就是roomid(不需转换文件)",
                                 "要经过转换文件RoomID-Name.txt转换才是roomid(转换文件必须存在)",
                                 "使用“匹配开始”字段所填的值",
                                 "认为帖子所在的目录是roomname",
                                 "认为帖子所在的目录是roomid",
                                 "帖子ID(topicid)的获取",
                                 "认为找到的文件名就是(不含扩展名)",
                                 "认为是依找到的文件从下面所填的值自动增长",
                                 "搜索唯一值",
                                 "标题(title)的截取",
                                 "使用找到的文件名(不含扩展名)"})
            QVERIFY2(labelTexts(list).contains(u(text)), text);
        QCOMPARE(list->patternField()->text(), u("*.htm"));
        QCOMPARE(list->tableField()->text(), u("post_other"));
        QVERIFY(list->checkTopicidBox()->isChecked() && list->checkTitleBox()->isChecked());
        QVERIFY(list->roomidRadio(0)->isChecked());
        QVERIFY(list->topicidRadio(1)->isChecked());
        QCOMPARE(list->autogrowField()->text(), u("10000"));
        QVERIFY(list->titleRadio(0)->isChecked() && list->titleRadio(0)->text().isEmpty());
        QVERIFY(list->roomidStartField()->isEnabled() && list->roomidEndField()->isEnabled());
        QVERIFY(list->autogrowField()->isEnabled());
        QVERIFY(list->titleStartField()->isEnabled());

        CImportDataExtern *ext = sheet->externPage();
        const char *boxes[] = {"用户名(username)的截取", "回复次数(reply)的截取",
                               "创建时间(createtime)的截取"};
        for (int i = 0; i < 3; ++i) {
            const auto field = CImportDataExtern::Field(i);
            QCOMPARE(ext->group(field)->title(), u(boxes[i]));
            QVERIFY(!ext->IsOn(field));
            QVERIFY(!ext->startField(field)->isEnabled() && !ext->endField(field)->isEnabled());
        }
        // Normal mode: the fields keep their defaults, the default preset is hidden.
        QCOMPARE(comboTexts(list->presetList()), (QStringList {u("甲式A"), u("丙式C")}));
        QVERIFY(list->presetList()->isEnabled());
    }

    void choosingAPresetAppliesItsContents()
    {
        SheetFixture fixture;
        auto sheet = fixture.makeSheet();
        QVERIFY(sheet->InitialiseSheet());
        CImportDataList *list = sheet->listPage();
        list->autogrowField()->setText(QStringLiteral("77"));
        list->titleStartField()->setPlainText(QStringLiteral("typed"));
        // Entry 1 is C, preset 2: it keeps the auto-grow value (empty there), stores
        // roomid mode 7 without a chosen button and the enabling as it was.
        list->presetList()->setCurrentIndex(1);
        Q_EMIT list->presetList()->activated(1);
        QCOMPARE(list->patternField()->text(), u("*.c"));
        QCOMPARE(sheet->settings().roomidMode, 7);
        for (int mode = 0; mode < 5; ++mode)
            QVERIFY(!list->roomidRadio(mode)->isChecked());
        QVERIFY(list->roomidStartField()->isEnabled() && list->roomidEndField()->isEnabled());
        QVERIFY(list->topicidRadio(0)->isChecked());
        QVERIFY(!list->autogrowField()->isEnabled());
        QCOMPARE(list->autogrowField()->text(), u("77"));
        QVERIFY(list->titleRadio(1)->isChecked());
        QVERIFY(!list->titleStartField()->isEnabled() && !list->titleEndField()->isEnabled());
        QCOMPARE(list->titleStartField()->toPlainText(), u("typed"));
        CImportDataExtern *ext = sheet->externPage();
        QVERIFY(ext->IsOn(CImportDataExtern::Createtime));
        QVERIFY(ext->startField(CImportDataExtern::Createtime)->isEnabled());
        QCOMPARE(ext->startField(CImportDataExtern::Createtime)->toPlainText(), u("t1"));
        QVERIFY(!ext->IsOn(CImportDataExtern::Username));

        // Entry 0 is A, preset 0: mode 1 enables both roomid markers again.
        Q_EMIT list->presetList()->activated(0);
        QCOMPARE(list->patternField()->text(), u("*.a"));
        QVERIFY(list->roomidRadio(1)->isChecked());
        QCOMPARE(list->roomidStartField()->toPlainText(), u("<a>"));
        QCOMPARE(SheetFields::gbkOf(list->roomidEndField()), std::string("</a>"));
    }

    void selectedRoomModeLocksRoomAndTable()
    {
        SheetFixture fixture;
        auto sheet = fixture.makeSheet("12", "TA");
        QVERIFY(sheet->InitialiseSheet());
        CImportDataList *list = sheet->listPage();
        // Only the default B is listed, disabled, and its contents are applied, except
        // that the roomid mode is 2 with the room, and the table is the room's.
        QCOMPARE(comboTexts(list->presetList()), QStringList {u("乙式B")});
        QVERIFY(!list->presetList()->isEnabled());
        QCOMPARE(list->presetList()->currentIndex(), 0);
        QCOMPARE(list->patternField()->text(), u("*.b"));
        QVERIFY(list->roomidRadio(2)->isChecked());
        QCOMPARE(list->roomidStartField()->toPlainText(), u("12"));
        QVERIFY(list->roomidStartField()->isReadOnly());
        QVERIFY(list->roomidStartField()->isEnabled());
        QVERIFY(!list->roomidEndField()->isEnabled());
        QCOMPARE(list->tableField()->text(), u("TA"));
        QVERIFY(list->tableField()->isReadOnly());
        for (int mode = 0; mode < 5; ++mode)
            QCOMPARE(list->roomidRadio(mode)->isEnabled(), mode == 2);
        // A preset line break arrives as CR LF before the tag, and page 3 shows the
        // preset's username group (it existed before page 2 initialised).
        QCOMPARE(SheetFields::gbkOf(list->titleEndField()), std::string("\r\n</td>"));
        QCOMPARE(SheetFields::gbkOf(list->titleStartField()), std::string("<TITLE>"));
        QVERIFY(sheet->externPage()->IsOn(CImportDataExtern::Username));
        QCOMPARE(sheet->externPage()->startField(CImportDataExtern::Username)->toPlainText(),
                 u("u1"));
    }

    void presetListVariants()
    {
        {
            // A* and B*: A is the hidden default, B keeps its star.
            SheetFixture fixture(R"(<?xml version="1.0" encoding="GBK"?>
<r><下拉列表填充><下拉列表项>A*</下拉列表项><下拉列表项>B*</下拉列表项></下拉列表填充></r>)");
            auto sheet = fixture.makeSheet();
            QVERIFY(sheet->InitialiseSheet());
            QCOMPARE(comboTexts(sheet->listPage()->presetList()), QStringList {u("B*")});
        }
        {
            // A comment as the root's first child: no presets, nothing else changes.
            SheetFixture fixture(R"(<?xml version="1.0" encoding="GBK"?>
<r><!-- 说明 --><下拉列表填充><下拉列表项>A</下拉列表项></下拉列表填充></r>)");
            auto sheet = fixture.makeSheet();
            QVERIFY(sheet->InitialiseSheet());
            QCOMPARE(sheet->listPage()->presetList()->count(), 0);
            QCOMPARE(sheet->listPage()->patternField()->text(), u("*.htm"));
        }
        {
            // A missing presets file: its path and the message; the program is to end.
            SheetFixture fixture;
            fixture.dir.write("Configs/XmlListInfo.xml", "<broken");
            MessageBoxRecorder recorder;
            auto sheet = fixture.makeSheet();
            QVERIFY(!sheet->InitialiseSheet());
            QCOMPARE(recorder.texts(),
                     QStringList {
                             QString::fromStdString(fixture.dir.path())
                             + u("/Configs/XmlListInfo.xml 配置文件打开错误,请检查,程序将退出。")});
        }
    }

    void enablingFollowsClicks()
    {
        SheetFixture fixture;
        auto sheet = fixture.makeSheet();
        QVERIFY(sheet->InitialiseSheet());
        sheet->show();
        QVERIFY(QTest::qWaitForWindowExposed(sheet.get()));
        CImportDataList *list = sheet->listPage();
        const struct
        {
            int mode;
            bool start, end;
        } rules[] = {{2, true, false},
                     {3, false, false},
                     {4, false, false},
                     {0, true, true},
                     {1, true, true}};
        for (const auto &rule : rules) {
            click(list->roomidRadio(rule.mode));
            QCOMPARE(list->RoomidMode(), rule.mode);
            QCOMPARE(list->roomidStartField()->isEnabled(), rule.start);
            QCOMPARE(list->roomidEndField()->isEnabled(), rule.end);
        }
        click(list->topicidRadio(0));
        QVERIFY(!list->autogrowField()->isEnabled());
        click(list->topicidRadio(1));
        QVERIFY(list->autogrowField()->isEnabled());
        click(list->titleRadio(1));
        QVERIFY(!list->titleStartField()->isEnabled() && !list->titleEndField()->isEnabled());
        click(list->titleRadio(0));
        QVERIFY(list->titleStartField()->isEnabled() && list->titleEndField()->isEnabled());

        sheet->ShowPage(sheet->externPage());
        QGroupBox *reply = sheet->externPage()->group(CImportDataExtern::Reply);
        click(reply);
        QVERIFY(reply->isChecked());
        QVERIFY(sheet->externPage()->startField(CImportDataExtern::Reply)->isEnabled());
        QVERIFY(sheet->externPage()->endField(CImportDataExtern::Reply)->isEnabled());
        click(reply);
        QVERIFY(!reply->isChecked());
        QVERIFY(!sheet->externPage()->endField(CImportDataExtern::Reply)->isEnabled());
    }

    void validationMessagesInOrder()
    {
        SheetFixture fixture;
        auto sheet = fixture.makeSheet();
        QVERIFY(sheet->InitialiseSheet());
        MessageBoxRecorder recorder;
        CImportDataBase *base = sheet->basePage();
        CImportDataList *list = sheet->listPage();
        CImportDataExtern *ext = sheet->externPage();
        const auto press = [&](QWidget *expectedPage, const char *expected) {
            recorder.clear();
            QWidget *elsewhere = sheet->basePage();
            if (expectedPage == sheet->basePage())
                elsewhere = sheet->externPage();
            sheet->ShowPage(elsewhere);
            sheet->applyButton()->click();
            QCOMPARE(recorder.texts(), QStringList {u(expected)});
            QCOMPARE(sheet->tabs()->currentWidget(), expectedPage);
            QCOMPARE(sheet->applyButton()->text(), u("开始导入"));
            QVERIFY(sheet->startShown());
            QVERIFY(!sheet->HasWorker());
        };
        base->SetConnectionString("");
        press(base, "基本信息(必填) -> “连接字符串”项必须输入");
        base->SetConnectionString("Provider=SQLite;Data Source=x");
        base->SetImportFolder("");
        press(base, "基本信息(必填) -> “导入文件路径”项必须输入");
        base->SetImportFolder("/nowhere/");
        list->autogrowField()->setText(QStringLiteral("12a"));
        press(list, "请键入一个整数。");
        list->autogrowField()->setText(QStringLiteral(" -5 "));
        list->patternField()->clear();
        press(list, "基本字段(必填) -> “文件格式”项必须输入");
        list->patternField()->setText(QStringLiteral("*.htm"));
        list->tableField()->clear();
        press(list, "基本字段(必填) -> “导入到的表中”项必须输入");
        list->tableField()->setText(QStringLiteral("TA"));
        press(list, "基本字段(必填) -> “帖子所属类型ID(roomid)的获取”框的“匹配开始”项不能为空");
        list->roomidStartField()->setPlainText(QStringLiteral("<r>"));
        press(list, "基本字段(必填) -> “帖子所属类型ID(roomid)的获取”框的“匹配结束”项不能为空");
        // Mode 2 needs no end marker; modes 3 and 4 no marker at all.
        list->roomidRadio(2)->click();
        press(list, "基本字段(必填) -> “标题(title)的截取”框的“匹配开始”项不能为空");
        list->roomidRadio(4)->click();
        list->roomidStartField()->clear();
        list->titleStartField()->setPlainText(QStringLiteral("<t>"));
        press(list, "基本字段(必填) -> “标题(title)的截取”框的“匹配结束”项不能为空");
        list->titleRadio(1)->click();
        ext->SetOn(CImportDataExtern::Username, true);
        press(ext, "扩充字段 -> “用户名(username)的截取”框的“匹配开始”项不能为空");
        ext->startField(CImportDataExtern::Username)->setPlainText(QStringLiteral("u"));
        press(ext, "扩充字段 -> “用户名(username)的截取”框的“匹配结束”项不能为空");
        // A box cleared again is not checked; the others report in their order.
        ext->SetOn(CImportDataExtern::Username, false);
        ext->SetOn(CImportDataExtern::Reply, true);
        ext->SetOn(CImportDataExtern::Createtime, true);
        ext->startField(CImportDataExtern::Reply)->setPlainText(QStringLiteral("r"));
        press(ext, "扩充字段 -> “回复次数(reply)的截取”框的“匹配结束”项不能为空");
        ext->SetOn(CImportDataExtern::Reply, false);
        press(ext, "扩充字段 -> “创建时间(createtime)的截取”框的“匹配开始”项不能为空");
        QCOMPARE(sheet->settings().autoGrowStart, -5);
    }

    void rootRoomCheckOfFolderNamedRooms()
    {
        SheetFixture fixture;
        auto sheet = fixture.makeSheet();
        QVERIFY(sheet->InitialiseSheet());
        MessageBoxRecorder recorder;
        sheet->listPage()->roomidRadio(3)->click();
        sheet->listPage()->titleRadio(1)->click();
        sheet->basePage()->SetImportFolder(fixture.dir.path() + gbk("/Import/乙/"));
        sheet->applyButton()->click();
        QCOMPARE(recorder.texts(),
                 QStringList {u("当选择“基本字段(必填)”页中的“认为帖子所在的目录是roomname”时要求"
                                "输入的路径中最后一个路径必须对应某个根节点的类型名称")});
        QVERIFY(sheet->startShown());
        QVERIFY(!sheet->HasWorker());
    }

    void escapeAndTrayButtonSendToTrayAndClickRestores()
    {
        SheetFixture fixture;
        CImportDataSheet::SetTrayAvailableForTesting(true);
        auto sheet = fixture.makeSheet();
        QVERIFY(sheet->InitialiseSheet());
        fixture.window.show();
        sheet->show();
        QVERIFY(QTest::qWaitForWindowExposed(sheet.get()));
        QTest::keyClick(sheet.get(), Qt::Key_Escape);
        QVERIFY(!sheet->isVisible());
        QVERIFY(!fixture.window.isVisible());
        QVERIFY(sheet->trayIcon() && sheet->trayIcon()->isVisible());
        QCOMPARE(sheet->trayIcon()->toolTip(), u("Quillery"));
        QCOMPARE(sheet->result(), 0); // still open: not finished
        // Other mouse messages leave it in the tray; the left button brings both back.
        QCoreApplication::postEvent(sheet.get(), new CImportTrayEvent(128, 517));
        QCoreApplication::sendPostedEvents(sheet.get());
        QVERIFY(!sheet->isVisible());
        Q_EMIT sheet->trayIcon()->activated(QSystemTrayIcon::Trigger);
        QCoreApplication::sendPostedEvents(sheet.get());
        QVERIFY(sheet->isVisible());
        QVERIFY(fixture.window.isVisible());
        QVERIFY(!sheet->trayIcon()->isVisible());
        sheet->trayButton()->click();
        QVERIFY(!sheet->isVisible());
        QVERIFY(sheet->trayIcon()->isVisible());
    }

    void withoutATrayBothWindowsAreMinimised()
    {
        SheetFixture fixture;
        CImportDataSheet::SetTrayAvailableForTesting(false);
        auto sheet = fixture.makeSheet();
        QVERIFY(sheet->InitialiseSheet());
        fixture.window.show();
        sheet->show();
        QVERIFY(QTest::qWaitForWindowExposed(sheet.get()));
        sheet->trayButton()->click();
        QVERIFY(sheet->isVisible() && sheet->isMinimized());
        QVERIFY(fixture.window.isVisible() && fixture.window.isMinimized());
        QVERIFY(!sheet->trayIcon());
    }

    void okAndCloseWithoutARunClose()
    {
        SheetFixture fixture;
        auto sheet = fixture.makeSheet();
        QVERIFY(sheet->InitialiseSheet());
        sheet->show();
        sheet->okButton()->click();
        QVERIFY(!sheet->isVisible());
        QCOMPARE(sheet->result(), int(QDialog::Accepted));
        sheet->show();
        QVERIFY(sheet->close());
        QCOMPARE(sheet->result(), int(QDialog::Rejected));
    }

    void chooseImportFolder()
    {
        SheetFixture fixture;
        auto sheet = fixture.makeSheet();
        QVERIFY(sheet->InitialiseSheet());
        MessageBoxRecorder recorder;
        CImportDataBase *base = sheet->basePage();
        const std::string before = base->ImportFolder();
        recorder.queuePath(QString()); // cancelled: nothing changes
        base->chooseFolderButton()->click();
        QCOMPARE(base->ImportFolder(), before);
        QCOMPARE(recorder.fileDialogs().size(), 1);
        QCOMPARE(recorder.fileDialogs().constFirst().kind, UiSeam::FileDialogCall::Directory);
        QCOMPARE(recorder.fileDialogs().constFirst().caption, u("请选择下载文件的存储路径"));
        // "Import/" is not there yet: the chooser starts in the folder that holds it.
        QCOMPARE(recorder.fileDialogs().constFirst().directory, fixture.dir.qtPath());
        fixture.dir.write(gbk("下载/a.htm"), "x");
        recorder.queuePath(fixture.dir.qtPath() + u("/下载"));
        base->chooseFolderButton()->click();
        QCOMPARE(base->ImportFolder(), fixture.dir.path() + gbk("/下载/"));
        recorder.queuePath(QString());
        base->chooseFolderButton()->click();
        QCOMPARE(recorder.fileDialogs().constLast().directory, fixture.dir.qtPath() + u("/下载"));
        recorder.queuePath(fixture.dir.qtPath() + u("/gone"));
        base->chooseFolderButton()->click();
        QCOMPARE(recorder.texts(), QStringList {u("获取目录失败")});
        QCOMPARE(recorder.calls().constFirst().icon, QMessageBox::Critical);
    }
};

QUILLERY_REGISTER_TEST(TestImportSheet)
#include "tst_ImportSheet.moc"
