#include "MessageBoxRecorder.h"
#include "ModalWindows.h"
#include "TestRegistry.h"
#include "TestSupport.h"

#include "common/CAboutDialog.h"
#include "common/CMessageListBox.h"
#include "common/CMessageOutput.h"
#include "common/GuiStartup.h"
#include "common/PlaceholderMessages.h"
#include "common/PlaceholderNotifier.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>

#include <thread>

class TestCommonWidgets : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { dir_ = std::make_unique<TempAppDir>(); }
    void cleanup() { dir_.reset(); }

    void appendingNeitherSelectsNorScrolls()
    {
        CMessageListBox list;
        list.resize(200, 120);
        list.show();
        for (int i = 0; i < 50; ++i)
            list.AppendMessage("line " + std::to_string(i));
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        QCOMPARE(list.verticalScrollBar()->value(), 0);
        QVERIFY(list.selectionModel()->selectedIndexes().isEmpty());
        QVERIFY(!list.currentIndex().isValid());
        list.AppendMessage(gbk("中文消息"));
        QCOMPARE(list.text(50), QString::fromUtf8("中文消息"));
        QCOMPARE(list.verticalScrollBar()->value(), 0);
        list.ClearMessages();
        QCOMPARE(list.count(), 0);
    }

    void exportWritesGbkLinesAndConfirms()
    {
        MessageBoxRecorder recorder;
        CMessageListBox list;
        list.AppendMessage("first");
        list.AppendMessage("");
        list.AppendMessage("two\nlines");
        list.AppendMessage(gbk("中文"));
        const QString target = dir_->qtPath() + QStringLiteral("/out.txt");
        recorder.queuePath(target);
        list.ExportMessages();

        QCOMPARE(recorder.fileDialogs().size(), 1);
        const auto &dialog = recorder.fileDialogs().first();
        QCOMPARE(dialog.kind, UiSeam::FileDialogCall::SaveFile);
        QCOMPARE(dialog.fileName, QStringLiteral("ExportMsg"));
        QCOMPARE(dialog.defaultSuffix, QStringLiteral("txt"));
        QCOMPARE(dialog.filter, QString::fromUtf8("文本文件(*.txt);;所有文件 (*.*)"));
        QVERIFY(dialog.confirmOverwrite);
        QCOMPARE(readBytes(target), "first\r\ntwo\r\nlines\r\n" + gbk("中文") + "\r\n");
        QCOMPARE(recorder.texts(),
                 QStringList {QString::fromUtf8("消息已经成功导出到文件:\n") + target});
    }

    void emptyListExportsEmptyFile()
    {
        MessageBoxRecorder recorder;
        CMessageListBox list;
        const QString target = dir_->qtPath() + QStringLiteral("/empty.txt");
        writeBytes(target, "old");
        recorder.queuePath(target);
        list.ExportMessages();
        QCOMPARE(readBytes(target), std::string());
        QCOMPARE(recorder.calls().size(), 1);
    }

    void cancelledExportDoesNothing()
    {
        MessageBoxRecorder recorder;
        CMessageListBox list;
        list.AppendMessage("x");
        recorder.queuePath(QString());
        list.ExportMessages();
        QVERIFY(recorder.calls().isEmpty());
    }

    void failedExportSaysSoWithPath()
    {
        MessageBoxRecorder recorder;
        CMessageListBox list;
        list.AppendMessage("x");
        const QString target = dir_->qtPath() + QStringLiteral("/missing/out.txt");
        recorder.queuePath(target);
        list.ExportMessages();
        QCOMPARE(recorder.calls().size(), 1);
        QVERIFY(recorder.lastText().contains(target));
        QVERIFY(!recorder.lastText().contains(QString::fromUtf8("成功")));
    }

    void standardButtonsAreChinese()
    {
        // The test program loads Qt's Chinese texts as every windowed program does.
        QDialogButtonBox box(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Yes
                             | QDialogButtonBox::No | QDialogButtonBox::Save);
        QStringList texts;
        for (QAbstractButton *button : box.buttons())
            texts << readableText(button->text());
        texts.sort();
        QCOMPARE(texts,
                 (QStringList {QString::fromUtf8("保存"), QString::fromUtf8("取消"),
                               QString::fromUtf8("否"), QString::fromUtf8("是"),
                               QString::fromUtf8("确定")}));
        // Loading again does no harm: the texts stay.
        QString missing;
        QVERIFY(InstallQtChineseTexts(*qApp, &missing));
        QVERIFY(missing.isEmpty());
    }

    void messageOutputTargetsAndDrops()
    {
        auto *list = new CMessageListBox;
        auto *status = new QLabel(QString::fromUtf8("暂时没有文件在处理......"));
        CMessageOutput output(list, status);
        output.AddMessage(gbk("处理中"), true);
        output.AddMessage("to list", false);
        QCOMPARE(status->text(), QString::fromUtf8("处理中"));
        QCOMPARE(list->count(), 1);
        delete list;
        delete status;
        output.AddMessage("dropped", false); // the page is gone: nothing happens
        output.AddMessage("dropped", true);
    }

    void aboutBoxShowsVersion()
    {
        CAboutDialog about(nullptr, QString::fromUtf8("关于 Quillery"),
                           QString::fromUtf8("Quillery(测试版)"), QIcon());
        QCOMPARE(about.windowTitle(), QString::fromUtf8("关于 Quillery"));
        QCOMPARE(about.versionLabel()->text(),
                 QString::fromUtf8("产品版本:%1.%2")
                         .arg(QUILLERY_VERSION_MAJOR)
                         .arg(QUILLERY_VERSION_MINOR));
        const auto buttons = about.findChildren<QPushButton *>();
        QCOMPARE(buttons.size(), 1);
        QCOMPARE(buttons.first()->text(), QString::fromUtf8("确定"));
        QStringList labels;
        for (auto *label : about.findChildren<QLabel *>())
            labels << label->text();
        QVERIFY(labels.contains(QString::fromUtf8("Quillery(测试版)")));
        QVERIFY(labels.contains(QString::fromUtf8("版本号:")));
    }

    void aboutBoxShowsTheFoldersInUse()
    {
        const TempAppDir dir;
        CAboutDialog about(nullptr, QString::fromUtf8("关于 Garnet"), QStringLiteral("Garnet"),
                           QIcon());
        const QString folders = about.foldersLabel()->text();
        QVERIFY2(folders.startsWith(QString::fromUtf8("便携方式, 程序目录: ") + dir.qtPath()),
                 qPrintable(folders));
        QVERIFY2(folders.contains(QString::fromUtf8("数据目录: ") + dir.qtPath()),
                 qPrintable(folders));
    }

    void unknownPlaceholderShowsMessageBox()
    {
        MessageBoxRecorder recorder;
        UiSeam::SetProgramCaption(QStringLiteral("Kestrel"));
        InstallPlaceholderMessageBox();
        NotifyUnknownPlaceholder("|ROOMNAME|");
        QCOMPARE(recorder.texts(), QStringList {QStringLiteral("|ROOMNAME|")});
        QCOMPARE(recorder.calls().first().caption, QStringLiteral("Kestrel"));

        // From a worker the box is queued to the user-interface thread, never awaited.
        std::thread worker([] { NotifyUnknownPlaceholder(gbk("|未知|")); });
        worker.join();
        QCOMPARE(recorder.calls().size(), 1);
        QTRY_COMPARE(recorder.calls().size(), 2);
        QCOMPARE(recorder.lastText(), QString::fromUtf8("|未知|"));
        SetUnknownPlaceholderNotifier({});
    }

private:
    std::unique_ptr<TempAppDir> dir_;
};

QUILLERY_REGISTER_TEST(TestCommonWidgets)
#include "tst_CommonWidgets.moc"
