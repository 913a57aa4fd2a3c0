#pragma once

// A throwaway PostgreSQL cluster for tests and benchmarks: initdb and pg_ctl in a
// temporary folder under /tmp, listening only on a Unix socket in that folder, stopped
// and removed afterwards. As root the server programs run as the "postgres" system user
// (initdb refuses root), on a folder handed over to it. A watchdog process outside the
// program's process tree stops the server and removes the folder when the program dies
// without doing so itself (killed under a test's time-out).

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>
#include <string>

class PgCluster
{
public:
    // The cluster of the running program, started on first use and stopped when the
    // application object goes. nullptr when PostgreSQL is not installed or would not
    // start; reason then says why.
    static PgCluster *shared(QString *reason = nullptr);
    static void releaseShared();

    // The folder of initdb and pg_ctl: QUILLERY_PG_BIN when set, else the newest
    // installed version; "" when missing.
    static QString binDirectory();

    // Under CI=true PostgreSQL must be there: a cluster that cannot start fails the
    // tests that need it instead of skipping them, so a broken runner is never green.
    static bool mustRun();

    PgCluster();
    ~PgCluster(); // stops the server and removes the folder
    PgCluster(const PgCluster &) = delete;
    PgCluster &operator=(const PgCluster &) = delete;

    bool start(QString &error); // initdb, then the server
    bool stop(QString &error); // the server only; the data stays for resume()
    bool resume(QString &error);
    bool isRunning() const { return running_; }

    bool createDatabase(const std::string &name, QString &error);

    // Provider=PostgreSQL;Host=<socket folder>;Port=<port>;Database=<name>;User ID=<user>
    std::string connectionString(const std::string &database,
                                 const std::string &user = "postgres") const;
    QString socketDirectory() const;
    int port() const { return port_; }

private:
    bool run(const QString &tool, const QStringList &arguments, QString &error);
    QString dataDirectory() const;
    bool startWatchdog(QString &error);
    void releaseWatchdog(bool stillNeeded);

    std::unique_ptr<QTemporaryDir> dir_;
    QString bin_;
    int port_ = 0;
    bool asPostgres_ = false;
    bool running_ = false;
    int watchdog_ = -1; // the write end of the watchdog's pipe
};
