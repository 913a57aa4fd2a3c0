#include "MessageBoxRecorder.h"
#include "TestRegistry.h"
#include "TestSupport.h"

#include "classifier/CSorrelDlg.h"
#include "common/CAboutDialog.h"
#include "common/CMessageListBox.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QToolButton>

namespace {
QString u(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

QStringList labelsOf(QButtonGroup *group)
{
    QStringList labels;
    for (int id = 0; group->button(id); ++id)
        labels << group->button(id)->text();
    return labels;
}

QString captionOf(QWidget *field)
{
    for (const QLabel *label : field->window()->findChildren<QLabel *>()) {
        if (label->buddy() == field)
            return label->text();
    }
    return QString();
}

std::vector<std::string> messagesOf(const CSorrelDlg &dlg)
{
    return dlg.messageList()->Messages();
}
} // namespace

class TestSorrelDlg : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { UiSeam::SetProgramCaption(QStringLiteral("Sorrel")); }
    void init() { dir_ = std::make_unique<TempAppDir>(); }
    void cleanup()
    {
        UiSeam::SetModalHandler({});
        dir_.reset();
    }

    void defaults()
    {
        CSorrelDlg dlg;
        QCOMPARE(dlg.windowTitle(),
                 u("Sorrel(主要针对离线的帖子)  -- 注意所有的输入内容是不区分大小写的"));
        QVERIFY(!dlg.windowIcon().pixmap(32, 32).isNull());
        const QList<QPair<const char *, QLineEdit *>> fields {
                {"输入目录(自动包含所有子目录):", dlg.inputEdit()},
                {"文件格式:", dlg.patternEdit()},
                {"输出目录:", dlg.outputEdit()},
                {"roomname的开始标记:", dlg.markerEdit(0)},
                {"roomname的结束标记:", dlg.markerEdit(1)},
                {"roomid的开始标记:", dlg.markerEdit(2)},
                {"roomid的结束标记:", dlg.markerEdit(3)},
        };
        const QStringList values {dir_->qtPath() + QStringLiteral("/"),
                                  u("*.htm"),
                                  dir_->qtPath() + u("/Output/"),
                                  u("<RoomName>"),
                                  u("</RoomName>"),
                                  u("<RoomId>"),
                                  u("</RoomId>")};
        for (int i = 0; i < fields.size(); ++i) {
            QCOMPARE(captionOf(fields[i].second), u(fields[i].first));
            QCOMPARE(fields[i].second->text(), values[i]);
        }
        QCOMPARE(dlg.sequenceStartEdit()->text(), QStringLiteral("10000"));

        QStringList groups;
        for (const QGroupBox *box : dlg.findChildren<QGroupBox *>())
            groups << box->title();
        QCOMPARE(groups,
                 (QStringList {u("只和分类有关,和转换文件提取无关"),
                               u("生成分类目录创建方法,流水号开始值为100"),
                               u("分类后的文件名命名规则"), u("文件生成方法:")}));
        QCOMPARE(labelsOf(dlg.folderGroup()),
                 (QStringList {u("按照roomid直接提取(主要对Lumora的XML文件适用)"),
                               u("先提取roomname,然后根据文件RoomID-Name.txt转成roomid,"
                                 "如果找不到则按流水号创建(Lumora的htm帖子等)"),
                               u("按照roomname相同的流水号自动生成"),
                               u("不创建分类目录,全部放在输出目录下(容易重名)")}));
        QCOMPARE(labelsOf(dlg.namingGroup()),
                 (QStringList {u("保持不变"), u("按照提取的roomname命名(极易重名)"),
                               u("按照数字流水号命名,流水号开始值为:")}));
        QCOMPARE(labelsOf(dlg.transferGroup()),
                 (QStringList {u("Copy原来的文件"), u("移动原来的文件")}));
        for (QButtonGroup *group : {dlg.folderGroup(), dlg.namingGroup(), dlg.transferGroup()})
            QCOMPARE(group->checkedId(), 0);

        QCOMPARE(dlg.outputFileLine()->text(), u("输出文件"));
        QCOMPARE(dlg.sourceFileLine()->text(), u("正在处理的文件"));
        QStringList buttons;
        for (const QPushButton *button : dlg.findChildren<QPushButton *>()) {
            buttons << button->text();
            QVERIFY(!button->isDefault() && !button->autoDefault());
        }
        buttons.sort();
        QStringList expected {u("开始分类"), u("提取转换文件RoomID-Name.txt"), u("清除信息"),
                              u("导出消息")};
        expected.sort();
        QCOMPARE(buttons, expected);
        QStringList entries;
        for (const QAction *action : dlg.systemMenu()->actions())
            entries << (action->isSeparator() ? QStringLiteral("---") : action->text());
        QCOMPARE(entries, (QStringList {u("关闭(&C)"), u("---"), u("关于 Sorrel(&A)...")}));
        // The way to the About entry says what it is.
        const auto *menuButton = dlg.findChild<QToolButton *>(QStringLiteral("systemMenuButton"));
        QVERIFY(menuButton);
        QCOMPARE(menuButton->text(), u("菜单"));
        QCOMPARE(menuButton->toolButtonStyle(), Qt::ToolButtonTextBesideIcon);
    }

    void runShowsProgressAndTheSummary()
    {
        CSorrelDlg dlg;
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        const QSize before = dlg.size();
        const int lineHeight = dlg.progressLine()->height();
        dir_->write("in/a.htm", "<roomid>5</roomid><roomname>r</roomname>");
        dir_->write("in/b.htm", "nothing");
        dlg.inputEdit()->setText(dir_->qtPath() + u("/in"));
        dlg.outputEdit()->setText(dir_->qtPath() + u("/out"));
        QSignalSpy finished(&dlg, &CSorrelDlg::runFinished);
        dlg.startButton()->click();
        QVERIFY(dlg.isRunning() || finished.count() == 1);
        QVERIFY(finished.wait(20000) || finished.count() == 1);
        QCOMPARE(messagesOf(dlg),
                 (std::vector<std::string> {gbk("文件[b.htm]中没有找到相应的roomid,忽略"),
                                            gbk("转换完成,总个数=2,成功的个数=1")}));
        QCOMPARE(dlg.sourceFileLine()->toolTip(), dir_->qtPath() + u("/in/b.htm"));
        QCOMPARE(dlg.outputFileLine()->toolTip(), dir_->qtPath() + u("/out/5/a.htm"));
        QVERIFY(dlg.progressLine()->text().startsWith(u("已处理 2/2 个文件")));
        QCOMPARE(dlg.startButton()->text(), u("开始分类"));
        // The progress line had its height from the start: the window did not grow.
        QCoreApplication::processEvents();
        QCOMPARE(dlg.progressLine()->height(), lineHeight);
        QCOMPARE(dlg.size(), before);

        // The folder counter lives as long as the window.
        dlg.folderGroup()->button(2)->setChecked(true);
        dlg.startButton()->click();
        QVERIFY(finished.wait(20000) || finished.count() == 2);
        QCOMPARE(dlg.classifier().folderCounter(), 101);

        for (QPushButton *button : dlg.findChildren<QPushButton *>())
            if (button->text() == u("清除信息"))
                button->click();
        QCOMPARE(dlg.messageList()->count(), 0);
    }

    void startValueMustBeAnInteger()
    {
        MessageBoxRecorder boxes;
        CSorrelDlg dlg;
        dlg.sequenceStartEdit()->clear();
        dlg.startButton()->click();
        QCOMPARE(boxes.texts(), QStringList {u("请键入一个整数。")});
        QVERIFY(!dlg.isRunning());
        QCOMPARE(dlg.messageList()->count(), 0);
        dlg.sequenceStartEdit()->setText(QStringLiteral("99999999999"));
        dlg.extractButton()->click();
        QCOMPARE(boxes.texts().size(), 2);
    }

    void enterDoesNothingEscapeCloses()
    {
        CSorrelDlg dlg;
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        QSignalSpy finished(&dlg, &QDialog::finished);
        for (QWidget *field :
             {static_cast<QWidget *>(dlg.inputEdit()), static_cast<QWidget *>(dlg.messageList())}) {
            field->setFocus();
            QTest::keyClick(field, Qt::Key_Return);
            QTest::keyClick(field, Qt::Key_Enter, Qt::KeypadModifier);
        }
        QVERIFY(dlg.isVisible());
        QCOMPARE(finished.count(), 0);
        QVERIFY(!dlg.isRunning());
        QTest::keyClick(dlg.inputEdit(), Qt::Key_Escape);
        QCOMPARE(finished.count(), 1);
        QVERIFY(!dlg.isVisible());
    }

    void aboutEntryShowsTheAboutBox()
    {
        CSorrelDlg dlg;
        QString title;
        UiSeam::SetModalHandler([&](QDialog &box) {
            if (qobject_cast<CAboutDialog *>(&box))
                title = box.windowTitle();
            return int(QDialog::Accepted);
        });
        dlg.systemMenu()->actions().last()->trigger();
        QCOMPARE(title, u("关于 Sorrel"));
    }

    void closingStopsARunningRunFirst()
    {
        for (int i = 0; i < 3000; ++i)
            dir_->write("in/" + std::to_string(i) + ".htm", "x");
        CSorrelDlg dlg;
        dlg.show();
        dlg.inputEdit()->setText(dir_->qtPath() + u("/in"));
        dlg.outputEdit()->setText(dir_->qtPath() + u("/out"));
        dlg.folderGroup()->button(3)->setChecked(true);
        QSignalSpy finished(&dlg, &QDialog::finished);
        dlg.startButton()->click();
        QCOMPARE(dlg.startButton()->text(), u("停止"));
        dlg.close();
        QVERIFY(finished.wait(20000));
        QVERIFY(!dlg.isRunning());
        const std::string summary = messagesOf(dlg).back();
        QVERIFY(summary.find(gbk("转换完成,总个数=")) == 0);
        QVERIFY2(dlg.classifier().fileCount() < 3000, qPrintable(show(summary)));
    }

private:
    std::unique_ptr<TempAppDir> dir_;
};

QUILLERY_REGISTER_TEST(TestSorrelDlg)
#include "tst_SorrelDlg.moc"
