#include "PostViewHelpers.h"
#include "TestRegistry.h"
#include "TestSupport.h"

#include "browser/CLeftTreeView.h"
#include "browser/CMainFrame.h"
#include "browser/posts/CPostFullScreenDialog.h"
#include "browser/posts/CPostListView.h"
#include "browser/posts/CPostPanelFrame.h"
#include "browser/posts/CPostTabStrip.h"
#include "browser/posts/CPostView.h"
#include "browser/posts/PostListController.h"
#include "browser/rooms/KestrelEvents.h"
#include "common/AppDirectory.h"
#include "common/FileSystem.h"
#include "common/UiSeam.h"

#include <QAction>
#include <QDir>
#include <QGuiApplication>
#include <QScreen>
#include <QSignalSpy>
#include <QWebEnginePage>

// Pictures of Kestrel on the built program folder, for a person to look at. Runs only
// when QUILLERY_SCREENSHOTS names a folder for them (after tools/run-kestrel.sh has
// imported the sample archive).
class TestScreenshots : public QObject
{
    Q_OBJECT
public:
    Q_INVOKABLE QString skipReason() const
    {
        return qEnvironmentVariableIsEmpty("QUILLERY_SCREENSHOTS")
                ? QStringLiteral("set QUILLERY_SCREENSHOTS to a folder to take the pictures")
                : QString();
    }

private Q_SLOTS:
    void initTestCase()
    {
        folder_ = qEnvironmentVariable("QUILLERY_SCREENSHOTS");
        QDir().mkpath(folder_);
        SetAppDirectoryOverride(QUILLERY_APP_DIR);
    }
    void cleanupTestCase() { SetAppDirectoryOverride(std::string()); }

    void kestrelOnTheSampleArchive()
    {
        CMainFrame frame;
        QVERIFY(frame.LoadConfiguration(std::nullopt));
        frame.resize(1280, 860);
        frame.move(0, 0);
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        QTRY_VERIFY(frame.postList()->topLevelItemCount() > 0);
        QTest::qWait(1500);
        shoot(QStringLiteral("kestrel-list.png"));

        CPostListView *list = frame.postList();
        const auto openRow = [&](int row) {
            QSignalSpy loaded(frame.postPanel()->view()->page(), &QWebEnginePage::loadFinished);
            list->setCurrentItem(list->topLevelItem(row));
            QCoreApplication::postEvent(&frame, new CIndexEvent(WM_OPEN_POST, row));
            QVERIFY(loaded.wait(20000));
            QTest::qWait(1200);
        };
        const auto firstRow = [&](bool xml) {
            for (int row = 0; row < list->topLevelItemCount(); ++row) {
                const std::uint32_t id = list->topLevelItem(row)->text(1).toUInt();
                if ((id >= 1317807) == xml)
                    return row;
            }
            return -1;
        };
        const int htmlRow = firstRow(false);
        QVERIFY(htmlRow >= 0);
        openRow(htmlRow);
        shoot(QStringLiteral("kestrel-html-post.png"));

        // Full screen, then editing mode on the same post.
        CPostPanelFrame *panel = frame.postPanel();
        UiSeam::SetModalHandler([&](QDialog &dialog) {
            auto *full = qobject_cast<CPostFullScreenDialog *>(&dialog);
            if (!full)
                return 0;
            QSignalSpy loaded(full->view()->page(), &QWebEnginePage::loadFinished);
            full->show();
            if (loaded.isEmpty())
                loaded.wait(20000);
            QTest::qWait(1200);
            shoot(QStringLiteral("kestrel-fullscreen.png"));
            full->reject();
            return 0;
        });
        panel->strip()->fullScreenAction->trigger();
        UiSeam::SetModalHandler({});
        panel->strip()->editAction->trigger();
        QTRY_COMPARE(evaluate(panel->view(), QStringLiteral("document.designMode")).toString(),
                     QStringLiteral("on"));
        evaluate(panel->view(),
                 QString::fromUtf8("(function() { var p = document.createElement('p');"
                                   "p.textContent = '这一段是在编辑模式下加上的。';"
                                   "p.style.border = '1px dashed gray';"
                                   "document.body.insertBefore(p, document.body.firstChild);"
                                   "var r = document.createRange(); r.selectNodeContents(p);"
                                   "r.collapse(false); getSelection().removeAllRanges();"
                                   "getSelection().addRange(r); })()"));
        panel->view()->setFocus();
        QTest::qWait(800);
        shoot(QStringLiteral("kestrel-editing.png"));
        // Leave the edits unsaved: the sample archive stays as it is.
        UiSeam::SetMessageBoxHandler(
                [](const UiSeam::MessageBoxCall &) { return QMessageBox::Yes; });
        // The newer XML posts come later in the room.
        for (int page = 0; page < 5 && firstRow(true) < 0; ++page)
            frame.postListing()->ShowNextPage();
        QVERIFY(firstRow(true) >= 0);
        openRow(firstRow(true));
        shoot(QStringLiteral("kestrel-xml-post.png"));

        // The question before an XML post is edited, as the real message box shows it.
        bool asked = false;
        UiSeam::SetMessageBoxHandler([&](const UiSeam::MessageBoxCall &call) {
            QMessageBox box(call.icon, call.caption, call.text, call.buttons, &frame);
            box.show();
            if (QTest::qWaitForWindowExposed(&box)) {
                QTest::qWait(600);
                shoot(QStringLiteral("kestrel-xml-question.png"));
                asked = true;
            }
            return QMessageBox::Cancel;
        });
        panel->strip()->editAction->trigger();
        QTRY_VERIFY(asked);
        UiSeam::SetMessageBoxHandler({});

        // A post whose file is not there: the not-found page.
        auto *missing = new QTreeWidgetItem(
                QStringList {QString::fromUtf8("一个文件已经丢失的帖子"), QStringLiteral("1299999"),
                             QString::fromUtf8("标准库")});
        missing->setData(0, Qt::UserRole, 111);
        list->addTopLevelItem(missing);
        openRow(list->topLevelItemCount() - 1);
        shoot(QStringLiteral("kestrel-not-found.png"));
    }

private:
    void shoot(const QString &name)
    {
        QScreen *screen = QGuiApplication::primaryScreen();
        QVERIFY(screen->grabWindow(0).save(folder_ + QLatin1Char('/') + name));
    }

    QString folder_;
};

QUILLERY_REGISTER_TEST(TestScreenshots)
#include "tst_Screenshots.moc"
