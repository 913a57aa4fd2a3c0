#include "PgCluster.h"
#include "TestRegistry.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>

#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {

// The server's process, from the first line of postmaster.pid.
qint64 serverPid(const QString &socketDirectory)
{
    QFile file(socketDirectory + QStringLiteral("/data/postmaster.pid"));
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    return file.readLine().trimmed().toLongLong();
}

bool alive(qint64 pid)
{
    return pid > 0 && ::kill(pid_t(pid), 0) == 0;
}

} // namespace

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

    // A test program killed under its time-out must not leave its server running.
    void clusterEndsWithAKilledProgram()
    {
        if (PgCluster::binDirectory().isEmpty() && !PgCluster::mustRun())
            QSKIP("PostgreSQL server programs are not installed");
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QUILLERY_HOLD_CLUSTER"), QStringLiteral("1"));
        QProcess child;
        child.setProcessEnvironment(environment);
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("holdCluster")});
        QString folder;
        while (folder.isEmpty() && child.waitForReadyRead(120000)) {
            while (child.canReadLine()) {
                const QString line = QString::fromUtf8(child.readLine()).trimmed();
                if (line.startsWith(QStringLiteral("cluster: ")))
                    folder = line.mid(9);
            }
        }
        QVERIFY2(!folder.isEmpty(), child.readAllStandardError().constData());
        const qint64 server = serverPid(folder);
        QVERIFY(alive(server));
        child.kill();
        QVERIFY(child.waitForFinished(10000));
        const auto gone = [&] { return !alive(server) && !QDir(folder).exists(); };
        QTRY_VERIFY_WITH_TIMEOUT(gone(), 60000);
    }

    // The program above, in a child process: starts a cluster and waits to be killed.
    void holdCluster()
    {
        if (!qEnvironmentVariableIsSet("QUILLERY_HOLD_CLUSTER"))
            QSKIP("run by clusterEndsWithAKilledProgram");
        PgCluster cluster;
        QString reason;
        QVERIFY2(cluster.start(reason), qPrintable(reason));
        std::printf("cluster: %s\n", QFile::encodeName(cluster.socketDirectory()).constData());
        std::fflush(stdout);
        for (;;)
            ::pause();
    }
};

QUILLERY_REGISTER_TEST(TestTestCluster)
#include "tst_TestCluster.moc"
