#pragma once

// One Qt Sql connection of the layer, under a name of its own, made in the thread that
// opens it. It is removed from Qt's registry when the object goes, after the queries
// that use it (their owners hold the connection and drop their queries first).

#include "DbEndpoint.h"
#include "DbError.h"

#include <QSqlDatabase>
#include <QString>

#include <memory>

class DbConnection
{
public:
    // Opens the endpoint. SQLite: the file must exist; WAL mode, synchronous=NORMAL, busy
    // time-out = timeoutSeconds. PostgreSQL: connect_timeout and statement_timeout =
    // timeoutSeconds. A time-out of 0 or less waits without limit.
    static std::unique_ptr<DbConnection> Open(const DbEndpoint &endpoint, int timeoutSeconds,
                                              DbError &error);
    ~DbConnection();
    DbConnection(const DbConnection &) = delete;
    DbConnection &operator=(const DbConnection &) = delete;

    // Another connection to the same database with the same settings.
    std::unique_ptr<DbConnection> OpenSibling(DbError &error) const;

    QSqlDatabase &database() { return db_; }
    DbEngine engine() const { return endpoint_.engine; }
    DbError errorFrom(const QSqlError &error) const { return DbErrorFromSql(engine(), error); }

    // Applies a command time-out when it differs from the one in force.
    bool applyTimeout(int seconds, DbError &error);

    // SQLite keeps reading and writing a file that was deleted while it is open, so a
    // removed database would look alive: this reports it as lost instead.
    bool checkPresent(DbError &error) const;

    // False when the driver has given the connection up (a broken PostgreSQL link).
    bool checkOpen(DbError &error);

    // Runs a statement whose rows, if any, are not needed.
    bool run(const QString &statement, DbError &error);

private:
    DbConnection(const DbEndpoint &endpoint, int timeoutSeconds);
    bool openDatabase(DbError &error);

    DbEndpoint endpoint_;
    QString name_;
    QString filePath_; // SQLite
    QSqlDatabase db_;
    int timeoutInForce_;
};
