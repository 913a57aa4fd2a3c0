#include "ArchiveFixture.h"
#include "ImportSheetFixture.h"
#include "ModalWindows.h"
#include "PostViewHelpers.h"
#include "TestRegistry.h"

#include "browser/import/CImportDataBase.h"
#include "browser/posts/CPostEditor.h"
#include "browser/posts/CPostPanelFrame.h"
#include "browser/posts/CPostTabStrip.h"
#include "common/Codec.h"
#include "common/FileSystem.h"
#include "common/UiSeam.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <functional>

namespace {

QString u(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

// What Qt says in English where its Chinese texts are missing.
const QStringList EnglishTexts {QStringLiteral("Yes"),           QStringLiteral("No"),
                                QStringLiteral("Cancel"),        QStringLiteral("OK"),
                                QStringLiteral("Save"),          QStringLiteral("Open"),
                                QStringLiteral("Choose"),        QStringLiteral("Look in:"),
                                QStringLiteral("File name:"),    QStringLiteral("Directory:"),
                                QStringLiteral("Files of type:")};

QStringList visibleTexts(const QWidget *dialog)
{
    QStringList texts = buttonTexts(dialog);
    for (const QLabel *label : dialog->findChildren<QLabel *>()) {
        if (label->isVisible())
            texts << readableText(label->text());
    }
    return texts;
}

} // namespace

// The questions and dialogs of Kestrel as the user sees them: Qt's own buttons and
// file dialogs speak Chinese, as the texts around them do.
class TestChineseDialogs : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        fixture_ = std::make_unique<ArchiveFixture>();
        TempAppDir &dir = *fixture_->dir;
        dir.write("xml/1001.xml",
                  gbk("<?xml version=\"1.0\" encoding=\"GBK\"?>\n<?xml-stylesheet "
                      "type=\"text/xsl\" "
                      "href=\"topic.xsl\"?>\n<Topic><Title>新的帖子</Title></Topic>\n"));
        dir.write("xml/topic.xsl",
                  "<?xml version=\"1.0\"?><xsl:stylesheet version=\"1.0\" "
                  "xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
                  "<xsl:output method=\"html\" encoding=\"GBK\"/>"
                  "<xsl:template match=\"/\"><html><head><title>Topic</title></head><body>"
                  "<p><xsl:value-of select=\"Topic/Title\"/></p></body></html>"
                  "</xsl:template></xsl:stylesheet>");
        panel_ = std::make_unique<CPostPanelFrame>();
        panel_->resize(900, 500);
        panel_->move(0, 0);
        panel_->show();
        QVERIFY(QTest::qWaitForWindowExposed(panel_.get()));
    }
    void cleanup()
    {
        UiSeam::SetMessageBoxHandler({});
        UiSeam::SetFileDialogHandler({});
        panel_.reset();
        fixture_.reset();
    }

    void xmlQuestionAndSaveAsDialogAreChinese()
    {
        open(u("新的帖子"), "xml/1001.xml");
        QStringList buttons;
        {
            NextModal<QMessageBox> question(
                    [&](QMessageBox *box) {
                        buttons = buttonTexts(box);
                        screenshot(QStringLiteral("question-xml.png"));
                    },
                    [](QMessageBox *box) { QVERIFY(clickButton(box, u("是"))); });
            panel_->strip()->editAction->trigger();
            QTRY_VERIFY(question.seen());
        }
        // The question names 是 and 否; the third button is 取消.
        QCOMPARE(buttons, (QStringList {u("取消"), u("否"), u("是")}));
        QTRY_VERIFY(panel_->editor()->editing());
        QVERIFY(panel_->strip()->editAction->isChecked()); // editing shows

        QString title;
        QStringList texts;
        NextModal<QFileDialog> saveAs(
                [&](QFileDialog *dialog) {
                    title = dialog->windowTitle();
                    texts = visibleTexts(dialog);
                    screenshot(QStringLiteral("dialog-save-as.png"));
                },
                [](QFileDialog *dialog) { dialog->reject(); });
        panel_->strip()->saveAction->trigger();
        QTRY_VERIFY(saveAs.seen());
        QCOMPARE(title, u("另存为"));
        QVERIFY2(texts.contains(u("保存")), qPrintable(texts.join(QLatin1Char('|'))));
        QVERIFY(texts.contains(u("取消")));
        for (const QString &english : EnglishTexts)
            QVERIFY2(!texts.contains(english), qPrintable(english));
        QVERIFY(panel_->editor()->editing()); // cancelled: still editing
    }

    void discardQuestionIsChinese()
    {
        open(u("一"), "posts/1.htm");
        panel_->strip()->editAction->trigger();
        QTRY_VERIFY(panel_->editor()->editing());
        QStringList buttons;
        NextModal<QMessageBox> question(
                [&](QMessageBox *box) {
                    buttons = buttonTexts(box);
                    screenshot(QStringLiteral("question-discard.png"));
                },
                [](QMessageBox *box) { QVERIFY(clickButton(box, u("否"))); });
        panel_->ClosePost();
        QVERIFY(question.seen());
        QCOMPARE(buttons, (QStringList {u("否"), u("是")}));
        QCOMPARE(panel_->strip()->tabBar()->count(), 1); // 否 keeps the edits
        QVERIFY(panel_->strip()->editAction->isChecked());
    }

    void tabTipsTellPostsApart()
    {
        open(u("同一个标题"), "posts/1.htm", "1");
        open(u("同一个标题"), "posts/101.htm", "101");
        // A missing post: its tab names where its file was looked for, with "/".
        std::string why;
        QVERIFY(panel_->OpenPost(gbk("丢失"), fixture_->dir->path() + "\\posts\\77.htm",
                                 std::string(), why, "77"));
        QTabBar *bar = panel_->strip()->tabBar();
        QCOMPARE(bar->count(), 3);
        const QString root = fixture_->dir->qtPath();
        QCOMPARE(bar->tabToolTip(0),
                 u("标题: 同一个标题\n帖子ID: 1\n文件: ") + root + u("/posts/1.htm"));
        QCOMPARE(bar->tabToolTip(1),
                 u("标题: 同一个标题\n帖子ID: 101\n文件: ") + root + u("/posts/101.htm"));
        QCOMPARE(bar->tabToolTip(2),
                 u("标题: 丢失\n帖子ID: 77\n文件: ") + root + u("/posts/77.htm (文件不存在)"));
        QTRY_VERIFY(bodyText(panel_->view()).contains(root + u("/posts/77.htm")));
        panel_->strip()->tabBar()->setCurrentIndex(0);
        panel_->ClosePost();
        QCOMPARE(bar->tabToolTip(0),
                 u("标题: 同一个标题\n帖子ID: 101\n文件: ") + root + u("/posts/101.htm"));
    }

    void importSheetAndFolderChooserAreChinese()
    {
        panel_.reset();
        SheetFixture sheetFixture;
        auto sheet = sheetFixture.makeSheet();
        QVERIFY(sheet->InitialiseSheet());
        sheet->show();
        QVERIFY(QTest::qWaitForWindowExposed(sheet.get()));
        QCOMPARE(readableText(sheet->okButton()->text()), u("确定"));
        sheet->ShowPage(sheet->basePage());
        screenshot(QStringLiteral("import-sheet.png"));

        QString title, start;
        QStringList texts;
        NextModal<QFileDialog> chooser(
                [&](QFileDialog *dialog) {
                    title = dialog->windowTitle();
                    start = dialog->directory().absolutePath();
                    texts = visibleTexts(dialog);
                    screenshot(QStringLiteral("dialog-folder.png"));
                },
                [](QFileDialog *dialog) { dialog->reject(); });
        sheet->basePage()->chooseFolderButton()->click();
        QVERIFY(chooser.seen());
        QCOMPARE(title, u("请选择下载文件的存储路径"));
        QCOMPARE(start, sheetFixture.dir.qtPath()); // "Import/" is not made yet
        QVERIFY2(texts.contains(u("选择")), qPrintable(texts.join(QLatin1Char('|'))));
        for (const QString &english : EnglishTexts)
            QVERIFY2(!texts.contains(english), qPrintable(english));
    }

private:
    void open(const QString &title, const std::string &relative, const std::string &id = "")
    {
        QVERIFY(loads(panel_->view(), [&] {
            std::string why;
            QVERIFY2(panel_->OpenPost(Gbk::fromQString(title), fixture_->dir->file(relative),
                                      fixture_->dir->file(relative.substr(0, relative.find('/'))),
                                      why, id),
                     why.c_str());
        }));
    }

    std::unique_ptr<ArchiveFixture> fixture_;
    std::unique_ptr<CPostPanelFrame> panel_;
};

QUILLERY_REGISTER_TEST(TestChineseDialogs)
#include "tst_ChineseDialogs.moc"
