#include "ProgramWindow.h"
#include "TestRegistry.h"

#include <QProcess>
#include <QTemporaryDir>

namespace {
const QString Title =
        QString::fromUtf8("Sorrel(主要针对离线的帖子)  -- 注意所有的输入内容是不区分大小写的");
}

// Starts the built program on the test's X display, looks for its window and closes it
// with the close box.
class TestSorrelProgram : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void windowComesUpAndCloses()
    {
        if (!WindowToolsAvailable())
            QSKIP("xwininfo and xprop (package x11-utils) are needed");
        QTemporaryDir data; // the activation file goes here, not into the real home
        QProcess sorrel;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_DATA_HOME"), data.path());
        sorrel.setProcessEnvironment(env);
        sorrel.start(QStringLiteral(QUILLERY_APP_DIR "/Sorrel"), QStringList());
        QVERIFY(sorrel.waitForStarted());
        ProgramWindow window;
        QTRY_VERIFY_WITH_TIMEOUT(
                !(window = FindProgramWindow(sorrel.processId(), Title)).id.isEmpty(), 15000);
        QVERIFY2(window.properties.contains(QStringLiteral("WM_CLASS(STRING) = \"Sorrel\"")),
                 qPrintable(window.properties));
        QVERIFY2(window.properties.contains(QStringLiteral("_NET_WM_ICON(CARDINAL) =")),
                 qPrintable(window.properties));
        QCOMPARE(sorrel.state(), QProcess::Running);
        QVERIFY(CloseWindow(window.id));
        QVERIFY(sorrel.waitForFinished(10000));
        QCOMPARE(sorrel.exitStatus(), QProcess::NormalExit);
        QCOMPARE(sorrel.exitCode(), 0);
    }
};

QUILLERY_REGISTER_TEST(TestSorrelProgram)
#include "tst_SorrelProgram.moc"
