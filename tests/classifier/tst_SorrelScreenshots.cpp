#include "TestRegistry.h"
#include "TestSupport.h"

#include "classifier/CSorrelDlg.h"
#include "common/AppDirectory.h"

#include <QButtonGroup>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>

// Pictures of Sorrel before and after a run on the sample archive's HTML pages, for a
// person to look at. Runs only when QUILLERY_SCREENSHOTS names a folder for them.
class TestSorrelScreenshots : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void beforeAndAfterARun()
    {
        const QString folder = qEnvironmentVariable("QUILLERY_SCREENSHOTS");
        if (folder.isEmpty())
            QSKIP("set QUILLERY_SCREENSHOTS to a folder to take the pictures");
        QDir().mkpath(folder);
        TempAppDir dir;
        // Rooms of the older pages are named only: the conversion file gives their ids.
        dir.write("RoomID-Name.txt", readBytes(folder + QStringLiteral("/RoomID-Name.txt")));
        CSorrelDlg dlg;
        dlg.inputEdit()->setText(QStringLiteral(QUILLERY_APP_DIR "/sample/"));
        dlg.outputEdit()->setText(dir.qtPath() + QStringLiteral("/Output/"));
        dlg.markerEdit(0)->setText(QStringLiteral("<a class=\"room\">"));
        dlg.markerEdit(1)->setText(QStringLiteral("</a>"));
        dlg.folderGroup()->button(1)->setChecked(true);
        dlg.move(0, 0);
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        QTest::qWait(300);
        QVERIFY(dlg.grab().save(folder + QStringLiteral("/sorrel-before.png")));

        QSignalSpy finished(&dlg, &CSorrelDlg::runFinished);
        dlg.startButton()->click();
        QVERIFY(finished.wait(60000));
        QTest::qWait(300);
        QVERIFY(dlg.grab().save(folder + QStringLiteral("/sorrel-after.png")));
    }
};

QUILLERY_REGISTER_TEST(TestSorrelScreenshots)
#include "tst_SorrelScreenshots.moc"
