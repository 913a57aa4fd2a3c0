#include "TestRegistry.h"
#include "TestSupport.h"

#include "browser/db/ConnectionString.h"
#include "browser/db/DbEndpoint.h"

class TestConnectionString : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void splitsItems()
    {
        // GBK trail bytes are never one of the separators.
        const std::string path = gbk("D:\\数据\\淺;\"档案\".db");
        std::vector<ConnectionStringItem> items;
        std::string error;
        QVERIFY(ParseConnectionString(" Provider = SQLite ;; Data Source=\"" + gbk("D:\\数据\\淺;")
                                              + "\"\"" + gbk("档案")
                                              + "\"\".db\" ;Mode='x''y';Empty=;",
                                      items, error));
        QCOMPARE(items.size(), std::size_t(4));
        QCOMPARE(items[0].key, std::string("Provider"));
        QCOMPARE(items[0].value, std::string("SQLite"));
        QCOMPARE(items[1].key, std::string("Data Source"));
        QCOMPARE(items[1].value, path);
        QCOMPARE(items[2].value, std::string("x'y"));
        QCOMPARE(items[3].value, std::string());

        // Keys ignore case; the last one counts.
        QVERIFY(ParseConnectionString("HOST=a;Server=b;host=c", items, error));
        QCOMPARE(FindConnectionItem(items, {"Host"})->value, std::string("c"));
        QCOMPARE(FindConnectionItem(items, {"Server"})->value, std::string("b"));
        QVERIFY(!FindConnectionItem(items, {"Port"}));

        for (const std::string &value :
             {std::string("plain"), std::string("a;b"), std::string(" lead"),
              std::string("q\"uote"), std::string(), path}) {
            QVERIFY(ParseConnectionString("Data Source=" + QuoteConnectionValue(value) + ";X=1",
                                          items, error));
            QCOMPARE(items[0].value, value);
        }
    }

    void malformedTextsAreNamed_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("fault");
        QTest::newRow("no equals")
                << QByteArray("Provider=SQLite;Data Source") << QStringLiteral("Data Source");
        QTest::newRow("no key") << QByteArray("=x") << gbkText("等号前面缺少关键字");
        QTest::newRow("open quote") << QByteArray("Password=\"abc;x") << QStringLiteral("Password");
        QTest::newRow("after quote") << QByteArray("Host='a'b") << QStringLiteral("Host");
    }

    void malformedTextsAreNamed()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, fault);
        std::vector<ConnectionStringItem> items;
        std::string error;
        QVERIFY(!ParseConnectionString(text.toStdString(), items, error));
        QVERIFY2(show(error).contains(fault), qPrintable(show(error)));
    }

    void passwordsAreMasked_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("masked");
        QTest::newRow("plain") << QByteArray("Provider=PostgreSQL;User ID=u;Password=s3cret;Port=1")
                               << QByteArray("Provider=PostgreSQL;User ID=u;Password=***;Port=1");
        QTest::newRow("pwd, case")
                << QByteArray("pwd = a b ;PASSWORD=x") << QByteArray("pwd = *** ;PASSWORD=***");
        QTest::newRow("quoted with separators")
                << QByteArray("Password=\"a;b=\"\"c\";Host=h") << QByteArray("Password=***;Host=h");
        QTest::newRow("unterminated")
                << QByteArray("Host=h;Password='abc;def") << QByteArray("Host=h;Password=***");
        QTest::newRow("empty") << QByteArray("Password=;Host=h")
                               << QByteArray("Password=***;Host=h");
        QTest::newRow("after a fault")
                << QByteArray("Password=x;Host") << QByteArray("Password=***;Host");
        QTest::newRow("none") << QByteArray("Provider=SQLite;Data Source=pw.db")
                              << QByteArray("Provider=SQLite;Data Source=pw.db");
    }

    void passwordsAreMasked()
    {
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, masked);
        QCOMPARE(MaskConnectionPassword(text.toStdString()), masked.toStdString());
    }

    void endpoints()
    {
        DbEndpoint sqlite;
        DbError error;
        QVERIFY(ParseDbEndpoint("provider=sqlite;DATA SOURCE=|x|.db", sqlite, error));
        QCOMPARE(sqlite.engine, DbEngine::SQLite);
        QCOMPARE(sqlite.dataSource, std::string("|x|.db"));

        DbEndpoint pg;
        QVERIFY(ParseDbEndpoint("Provider=PostgreSQL;Server=/run/pg;Port=5433;Database=lumora;"
                                "UID=reader;Pwd=p;SslMode=Require",
                                pg, error));
        QCOMPARE(pg.engine, DbEngine::PostgreSQL);
        QCOMPARE(pg.host, std::string("/run/pg"));
        QCOMPARE(pg.port, 5433);
        QCOMPARE(pg.database, std::string("lumora"));
        QCOMPARE(pg.user, std::string("reader"));
        QVERIFY(pg.hasPassword);
        QCOMPARE(pg.password, std::string("p"));

        DbEndpoint bare;
        QVERIFY(ParseDbEndpoint("Provider=PostgreSQL", bare, error));
        QVERIFY(!bare.hasPassword); // libpq's ~/.pgpass and PG* variables then apply
        QCOMPARE(bare.port, 0);
    }

    void badEndpoints_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<uint>("native");
        QTest::addColumn<QString>("named");
        QTest::newRow("empty") << QByteArray("") << uint(LayerError::BadConnectionString)
                               << QStringLiteral("Provider");
        QTest::newRow("provider") << QByteArray("Provider=Oracle;Data Source=x")
                                  << uint(LayerError::UnknownProvider) << QStringLiteral("Oracle");
        QTest::newRow("ado provider")
                << QByteArray("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=a.mdb")
                << uint(LayerError::UnknownProvider) << QStringLiteral("Microsoft.Jet.OLEDB.4.0");
        QTest::newRow("no file") << QByteArray("Provider=SQLite")
                                 << uint(LayerError::BadConnectionString)
                                 << QStringLiteral("Data Source");
        QTest::newRow("typo") << QByteArray("Provider=PostgreSQL;Databse=x")
                              << uint(LayerError::BadConnectionString) << QStringLiteral("Databse");
        QTest::newRow("sqlite host")
                << QByteArray("Provider=SQLite;Data Source=a;Host=h")
                << uint(LayerError::BadConnectionString) << QStringLiteral("Host");
        QTest::newRow("port") << QByteArray("Provider=PostgreSQL;Port=70000")
                              << uint(LayerError::BadConnectionString) << QStringLiteral("70000");
        QTest::newRow("port text")
                << QByteArray("Provider=PostgreSQL;Port=54x")
                << uint(LayerError::BadConnectionString) << QStringLiteral("54x");
        QTest::newRow("ssl mode") << QByteArray("Provider=PostgreSQL;SSL Mode=maybe")
                                  << uint(LayerError::BadConnectionString)
                                  << QStringLiteral("maybe");
    }

    void badEndpoints()
    {
        QFETCH(QByteArray, text);
        QFETCH(uint, native);
        QFETCH(QString, named);
        DbEndpoint endpoint;
        DbError error;
        QVERIFY(!ParseDbEndpoint(text.toStdString(), endpoint, error));
        QCOMPARE(EngineOfCode(error.code), DbEngine::Layer);
        QCOMPARE(NativeOfCode(error.code), native);
        QVERIFY2(show(error.description).contains(named), qPrintable(show(error.description)));
    }

private:
    static QString gbkText(const char *utf8) { return QString::fromUtf8(utf8); }
};

QUILLERY_REGISTER_TEST(TestConnectionString)
#include "tst_ConnectionString.moc"
