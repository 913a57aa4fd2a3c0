#include "ProgramWindow.h"
#include "TestRegistry.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDir>
#include <QDomDocument>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <csignal>
#include <optional>

// Runs in a private session bus (dbus-run-session) whose daemon reads its activation
// files from $XDG_DATA_HOME, a folder of the build tree.
namespace {

const QString Service = QStringLiteral("Sorrel.Application");
const QString Path = QStringLiteral("/Sorrel/Application");
const QString Title =
        QString::fromUtf8("Sorrel(主要针对离线的帖子)  -- 注意所有的输入内容是不区分大小写的");

QString activationFile()
{
    return qEnvironmentVariable("XDG_DATA_HOME")
            + QStringLiteral("/dbus-1/services/Sorrel.Application.service");
}

bool serviceRegistered()
{
    return QDBusConnection::sessionBus().interface()->isServiceRegistered(Service);
}

// A client of its own: attaching and leaving are seen by Sorrel as another program's.
class Client
{
public:
    explicit Client(const QString &name)
        : name_(name)
        , bus_(QDBusConnection::connectToBus(QDBusConnection::SessionBus, name))
    {
    }
    ~Client() { leave(); }
    QDBusMessage call(const QString &interface, const QString &method)
    {
        return bus_->call(QDBusMessage::createMethodCall(Service, Path, interface, method),
                          QDBus::Block, 20000);
    }
    // The connection closes only when no object refers to it any more.
    void leave()
    {
        bus_.reset();
        QDBusConnection::disconnectFromBus(name_);
    }

private:
    QString name_;
    std::optional<QDBusConnection> bus_;
};

qint64 servicePid()
{
    return QDBusConnection::sessionBus().interface()->servicePid(Service).value();
}

bool processAlive(qint64 pid)
{
    return pid > 0 && ::kill(pid_t(pid), 0) == 0;
}

} // namespace

class TestSorrelAutomation : public QObject
{
    Q_OBJECT
public:
    Q_INVOKABLE QString skipReason() const
    {
        if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")
            || !QDBusConnection::sessionBus().isConnected())
            return QStringLiteral("needs a session bus (run under dbus-run-session)");
        if (!WindowToolsAvailable())
            return QStringLiteral("xwininfo and xprop (package x11-utils) are needed");
        return QString();
    }

private Q_SLOTS:
    void initTestCase()
    {
        QDir().mkpath(qEnvironmentVariable("XDG_DATA_HOME"));
        QFile::remove(activationFile());
    }

    void serviceOffersNothingAndClosingEndsIt()
    {
        QProcess sorrel;
        sorrel.start(QStringLiteral(QUILLERY_APP_DIR "/Sorrel"), {QStringLiteral("--automation")});
        QVERIFY(sorrel.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(serviceRegistered(), 15000);
        QVERIFY(!QFile::exists(activationFile())); // only a normal start writes it

        {
            Client probe(QStringLiteral("probe"));
            const QDBusMessage reply =
                    probe.call(QStringLiteral("org.freedesktop.DBus.Introspectable"),
                               QStringLiteral("Introspect"));
            QCOMPARE(reply.type(), QDBusMessage::ReplyMessage);
            QDomDocument xml;
            QVERIFY(xml.setContent(reply.arguments().value(0).toString()));
            bool found = false;
            const QDomNodeList interfaces =
                    xml.documentElement().elementsByTagName(QStringLiteral("interface"));
            for (int i = 0; i < interfaces.size(); ++i) {
                const QDomElement element = interfaces.at(i).toElement();
                if (element.attribute(QStringLiteral("name")) == Service) {
                    found = true;
                    QVERIFY(!element.hasChildNodes()); // no methods, properties or signals
                }
            }
            QVERIFY(found);
            const QDBusMessage unknown = probe.call(Service, QStringLiteral("Quit"));
            QCOMPARE(unknown.type(), QDBusMessage::ErrorMessage);
        } // the probe leaves the bus

        ProgramWindow window;
        QTRY_VERIFY_WITH_TIMEOUT(
                !(window = FindProgramWindow(sorrel.processId(), Title)).id.isEmpty(), 15000);
        // The probe has left: nothing holds the program, closing ends it.
        QVERIFY(CloseWindow(window.id));
        QVERIFY(sorrel.waitForFinished(10000));
        QCOMPARE(sorrel.exitCode(), 0);
        QTRY_VERIFY(!serviceRegistered());
    }

    void attachedClientKeepsItRunningUntilItLeaves()
    {
        QProcess sorrel;
        sorrel.start(QStringLiteral(QUILLERY_APP_DIR "/Sorrel"), {QStringLiteral("--automation")});
        QVERIFY(sorrel.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(serviceRegistered(), 15000);
        Client client(QStringLiteral("client"));
        // A call to the application's own interface attaches, even one it has no method for.
        QCOMPARE(client.call(Service, QStringLiteral("Attach")).type(), QDBusMessage::ErrorMessage);
        ProgramWindow window;
        QTRY_VERIFY_WITH_TIMEOUT(
                !(window = FindProgramWindow(sorrel.processId(), Title)).id.isEmpty(), 15000);
        QVERIFY(CloseWindow(window.id));
        QTRY_VERIFY(!IsWindowViewable(window.id)); // hidden, not ended
        QVERIFY(!sorrel.waitForFinished(1000));
        QVERIFY(serviceRegistered());
        client.leave();
        QVERIFY(sorrel.waitForFinished(10000));
        QCOMPARE(sorrel.exitCode(), 0);
    }

    // A bus browser looking at the object is no client: it does not keep Sorrel alive.
    void introspectionDoesNotHoldIt()
    {
        QProcess sorrel;
        sorrel.start(QStringLiteral(QUILLERY_APP_DIR "/Sorrel"), {QStringLiteral("--automation")});
        QVERIFY(sorrel.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(serviceRegistered(), 15000);
        Client browser(QStringLiteral("browser"));
        QCOMPARE(browser.call(QStringLiteral("org.freedesktop.DBus.Introspectable"),
                              QStringLiteral("Introspect"))
                         .type(),
                 QDBusMessage::ReplyMessage);
        QCOMPARE(browser.call(QStringLiteral("org.freedesktop.DBus.Properties"),
                              QStringLiteral("GetAll"))
                         .type(),
                 QDBusMessage::ErrorMessage);
        ProgramWindow window;
        QTRY_VERIFY_WITH_TIMEOUT(
                !(window = FindProgramWindow(sorrel.processId(), Title)).id.isEmpty(), 15000);
        QVERIFY(CloseWindow(window.id));
        QVERIFY(sorrel.waitForFinished(10000));
        QCOMPARE(sorrel.exitCode(), 0);
    }

    void normalStartRegistersAnActivationThatWorks()
    {
        // A program path with a space and a quote: the Exec line must quote it.
        QTemporaryDir holder;
        const QString folder = holder.path() + QStringLiteral("/my \"apps\"");
        // With Configs/ beside it the copy runs portable, as the build folder does.
        QVERIFY(QDir().mkpath(folder + QStringLiteral("/Configs")));
        const QString program = folder + QStringLiteral("/Sorrel");
        QVERIFY(QFile::copy(QStringLiteral(QUILLERY_APP_DIR "/Sorrel"), program));

        QProcess sorrel;
        sorrel.start(program, QStringList());
        QVERIFY(sorrel.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(activationFile()), 15000);
        QFile file(activationFile());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString written = QString::fromUtf8(file.readAll());
        QCOMPARE(written,
                 QStringLiteral("[D-BUS Service]\nName=Sorrel.Application\nExec=\"") + holder.path()
                         + QStringLiteral("/my \\\\\"apps\\\\\"/Sorrel\" --automation\n"));
        sorrel.terminate();
        QVERIFY(sorrel.waitForFinished(10000));

        // The bus starts Sorrel from that line when a client asks for the service.
        QDBusConnection::sessionBus().call(QDBusMessage::createMethodCall(
                QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
                QStringLiteral("org.freedesktop.DBus"), QStringLiteral("ReloadConfig")));
        Client client(QStringLiteral("activator"));
        const QDBusMessage reply =
                client.call(QStringLiteral("org.freedesktop.DBus.Introspectable"),
                            QStringLiteral("Introspect"));
        QVERIFY2(reply.type() == QDBusMessage::ReplyMessage, qPrintable(reply.errorMessage()));
        const qint64 pid = servicePid();
        QVERIFY(processAlive(pid));
        ProgramWindow window;
        QTRY_VERIFY_WITH_TIMEOUT(!(window = FindProgramWindow(pid, Title)).id.isEmpty(), 15000);
        client.leave();
        QVERIFY(CloseWindow(window.id));
        QTRY_VERIFY_WITH_TIMEOUT(!processAlive(pid), 10000);
    }
};

QUILLERY_REGISTER_TEST(TestSorrelAutomation)
#include "tst_SorrelAutomation.moc"
