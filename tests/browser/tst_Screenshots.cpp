#include "TestRegistry.h"
#include "TestSupport.h"

#include "browser/CLeftTreeView.h"
#include "browser/CMainFrame.h"
#include "browser/KestrelEvents.h"
#include "browser/posts/CPostListView.h"
#include "browser/posts/CPostPanelFrame.h"
#include "browser/posts/CPostView.h"
#include "common/AppDirectory.h"
#include "common/FileSystem.h"

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
private Q_SLOTS:
    void initTestCase()
    {
        folder_ = qEnvironmentVariable("QUILLERY_SCREENSHOTS");
        if (folder_.isEmpty())
            QSKIP("set QUILLERY_SCREENSHOTS to a folder to take the pictures");
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
        // The newer XML posts come later in the room.
        for (int page = 0; page < 5 && firstRow(true) < 0; ++page)
            frame.ShowNextPage();
        QVERIFY(firstRow(true) >= 0);
        openRow(firstRow(true));
        shoot(QStringLiteral("kestrel-xml-post.png"));

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
