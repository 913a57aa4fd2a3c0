#include "TestRegistry.h"
#include "TestSupport.h"

#include "urllist/UrlListGeneration.h"
#include "urllist/UrlTemplateTable.h"

#include <QFileInfo>

namespace {
const std::string Server = "https://www.lumora.example";
const std::string HtmlPrefix = Server + "/expert/buildtopic1.asp?id=";
} // namespace

class TestUrlListGeneration : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        dir_ = std::make_unique<TempAppDir>();
        table_ = BuildUrlTemplateTable(Server);
    }
    void cleanup() { dir_.reset(); }

    void barInServerStaysLiteral()
    {
        const auto odd = BuildUrlTemplateTable("http://a|b");
        QCOMPARE(generate(odd[HtmlFormat].lineTemplate, HtmlFormat, 5, 5).outcome,
                 UrlListOutcome::Written);
        QCOMPARE(list(), std::string("http://a|b/expert/buildtopic1.asp?id=5\r\n"));
    }

    void htmlFirstThree()
    {
        const UrlListResult result = generate(table_[HtmlFormat].lineTemplate, HtmlFormat, 1, 3);
        QCOMPARE(result.outcome, UrlListOutcome::Written);
        QCOMPARE(list(), HtmlPrefix + "1\r\n" + HtmlPrefix + "2\r\n" + HtmlPrefix + "3\r\n");
        QCOMPARE(show(result.text), QString::fromUtf8("2003年以前的htm帖子生成完成(共3个)"));
        QCOMPARE(result.linesWritten, 3);
    }

    void xmlGroupsAroundAThousand()
    {
        const UrlListResult result =
                generate(table_[XmlFormat].lineTemplate, XmlFormat, 1317999, 1318001);
        QCOMPARE(result.outcome, UrlListOutcome::Written);
        const std::string base = Server + "/Expert/topic/";
        QCOMPARE(list(),
                 base + "1317/1317999.xml\r\n" + base + "1317/1318000.xml\r\n" + base
                         + "1318/1318001.xml\r\n");
        QCOMPARE(show(result.text), QString::fromUtf8("2003年及以后的xml帖子产生完毕,共3个"));
    }

    void boundaries_data()
    {
        QTest::addColumn<int>("format");
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("last");
        QTest::addColumn<QString>("rejection"); // empty: accepted
        const QString html = QString::fromUtf8("HTM文件的帖子ID的结束值必须小于1317806");
        const QString xml = QString::fromUtf8("XML文件的的帖子ID的开始值必须大于1317806");
        QTest::newRow("html last 1317806") << HtmlFormat << 1317805 << 1317806 << QString();
        QTest::newRow("html last 1317807") << HtmlFormat << 1317805 << 1317807 << html;
        QTest::newRow("html first 1317807") << HtmlFormat << 1317807 << 1317807 << html;
        QTest::newRow("xml first 1317807") << XmlFormat << 1317807 << 1317808 << QString();
        QTest::newRow("xml first 1317806") << XmlFormat << 1317806 << 1317808 << xml;
        QTest::newRow("xml last 1317806") << XmlFormat << 1317806 << 1317806 << xml;
        QTest::newRow("reversed") << HtmlFormat << 3 << 2
                                  << QString::fromUtf8("开始值必须比结束值小");
        // The selection decides, not what the template looks like.
        QTest::newRow("xml range on the html item") << HtmlFormat << 1317807 << 1317810 << html;
    }

    void boundaries()
    {
        QFETCH(int, format);
        QFETCH(int, first);
        QFETCH(int, last);
        QFETCH(QString, rejection);
        const UrlListResult result =
                generate(table_[std::size_t(format)].lineTemplate, format, first, last);
        if (rejection.isEmpty()) {
            QCOMPARE(result.outcome, UrlListOutcome::Written);
            QCOMPARE(result.linesWritten, last - first + 1);
        } else {
            QVERIFY(result.outcome == UrlListOutcome::RangeRejected
                    || result.outcome == UrlListOutcome::RangeReversed);
            QCOMPARE(show(result.text), rejection);
            QCOMPARE(result.linesWritten, 0);
            // Checked before the file is touched: none is created.
            QVERIFY(!QFileInfo::exists(dir_->qtPath() + QStringLiteral("/out.lst")));
        }
    }

    void rejectedRangeLeavesTheOldList()
    {
        dir_->write("out.lst", "old list\r\n");
        QCOMPARE(generate(table_[HtmlFormat].lineTemplate, HtmlFormat, 5, 4).outcome,
                 UrlListOutcome::RangeReversed);
        QCOMPARE(generate(table_[HtmlFormat].lineTemplate, HtmlFormat, 1, 1317807).outcome,
                 UrlListOutcome::RangeRejected);
        QCOMPARE(generate(table_[XmlFormat].lineTemplate, XmlFormat, 1317806, 1317900).outcome,
                 UrlListOutcome::RangeRejected);
        QCOMPARE(list(), std::string("old list\r\n"));

        // A run that goes ahead empties the file first.
        dir_->write("out.lst", std::string(500, 'x'));
        QCOMPARE(generate("|ID|", HtmlFormat, 7, 7).outcome, UrlListOutcome::Written);
        QCOMPARE(list(), std::string("7\r\n"));
    }

    void missingOutputFolder()
    {
        QCOMPARE(MissingOutputFolder(dir_->file("out.lst")), std::string());
        QCOMPARE(MissingOutputFolder(dir_->file(gbk("新\\列表\\out.lst"))),
                 dir_->file(gbk("新/列表")));
        QCOMPARE(MissingOutputFolder("out.lst"), std::string());
        QCOMPARE(MissingOutputFolder("/out.lst"), std::string());
        QCOMPARE(CheckUrlListRange({HtmlFormat, "", 1, 3, ""}).outcome, UrlListOutcome::Written);
        QCOMPARE(CheckUrlListRange({HtmlFormat, "", 3, 1, ""}).outcome,
                 UrlListOutcome::RangeReversed);
    }

    void lineForms_data()
    {
        QTest::addColumn<QByteArray>("lineTemplate");
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("last");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("one ID") << QByteArray("|ID|") << 42 << 42 << QByteArray("42\r\n");
        QTest::newRow("CR CR LF CR LF") << QByteArray("|ID||NEWLINE||ENTER|") << 1 << 2
                                        << QByteArray("1\r\r\n\r\n2\r\r\n\r\n");
        QTest::newRow("unclosed placeholder dropped")
                << QByteArray("a|ID|b|ID") << 8 << 9 << QByteArray("a8b\r\na9b\r\n");
        QTest::newRow("no ID: the same line")
                << QByteArray("x||y") << 1 << 2 << QByteArray("x|y\r\nx|y\r\n");
        QTest::newRow("unknown dropped")
                << QByteArray("|TAB||id||ID|") << 3 << 3 << QByteArray("3\r\n");
        QTest::newRow("GBK bytes unchanged") << QByteArray::fromStdString(gbk("帖子|ID|")) << 1 << 1
                                             << QByteArray::fromStdString(gbk("帖子") + "1\r\n");
        QTest::newRow("the largest IDs end the loop")
                << QByteArray("|ID4|/|ID|") << 2147483645 << 2147483646
                << QByteArray("2147/2147483645\r\n2147/2147483646\r\n");
    }

    void lineForms()
    {
        QFETCH(QByteArray, lineTemplate);
        QFETCH(int, first);
        QFETCH(int, last);
        QFETCH(QByteArray, expected);
        const int format = first >= FirstXmlPostId ? XmlFormat : HtmlFormat;
        QCOMPARE(generate(lineTemplate.toStdString(), format, first, last).outcome,
                 UrlListOutcome::Written);
        QCOMPARE(QByteArray::fromStdString(list()), expected);
    }

    void appPathAndEmptyLines()
    {
        QCOMPARE(generate("|APP_PATH|Configs", HtmlFormat, 1, 1).outcome, UrlListOutcome::Written);
        QCOMPARE(list(), dir_->path() + "/Configs\r\n");

        // A line that expands to nothing writes nothing, not even a line end; the html
        // count is of lines written, the xml count of the range.
        UrlListResult result = generate("|X|", HtmlFormat, 1, 5);
        QCOMPARE(list(), std::string());
        QCOMPARE(show(result.text), QString::fromUtf8("2003年以前的htm帖子生成完成(共0个)"));
        result = generate("|X|", XmlFormat, 1317807, 1317811);
        QCOMPARE(show(result.text), QString::fromUtf8("2003年及以后的xml帖子产生完毕,共5个"));
    }

    void unwritableOutput_data()
    {
        QTest::addColumn<QString>("relative");
        QTest::newRow("missing folder") << QStringLiteral("missing/out.lst");
        QTest::newRow("a directory") << QStringLiteral("Configs");
    }

    void unwritableOutput()
    {
        QFETCH(QString, relative);
        const std::string path = dir_->path() + "/" + relative.toStdString();
        UrlListRequest request {HtmlFormat, "|ID|", 1, 3, path};
        const UrlListResult result = GenerateUrlListFile(table_, request);
        QCOMPARE(result.outcome, UrlListOutcome::CannotCreate);
        const QString text = show(result.text);
        QVERIFY2(text.startsWith(QString::fromUtf8("无法创建帖子列表文件:\n")), qPrintable(text));
        QVERIFY2(text.contains(show(path)), qPrintable(text));
        QVERIFY2(text.contains(QString::fromUtf8("原因: ")), qPrintable(text));
        QVERIFY(!text.contains(QString::fromUtf8("完成")));
    }

    void fullDiskIsReported()
    {
        if (!QFileInfo::exists(QStringLiteral("/dev/full")))
            QSKIP("no /dev/full");
        // Enough lines to pass the write buffer, so the failure comes from the loop.
        UrlListRequest request {HtmlFormat, table_[HtmlFormat].lineTemplate, 1, 20000, "/dev/full"};
        const UrlListResult result = GenerateUrlListFile(table_, request);
        QCOMPARE(result.outcome, UrlListOutcome::CannotWrite);
        QVERIFY(result.linesWritten < 20000);
        const QString text = show(result.text);
        QVERIFY2(text.startsWith(QString::fromUtf8(
                         "写入帖子列表文件时出错,列表不完整:\n/dev/full\n原因: ")),
                 qPrintable(text));
        // A short list fails only when the file is closed.
        request.lastId = 2;
        QCOMPARE(GenerateUrlListFile(table_, request).outcome, UrlListOutcome::CannotWrite);
    }

    void idsOutsideTheRangeAreRefused()
    {
        const QString prompt = QString::fromUtf8("“请填入一个在1和2147483646之间的整数。”");
        UrlListResult result = generate("|ID|", HtmlFormat, 0, 3);
        QCOMPARE(result.outcome, UrlListOutcome::InvalidId);
        QCOMPARE(show(result.text), prompt);
        result = generate("|ID|", XmlFormat, 2147483646, 2147483647);
        QCOMPARE(result.outcome, UrlListOutcome::InvalidId);
        QVERIFY(!QFileInfo::exists(dir_->qtPath() + QStringLiteral("/out.lst")));
    }

    void parsePostId_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("check");
        QTest::addColumn<int>("id");
        const int valid = int(PostIdCheck::Valid);
        const int notInteger = int(PostIdCheck::NotInteger);
        const int outOfRange = int(PostIdCheck::OutOfRange);
        QTest::newRow("1") << QByteArray("1") << valid << 1;
        QTest::newRow("largest") << QByteArray("2147483646") << valid << 2147483646;
        QTest::newRow("blanks and plus") << QByteArray(" +12 ") << valid << 12;
        QTest::newRow("empty") << QByteArray("") << notInteger << 0;
        QTest::newRow("sign alone") << QByteArray("-") << notInteger << 0;
        QTest::newRow("trailing letter") << QByteArray("12a") << notInteger << 0;
        QTest::newRow("zero") << QByteArray("0") << outOfRange << 0;
        QTest::newRow("int max") << QByteArray("2147483647") << outOfRange << 0;
        QTest::newRow("far too many digits")
                << QByteArray("99999999999999999999999") << outOfRange << 0;
    }

    void parsePostId()
    {
        QFETCH(QByteArray, text);
        QFETCH(int, check);
        QFETCH(int, id);
        std::int32_t parsed = 0;
        QCOMPARE(int(ParsePostId(text.toStdString(), parsed)), check);
        QCOMPARE(int(parsed), id);
    }

private:
    UrlListResult generate(const std::string &lineTemplate, int format, std::int32_t first,
                           std::int32_t last)
    {
        return GenerateUrlListFile(table_,
                                   {format, lineTemplate, first, last, dir_->file("out.lst")});
    }
    std::string list() const { return dir_->read("out.lst"); }

    std::unique_ptr<TempAppDir> dir_;
    UrlTemplateTable table_;
};

QUILLERY_REGISTER_TEST(TestUrlListGeneration)
#include "tst_UrlListGeneration.moc"
