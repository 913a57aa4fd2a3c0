#include "PgCluster.h"

#include "browser/db/CAdoManager.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QVersionNumber>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <netinet/in.h>
#include <pwd.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

std::unique_ptr<PgCluster> sharedCluster;
QString sharedFailure;
bool sharedTried = false;

// The server listens on no TCP port, but its socket file is named after one; take a
// number that is free anyway, so nothing else on the machine is confused by it.
int freePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return 55432;
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof(address);
    int port = 55432;
    if (::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof(address)) == 0
        && ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    ::close(fd);
    return port;
}

// Waits on fd 3 in the background, outside the program's process tree (its shell ends at
// once, so the watchdog belongs to init and a kill of the program's tree spares it). A
// line "done" means the program cleaned up; end of file without it means it died.
constexpr const char WatchdogScript[] =
        "( read line <&3\n"
        "  if [ \"$line\" != done ]; then\n"
        "    if [ -f \"$1/data/postmaster.pid\" ]; then\n"
        "      if [ -n \"$2\" ]; then runuser -u postgres -- \"$3\" -D \"$1/data\" -m immediate "
        "-w stop\n"
        "      else \"$3\" -D \"$1/data\" -m immediate -w stop; fi\n"
        "    fi\n"
        "    case \"$1\" in /tmp/quillery-pg-*) rm -rf \"$1\" ;; esac\n"
        "  fi ) >/dev/null 2>&1 &\n";

} // namespace

PgCluster *PgCluster::shared(QString *reason)
{
    if (!sharedTried) {
        sharedTried = true;
        auto cluster = std::make_unique<PgCluster>();
        if (cluster->start(sharedFailure)) {
            sharedCluster = std::move(cluster);
            qAddPostRoutine(&PgCluster::releaseShared);
        }
    }
    if (!sharedCluster && reason)
        *reason = sharedFailure;
    return sharedCluster.get();
}

void PgCluster::releaseShared()
{
    sharedCluster.reset();
}

bool PgCluster::mustRun()
{
    return qEnvironmentVariable("CI").compare(QStringLiteral("true"), Qt::CaseInsensitive) == 0;
}

QString PgCluster::binDirectory()
{
    if (qEnvironmentVariableIsSet("QUILLERY_PG_BIN")) {
        const QString bin = qEnvironmentVariable("QUILLERY_PG_BIN");
        return QFileInfo(bin + QStringLiteral("/initdb")).isExecutable()
                        && QFileInfo(bin + QStringLiteral("/pg_ctl")).isExecutable()
                ? bin
                : QString();
    }
    const QString root = QStringLiteral("/usr/lib/postgresql");
    QString best;
    QVersionNumber bestVersion;
    for (const QString &version : QDir(root).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString bin = root + u'/' + version + QStringLiteral("/bin");
        const QVersionNumber number = QVersionNumber::fromString(version);
        if (QFileInfo(bin + QStringLiteral("/initdb")).isExecutable()
            && QFileInfo(bin + QStringLiteral("/pg_ctl")).isExecutable()
            && (best.isEmpty() || number > bestVersion)) {
            best = bin;
            bestVersion = number;
        }
    }
    return best;
}

PgCluster::PgCluster() = default;

PgCluster::~PgCluster()
{
    CAdoManager::ReleaseHeldConnection();
    if (running_) {
        QString ignored;
        if (run(QStringLiteral("pg_ctl"),
                {QStringLiteral("-D"), dataDirectory(), QStringLiteral("-m"),
                 QStringLiteral("immediate"), QStringLiteral("-w"), QStringLiteral("stop")},
                ignored))
            running_ = false;
    }
    // The folder goes with dir_; a server that would not stop is the watchdog's.
    releaseWatchdog(running_);
}

bool PgCluster::startWatchdog(QString &error)
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        error = QStringLiteral("cannot make the watchdog's pipe: ")
                + QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[0], 3);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
    const QByteArray folder = QFile::encodeName(socketDirectory());
    const QByteArray pgCtl = QFile::encodeName(bin_ + QStringLiteral("/pg_ctl"));
    const char *argv[] = {"sh",
                          "-c",
                          WatchdogScript,
                          "sh",
                          folder.constData(),
                          asPostgres_ ? "1" : "",
                          pgCtl.constData(),
                          nullptr};
    pid_t shell = 0;
    const int spawned = ::posix_spawn(&shell, "/bin/sh", &actions, &attributes,
                                      const_cast<char *const *>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    ::close(fds[0]);
    if (spawned != 0) {
        ::close(fds[1]);
        error = QStringLiteral("cannot start the watchdog: ")
                + QString::fromLocal8Bit(std::strerror(spawned));
        return false;
    }
    int status = 0;
    ::waitpid(shell, &status, 0);
    watchdog_ = fds[1];
    return true;
}

void PgCluster::releaseWatchdog(bool stillNeeded)
{
    if (watchdog_ < 0)
        return;
    if (!stillNeeded && ::write(watchdog_, "done\n", 5) != 5)
        qWarning("the watchdog of %s did not take its line", qPrintable(socketDirectory()));
    ::close(watchdog_);
    watchdog_ = -1;
}

QString PgCluster::socketDirectory() const
{
    return dir_ ? dir_->path() : QString();
}

QString PgCluster::dataDirectory() const
{
    return socketDirectory() + QStringLiteral("/data");
}

bool PgCluster::run(const QString &tool, const QStringList &arguments, QString &error)
{
    QProcess process;
    process.setWorkingDirectory(socketDirectory());
    process.setProcessChannelMode(QProcess::MergedChannels);
    const QString program = bin_ + u'/' + tool;
    if (asPostgres_)
        process.start(QStringLiteral("runuser"),
                      QStringList {QStringLiteral("-u"), QStringLiteral("postgres"),
                                   QStringLiteral("--"), program}
                              + arguments);
    else
        process.start(program, arguments);
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit
        || process.exitCode() != 0) {
        error = tool + QStringLiteral(" failed: ") + process.errorString() + u'\n'
                + QString::fromLocal8Bit(process.readAll());
        return false;
    }
    return true;
}

bool PgCluster::start(QString &error)
{
    bin_ = binDirectory();
    if (bin_.isEmpty()) {
        error = QStringLiteral("PostgreSQL server programs (initdb, pg_ctl) are not installed "
                               "under /usr/lib/postgresql (package postgresql)");
        return false;
    }
    passwd *postgres = nullptr;
    if (::geteuid() == 0) {
        postgres = ::getpwnam("postgres");
        if (!postgres || QStandardPaths::findExecutable(QStringLiteral("runuser")).isEmpty()) {
            error = QStringLiteral("running as root needs the system user postgres and runuser");
            return false;
        }
        asPostgres_ = true;
    }
    // Under /tmp whatever TMPDIR says: the server user must reach the folder.
    dir_ = std::make_unique<QTemporaryDir>(QStringLiteral("/tmp/quillery-pg-XXXXXX"));
    if (!dir_->isValid()) {
        error = QStringLiteral("cannot make a folder under /tmp: ") + dir_->errorString();
        return false;
    }
    QFile::setPermissions(dir_->path(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                                  | QFileDevice::ReadGroup | QFileDevice::ExeGroup
                                  | QFileDevice::ReadOther | QFileDevice::ExeOther);
    if (postgres
        && ::chown(QFile::encodeName(dir_->path()).constData(), postgres->pw_uid, postgres->pw_gid)
                != 0) {
        error = QStringLiteral("cannot hand %1 over to postgres").arg(dir_->path());
        return false;
    }
    if (!startWatchdog(error))
        return false;
    port_ = freePort();
    if (!run(QStringLiteral("initdb"),
             {QStringLiteral("-D"), dataDirectory(), QStringLiteral("-A"), QStringLiteral("trust"),
              QStringLiteral("-U"), QStringLiteral("postgres"), QStringLiteral("-E"),
              QStringLiteral("UTF8"), QStringLiteral("--no-locale"), QStringLiteral("--no-sync")},
             error))
        return false;
    return resume(error);
}

bool PgCluster::resume(QString &error)
{
    // Durability is of no use here; without it the tests run much faster.
    const QString options = QStringLiteral("-c listen_addresses='' -k %1 -p %2 -c fsync=off "
                                           "-c synchronous_commit=off -c full_page_writes=off")
                                    .arg(socketDirectory())
                                    .arg(port_);
    if (!run(QStringLiteral("pg_ctl"),
             {QStringLiteral("-D"), dataDirectory(), QStringLiteral("-l"),
              socketDirectory() + QStringLiteral("/server.log"), QStringLiteral("-w"),
              QStringLiteral("-t"), QStringLiteral("60"), QStringLiteral("-o"), options,
              QStringLiteral("start")},
             error))
        return false;
    running_ = true;
    return true;
}

bool PgCluster::stop(QString &error)
{
    if (!running_)
        return true;
    CAdoManager::ReleaseHeldConnection();
    if (!run(QStringLiteral("pg_ctl"),
             {QStringLiteral("-D"), dataDirectory(), QStringLiteral("-m"), QStringLiteral("fast"),
              QStringLiteral("-w"), QStringLiteral("stop")},
             error))
        return false;
    running_ = false;
    return true;
}

bool PgCluster::createDatabase(const std::string &name, QString &error)
{
    return run(QStringLiteral("createdb"),
               {QStringLiteral("-h"), socketDirectory(), QStringLiteral("-p"),
                QString::number(port_), QStringLiteral("-U"), QStringLiteral("postgres"),
                QStringLiteral("-E"), QStringLiteral("UTF8"), QStringLiteral("-T"),
                QStringLiteral("template0"), QString::fromStdString(name)},
               error);
}

std::string PgCluster::connectionString(const std::string &database, const std::string &user) const
{
    return "Provider=PostgreSQL;Host=" + QFile::encodeName(socketDirectory()).toStdString()
            + ";Port=" + std::to_string(port_) + ";Database=" + database + ";User ID=" + user;
}
