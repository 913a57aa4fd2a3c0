#include "TestRegistry.h"

#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>

namespace {
QString run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(10000);
    return QString::fromUtf8(process.readAllStandardOutput());
}
} // namespace

// Starts the built program on the test's X display and looks for its window.
class TestGarnetProgram : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void windowComesUpWithTitleAndIcon()
    {
        const QString xwininfo = QStandardPaths::findExecutable(QStringLiteral("xwininfo"));
        const QString xprop = QStandardPaths::findExecutable(QStringLiteral("xprop"));
        if (xwininfo.isEmpty() || xprop.isEmpty())
            QSKIP("xwininfo and xprop (package x11-utils) are needed");

        QProcess garnet;
        garnet.start(QStringLiteral(QUILLERY_APP_DIR "/Garnet"), QStringList());
        QVERIFY(garnet.waitForStarted());
        // The properties of the program's window with the dialog's title; this test's own
        // windows may carry the same title.
        const QRegularExpression line(QStringLiteral("^\\s*(0x[0-9a-f]+) \"%1\"")
                                              .arg(QRegularExpression::escape(QString::fromUtf8(
                                                      "Lumora帖子URL列表生成器"))),
                                      QRegularExpression::MultilineOption);
        const QString pid = QStringLiteral("_NET_WM_PID(CARDINAL) = %1").arg(garnet.processId());
        const auto programWindow = [&]() -> QString {
            const QString tree = run(xwininfo, {QStringLiteral("-root"), QStringLiteral("-tree")});
            for (const QRegularExpressionMatch &match : line.globalMatch(tree)) {
                const QString properties = run(
                        xprop,
                        {QStringLiteral("-id"), match.captured(1), QStringLiteral("_NET_WM_PID"),
                         QStringLiteral("WM_CLASS"), QStringLiteral("_NET_WM_ICON")});
                if (properties.contains(pid))
                    return properties;
            }
            return QString();
        };
        QString properties;
        QTRY_VERIFY_WITH_TIMEOUT(!(properties = programWindow()).isEmpty(), 15000);
        QVERIFY2(properties.contains(QStringLiteral("WM_CLASS(STRING) = \"Garnet\"")),
                 qPrintable(properties));
        QVERIFY2(properties.contains(QStringLiteral("_NET_WM_ICON(CARDINAL) =")),
                 qPrintable(properties));
        QCOMPARE(garnet.state(), QProcess::Running);
        garnet.terminate();
        QVERIFY(garnet.waitForFinished(10000));
    }
};

QUILLERY_REGISTER_TEST(TestGarnetProgram)
#include "tst_GarnetProgram.moc"
