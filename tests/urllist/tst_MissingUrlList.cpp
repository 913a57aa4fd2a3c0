#include "TestRegistry.h"
#include "TestSupport.h"

#include "browser/db/CAdoManager.h"
#include "browser/db/EmbeddedDatabase.h"
#include "common/Codec.h"
#include "urllist/MissingUrlList.h"
#include "urllist/UrlListWriter.h"
#include "urllist/UrlTemplateTable.h"

#include <QFile>

namespace {

const std::string Server = "https://www.lumora.example";

// Two top-level rooms with tables of their own, in the embedded archive of the folder.
const char *const Config = R"(<?xml version="1.0" encoding="GBK"?>
<r>
  <数据库连接字符串>Provider=SQLite;Data Source=|APP_PATH|\Data\Lumora.db</数据库连接字符串>
  <帖子类型 TABLE="TA" ROOMID="1">甲区</帖子类型>
  <帖子类型 TABLE="TB" ROOMID="2">乙区</帖子类型>
</r>
)";

// The lines of a list, without their CR LF.
std::vector<std::string> lines(const std::string &list)
{
    std::vector<std::string> result;
    for (std::size_t start = 0; start < list.size();) {
        const std::size_t end = list.find("\r\n", start);
        if (end == std::string::npos)
            break;
        result.push_back(list.substr(start, end - start));
        start = end + 2;
    }
    return result;
}

} // namespace

class TestMissingUrlList : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        dir_ = std::make_unique<TempAppDir>();
        table_ = BuildUrlTemplateTable(Server);
    }
    void cleanup() { dir_.reset(); }

    // Runs of IDs give the very lines a full list has for them.
    void writerWritesTheFullListsLines()
    {
        const std::string lineTemplate = table_[XmlFormat].lineTemplate + "|NEWLINE|x|ID-2|";
        UrlListRequest full;
        full.format = XmlFormat;
        full.lineTemplate = lineTemplate;
        full.firstId = 1317995;
        full.lastId = 1318003;
        full.outputPath = dir_->file("full.lst");
        QCOMPARE(GenerateUrlListFile(table_, full).outcome, UrlListOutcome::Written);
        const std::vector<std::string> all = lines(dir_->read("full.lst"));
        QCOMPARE(all.size(), std::size_t(9));

        UrlListWriter writer;
        UrlListResult result;
        QVERIFY(writer.Open(dir_->file("part.lst"), lineTemplate, result));
        QVERIFY(writer.WriteRun(1317995, 1317996, result));
        QVERIFY(writer.WriteRun(1318000, 1318000, result)); // N*1000 goes with the 999 below
        QVERIFY(writer.WriteRun(1318002, 1318003, result));
        // Outside what a list can hold: refused, nothing written for it.
        QVERIFY(!writer.WriteRun(0, 1, result));
        QCOMPARE(result.outcome, UrlListOutcome::InvalidId);
        QVERIFY(!writer.WriteRun(MaxPostId, std::int64_t(MaxPostId) + 1, result));
        QVERIFY(writer.Close(result));
        QCOMPARE(writer.IdsWritten(), 5);
        QCOMPARE(lines(dir_->read("part.lst")),
                 (std::vector<std::string> {all[0], all[1], all[5], all[7], all[8]}));
    }

    void onlyWhatTheArchiveLacks()
    {
        dir_->write("Configs/InitTree.xml", gbk(Config));
        const std::string config = dir_->file("Configs/InitTree.xml");
        QCOMPARE(DefaultArchiveConfigPath(), config);
        std::string why;
        const std::string connection =
                "Provider=SQLite;Data Source=" + dir_->file("Data/Lumora.db");
        QCOMPARE(EnsureEmbeddedDatabase(connection, {"TA", "TB"}, why), 0L);
        CAdoManager ado;
        QCOMPARE(ado.OpenAdoConnection(connection), 0L);
        for (const char *sql :
             {"INSERT INTO TA (topicid) VALUES (2)", "INSERT INTO TA (topicid) VALUES (3)",
              "INSERT INTO TB (topicid) VALUES (3)", "INSERT INTO TB (topicid) VALUES (6)"})
            QCOMPARE(ado.ExecuteSql(sql, CAdoManager::CommandText), 0L);
        ado.CloseAdoConnection();

        UrlListRequest request;
        request.lineTemplate = table_[HtmlFormat].lineTemplate;
        request.firstId = 1;
        request.lastId = 8;
        request.outputPath = dir_->file("DownList.lst");
        UrlListResult result = GenerateMissingUrlListFile(table_, request, config);
        QCOMPARE(result.outcome, UrlListOutcome::Written);
        QCOMPARE(result.leftOut, 3);
        QCOMPARE(show(result.text),
                 QString::fromUtf8("2003年以前的htm帖子生成完成(共5个),档案中已有的 3 个未列出"));
        const std::string prefix = Server + "/expert/buildtopic1.asp?id=";
        QCOMPARE(lines(dir_->read("DownList.lst")),
                 (std::vector<std::string> {prefix + "1", prefix + "4", prefix + "5", prefix + "7",
                                            prefix + "8"}));

        // Whatever cannot be asked leaves the earlier list as it was.
        const std::string before = dir_->read("DownList.lst");
        result = GenerateMissingUrlListFile(table_, request, dir_->file("Configs/None.xml"));
        QCOMPARE(result.outcome, UrlListOutcome::ArchiveFailed);
        QVERIFY(show(result.text).contains(QString::fromUtf8("无法读取档案的配置文件")));
        QVERIFY(QFile::remove(QString::fromStdString(dir_->file("Data/Lumora.db"))));
        result = GenerateMissingUrlListFile(table_, request, config);
        QCOMPARE(result.outcome, UrlListOutcome::ArchiveFailed);
        QVERIFY2(show(result.text).contains(QString::fromUtf8("列表文件没有改动")),
                 qPrintable(show(result.text)));
        request.lastId = 0;
        QCOMPARE(GenerateMissingUrlListFile(table_, request, config).outcome,
                 UrlListOutcome::InvalidId);
        QCOMPARE(dir_->read("DownList.lst"), before);
    }

private:
    std::unique_ptr<TempAppDir> dir_;
    UrlTemplateTable table_;
};

QUILLERY_REGISTER_TEST(TestMissingUrlList)
#include "tst_MissingUrlList.moc"
