// The import sheet under load (run it under Xvfb): imports generated post files through
// the real sheet while a timer on the user-interface thread measures how late it fires,
// compares the rate with `quillery import` on the same files, and measures how long
// "中止导入" takes in the middle of a run.
//   xvfb-run -a build/bench/bench_import_sheet [files=200000] [folders=100]

#include "BenchSupport.h"

#include "browser/db/EmbeddedDatabase.h"
#include "browser/import/CImportDataBase.h"
#include "browser/import/CImportDataExtern.h"
#include "browser/import/CImportDataList.h"
#include "browser/import/CImportDataSheet.h"
#include "browser/import/ImportRun.h"
#include "browser/rooms/RoomModel.h"
#include "common/AppDirectory.h"
#include "common/CMessageListBox.h"
#include "common/Codec.h"
#include "common/FileSystem.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int FirstRoom = 101;

std::string gbkText(const char *utf8)
{
    return Gbk::literal(utf8);
}

std::string makeConfig(const std::string &root, const std::string &database, int folders)
{
    std::string xml =
            gbkText("<?xml version=\"1.0\" encoding=\"GBK\"?>\n<配置>\n<数据库连接字符串>")
            + "Provider=SQLite;Data Source=" + database + gbkText("</数据库连接字符串>\n")
            + gbkText("<帖子类型 TABLE=\"post_bench\" ROOMID=\"1\">测试区");
    for (int f = 0; f < folders; ++f)
        xml += gbkText("<帖子类型 ROOMID=\"") + std::to_string(FirstRoom + f) + "\">"
                + gbkText("子类型") + std::to_string(f) + gbkText("</帖子类型>");
    xml += gbkText("<帖子属性范围>1 4294967295 ") + root + "/gen/|ROOMID|/|ID|.htm"
            + gbkText("</帖子属性范围></帖子类型>\n</配置>\n");
    return xml;
}

// About 4 KB of GBK page per post, with every field between markers.
void generate(const std::string &root, int files, int folders)
{
    const std::string filler =
            gbkText("<p>这是一段用来填充的正文内容。") + std::string(60, 'x') + "</p>\n";
    std::string body;
    while (body.size() < 3600)
        body += filler;
    for (int f = 0; f < folders; ++f)
        FileSystem::createDirectory(root + "/gen/" + std::to_string(FirstRoom + f));
    for (int i = 1; i <= files; ++i) {
        const int room = FirstRoom + i % folders;
        const std::string page = "<html><head><title>" + gbkText("帖子标题") + std::to_string(i)
                + "</title></head><body><roomid>" + std::to_string(room) + "</roomid><user>"
                + gbkText("用户") + std::to_string(i % 977) + "</user><reply>"
                + std::to_string(i % 50) + "</reply><time>2026-01-02 03:04:05</time>\n" + body
                + "</body></html>\n";
        FileSystem::writeWholeFile(
                root + "/gen/" + std::to_string(room) + "/" + std::to_string(i) + ".htm", page);
    }
}

void fillSheet(CImportDataSheet &sheet, const std::string &root)
{
    sheet.basePage()->SetImportFolder(root + "/gen/");
    sheet.basePage()->SetPathCheck(true);
    CImportDataList *list = sheet.listPage();
    list->tableField()->setText(QStringLiteral("post_bench"));
    list->checkTopicidBox()->setChecked(true);
    list->checkTitleBox()->setChecked(false);
    list->roomidRadio(0)->click();
    list->roomidStartField()->setPlainText(QStringLiteral("<roomid>"));
    list->roomidEndField()->setPlainText(QStringLiteral("</roomid>"));
    list->topicidRadio(0)->click();
    list->titleRadio(0)->click();
    list->titleStartField()->setPlainText(QStringLiteral("<title>"));
    list->titleEndField()->setPlainText(QStringLiteral("</title>"));
    CImportDataExtern *ext = sheet.externPage();
    const char *markers[3][2] = {
            {"<user>", "</user>"}, {"<reply>", "</reply>"}, {"<time>", "</time>"}};
    for (int i = 0; i < 3; ++i) {
        ext->SetOn(CImportDataExtern::Field(i), true);
        ext->startField(CImportDataExtern::Field(i))
                ->setPlainText(QString::fromUtf8(markers[i][0]));
        ext->endField(CImportDataExtern::Field(i))->setPlainText(QString::fromUtf8(markers[i][1]));
    }
}

struct SheetRun
{
    double seconds = 0;
    long inserted = 0;
    double p99 = 0, worst = 0;
    double abortMs = -1;
    QString lastLine, abortLine;
};

double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, std::size_t(p * double(values.size())))];
}

SheetRun runSheet(RoomModel &rooms, const std::string &root, const std::string &connection,
                  long abortAt)
{
    QMainWindow window;
    window.resize(800, 600);
    window.show();
    CImportDataSheet sheet(&window);
    sheet.SetImportSource(connection, &rooms);
    sheet.InitialiseSheet();
    fillSheet(sheet, root);
    sheet.show();
    QApplication::processEvents();

    // The user-interface thread's answer time: how late a 10 ms timer fires.
    std::vector<double> late;
    QElapsedTimer tick;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    probe.setInterval(10);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        late.push_back(std::max(0.0, double(tick.nsecsElapsed()) / 1e6 - 10.0));
        tick.restart();
    });

    SheetRun result;
    QElapsedTimer clock;
    clock.start();
    tick.start();
    probe.start();
    sheet.applyButton()->click();
    // The user-interface thread waits in its event loop, as it does in Kestrel.
    bool aborted = false;
    QEventLoop loop;
    QTimer watch;
    watch.setInterval(20);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (!sheet.HasWorker()) {
            loop.quit();
            return;
        }
        if (abortAt > 0 && !aborted && sheet.run().Progress().totalFiles.load() >= abortAt) {
            aborted = true;
            QElapsedTimer abortClock;
            abortClock.start();
            sheet.applyButton()->click();
            result.abortMs = double(abortClock.nsecsElapsed()) / 1e6;
            CMessageListBox *list = sheet.basePage()->messageList();
            for (int i = 0; i < list->count(); ++i) {
                const QString line = list->text(i);
                if (line.startsWith(QString::fromUtf8("中止线程"))
                    || line.startsWith(QString::fromUtf8("超时")))
                    result.abortLine = line;
            }
        }
    });
    watch.start();
    loop.exec();
    result.seconds = double(clock.nsecsElapsed()) / 1e9;
    probe.stop();
    QTimer::singleShot(300, &loop, &QEventLoop::quit);
    loop.exec();
    result.inserted = sheet.run().Progress().insertedFiles.load();
    CMessageListBox *list = sheet.basePage()->messageList();
    result.lastLine = list->count() > 0 ? list->text(list->count() - 1) : QString();
    result.p99 = percentile(late, 0.99);
    result.worst = late.empty() ? 0 : *std::max_element(late.begin(), late.end());
    return result;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const int files = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200000;
    const int folders = argc > 2 ? std::max(1, std::atoi(argv[2])) : 100;
    QTemporaryDir temp;
    const std::string root = FileSystem::fromQtPath(temp.path());
    SetAppDirectoryOverride(root);
    FileSystem::createDirectory(root + "/Configs");
    FileSystem::createDirectory(root + "/Data");
    FileSystem::createDirectory(root + "/gen");
    // The presets file the sheet loads: no presets, the pages are filled by hand.
    FileSystem::writeWholeFile(root + "/Configs/XmlListInfo.xml", "<?xml version=\"1.0\"?><r/>");

    Bench::Stopwatch made;
    generate(root, files, folders);
    std::printf("generated %d post files of about 4 KB in %d folders in %.1f s\n", files, folders,
                made.milliseconds() / 1000);

    const auto database = [&](const char *name) {
        const std::string path = root + "/Data/" + name;
        const std::string connection = "Provider=SQLite;Data Source=" + path;
        std::string why;
        if (EnsureEmbeddedDatabase(connection, {"post_bench"}, why) != 0)
            std::printf("database %s: %s\n", name, why.c_str());
        return connection;
    };
    const std::string cliConnection = database("cli.db");
    const std::string sheetConnection = database("sheet.db");
    const std::string abortConnection = database("abort.db");
    FileSystem::writeWholeFile(root + "/Configs/InitTree.xml",
                               makeConfig(root, root + "/Data/sheet.db", folders));
    RoomModel rooms;
    rooms.LoadTreeConfig(root + "/Configs/InitTree.xml");

    // `quillery import` with the same settings, into its own database.
    QProcess cli;
    cli.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    cli.setStandardOutputFile(QProcess::nullDevice());
    const QStringList arguments {QStringLiteral("import"),
                                 QStringLiteral("--config"),
                                 FileSystem::toQtPath(root + "/Configs/InitTree.xml"),
                                 QStringLiteral("--connection"),
                                 QString::fromStdString(cliConnection),
                                 QStringLiteral("--dir"),
                                 FileSystem::toQtPath(root + "/gen/"),
                                 QStringLiteral("--table"),
                                 QStringLiteral("post_bench"),
                                 QStringLiteral("--path-check"),
                                 QStringLiteral("--check-topicid"),
                                 QStringLiteral("--no-check-title"),
                                 QStringLiteral("--roomid-mode"),
                                 QStringLiteral("0"),
                                 QStringLiteral("--roomid-start"),
                                 QStringLiteral("<roomid>"),
                                 QStringLiteral("--roomid-end"),
                                 QStringLiteral("</roomid>"),
                                 QStringLiteral("--topicid-mode"),
                                 QStringLiteral("0"),
                                 QStringLiteral("--title-mode"),
                                 QStringLiteral("0"),
                                 QStringLiteral("--title-start"),
                                 QStringLiteral("<title>"),
                                 QStringLiteral("--title-end"),
                                 QStringLiteral("</title>"),
                                 QStringLiteral("--username-start"),
                                 QStringLiteral("<user>"),
                                 QStringLiteral("--username-end"),
                                 QStringLiteral("</user>"),
                                 QStringLiteral("--reply-start"),
                                 QStringLiteral("<reply>"),
                                 QStringLiteral("--reply-end"),
                                 QStringLiteral("</reply>"),
                                 QStringLiteral("--createtime-start"),
                                 QStringLiteral("<time>"),
                                 QStringLiteral("--createtime-end"),
                                 QStringLiteral("</time>")};
    // Run before and after the sheet, each into a fresh database; the faster one counts,
    // so that the sheet is compared with the command at its best.
    const auto runCli = [&](const std::string &connection) {
        QStringList withDatabase = arguments;
        withDatabase[4] = QString::fromStdString(connection);
        Bench::Stopwatch clock;
        cli.start(QStringLiteral(QUILLERY_APP_DIR "/quillery"), withDatabase);
        cli.waitForFinished(-1);
        if (cli.exitCode() != 0)
            std::printf("quillery import ended with status %d\n", cli.exitCode());
        return clock.milliseconds() / 1000;
    };
    const double cliFirst = runCli(cliConnection);
    const SheetRun sheet = runSheet(rooms, root, sheetConnection, 0);
    const SheetRun aborted = runSheet(rooms, root, abortConnection, files / 2);
    const double cliSecond = runCli(database("cli2.db"));
    const double cliSeconds = std::min(cliFirst, cliSecond);

    const double cliRate = files / cliSeconds;
    const double sheetRate = files / sheet.seconds;
    std::printf("\n%-34s %12s %12s\n", "", "quillery", "sheet");
    std::printf("%-34s %12.2f %12.2f\n", "import time (s)", cliSeconds, sheet.seconds);
    std::printf("%-34s %5.2f, %5.2f\n", "quillery runs before, after (s)", cliFirst, cliSecond);
    std::printf("%-34s %12.0f %12.0f\n", "files per second", cliRate, sheetRate);
    std::printf("%-34s %12s %11.1f%%\n", "sheet rate / quillery rate", "",
                100.0 * sheetRate / cliRate);
    std::printf("%-34s %12s %12.1f\n", "UI timer lateness p99 (ms)", "", sheet.p99);
    std::printf("%-34s %12s %12.1f\n", "UI timer lateness worst (ms)", "", sheet.worst);
    std::printf("%-34s %12s %12ld\n", "rows inserted by the sheet", "", sheet.inserted);
    std::printf("last line: %s\n", qPrintable(sheet.lastLine));
    std::printf("\nabort at %d of %d files: outcome line after %.1f ms (p99 lateness %.1f ms)\n",
                files / 2, files, aborted.abortMs, aborted.p99);
    std::printf("abort lines: %s / %s\n", qPrintable(aborted.abortLine),
                qPrintable(aborted.lastLine));
    return 0;
}
