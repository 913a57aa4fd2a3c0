#include "PgCluster.h"
#include "QuilleryProcess.h"
#include "TestDatabase.h"
#include "TestRegistry.h"
#include "TestSupport.h"

#include "browser/db/CAdoManager.h"
#include "common/Codec.h"

#include <QProcess>

// A shared archive on PostgreSQL as the README sets it up: the administrator makes the
// roles, the database (owned by the archive's role, UTF-8 character classification) and
// the extension pg_trgm; the archive's role makes the tables; a second role gets the four
// table rights only. Only the administrator's steps run as a superuser.

namespace {

using namespace QuilleryProcess;

QString q(const std::string &text)
{
    return QString::fromStdString(text);
}

bool execute(const std::string &connection, const std::vector<std::string> &statements,
             QString &error)
{
    CAdoManager ado;
    if (ado.OpenAdoConnection(connection) != 0) {
        error = Gbk::toQString(ado.LastError());
        return false;
    }
    for (const std::string &statement : statements) {
        if (ado.ExecuteSql(statement, CAdoManager::CommandText) != 0) {
            error = Gbk::toQString(ado.LastError());
            return false;
        }
    }
    return true;
}

#define EXECUTE_AS(connection, ...)                                                                \
    do {                                                                                           \
        QString why_;                                                                              \
        QVERIFY2(execute(connection, {__VA_ARGS__}, why_), qPrintable(why_));                      \
    } while (false)

// The configuration names the table with capitals, as users write it; PostgreSQL folds it.
const char *const Config = R"(<?xml version="1.0" encoding="GBK"?>
<r>
  <数据库连接字符串>%1</数据库连接字符串>
  <帖子类型 TABLE="LangPosts" ROOMID="1">编程语言<帖子类型 ROOMID="11">标准库</帖子类型>
    <帖子属性范围>1 100000 |APP_PATH|\in\|ID|.htm</帖子属性范围>
  </帖子类型>
</r>
)";

std::string post(const std::string &titleUtf8)
{
    return gbk(("<html><room>11</room><title>" + titleUtf8 + "</title></html>").c_str());
}

QStringList importArguments(const TempAppDir &dir)
{
    return {QStringLiteral("import"),
            QStringLiteral("--config"),
            dir.qtPath() + QStringLiteral("/InitTree.xml"),
            QStringLiteral("--dir"),
            q(dir.file("in")),
            QStringLiteral("--table"),
            QStringLiteral("LangPosts"),
            QStringLiteral("--topicid-mode"),
            QStringLiteral("0"),
            QStringLiteral("--roomid-start"),
            QStringLiteral("<room>"),
            QStringLiteral("--roomid-end"),
            QStringLiteral("</room>"),
            QStringLiteral("--title-start"),
            QStringLiteral("<title>"),
            QStringLiteral("--title-end"),
            QStringLiteral("</title>"),
            QStringLiteral("--no-path-check")};
}

} // namespace

class TestSharedArchive : public QObject
{
    Q_OBJECT
public:
    Q_INVOKABLE QString skipReason() const
    {
        QString reason;
        return PgCluster::shared(&reason) || PgCluster::mustRun() ? QString() : reason;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QString reason;
        cluster_ = PgCluster::shared(&reason);
        QVERIFY2(cluster_, qPrintable(reason));
        EXECUTE_AS(cluster_->connectionString("postgres"), "CREATE ROLE lumora LOGIN",
                   "CREATE ROLE anna LOGIN",
                   "CREATE DATABASE lumora OWNER lumora ENCODING 'UTF8' LC_CTYPE 'C.UTF-8' "
                   "TEMPLATE template0");
        EXECUTE_AS(cluster_->connectionString("lumora"), "CREATE EXTENSION pg_trgm");
        std::vector<std::string> tables = TestDatabase::postgresPostTable("LangPosts");
        tables.push_back("GRANT SELECT, INSERT, UPDATE, DELETE ON LangPosts TO anna");
        QString why;
        QVERIFY2(execute(owner(), tables, why), qPrintable(why));
    }

    void importFindAndIndexAsTheReadmeRoles()
    {
        TempAppDir dir;
        dir.write("InitTree.xml", gbk(u(Config).arg(q(anna())).toUtf8().constData()));
        const QString longTitle = chineseTitle(1500);
        dir.write("in/1.htm", post("模板元编程"));
        dir.write("in/2.htm", post(longTitle.toStdString()));
        dir.write("in/3.htm", post("Hello"));
        const QString config = dir.qtPath() + QStringLiteral("/InitTree.xml");

        // A role with the four table rights imports and finds, the 4,500-byte title too.
        Run run = quillery(importArguments(dir));
        QVERIFY2(run.status == 0, qPrintable(run.out + run.err));
        QCOMPARE(run.out, u("插入完成: 总文件=3成功插入=3\n"));
        const QStringList find {QStringLiteral("find"), QStringLiteral("--config"), config,
                                QStringLiteral("--root"), u("编程语言")};
        run = quillery(find + QStringList {QStringLiteral("--title"), longTitle.mid(700, 3)});
        QCOMPARE(run.status, 0);
        QCOMPARE(run.out.split(u'\t').value(1), longTitle);
        QCOMPARE(quillery(find + QStringList {QStringLiteral("--count")}).out,
                 QStringLiteral("3\n"));

        // The title index is the owner's: anna is told what is missing, the table is unchanged.
        const QStringList index {QStringLiteral("index"), QStringLiteral("--title"),
                                 QStringLiteral("--config"), config};
        run = quillery(index);
        QCOMPARE(run.status, 1);
        QVERIFY2(run.err.contains(u("只有表的所有者(owner)能为它建立或删除索引"))
                         && run.err.contains(QStringLiteral("must be owner of table langposts")),
                 qPrintable(run.err));

        // The owner builds it with the administrator's extension, twice: the real count,
        // and none of the server's notices on the terminal.
        const QStringList asOwner {QStringLiteral("--connection"), q(owner())};
        for (int round = 0; round < 2; ++round) {
            run = quillery(index + asOwner);
            QVERIFY2(run.status == 0, qPrintable(run.err));
            QVERIFY2(run.out.startsWith(u("LangPosts: 标题索引已建立 (3 行, ")),
                     qPrintable(run.out));
            QVERIFY2(run.err.isEmpty(), qPrintable(run.err));
        }
        QCOMPARE(quillery(find
                          + QStringList {QStringLiteral("--title"), u("元编程"),
                                         QStringLiteral("--count")})
                         .out,
                 QStringLiteral("1\n"));
        for (int round = 0; round < 2; ++round) {
            run = quillery(index + asOwner + QStringList {QStringLiteral("--drop")});
            QCOMPARE(run.status, 0);
            QVERIFY2(run.err.isEmpty(), qPrintable(run.err));
        }
    }

    void aMissingExtensionIsNamed()
    {
        // A database of the administrator's without pg_trgm: a table's owner who may not
        // create extensions there is told so, and the table keeps no half-made index.
        EXECUTE_AS(cluster_->connectionString("postgres"),
                   "CREATE DATABASE plain ENCODING 'UTF8' LC_CTYPE 'C.UTF-8' TEMPLATE template0");
        EXECUTE_AS(cluster_->connectionString("plain"), "GRANT CREATE ON SCHEMA public TO anna");
        EXECUTE_AS(cluster_->connectionString("plain", "anna"),
                   "CREATE TABLE posts (topicid BIGINT PRIMARY KEY, title TEXT, roomid BIGINT)");
        TempAppDir dir;
        dir.write("InitTree.xml",
                  gbk(u(Config)
                              .arg(q(cluster_->connectionString("plain", "anna")))
                              .toUtf8()
                              .constData()));
        const Run run = quillery({QStringLiteral("index"), QStringLiteral("--title"),
                                  QStringLiteral("--table"), QStringLiteral("posts"),
                                  QStringLiteral("--config"),
                                  dir.qtPath() + QStringLiteral("/InitTree.xml")});
        QCOMPARE(run.status, 1);
        QVERIFY2(run.err.contains(u("请数据库管理员在这个数据库中执行 CREATE EXTENSION pg_trgm;"))
                         && run.err.contains(
                                 QStringLiteral("permission denied to create extension")),
                 qPrintable(run.err));
    }

    void refusedConnectionsSayWhy()
    {
        TempAppDir dir;
        // No server on that port; a role that does not exist; the password never shows.
        const std::string wrongPort =
                "Provider=PostgreSQL;Host=" + cluster_->socketDirectory().toStdString()
                + ";Port=" + std::to_string(cluster_->port() + 1)
                + ";Database=lumora;User ID=anna;Password=secret";
        const std::string noRole = cluster_->connectionString("lumora", "nobody") + ";Pwd=secret";
        const QList<QPair<std::string, QString>> cases {
                {wrongPort, QStringLiteral("No such file or directory")},
                {noRole, QStringLiteral("role \"nobody\" does not exist")},
        };
        dir.write("in/1.htm", post("t"));
        for (const auto &[connection, reason] : cases) {
            dir.write("InitTree.xml", gbk(u(Config).arg(q(connection)).toUtf8().constData()));
            for (const QStringList &arguments :
                 {importArguments(dir),
                  QStringList {QStringLiteral("find"), QStringLiteral("--config"),
                               dir.qtPath() + QStringLiteral("/InitTree.xml"),
                               QStringLiteral("--root"), u("编程语言"),
                               QStringLiteral("--count")}}) {
                const Run run = quillery(arguments);
                QCOMPARE(run.status, 1);
                QVERIFY2(run.err.contains(reason),
                         qPrintable(arguments[0] + QChar(u'\n') + run.err));
                QVERIFY(run.err.contains(QStringLiteral("***")));
                QVERIFY(!run.err.contains(QStringLiteral("secret")));
            }
        }
    }

private:
    std::string owner() const { return cluster_->connectionString("lumora", "lumora"); }
    std::string anna() const { return cluster_->connectionString("lumora", "anna"); }

    PgCluster *cluster_ = nullptr;
};

QUILLERY_REGISTER_TEST(TestSharedArchive)
#include "tst_SharedArchive.moc"
