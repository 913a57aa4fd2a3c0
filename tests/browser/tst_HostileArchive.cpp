#include "MessageBoxRecorder.h"
#include "PostViewHelpers.h"
#include "TestRegistry.h"
#include "TestSupport.h"

#include "browser/posts/CPostPanelFrame.h"
#include "browser/posts/CPostTabStrip.h"
#include "browser/posts/CPostView.h"
#include "browser/rooms/PostPlaceholder.h"
#include "common/FileSystem.h"

#include <QAction>
#include <QDir>
#include <QScreen>
#include <QSignalSpy>
#include <QTcpServer>

#include <unistd.h>

// Archives laid out to reach past themselves: links out of the archive, a template that
// widens the archive folder, a sibling folder of a similar name, a page that refreshes
// itself while it is edited. Nothing outside the archive shows, nothing leaves the machine.
class TestHostileArchive : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        dir_ = std::make_unique<TempAppDir>();
        dir_->write("Configs/NoPost.Bk",
                    gbk("<html><head><meta charset=\"gbk\"></head><body>缺少: "
                        "|NOT_FOUND_PATH|</body></html>"));
        dir_->write("Configs/Add0Post.htm", "<html><body>start</body></html>");
        panel_ = std::make_unique<CPostPanelFrame>();
        panel_->resize(800, 400);
        panel_->show();
        QVERIFY(QTest::qWaitForWindowExposed(panel_.get()));
        QTRY_COMPARE(bodyText(panel_->view()), QStringLiteral("start"));
    }
    void cleanup()
    {
        panel_.reset();
        ::unlink(dir_->file("home/Lumora/8").c_str()); // a link to a folder, if a test left it
        dir_.reset();
    }

    void hostileArchiveLayoutsStayInside_data()
    {
        QTest::addColumn<QString>("layout");
        for (const char *layout : {"linked post", "linked room", "mid-name template",
                                   "sibling folder", "refresh while editing"})
            QTest::newRow(layout) << QString::fromLatin1(layout);
    }

    void hostileArchiveLayoutsStayInside()
    {
        // The archive is home/Lumora; the rest of home stands for the user's own files. A
        // listener on this machine sees whether any request leaves the view.
        QFETCH(QString, layout);
        QTcpServer listener;
        QVERIFY(listener.listen(QHostAddress::LocalHost));
        QSignalSpy contacted(&listener, &QTcpServer::newConnection);
        const std::string beacon = "http://127.0.0.1:" + std::to_string(listener.serverPort());
        const std::string beacons = "<img id=\"beacon\" src=\"" + beacon
                + "/b.png\"><link rel=\"stylesheet\" href=\"" + beacon + "/b.css\">";
        const std::string secret = "<html><body><p id=\"p\">secret of the home folder</p>" + beacons
                + "</body></html>";
        dir_->write("home/secret.htm", secret);
        dir_->write("home/home.css", "p { color: rgb(9, 9, 9); }");
        dir_->write("home/home.svg", svg(9));
        dir_->write("home/elsewhere/5.htm", secret);
        dir_->write("home/Lumora/own.css", "p { color: rgb(1, 2, 3); }");
        dir_->write("home/Lumora-old/old.css", "p { color: rgb(4, 5, 6); }");
        dir_->write("home/Lumora-old/old.svg", svg(9));
        dir_->write("home/Lumora/9/x", "");
        const std::string archive = dir_->file("home/Lumora");
        CPostView *view = panel_->view();
        const QString notFound = QString::fromUtf8("缺少: ");
        const QString shot = QStringLiteral("hostile-%1.png").arg(layout).replace(u' ', u'-');

        if (layout == QLatin1String("linked post")) {
            // A post file that links out of the archive: the not-found page, with and
            // without the archive folder known.
            QVERIFY(::symlink("../../secret.htm", dir_->file("home/Lumora/9/linked.htm").c_str())
                    == 0);
            const std::string linkedPost = dir_->file("home/Lumora/9/linked.htm");
            QVERIFY(loads(view, [&] { openPath("linked post", linkedPost, std::string()); }));
            QCOMPARE(bodyText(view), notFound + show(linkedPost));
            QVERIFY(loads(view, [&] { openPath("linked post", linkedPost, archive); }));
            QCOMPARE(bodyText(view), notFound + show(linkedPost));
        } else if (layout == QLatin1String("linked room")) {
            // A room folder that links out of the archive.
            QVERIFY(::symlink("../elsewhere", dir_->file("home/Lumora/8").c_str()) == 0);
            const std::string linkedRoom = dir_->file("home/Lumora/8/5.htm");
            QVERIFY(loads(view, [&] { openPath("linked room", linkedRoom, archive); }));
            QCOMPARE(bodyText(view), notFound + show(linkedRoom));
        } else if (layout == QLatin1String("mid-name template")) {
            // A placeholder inside a folder's name gives no archive folder: nothing of home
            // loads, the post itself does.
            const std::string midName = dir_->path() + "/home/Lumora_|ROOMID|/|ID|.htm";
            dir_->write("home/Lumora_9/5.htm",
                        "<html><head><link rel=\"stylesheet\" href=\"../home.css\"></head><body>"
                        "<p id=\"p\">mid-name post</p><img id=\"home\" src=\"../home.svg\">"
                                + beacons + "</body></html>");
            QVERIFY(loads(view, [&] {
                openPath("mid-name", dir_->file("home/Lumora_9/5.htm"), PostArchiveFolder(midName));
            }));
            QCOMPARE(text(view, "p"), QStringLiteral("mid-name post"));
            QCOMPARE(color(view), QStringLiteral("rgb(0, 0, 0)"));
            QCOMPARE(imageWidth(view, "home"), 0);
        } else if (layout == QLatin1String("sibling folder")) {
            // A sibling folder whose name starts with the archive's is not inside it.
            dir_->write(
                    "home/Lumora/9/5.htm",
                    "<html><head><link rel=\"stylesheet\" href=\"../own.css\">"
                    "<link rel=\"stylesheet\" href=\"../../Lumora-old/old.css\"></head><body>"
                    "<p id=\"p\">archive post</p><img id=\"old\" src=\"../../Lumora-old/old.svg\">"
                            + beacons + "</body></html>");
            QVERIFY(loads(view, [&] {
                openPath("sibling", dir_->file("home/Lumora/9/5.htm"), archive);
            }));
            QCOMPARE(text(view, "p"), QStringLiteral("archive post"));
            QCOMPARE(color(view), QStringLiteral("rgb(1, 2, 3)"));
            QCOMPARE(imageWidth(view, "old"), 0);
        } else {
            // A page's own refresh neither reloads it nor throws away its edits.
            MessageBoxRecorder recorder;
            dir_->write("home/Lumora/9/refresh.htm",
                        "<html><head><meta http-equiv=\"refresh\" content=\"1\"></head><body>"
                        "<p id=\"p\">original</p>"
                                + beacons + "</body></html>");
            QVERIFY(loads(view, [&] {
                openPath("refresh", dir_->file("home/Lumora/9/refresh.htm"), archive);
            }));
            // A mark on the document shows whether it is still the one loaded.
            const QString marked = QStringLiteral("document.body.dataset.mark || ''");
            evaluate(view, QStringLiteral("document.body.dataset.mark = 'loaded once'"));
            QTest::qWait(2500);
            QCOMPARE(evaluate(view, marked).toString(), QStringLiteral("loaded once"));
            panel_->strip()->editAction->trigger();
            QTRY_COMPARE(designMode(view), QStringLiteral("on"));
            evaluate(view, QStringLiteral("document.getElementById('p').textContent = 'edited'"));
            QTest::qWait(2500);
            QCOMPARE(evaluate(view, marked).toString(), QStringLiteral("loaded once"));
            QCOMPARE(text(view, "p"), QStringLiteral("edited"));
            QCOMPARE(designMode(view), QStringLiteral("on"));
            shoot(shot);
            panel_->strip()->saveAction->trigger();
            QTRY_COMPARE(designMode(view), QStringLiteral("off"));
            const std::string saved = dir_->read("home/Lumora/9/refresh.htm");
            QVERIFY2(saved.find("<p id=\"p\">edited</p>") != std::string::npos, saved.c_str());
            QVERIFY(recorder.calls().isEmpty());
        }
        if (!layout.startsWith(QLatin1String("refresh")))
            shoot(shot);
        QCOMPARE(contacted.count(), 0);
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
    static QString color(CPostView *view)
    {
        return evaluate(view,
                        QStringLiteral("getComputedStyle(document.getElementById('p')).color"))
                .toString();
    }
    // With QUILLERY_SCREENSHOTS naming a folder, a picture of the panel for a person to see.
    void shoot(const QString &name)
    {
        const QString folder = qEnvironmentVariable("QUILLERY_SCREENSHOTS");
        if (folder.isEmpty())
            return;
        QDir().mkpath(folder);
        QTest::qWait(600);
        QVERIFY(panel_->screen()
                        ->grabWindow(panel_->winId())
                        .save(folder + QLatin1Char('/') + name));
    }
    void openPath(const std::string &title, const std::string &path, const std::string &archive)
    {
        std::string why;
        QVERIFY2(panel_->OpenPost(title, path, archive, why), why.c_str());
    }

    std::unique_ptr<TempAppDir> dir_;
    std::unique_ptr<CPostPanelFrame> panel_;
};

QUILLERY_REGISTER_TEST(TestHostileArchive)
#include "tst_HostileArchive.moc"
