#include "MessageBoxRecorder.h"
#include "TestRegistry.h"
#include "TestSupport.h"

#include "browser/posts/CPostPanelFrame.h"
#include "browser/posts/CPostTabStrip.h"
#include "browser/posts/CPostView.h"
#include "common/FileSystem.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QToolBar>
#include <QWebEnginePage>
#include <QWebEngineScript>

namespace {

QVariant evaluate(CPostView *view, const QString &script)
{
    QVariant result;
    bool done = false;
    view->page()->runJavaScript(script, QWebEngineScript::ApplicationWorld,
                                [&](const QVariant &value) {
                                    result = value;
                                    done = true;
                                });
    if (!QTest::qWaitFor([&] { return done; }, 15000))
        qWarning("script did not answer: %s", qPrintable(script));
    return result;
}

// Runs an action and waits until the view has loaded what it navigated to.
bool loads(CPostView *view, const std::function<void()> &action)
{
    QSignalSpy finished(view->page(), &QWebEnginePage::loadFinished);
    action();
    return finished.wait(20000) || !finished.isEmpty();
}

QString bodyText(CPostView *view)
{
    return evaluate(view, QStringLiteral("document.body ? document.body.innerText : ''"))
            .toString();
}

} // namespace

class TestPostPanel : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        dir_ = std::make_unique<TempAppDir>();
        dir_->write("Configs/NoPost.Bk",
                    gbk("<html><head><meta charset=\"gbk\"></head><body>缺少: "
                        "|NOT_FOUND_PATH|</body></html>"));
        dir_->write("Configs/Add0Post.htm",
                    gbk("<html><head><meta charset=\"gbk\"></head><body>开始页</body></html>"));
        for (int i = 1; i <= 6; ++i)
            dir_->write("posts/" + std::to_string(i) + ".htm",
                        gbk("<html><head><meta charset=\"gbk\"></head><body>帖子")
                                + std::to_string(i) + "</body></html>");
        panel_ = std::make_unique<CPostPanelFrame>();
        panel_->resize(800, 400);
        panel_->show();
        QVERIFY(QTest::qWaitForWindowExposed(panel_.get()));
        QTRY_COMPARE(panel_->view()->url(),
                     QUrl::fromLocalFile(FileSystem::toQtPath(dir_->file("Configs/Add0Post.htm"))));
    }
    void cleanup()
    {
        panel_.reset();
        dir_.reset();
    }

    void layoutOfStripAndView()
    {
        QCOMPARE(panel_->strip()->geometry(), QRect(0, 0, 800, 22));
        QCOMPARE(panel_->view()->geometry(), QRect(0, 23, 800, 400 - 21));
        QCOMPARE(panel_->view()->windowTitle(), QString::fromUtf8("帖子浏览器"));
        CPostTabStrip *strip = panel_->strip();
        QCOMPARE(strip->toolBar()->actions().size(), 4);
        QCOMPARE(strip->toolBar()->geometry().right() + 1, 800);
        QCOMPARE(strip->toolBar()->geometry().top(), 1);
        QCOMPARE(strip->toolBar()->geometry().height(), 19);
        QCOMPARE(strip->tabAreaWidth(), 800 - strip->toolBarWidth());
        QStringList tips;
        for (QAction *action : strip->toolBar()->actions())
            tips << action->toolTip() + QLatin1Char('/') + action->statusTip();
        QCOMPARE(tips,
                 (QStringList {QString::fromUtf8("保存对帖子的修改/保存帖子的修改"),
                               QString::fromUtf8("编辑网页/编辑网页"),
                               QString::fromUtf8("全屏/把帖子成全屏显示"),
                               QString::fromUtf8("关闭帖子/关闭当前显示的帖子")}));
        QVERIFY(strip->closeAction->isEnabled());
        QVERIFY(!strip->saveAction->isEnabled());
    }

    void sameOpenedTwiceGivesOneTab()
    {
        QVERIFY(loads(panel_->view(), [&] { open("first", "posts/1.htm"); }));
        QVERIFY(loads(panel_->view(), [&] { open("again", "posts/1.htm"); }));
        QCOMPARE(panel_->strip()->tabBar()->count(), 1);
        QCOMPARE(panel_->strip()->tabBar()->tabText(0), QStringLiteral("again"));
        QCOMPARE(bodyText(panel_->view()), QString::fromUtf8("帖子1"));
    }

    void sixthPostDropsTheOldest()
    {
        for (int i = 1; i <= 6; ++i)
            QVERIFY(loads(panel_->view(), [&] {
                open("t" + std::to_string(i), "posts/" + std::to_string(i) + ".htm");
            }));
        QTabBar *bar = panel_->strip()->tabBar();
        QCOMPARE(bar->count(), 5);
        QStringList labels;
        for (int i = 0; i < bar->count(); ++i)
            labels << bar->tabText(i);
        QCOMPARE(labels,
                 (QStringList {QStringLiteral("t2"), QStringLiteral("t3"), QStringLiteral("t4"),
                               QStringLiteral("t5"), QStringLiteral("t6")}));
        QCOMPARE(bar->currentIndex(), 4);
        QCOMPARE(bodyText(panel_->view()), QString::fromUtf8("帖子6"));
        // Choosing another tab renders its post.
        QVERIFY(loads(panel_->view(), [&] { bar->setCurrentIndex(1); }));
        QCOMPARE(bodyText(panel_->view()), QString::fromUtf8("帖子3"));
    }

    void missingPostsShareTheNotFoundTab()
    {
        QVERIFY(loads(panel_->view(), [&] { open("m1", "/nowhere/1.htm", false); }));
        QVERIFY(loads(panel_->view(), [&] { open("m2", "/nowhere/2.htm", false); }));
        QCOMPARE(panel_->strip()->tabBar()->count(), 1);
        QCOMPARE(panel_->strip()->tabBar()->tabText(0), QStringLiteral("m2"));
        QCOMPARE(bodyText(panel_->view()), QString::fromUtf8("缺少: /nowhere/2.htm"));
        QCOMPARE(panel_->view()->url(),
                 QUrl::fromLocalFile(FileSystem::toQtPath(dir_->file("Configs/NoPost.htm"))));
    }

    void missingTemplateLeavesTabsAlone()
    {
        QVERIFY(loads(panel_->view(), [&] { open("one", "posts/1.htm"); }));
        FileSystem::removeFile(dir_->file("Configs/NoPost.Bk"));
        std::string why;
        QVERIFY(!panel_->OpenPost("gone", "/nowhere/x.htm", why));
        QVERIFY(!why.empty());
        QCOMPARE(panel_->strip()->tabBar()->count(), 1);
        QCOMPARE(panel_->strip()->tabs().count(), 1);
    }

    void closingTheOnlyTabShowsTheStartPage()
    {
        QVERIFY(loads(panel_->view(), [&] { open("one", "posts/1.htm"); }));
        QVERIFY(loads(panel_->view(), [&] { open("two", "posts/2.htm"); }));
        QVERIFY(loads(panel_->view(), [&] { panel_->ClosePost(); }));
        QCOMPARE(panel_->strip()->tabBar()->count(), 1);
        QCOMPARE(panel_->strip()->tabBar()->currentIndex(), 0);
        QCOMPARE(bodyText(panel_->view()), QString::fromUtf8("帖子1"));
        QVERIFY(loads(panel_->view(), [&] { panel_->strip()->closeAction->trigger(); }));
        QCOMPARE(panel_->strip()->tabBar()->count(), 0);
        QCOMPARE(bodyText(panel_->view()), QString::fromUtf8("开始页"));
        panel_->ClosePost(); // nothing selected: nothing happens
    }

    void longTitlesAreCutToTheirAllowance()
    {
        panel_->resize(420, 300);
        CPostTabStrip *strip = panel_->strip();
        const std::string title = gbk("一个非常非常长的帖子标题，长到放不进标签页里面去了，还要再长"
                                      "一些才行啊啊啊啊啊啊啊啊");
        QVERIFY(loads(panel_->view(), [&] { open(title, "posts/1.htm"); }));
        const QString label = strip->tabBar()->tabText(0);
        const QString full = show(title);
        QVERIFY(label.size() < full.size());
        QVERIFY(full.startsWith(label));
        // One tab: the allowance is the tab area minus 5 pixels.
        const int allowance = strip->tabAreaWidth() - 5;
        QVERIFY(strip->tabBar()->tabRect(0).width() < allowance);
        QVERIFY(strip->tabBar()->MeasureTab(0, full.left(label.size() + 1)) >= allowance);
        strip->tabBar()->setTabText(0, label);

        // So narrow that nothing fits: the label is empty.
        QVERIFY(loads(panel_->view(), [&] { panel_->resize(strip->toolBarWidth() + 12, 300); }));
        QCOMPARE(strip->tabBar()->tabText(0), QString());
    }

    void resizeRendersTheSelectedPostAgain()
    {
        QVERIFY(loads(panel_->view(), [&] { open("one", "posts/1.htm"); }));
        dir_->write("posts/1.htm",
                    gbk("<html><head><meta charset=\"gbk\"></head><body>改过了</body></html>"));
        QVERIFY(loads(panel_->view(), [&] { panel_->resize(700, 400); }));
        QCOMPARE(bodyText(panel_->view()), QString::fromUtf8("改过了"));
    }

    void hostilePostStaysHarmless()
    {
        // A listener on this machine sees whether any request leaves the view.
        QTcpServer listener;
        QVERIFY(listener.listen(QHostAddress::LocalHost));
        QSignalSpy contacted(&listener, &QTcpServer::newConnection);
        const std::string beacon = "http://127.0.0.1:" + std::to_string(listener.serverPort());
        dir_->write("archive/htm/9/hostile.htm",
                    "<html><head><title>original</title><link rel=\"stylesheet\" "
                    "href=\"../own.css\"></head><body>"
                    "<p id=\"p\">quiet</p>"
                    "<img id=\"beacon\" src=\""
                            + beacon
                            + "/track.png\">"
                              "<link rel=\"stylesheet\" href=\""
                            + beacon
                            + "/remote.css\">"
                              "<img id=\"local\" src=\"file:///etc/hostname\">"
                              "<img id=\"own\" src=\"../logo.svg\">"
                              "<iframe src=\"file:///etc/\"></iframe>"
                              "<script>document.title='owned';document.getElementById('p')."
                              "innerText='ran';"
                              "fetch('file:///etc/"
                              "passwd').then(r=>r.text()).then(t=>document.body.innerText=t);"
                              "new Image().src='"
                            + beacon
                            + "/js.png';</script>"
                              "<meta http-equiv=\"refresh\" content=\"0;url=file:///etc/passwd\">"
                              "</body></html>");
        dir_->write("archive/htm/own.css", "p { color: rgb(1, 2, 3); }");
        dir_->write("archive/htm/logo.svg",
                    "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"7\" height=\"5\"><rect "
                    "width=\"7\" height=\"5\"/></svg>");
        QVERIFY(loads(panel_->view(), [&] { open("hostile", "archive/htm/9/hostile.htm"); }));
        QTest::qWait(1500); // time for a refresh or a beacon to happen, if it could
        CPostView *view = panel_->view();
        QCOMPARE(
                view->url(),
                QUrl::fromLocalFile(FileSystem::toQtPath(dir_->file("archive/htm/9/hostile.htm"))));
        QCOMPARE(view->title(), QStringLiteral("original"));
        QCOMPARE(
                evaluate(view, QStringLiteral("document.getElementById('p').innerText")).toString(),
                QStringLiteral("quiet"));
        QCOMPARE(evaluate(view,
                          QStringLiteral("getComputedStyle(document.getElementById('p')).color"))
                         .toString(),
                 QStringLiteral("rgb(1, 2, 3)"));
        QCOMPARE(evaluate(view, QStringLiteral("document.getElementById('own').naturalWidth"))
                         .toInt(),
                 7);
        QCOMPARE(evaluate(view, QStringLiteral("document.getElementById('beacon').naturalWidth"))
                         .toInt(),
                 0);
        QCOMPARE(evaluate(view, QStringLiteral("document.getElementById('local').naturalWidth"))
                         .toInt(),
                 0);
        for (const QUrl &url : view->guard()->allowed()) {
            QVERIFY2(url.isLocalFile(), qPrintable(url.toString()));
            QVERIFY2(url.toLocalFile().startsWith(dir_->qtPath()), qPrintable(url.toString()));
        }
        QVERIFY(view->guard()->blocked().contains(QUrl(QStringLiteral("file:///etc/hostname"))));
        QCOMPARE(contacted.count(), 0);
    }

    void xmlPostRendersThroughItsStylesheet()
    {
        dir_->write("xml/1317/1317807.xml",
                    gbk("<?xml version=\"1.0\" encoding=\"GBK\"?>\n<?xml-stylesheet "
                        "type=\"text/xsl\" href=\"../topic.xsl\"?>\n"
                        "<Topic><Title>新的帖子</Title></Topic>\n"));
        dir_->write("xml/topic.xsl",
                    "<?xml version=\"1.0\"?><xsl:stylesheet version=\"1.0\" "
                    "xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
                    "<xsl:template match=\"/\"><html><body><h1 id=\"h\"><xsl:value-of "
                    "select=\"Topic/Title\"/></h1></body></html>"
                    "</xsl:template></xsl:stylesheet>");
        QVERIFY(loads(panel_->view(), [&] { open("xml", "xml/1317/1317807.xml"); }));
        QTRY_COMPARE(evaluate(panel_->view(),
                              QStringLiteral("document.getElementById('h') ? "
                                             "document.getElementById('h').innerText : ''"))
                             .toString(),
                     QString::fromUtf8("新的帖子"));
    }

private:
    void open(const std::string &title, const std::string &relative, bool insideDir = true)
    {
        std::string why;
        QVERIFY2(panel_->OpenPost(title, insideDir ? dir_->file(relative) : relative, why),
                 why.c_str());
    }

    std::unique_ptr<TempAppDir> dir_;
    std::unique_ptr<CPostPanelFrame> panel_;
};

QUILLERY_REGISTER_TEST(TestPostPanel)
#include "tst_PostPanel.moc"
