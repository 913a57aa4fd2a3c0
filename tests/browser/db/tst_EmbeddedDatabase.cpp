#include "TestRegistry.h"
#include "TestSupport.h"

#include "browser/db/CAdoManager.h"
#include "browser/db/EmbeddedDatabase.h"
#include "common/FileSystem.h"

#include <QDir>

namespace {

// The rows of a statement, each as its fields' texts joined by "|".
std::vector<std::string> rowsOf(const std::string &connection, const std::string &sql)
{
    CAdoManager manager;
    std::unique_ptr<CAdoRecordset> rs;
    std::vector<std::string> rows;
    if (manager.OpenAdoConnection(connection) != 0 || manager.ExecuteSql(sql, rs, 1) != 0) {
        rows.push_back("failed: " + manager.LastError());
        return rows;
    }
    for (; rs->IsOpen() && !rs->IsEOF(); rs->MoveNext()) {
        std::string row;
        for (int i = 0; i < rs->FieldCount(); ++i)
            row += (i ? "|" : "") + rs->Value(i).Text();
        rows.push_back(row);
    }
    return rows;
}

} // namespace

class TestEmbeddedDatabase : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { dir_ = std::make_unique<TempAppDir>(); }
    void cleanup() { dir_.reset(); }

    void createsTablesIndexesAndWal()
    {
        // Configured paths may use "\", GBK names and characters that URIs escape.
        const std::string folder = dir_->path() + gbk("/数据 #1?%");
        const std::string file = dir_->path() + gbk("\\数据 #1?%\\Lumora.db");
        const std::string connection = "Provider=SQLite;Data Source=" + file;
        std::string error;
        QCOMPARE(EnsureEmbeddedDatabase(connection, {"tbl_post1", "TBL_POST1", "posts2"}, error),
                 0L);
        QVERIFY(FileSystem::exists(file));

        QCOMPARE(rowsOf(connection, "select type, name, tbl_name from sqlite_master order by name"),
                 (std::vector<std::string> {
                         "table|posts2|posts2", "index|posts2_roomid|posts2",
                         "index|posts2_title|posts2", "table|tbl_post1|tbl_post1",
                         "index|tbl_post1_roomid|tbl_post1", "index|tbl_post1_title|tbl_post1"}));
        QCOMPARE(rowsOf(connection, "PRAGMA table_info(tbl_post1)"),
                 (std::vector<std::string> {"0|topicid|INTEGER|0||1", "1|title|TEXT|0||0",
                                            "2|roomid|INTEGER|0||0", "3|username|TEXT|0||0",
                                            "4|reply|INTEGER|0||0", "5|createtime|TEXT|0||0"}));
        QCOMPARE(rowsOf(connection, "PRAGMA journal_mode"), std::vector<std::string> {"wal"});

        // Nothing is left beside the file but what SQLite keeps while it is open.
        const QStringList left =
                QDir(FileSystem::toQtPath(folder)).entryList(QDir::Files | QDir::Hidden);
        QCOMPARE(left, QStringList {QStringLiteral("Lumora.db")});
    }

    void existingFileIsNeverAltered()
    {
        dir_->write("Data/Lumora.db", "not a database");
        std::string error;
        QCOMPARE(EnsureEmbeddedDatabase("Provider=SQLite;Data Source="
                                                + dir_->file("Data/Lumora.db"),
                                        {"posts"}, error),
                 0L);
        QCOMPARE(dir_->read("Data/Lumora.db"), std::string("not a database"));
    }

    void otherConnectionsNeedNothing()
    {
        std::string error;
        for (const std::string connection : {"Provider=PostgreSQL;Host=/nowhere;Database=x",
                                             "Provider=SQLite", "Provider=Jet;x=1", ""}) {
            QCOMPARE(EnsureEmbeddedDatabase(connection, {"posts"}, error), 0L);
        }
        QVERIFY(QDir(dir_->qtPath()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot)
                == QStringList {QStringLiteral("Configs")});
    }

    void tableNamesMustBePlain_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::newRow("injection") << QByteArray("posts(x); DROP TABLE y; --");
        QTest::newRow("quote") << QByteArray("po\"sts");
        QTest::newRow("digit first") << QByteArray("1posts");
        QTest::newRow("empty") << QByteArray("");
        QTest::newRow("space") << QByteArray("my posts");
        QTest::newRow("reserved") << QByteArray("SQLite_master");
        QTest::newRow("gbk") << QByteArray::fromStdString(gbk("帖子"));
    }

    void tableNamesMustBePlain()
    {
        QFETCH(QByteArray, name);
        const std::string file = dir_->file("Data/Lumora.db");
        std::string error;
        QCOMPARE(EnsureEmbeddedDatabase("Provider=SQLite;Data Source=" + file,
                                        {"posts", name.toStdString()}, error),
                 87L);
        QVERIFY2(error.find(name.toStdString()) != std::string::npos, qPrintable(show(error)));
        QVERIFY(!FileSystem::exists(file));
    }

    void folderThatCannotBeMade()
    {
        dir_->write("Data", "a file where the folder should be");
        std::string error;
        QCOMPARE(EnsureEmbeddedDatabase("Provider=SQLite;Data Source="
                                                + dir_->file("Data/Lumora.db"),
                                        {"posts"}, error),
                 31L);
        QVERIFY2(error.find("Data") != std::string::npos, qPrintable(show(error)));
    }

private:
    std::unique_ptr<TempAppDir> dir_;
};

QUILLERY_REGISTER_TEST(TestEmbeddedDatabase)
#include "tst_EmbeddedDatabase.moc"
