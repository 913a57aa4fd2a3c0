#include "MessageBoxRecorder.h"
#include "PostViewHelpers.h"
#include "TestRegistry.h"
#include "TestSupport.h"

#include "browser/posts/CPostEditor.h"
#include "browser/posts/CPostFullScreenDialog.h"
#include "browser/posts/CPostPanelFrame.h"
#include "browser/posts/CPostTabStrip.h"
#include "browser/posts/CPostView.h"
#include "common/FileSystem.h"

#include <QAction>
#include <QScreen>
#include <QWebEngineSettings>

#include <sys/stat.h>

namespace {
const char *const XmlQuestion =
        "xml文件用浏览器编辑后将只能另存为HTM格式的文件了,如果点击\"是\"按钮则用浏览器编辑,"
        "点击\"否\"按钮将按文本格式打开该xml文件,其他按钮返回,请选择";

std::string htmlPost(const char *body)
{
    return gbk("<!DOCTYPE html><html><head><meta charset=\"gbk\"><title>帖子</title></head>"
               "<body><p id=\"p\">")
            + gbk(body) + "</p></body></html>";
}
} // namespace

// Edit, save and full screen of the post panel, on real pages.
class TestPostEditing : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        dir_ = std::make_unique<TempAppDir>();
        dir_->write("Configs/NoPost.Bk", "<html><body>missing</body></html>");
        dir_->write("Configs/Add0Post.htm", "<html><body>start</body></html>");
        dir_->write("posts/1.htm", htmlPost("第一"));
        dir_->write("posts/2.htm", htmlPost("第二"));
        dir_->write("xml/1/7.xml",
                    gbk("<?xml version=\"1.0\" encoding=\"GBK\"?>\n<?xml-stylesheet "
                        "type=\"text/xsl\" href=\"../topic.xsl\"?>\n"
                        "<Topic><Title>新的帖子</Title></Topic>\n"));
        dir_->write("xml/topic.xsl",
                    "<?xml version=\"1.0\"?><xsl:stylesheet version=\"1.0\" "
                    "xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
                    "<xsl:output method=\"html\" encoding=\"GBK\"/>"
                    "<xsl:template match=\"/\"><html><head><title>Topic</title></head><body>"
                    "<p id=\"p\"><xsl:value-of select=\"Topic/Title\"/></p></body></html>"
                    "</xsl:template></xsl:stylesheet>");
        panel_ = std::make_unique<CPostPanelFrame>();
        panel_->resize(800, 400);
        panel_->show();
        QVERIFY(QTest::qWaitForWindowExposed(panel_.get()));
        QTRY_COMPARE(bodyText(panel_->view()), QStringLiteral("start"));
    }
    void cleanup()
    {
        UiSeam::SetModalHandler({});
        panel_.reset();
        dir_.reset();
    }

    void commandsNeedAPost()
    {
        CPostTabStrip *strip = panel_->strip();
        QVERIFY(!strip->editAction->isEnabled());
        QVERIFY(!strip->saveAction->isEnabled());
        QVERIFY(!strip->fullScreenAction->isEnabled());
        // The start page is never edited nor written.
        panel_->editor()->Edit();
        panel_->editor()->Save();
        QTest::qWait(300);
        QCOMPARE(designMode(panel_->view()), QStringLiteral("off"));
        QCOMPARE(dir_->read("Configs/Add0Post.htm"),
                 std::string("<html><body>start</body></html>"));
        open("one", "posts/1.htm");
        QVERIFY(strip->editAction->isEnabled() && strip->saveAction->isEnabled()
                && strip->fullScreenAction->isEnabled());
        // Save outside editing does nothing and says nothing.
        MessageBoxRecorder recorder;
        strip->saveAction->trigger();
        QTRY_VERIFY(!panel_->editor()->pending());
        QCOMPARE(dir_->read("posts/1.htm"), htmlPost("第一"));
        QVERIFY(recorder.calls().isEmpty());
        QVERIFY(loads(panel_->view(), [&] { strip->closeAction->trigger(); }));
        QVERIFY(!strip->editAction->isEnabled());
    }

    void editTwiceThenSaveTheHtmlPost()
    {
        MessageBoxRecorder recorder;
        open("one", "posts/1.htm");
        CPostView *view = panel_->view();
        startEditing();
        panel_->strip()->editAction->trigger(); // already editing: nothing happens
        QTRY_VERIFY(!panel_->editor()->pending());
        QCOMPARE(designMode(view), QStringLiteral("on"));
        QVERIFY(!view->page()->settings()->testAttribute(QWebEngineSettings::JavascriptEnabled));
        // 한 is not in GBK: it must come back as a reference, not as "?".
        evaluate(view, QString::fromUtf8("document.getElementById('p').textContent = '改过 한?'"));
        panel_->strip()->saveAction->trigger();
        QTRY_COMPARE(designMode(view), QStringLiteral("off"));
        const std::string saved = dir_->read("posts/1.htm");
        QVERIFY2(saved.find(gbk("<p id=\"p\">改过 &#54620;?</p>")) != std::string::npos,
                 qPrintable(show(saved)));
        QVERIFY(saved.rfind("<!DOCTYPE html>", 0) == 0);
        QVERIFY(saved.find("<meta charset=\"gbk\">") != std::string::npos);
        QVERIFY(recorder.calls().isEmpty());
        QVERIFY(recorder.fileDialogs().isEmpty());
        QVERIFY(!panel_->editor()->editing());
        // What was written is what the view shows when it reads the file again.
        QVERIFY(loads(view, [&] { panel_->resize(700, 400); }));
        QCOMPARE(bodyText(view), QString::fromUtf8("改过 한?"));
    }

    void xmlPostIsSavedBesideItThroughTheDialog()
    {
        MessageBoxRecorder recorder;
        const std::string xml = dir_->read("xml/1/7.xml");
        open("xml", "xml/1/7.xml");
        CPostView *view = panel_->view();
        QTRY_COMPARE(bodyText(view), QString::fromUtf8("新的帖子"));
        QCOMPARE(view->title(), QStringLiteral("Topic")); // the title alone does not say XML
        recorder.queueAnswer(QMessageBox::Yes);
        panel_->strip()->editAction->trigger();
        QTRY_COMPARE(designMode(view), QStringLiteral("on"));
        QCOMPARE(recorder.texts(), QStringList {QString::fromUtf8(XmlQuestion)});
        QCOMPARE(recorder.calls().first().buttons,
                 QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        panel_->strip()->editAction->trigger(); // asks once
        QTRY_VERIFY(!panel_->editor()->pending());
        QCOMPARE(recorder.calls().size(), 1);
        evaluate(view, QString::fromUtf8("document.getElementById('p').textContent = '改'"));

        // The XML file itself is refused; cancelling keeps editing.
        recorder.queuePath(FileSystem::toQtPath(dir_->file("xml/1/7.xml")));
        panel_->strip()->saveAction->trigger();
        QTRY_COMPARE(recorder.calls().size(), 2);
        QVERIFY(recorder.lastText().contains(QStringLiteral("7.xml")));
        QCOMPARE(recorder.fileDialogs().size(), 1);
        const UiSeam::FileDialogCall call = recorder.fileDialogs().first();
        QCOMPARE(call.kind, UiSeam::FileDialogCall::SaveFile);
        QCOMPARE(call.fileName, FileSystem::toQtPath(dir_->file("xml/1/7.htm")));
        QCOMPARE(call.directory, FileSystem::toQtPath(dir_->file("xml/1")));
        panel_->strip()->saveAction->trigger(); // no path queued: cancelled
        QTRY_COMPARE(recorder.fileDialogs().size(), 2);
        QTRY_VERIFY(!panel_->editor()->pending());
        QCOMPARE(designMode(view), QStringLiteral("on"));

        recorder.queuePath(FileSystem::toQtPath(dir_->file("xml/1/7.htm")));
        panel_->strip()->saveAction->trigger();
        QTRY_COMPARE(designMode(view), QStringLiteral("off"));
        QCOMPARE(dir_->read("xml/1/7.xml"), xml);
        const std::string page = dir_->read("xml/1/7.htm");
        QVERIFY2(page.find(gbk("<p id=\"p\">改</p>")) != std::string::npos, qPrintable(show(page)));
        QVERIFY(page.find("charset") != std::string::npos);
    }

    void htmlPostTitledLikeXmlIsSavedOverItself()
    {
        // Its title makes it count as XML, so the name is asked for; but the file is a page:
        // it is proposed as it is, and writing over it is allowed.
        MessageBoxRecorder recorder;
        dir_->write("posts/x.html",
                    "<html><head><title>feed.xml</title></head><body><p id=\"p\">old</p>"
                    "</body></html>");
        open("titled", "posts/x.html");
        CPostView *view = panel_->view();
        QCOMPARE(view->title(), QStringLiteral("feed.xml"));
        recorder.queueAnswer(QMessageBox::Yes);
        startEditing();
        evaluate(view, QStringLiteral("document.getElementById('p').textContent = 'new'"));
        const QString own = FileSystem::toQtPath(dir_->file("posts/x.html"));
        recorder.queuePath(own);
        panel_->strip()->saveAction->trigger();
        QTRY_COMPARE(designMode(view), QStringLiteral("off"));
        QCOMPARE(recorder.fileDialogs().size(), 1);
        QCOMPARE(recorder.fileDialogs().first().fileName, own);
        QCOMPARE(recorder.texts(), QStringList {QString::fromUtf8(XmlQuestion)});
        const std::string saved = dir_->read("posts/x.html");
        QVERIFY2(saved.find("<p id=\"p\">new</p>") != std::string::npos, saved.c_str());
    }

    void xmlPostOpensAsTextInTheEditor()
    {
        // A folder name with a space and a command substitution: one argument, no shell.
        dir_->write("xml/a $(touch pwned) b/8.xml", dir_->read("xml/1/7.xml"));
        dir_->write("xml/topic.xsl", dir_->read("xml/topic.xsl"));
        const std::string editor = dir_->file("editor.sh");
        const std::string record = dir_->file("argv.txt");
        dir_->write("editor.sh", "#!/bin/sh\nprintf '%s\\n' \"$#\" \"$@\" > '" + record + "'\n");
        QVERIFY(::chmod(editor.c_str(), 0755) == 0);
        qputenv("VISUAL", QByteArray::fromStdString(editor));
        MessageBoxRecorder recorder;
        open("xml", "xml/a $(touch pwned) b/8.xml");
        recorder.queueAnswer(QMessageBox::No);
        panel_->strip()->editAction->trigger();
        QTRY_VERIFY(FileSystem::exists(record));
        QTRY_COMPARE(dir_->read("argv.txt"),
                     "1\n" + dir_->file("xml/a $(touch pwned) b/8.xml") + "\n");
        QVERIFY(!FileSystem::exists(dir_->file("pwned")));
        QCOMPARE(designMode(panel_->view()), QStringLiteral("off"));

        // Cancel does nothing; an editor that cannot start is reported.
        recorder.queueAnswer(QMessageBox::Cancel);
        panel_->strip()->editAction->trigger();
        QTRY_COMPARE(recorder.calls().size(), 2);
        qputenv("VISUAL", QByteArray::fromStdString(dir_->file("no-such-editor")));
        recorder.queueAnswer(QMessageBox::No);
        panel_->strip()->editAction->trigger();
        QTRY_COMPARE(recorder.calls().size(), 4);
        qunsetenv("VISUAL");
        QVERIFY(recorder.lastText().contains(QStringLiteral("8.xml")));
        QCOMPARE(recorder.calls().last().icon, QMessageBox::Warning);
        QCOMPARE(designMode(panel_->view()), QStringLiteral("off"));
    }

    void resizeWhileEditingKeepsTheEdits()
    {
        open("one", "posts/1.htm");
        CPostView *view = panel_->view();
        startEditing();
        evaluate(view, QString::fromUtf8("document.getElementById('p').textContent = '未保存'"));
        QSignalSpy loadsStarted(view->page(), &QWebEnginePage::loadStarted);
        panel_->resize(600, 400);
        panel_->resize(900, 400);
        QTest::qWait(800);
        QCOMPARE(loadsStarted.count(), 0);
        QCOMPARE(bodyText(view), QString::fromUtf8("未保存"));
        QCOMPARE(designMode(view), QStringLiteral("on"));
        QVERIFY(panel_->editor()->editing());
    }

    void leavingAnEditedPageAsksFirst()
    {
        MessageBoxRecorder recorder;
        open("one", "posts/1.htm");
        open("two", "posts/2.htm");
        CPostView *view = panel_->view();
        startEditing();
        evaluate(view, QString::fromUtf8("document.getElementById('p').textContent = '未保存'"));
        QTabBar *bar = panel_->strip()->tabBar();
        // No: the edited tab stays, with its edits.
        recorder.queueAnswer(QMessageBox::No);
        bar->setCurrentIndex(0);
        QCOMPARE(bar->currentIndex(), 1);
        recorder.queueAnswer(QMessageBox::No);
        panel_->ClosePost();
        QCOMPARE(bar->count(), 2);
        recorder.queueAnswer(QMessageBox::No);
        std::string why;
        QVERIFY(panel_->OpenPost("one", dir_->file("posts/1.htm"), why));
        QCOMPARE(bar->currentIndex(), 1);
        QCOMPARE(recorder.calls().size(), 3);
        QCOMPARE(recorder.lastText(),
                 QString::fromUtf8("对帖子的修改还没有保存,要放弃这些修改吗?"));
        QCOMPARE(bodyText(view), QString::fromUtf8("未保存"));
        // Yes: the other tab shows; the file was never written.
        recorder.queueAnswer(QMessageBox::Yes);
        QVERIFY(loads(view, [&] { bar->setCurrentIndex(0); }));
        QCOMPARE(bodyText(view), QString::fromUtf8("第一"));
        QCOMPARE(dir_->read("posts/2.htm"), htmlPost("第二"));
        QVERIFY(!panel_->editor()->editing());
    }

    void answerForAnotherPageIsDropped()
    {
        open("one", "posts/1.htm");
        open("two", "posts/2.htm");
        CPostView *view = panel_->view();
        // The question goes to post two; the tab changes before the answer comes.
        QVERIFY(loads(view, [&] {
            panel_->strip()->editAction->trigger();
            QVERIFY(panel_->editor()->pending());
            panel_->strip()->editAction->trigger(); // ignored while pending
            panel_->strip()->tabBar()->setCurrentIndex(0);
        }));
        QTest::qWait(500);
        QVERIFY(!panel_->editor()->pending());
        QVERIFY(!panel_->editor()->editing());
        QCOMPARE(bodyText(view), QString::fromUtf8("第一"));
        QCOMPARE(designMode(view), QStringLiteral("off"));
    }

    void fullScreenShowsTheFileOnDisk()
    {
        open("one", "posts/1.htm");
        startEditing();
        evaluate(panel_->view(),
                 QString::fromUtf8("document.getElementById('p').textContent = '未保存'"));
        bool shown = false;
        UiSeam::SetModalHandler([&](QDialog &dialog) {
            auto *full = qobject_cast<CPostFullScreenDialog *>(&dialog);
            if (!full)
                return 0;
            QSignalSpy loaded(full->view()->page(), &QWebEnginePage::loadFinished);
            full->show();
            if (!QTest::qWaitForWindowExposed(full) || !(loaded.count() > 0 || loaded.wait(20000)))
                return 0;
            QTest::qWait(200);
            const QSize screen = full->screen()->availableGeometry().size();
            const bool filled =
                    QTest::qWaitFor([&] { return full->width() >= screen.width() * 9 / 10; });
            shown = filled && full->windowTitle() == QString::fromUtf8("全屏")
                    && full->isMaximized() && full->height() >= screen.height() * 9 / 10
                    && full->view()->geometry() == full->rect()
                    && bodyText(full->view()) == QString::fromUtf8("第一")
                    && !full->view()->page()->settings()->testAttribute(
                            QWebEngineSettings::JavascriptEnabled);
            full->resize(500, 300);
            shown = shown && full->view()->geometry() == QRect(0, 0, 500, 300);
            full->reject();
            return 0;
        });
        panel_->strip()->fullScreenAction->trigger();
        QVERIFY(shown);
        // Back in the panel, the edits are still there.
        QCOMPARE(bodyText(panel_->view()), QString::fromUtf8("未保存"));
        QVERIFY(panel_->editor()->editing());
    }

    void readOnlyPostIsReportedAndStaysInEditing()
    {
        MessageBoxRecorder recorder;
        QVERIFY(!FileSystem::setReadOnly(dir_->file("posts/1.htm")));
        open("one", "posts/1.htm");
        CPostView *view = panel_->view();
        startEditing();
        evaluate(view, QString::fromUtf8("document.getElementById('p').textContent = '改'"));
        panel_->strip()->saveAction->trigger();
        QTRY_COMPARE(recorder.calls().size(), 1);
        QVERIFY(recorder.lastText().startsWith(QString::fromUtf8("保存帖子的修改失败")));
        QVERIFY(recorder.lastText().contains(FileSystem::toQtPath(dir_->file("posts/1.htm"))));
        QCOMPARE(recorder.calls().first().icon, QMessageBox::Critical);
        QCOMPARE(designMode(view), QStringLiteral("on"));
        QVERIFY(panel_->editor()->editing());
        QCOMPARE(dir_->read("posts/1.htm"), htmlPost("第一"));
        FileSystem::clearReadOnly(dir_->file("posts/1.htm"));
    }

private:
    void open(const std::string &title, const std::string &relative)
    {
        QVERIFY(loads(panel_->view(), [&] {
            std::string why;
            // Posts are found under "posts" or "xml"; the XSL sits in the latter.
            const std::string archive = relative.substr(0, relative.find('/'));
            QVERIFY2(panel_->OpenPost(title, dir_->file(relative), dir_->file(archive), why),
                     why.c_str());
        }));
    }
    void startEditing()
    {
        panel_->strip()->editAction->trigger();
        QTRY_COMPARE(designMode(panel_->view()), QStringLiteral("on"));
        QVERIFY(panel_->editor()->editing());
    }

    std::unique_ptr<TempAppDir> dir_;
    std::unique_ptr<CPostPanelFrame> panel_;
};

QUILLERY_REGISTER_TEST(TestPostEditing)
#include "tst_PostEditing.moc"
