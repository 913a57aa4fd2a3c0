#include "TestRegistry.h"

#include <QCoreApplication>
#include <QProcess>
#include <QProcessEnvironment>

// The PostgreSQL cases of this very program, run with a cluster that cannot start.
class TestTestCluster : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void clusterThatCannotStartFailsUnderCi_data()
    {
        QTest::addColumn<QString>("ci");
        QTest::addColumn<bool>("fails");
        QTest::newRow("CI=true") << QStringLiteral("true") << true;
        QTest::newRow("no CI") << QString() << false;
    }
    void clusterThatCannotStartFailsUnderCi()
    {
        QFETCH(QString, ci);
        QFETCH(bool, fails);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QUILLERY_PG_BIN"), QStringLiteral("/nonexistent"));
        environment.remove(QStringLiteral("CI"));
        if (!ci.isEmpty())
            environment.insert(QStringLiteral("CI"), ci);
        QProcess child;
        child.setProcessEnvironment(environment);
        child.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("openTwiceKeepsTheConnection")});
        QVERIFY(child.waitForFinished(60000));
        const QString output = QString::fromUtf8(child.readAllStandardOutput());
        QCOMPARE(child.exitCode() != 0, fails);
        QVERIFY2(output.contains(fails ? QStringLiteral("FAIL!  : TestCAdoManager::"
                                                        "openTwiceKeepsTheConnection(postgresql)")
                                       : QStringLiteral("SKIP   : TestCAdoManager::"
                                                        "openTwiceKeepsTheConnection(postgresql)")),
                 qPrintable(output));
    }
};

QUILLERY_REGISTER_TEST(TestTestCluster)
#include "tst_TestCluster.moc"
