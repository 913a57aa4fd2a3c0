#include "TestRegistry.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

namespace {

const QString AppQuillery = QStringLiteral(QUILLERY_APP_DIR "/quillery");
const std::string HtmlPrefix = "https://www.lumora.example/expert/buildtopic1.asp?id=";

struct Run
{
    int status = -1;
    QByteArray out;
    QByteArray err;
    QString outText() const { return QString::fromUtf8(out); }
    QString errText() const { return QString::fromUtf8(err); }
};

QProcessEnvironment utf8Environment()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("LC_ALL"));
    env.remove(QStringLiteral("LC_CTYPE"));
    env.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
    return env;
}

Run start(const QString &program, const QStringList &arguments,
          const QProcessEnvironment &env = utf8Environment())
{
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(program, arguments);
    Run run;
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        return run;
    run.status = process.exitCode();
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}

Run quillery(const QStringList &arguments)
{
    return start(AppQuillery, arguments);
}

QString u(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

} // namespace

class TestUrlsCommand : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        dir_ = std::make_unique<TempAppDir>();
        out_ = dir_->qtPath() + QStringLiteral("/out.lst");
    }
    void cleanup() { dir_.reset(); }

    void help()
    {
        const Run urls = quillery({QStringLiteral("urls"), QStringLiteral("--help")});
        QCOMPARE(urls.status, 0);
        QVERIFY(urls.outText().startsWith(u("用法: quillery urls [选项]")));
        QVERIFY(urls.outText().contains(u("html: ") + QString::fromStdString(HtmlPrefix)
                                        + QStringLiteral("|ID|")));
        QVERIFY(urls.outText().contains(
                u("xml:  https://www.lumora.example/Expert/topic/|ID4|/|ID|.xml")));
        QVERIFY(urls.outText().contains(QStringLiteral(QUILLERY_APP_DIR "/DownList.lst")));
        QVERIFY(urls.err.isEmpty());

        QCOMPARE(quillery({QStringLiteral("help"), QStringLiteral("urls")}).out, urls.out);
        const Run general = quillery({QStringLiteral("--help")});
        QCOMPARE(general.status, 0);
        QVERIFY(general.outText().contains(QStringLiteral("  urls ")));
        const Run none = quillery({});
        QCOMPARE(none.status, 2);
        QVERIFY(none.errText().contains(u("用法: quillery <子命令>")));
    }

    void usageErrors_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message");
        const QString urls = QStringLiteral("urls");
        QTest::newRow("unknown subcommand")
                << QStringList {QStringLiteral("frob")} << u("未知的子命令 “frob”");
        QTest::newRow("unknown option")
                << QStringList {urls, QStringLiteral("--bogus")} << u("未知的选项 “--bogus”");
        QTest::newRow("missing value")
                << QStringList {urls, QStringLiteral("--last")} << u("选项 “--last” 需要一个值");
        QTest::newRow("unknown format")
                << QStringList {urls, QStringLiteral("-f"), QStringLiteral("rss")}
                << u("未知的行格式 “rss”");
        QTest::newRow("not a number")
                << QStringList {urls, QStringLiteral("--first"), QStringLiteral("abc")}
                << u("--first: 请键入一个整数。");
    }

    void usageErrors()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        // The output first: "--last" without a value must end the line.
        const Run run = quillery(arguments.mid(0, 1) + QStringList {QStringLiteral("-o"), out_}
                                 + arguments.mid(1));
        QCOMPARE(run.status, 2);
        QVERIFY2(run.errText().contains(message), qPrintable(run.errText()));
        QVERIFY(run.errText().contains(QStringLiteral("--help")));
        QVERIFY(run.out.isEmpty());
        QVERIFY(!QFileInfo::exists(out_));
    }

    void htmlRun()
    {
        const Run run = quillery({QStringLiteral("urls"), QStringLiteral("--last"),
                                  QStringLiteral("3"), QStringLiteral("-o"), out_});
        QCOMPARE(run.status, 0);
        QCOMPARE(run.outText(), u("2003年以前的htm帖子生成完成(共3个)\n"));
        QVERIFY(run.err.isEmpty());
        QCOMPARE(readBytes(out_),
                 HtmlPrefix + "1\r\n" + HtmlPrefix + "2\r\n" + HtmlPrefix + "3\r\n");
    }

    void xmlRun()
    {
        const Run run = quillery({QStringLiteral("urls"), QStringLiteral("--format=xml"),
                                  QStringLiteral("--first=1317999"), QStringLiteral("--last"),
                                  QStringLiteral("1318001"), QStringLiteral("--output=") + out_});
        QCOMPARE(run.status, 0);
        QCOMPARE(run.outText(), u("2003年及以后的xml帖子产生完毕,共3个\n"));
        const std::string base = "https://www.lumora.example/Expert/topic/";
        QCOMPARE(readBytes(out_),
                 base + "1317/1317999.xml\r\n" + base + "1317/1318000.xml\r\n" + base
                         + "1318/1318001.xml\r\n");
    }

    void formatNamesAndDefaultRanges_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("result");
        QTest::addColumn<QByteArray>("firstLine");
        const QString html = u("2003年以前的htm帖子生成完成(共10000个)\n");
        const QString xml = u("2003年及以后的xml帖子产生完毕,共10000个\n");
        const QByteArray htmlLine = QByteArray::fromStdString(HtmlPrefix + "1\r\n");
        const QByteArray xmlLine("https://www.lumora.example/Expert/topic/1317/1317807.xml\r\n");
        QTest::newRow("0") << QStringLiteral("0") << html << htmlLine;
        QTest::newRow("HTML") << QStringLiteral("HTML") << html << htmlLine;
        QTest::newRow("1") << QStringLiteral("1") << xml << xmlLine;
        QTest::newRow("xml") << QStringLiteral("xml") << xml << xmlLine;
    }

    void formatNamesAndDefaultRanges()
    {
        QFETCH(QString, format);
        QFETCH(QString, result);
        QFETCH(QByteArray, firstLine);
        const Run run = quillery(
                {QStringLiteral("urls"), QStringLiteral("-f"), format, QStringLiteral("-o"), out_});
        QCOMPARE(run.status, 0);
        QCOMPARE(run.outText(), result);
        QVERIFY(QByteArray::fromStdString(readBytes(out_)).startsWith(firstLine));
    }

    void refusedRangesLeaveTheOldList_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message");
        QTest::newRow("html past 1317806")
                << QStringList {QStringLiteral("--last"), QStringLiteral("1317807")}
                << u("HTM文件的帖子ID的结束值必须小于1317806");
        QTest::newRow("int max") << QStringList {QStringLiteral("--last"),
                                                 QStringLiteral("2147483647")}
                                 << u("--last: “请填入一个在1和2147483646之间的整数。”");
    }

    void refusedRangesLeaveTheOldList()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        writeBytes(out_, "old list\r\n");
        const Run run = quillery(QStringList {QStringLiteral("urls"), QStringLiteral("-o"), out_}
                                 + arguments);
        QCOMPARE(run.status, 1);
        QCOMPARE(run.errText(), QStringLiteral("quillery urls: ") + message + u'\n');
        QVERIFY(run.out.isEmpty());
        QCOMPARE(readBytes(out_), std::string("old list\r\n"));
    }

    void unwritableOutput()
    {
        const QString path = dir_->qtPath() + QStringLiteral("/missing/out.lst");
        const Run run = quillery({QStringLiteral("urls"), QStringLiteral("-o"), path});
        QCOMPARE(run.status, 1);
        QVERIFY2(run.errText().contains(u("无法创建帖子列表文件:\n") + path),
                 qPrintable(run.errText()));
        QVERIFY(run.out.isEmpty());
        const Run directory =
                quillery({QStringLiteral("urls"), QStringLiteral("-o"), dir_->qtPath()});
        QCOMPARE(directory.status, 1);
        if (QFileInfo::exists(QStringLiteral("/dev/full"))) {
            const Run full = quillery(
                    {QStringLiteral("urls"), QStringLiteral("-o"), QStringLiteral("/dev/full")});
            QCOMPARE(full.status, 1);
            QVERIFY2(full.errText().contains(u("写入帖子列表文件时出错")),
                     qPrintable(full.errText()));
            QVERIFY(full.out.isEmpty());
        }
    }

    void programFolderGivesDefaultsAndServer()
    {
        const QString program = copyQuillery();
        dir_->write("Configs/Garnet.ini", "[Server]\nBaseUrl=http://mirror.example:8080\n");
        const Run run = start(program, {QStringLiteral("urls"), QStringLiteral("--last=2")});
        QCOMPARE(run.status, 0);
        QVERIFY(run.err.isEmpty());
        const std::string prefix = "http://mirror.example:8080/expert/buildtopic1.asp?id=";
        QCOMPARE(dir_->read("DownList.lst"), prefix + "1\r\n" + prefix + "2\r\n");
    }

    void badServerSettingWarnsAndGoesOn()
    {
        const QString program = copyQuillery();
        dir_->write("Configs/Garnet.ini", "[Server]\nBaseUrl=www.mirror.example\n");
        const Run run = start(program, {QStringLiteral("urls"), QStringLiteral("--last=1")});
        QCOMPARE(run.status, 0);
        QVERIFY2(run.errText().startsWith(u("quillery urls: 警告: 服务器设置文件")),
                 qPrintable(run.errText()));
        QVERIFY(run.errText().contains(QStringLiteral("www.mirror.example")));
        QCOMPARE(dir_->read("DownList.lst"), HtmlPrefix + "1\r\n");
    }

    void gbkTerminal()
    {
        // zh_CN.GBK need not be installed: its name tells the terminal's code set.
        QProcessEnvironment env = utf8Environment();
        env.insert(QStringLiteral("LC_ALL"), QStringLiteral("zh_CN.GBK"));
        env.insert(QStringLiteral("QUILLERY"), AppQuillery);
        env.insert(QStringLiteral("OUT"), out_);
        // The template arrives as GBK bytes: "中" is D6 D0.
        const Run run = start(QStringLiteral("/bin/sh"),
                              {QStringLiteral("-c"),
                               QStringLiteral("exec \"$QUILLERY\" urls --last 2 -o \"$OUT\" "
                                              "-t \"$(printf '\\326\\320')|ID|\"")},
                              env);
        QCOMPARE(run.status, 0);
        QCOMPARE(run.out.toStdString(), gbk("2003年以前的htm帖子生成完成(共2个)\n"));
        QCOMPARE(readBytes(out_), gbk("中") + "1\r\n" + gbk("中") + "2\r\n");

        const Run refused =
                start(AppQuillery, {QStringLiteral("urls"), QStringLiteral("--last=0")}, env);
        QCOMPARE(refused.status, 1);
        QCOMPARE(refused.err.toStdString(),
                 "quillery urls: --last: " + gbk("“请填入一个在1和2147483646之间的整数。”") + "\n");
    }

private:
    // A copy of quillery whose program folder is the temporary folder.
    QString copyQuillery() const
    {
        const QString copy = dir_->qtPath() + QStringLiteral("/quillery");
        if (!QFile::copy(AppQuillery, copy))
            return QString();
        QFile::setPermissions(copy, QFile::permissions(AppQuillery));
        return copy;
    }

    std::unique_ptr<TempAppDir> dir_;
    QString out_;
};

QUILLERY_REGISTER_TEST(TestUrlsCommand)
#include "tst_UrlsCommand.moc"
