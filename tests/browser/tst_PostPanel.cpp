#include "MessageBoxRecorder.h"
#include "PostViewHelpers.h"
#include "TestRegistry.h"
#include "TestSupport.h"

#include "browser/posts/CPostPanelFrame.h"
#include "browser/posts/CPostTabStrip.h"
#include "browser/posts/CPostView.h"
#include "common/FileSystem.h"

#include <QFileInfo>
#include <QSignalSpy>
#include <QTcpServer>
#include <QToolBar>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineView>

#include <cstdio>
#include <unistd.h>

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
        // Loaded, not only asked for: a test's first wait must not see this load end.
        QTRY_COMPARE(bodyText(panel_->view()), QString::fromUtf8("开始页"));
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
        const std::string port = std::to_string(listener.serverPort());
        const std::string beacon = "http://127.0.0.1:" + port;
        dir_->write("secret.txt", "secret");
        dir_->write("outside.css", "p { color: rgb(9, 9, 9); }");
        dir_->write("outside.svg", svg(9));
        dir_->write("archive/htm/own.css", "p { color: rgb(1, 2, 3); }");
        dir_->write("archive/htm/logo.svg", svg(7));
        dir_->write("archive/htm/9/inner.htm", "<p>inner</p>");
        QVERIFY(::symlink("../../../outside.css", dir_->file("archive/htm/9/link.css").c_str())
                == 0);
        dir_->write("archive/htm/9/hostile.htm",
                    "<html><head><title>original</title>"
                    "<link rel=\"stylesheet\" href=\"../own.css\">"
                    "<link rel=\"stylesheet\" href=\"link.css\">"
                    "<link rel=\"stylesheet\" href=\"../../../outside.css\">"
                    "<link rel=\"preconnect\" href=\""
                            + beacon
                            + "\">"
                              "<link rel=\"preconnect\" href=\"http://localhost:"
                            + port
                            + "\">"
                              "<link rel=\"preconnect\" href=\"http://localhost:"
                            + port
                            + "\" crossorigin>"
                              "<link rel=\"dns-prefetch\" href=\"//localhost:"
                            + port
                            + "\">"
                              "<link rel=\"prefetch\" href=\""
                            + beacon
                            + "/prefetch\">"
                              "<link rel=\"preload\" as=\"image\" href=\""
                            + beacon
                            + "/preload.png\">"
                              "<link rel=\"stylesheet\" href=\"file://127.0.0.1:"
                            + port
                            + "/host.css\">"
                              "<style>@import url("
                            + beacon
                            + "/import.css);"
                              "@font-face { font-family: f; src: url("
                            + beacon
                            + "/f.woff); }"
                              "body { background: url("
                            + beacon
                            + "/bg.png); font-family: f; }</style>"
                              "</head><body>"
                              "<p id=\"p\">quiet</p>"
                              "<img id=\"beacon\" src=\""
                            + beacon
                            + "/track.png\">"
                              "<img id=\"local\" src=\"file:///etc/hostname\">"
                              "<img id=\"own\" src=\"../logo.svg\">"
                              "<img id=\"out\" src=\"../../../outside.svg\">"
                              "<iframe id=\"secret\" src=\"../../../secret.txt\"></iframe>"
                              "<iframe id=\"inner\" src=\"inner.htm\"></iframe>"
                              "<object data=\"inner.htm\"></object><embed src=\"inner.htm\">"
                              "<script>document.title='owned';document.getElementById('p')."
                              "innerText='ran';"
                              "fetch('file:///etc/"
                              "passwd').then(r=>r.text()).then(t=>document.body.innerText=t);"
                              "new Image().src='"
                            + beacon
                            + "/js.png';</script>"
                              "<meta http-equiv=\"refresh\" content=\"0;url=file:///etc/passwd\">"
                              "</body></html>");
        QVERIFY(loads(panel_->view(),
                      [&] { openIn("hostile", "archive/htm/9/hostile.htm", "archive/htm"); }));
        QTest::qWait(2000); // time for a refresh, a hint or a beacon to happen, if it could
        CPostView *view = panel_->view();
        QCOMPARE(view->url(), localUrl("archive/htm/9/hostile.htm"));
        QCOMPARE(view->title(), QStringLiteral("original"));
        QCOMPARE(
                evaluate(view, QStringLiteral("document.getElementById('p').innerText")).toString(),
                QStringLiteral("quiet"));
        // Its own stylesheet applies; the linked and the outside one do not.
        QCOMPARE(evaluate(view,
                          QStringLiteral("getComputedStyle(document.getElementById('p')).color"))
                         .toString(),
                 QStringLiteral("rgb(1, 2, 3)"));
        QCOMPARE(imageWidth(view, "own"), 7);
        QCOMPARE(imageWidth(view, "beacon"), 0);
        QCOMPARE(imageWidth(view, "local"), 0);
        QCOMPARE(imageWidth(view, "out"), 0);
        const QString archive =
                QFileInfo(dir_->qtPath() + QStringLiteral("/archive/htm")).canonicalFilePath();
        for (const QUrl &url : view->guard()->allowed()) {
            QVERIFY2(url.isLocalFile(), qPrintable(url.toString()));
            QVERIFY2(url.toLocalFile().startsWith(archive + QLatin1Char('/')),
                     qPrintable(url.toString()));
            QVERIFY2(!url.toLocalFile().endsWith(QStringLiteral(".txt"))
                             && !url.toLocalFile().endsWith(QStringLiteral("inner.htm")),
                     qPrintable(url.toString()));
        }
        QVERIFY(view->guard()->blocked().contains(QUrl(QStringLiteral("file:///etc/hostname"))));
        // The frames stay empty, whether the file is inside the archive or not.
        for (const char *frame : {"secret", "inner"})
            QCOMPARE(evaluate(view,
                              QStringLiteral("(function(f) { try { var d = f.contentDocument;"
                                             " return d && d.body ? d.body.innerText : ''; }"
                                             " catch (e) { return 'opaque'; } })"
                                             "(document.getElementById('%1'))")
                                      .arg(QLatin1String(frame)))
                             .toString(),
                     QString());
        QCOMPARE(contacted.count(), 0);

        // The listener does see the engine when a page is allowed to reach it.
        QWebEngineView plain;
        plain.setHtml(QStringLiteral("<img src=\"/seen.png\">"),
                      QUrl(QString::fromStdString(beacon + "/")));
        QTRY_VERIFY_WITH_TIMEOUT(contacted.count() > 0, 20000);
    }

    void xmlStylesheetReachesNothingElse()
    {
        QTcpServer listener;
        QVERIFY(listener.listen(QHostAddress::LocalHost));
        QSignalSpy contacted(&listener, &QTcpServer::newConnection);
        const std::string beacon = "http://127.0.0.1:" + std::to_string(listener.serverPort());
        dir_->write("secret.xml", "<s>secret</s>");
        dir_->write("xml/1/2.xml",
                    "<?xml version=\"1.0\"?><?xml-stylesheet type=\"text/xsl\" "
                    "href=\"../topic.xsl\"?><Topic><Title>t</Title></Topic>");
        dir_->write("xml/topic.xsl",
                    "<?xml version=\"1.0\"?><xsl:stylesheet version=\"1.0\" "
                    "xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
                    "<xsl:template match=\"/\"><html><body><h1 id=\"h\"><xsl:value-of "
                    "select=\"Topic/Title\"/></h1>"
                    "<p id=\"remote\"><xsl:value-of select=\"document('"
                            + beacon
                            + "/d.xml')\"/></p>"
                              "<p id=\"secret\"><xsl:value-of "
                              "select=\"document('../secret.xml')\"/></p>"
                              "</body></html></xsl:template></xsl:stylesheet>");
        QVERIFY(loads(panel_->view(), [&] { openIn("xml", "xml/1/2.xml", "xml"); }));
        CPostView *view = panel_->view();
        QTRY_COMPARE(text(view, "h"), QStringLiteral("t"));
        QTest::qWait(1000);
        QCOMPARE(text(view, "remote"), QString());
        QCOMPARE(text(view, "secret"), QString());

        // External entities, in the post and in its XSL, read nothing outside the archive.
        const std::string outside = dir_->file("secret.xml");
        dir_->write("xml/1/3.xml",
                    "<?xml version=\"1.0\"?><?xml-stylesheet type=\"text/xsl\" "
                    "href=\"../entity.xsl\"?><!DOCTYPE Topic [<!ENTITY out SYSTEM \"file://"
                            + outside + "\"><!ENTITY net SYSTEM \"" + beacon
                            + "/e.xml\">]><Topic><Title>t&out;&net;</Title></Topic>");
        dir_->write("xml/entity.xsl",
                    "<?xml version=\"1.0\"?><!DOCTYPE xsl:stylesheet [<!ENTITY out SYSTEM "
                    "\"../secret.xml\">]><xsl:stylesheet version=\"1.0\" "
                    "xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
                    "<xsl:template match=\"/\"><html><body><h1 id=\"h\"><xsl:value-of "
                    "select=\"Topic/Title\"/></h1><p id=\"x\">x&out;</p></body></html>"
                    "</xsl:template></xsl:stylesheet>");
        QVERIFY(loads(view, [&] { openIn("entities", "xml/1/3.xml", "xml"); }));
        QTRY_COMPARE(text(view, "h"), QStringLiteral("t")); // rendered, the entities empty
        QTest::qWait(1000);
        const QString page = evaluate(view,
                                      QStringLiteral("document.documentElement ? "
                                                     "document.documentElement.outerHTML : ''"))
                                     .toString();
        QVERIFY2(!page.contains(QStringLiteral("secret")), qPrintable(page));
        for (const QUrl &url : view->guard()->allowed())
            QVERIFY2(!url.toString().contains(QStringLiteral("secret")),
                     qPrintable(url.toString()));
        QCOMPARE(contacted.count(), 0);
    }

    void postsOpenFromAnyValidPath()
    {
        dir_->write("archive/9/5.htm",
                    gbk("<html><head><meta charset=\"gbk\"></head><body><a id=\"a\" "
                        "href=\"#top\">上</a><p id=\"top\">顶部</p></body></html>"));
        QVERIFY(loads(panel_->view(), [&] { open("dots", "archive/9/../9/./5.htm"); }));
        CPostView *view = panel_->view();
        QCOMPARE(view->url(), localUrl("archive/9/5.htm"));
        QCOMPARE(text(view, "top"), QString::fromUtf8("顶部"));
        // An anchor of the post itself is followed, and the post stays.
        evaluate(view, QStringLiteral("document.getElementById('a').click()"));
        QTRY_COMPARE(view->url().fragment(), QStringLiteral("top"));
        QCOMPARE(text(view, "top"), QString::fromUtf8("顶部"));

        // A name on disk in raw GBK (not UTF-8) opens like any other.
        dir_->write("raw/x", "");
        const std::string rawPath = dir_->path() + "/raw/" + gbk("帖子.htm");
        std::FILE *file = std::fopen(rawPath.c_str(), "wb");
        QVERIFY(file);
        const std::string page =
                gbk("<html><head><meta charset=\"gbk\"></head><body>原始名字</body></html>");
        std::fwrite(page.data(), 1, page.size(), file);
        std::fclose(file);
        QVERIFY(loads(view, [&] {
            std::string why;
            QVERIFY(panel_->OpenPost("raw", rawPath, why));
        }));
        QCOMPARE(bodyText(view), QString::fromUtf8("原始名字"));
        ::unlink(rawPath.c_str()); // a name the folder's removal cannot spell
    }

    void notFoundPageShowsHostilePathsAsText()
    {
        const std::string missing = "/nowhere/<b id=\"x\">&amp;\"'</b>.htm";
        QVERIFY(loads(panel_->view(), [&] { open("m", missing, false); }));
        QCOMPARE(bodyText(panel_->view()), QString::fromUtf8("缺少: ") + show(missing));
        QCOMPARE(evaluate(panel_->view(),
                          QStringLiteral("document.getElementsByTagName('b').length"))
                         .toInt(),
                 0);
    }

    void requestLogStaysBounded()
    {
        std::string images;
        for (int i = 0; i < 400; ++i)
            images += "<img src=\"file:///nowhere/" + std::to_string(i) + ".png\">";
        dir_->write("posts/many.htm", "<html><body>" + images + "</body></html>");
        QVERIFY(loads(panel_->view(), [&] { open("many", "posts/many.htm"); }));
        QTRY_COMPARE(panel_->view()->guard()->blocked().size(), COfflineRequestGuard::LogLimit);
        // Each render starts a new log.
        QVERIFY(loads(panel_->view(), [&] { open("one", "posts/1.htm"); }));
        QVERIFY(panel_->view()->guard()->blocked().size() < 5);
        QVERIFY(panel_->view()->guard()->allowed().size() < 5);
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
        // The XSL sits in the archive folder, above the post's own.
        QVERIFY(loads(panel_->view(), [&] { openIn("xml", "xml/1317/1317807.xml", "xml"); }));
        QTRY_COMPARE(evaluate(panel_->view(),
                              QStringLiteral("document.getElementById('h') ? "
                                             "document.getElementById('h').innerText : ''"))
                             .toString(),
                     QString::fromUtf8("新的帖子"));
    }

private:
    static std::string svg(int width)
    {
        return "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + std::to_string(width)
                + "\" height=\"5\"><rect width=\"7\" height=\"5\"/></svg>";
    }
    static int imageWidth(CPostView *view, const char *id)
    {
        return evaluate(view,
                        QStringLiteral("document.getElementById('%1').naturalWidth")
                                .arg(QLatin1String(id)))
                .toInt();
    }
    static QString text(CPostView *view, const char *id)
    {
        return evaluate(view,
                        QStringLiteral("(function(e) { return e ? e.textContent : null; })"
                                       "(document.getElementById('%1'))")
                                .arg(QLatin1String(id)))
                .toString();
    }
    QUrl localUrl(const std::string &relative) const
    {
        return QUrl::fromLocalFile(FileSystem::toQtPath(dir_->file(relative)));
    }
    void openIn(const std::string &title, const std::string &relative, const std::string &archive)
    {
        std::string why;
        QVERIFY2(panel_->OpenPost(title, dir_->file(relative), dir_->file(archive), why),
                 why.c_str());
    }
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
