#include "TestRegistry.h"
#include "TestSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {

const QString AppQuillery = QStringLiteral(QUILLERY_APP_DIR "/quillery");

struct Result
{
    int status = -1;
    QString out;
    QString err;
};

QProcessEnvironment utf8Environment()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("LC_ALL"));
    env.remove(QStringLiteral("LC_CTYPE"));
    env.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
    return env;
}

Result classify(const QStringList &arguments)
{
    QProcess process;
    process.setProcessEnvironment(utf8Environment());
    process.start(AppQuillery, QStringList {QStringLiteral("classify")} + arguments);
    Result result;
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        return result;
    result.status = process.exitCode();
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

QString u(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

} // namespace

class TestClassifyCommand : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        dir_ = std::make_unique<TempAppDir>();
        in_ = dir_->qtPath() + QStringLiteral("/in");
        out_ = dir_->qtPath() + QStringLiteral("/out");
    }
    void cleanup() { dir_.reset(); }

    void help()
    {
        const Result run = classify({QStringLiteral("--help")});
        QCOMPARE(run.status, 0);
        QVERIFY(run.out.startsWith(u("用法: quillery classify [选项]")));
        QVERIFY(run.out.contains(QStringLiteral(QUILLERY_APP_DIR "/Output/")));
        for (const char *option :
             {"--in", "--out", "--pattern", "--roomname-start", "--roomname-end", "--roomid-start",
              "--roomid-end", "--folders", "--names", "--start", "--copy", "--move",
              "--extract-conversion"})
            QVERIFY2(run.out.contains(QString::fromLatin1(option)), option);
    }

    void sortsByRoomAndPrintsTheSummary()
    {
        dir_->write("in/a.htm", gbk("<roomname>大厅</roomname>"));
        dir_->write("in/b.htm", gbk("<roomname>大厅</roomname>"));
        dir_->write("in/c.htm", "no room");
        const Result run = classify({QStringLiteral("--in"), in_, QStringLiteral("--out=") + out_,
                                     QStringLiteral("--folders"), QStringLiteral("sequence"),
                                     QStringLiteral("--names"), QStringLiteral("sequence"),
                                     QStringLiteral("--start"), QStringLiteral("7"),
                                     QStringLiteral("--move")});
        QCOMPARE(run.status, 1); // one file was left out
        QCOMPARE(run.out,
                 u("文件[c.htm]中没有找到相应的roomname,忽略\n"
                   "转换完成,总个数=3,成功的个数=2\n"));
        QVERIFY(run.err.isEmpty()); // no progress away from a terminal
        QVERIFY(QFile::exists(out_ + QStringLiteral("/100/7.htm")));
        QVERIFY(QFile::exists(out_ + QStringLiteral("/100/8.htm")));
        QVERIFY(!QFile::exists(in_ + QStringLiteral("/a.htm")));

        dir_->write("in/d.htm", "<RoomId>3</RoomId>");
        const Result again = classify({QStringLiteral("-i"), in_, QStringLiteral("-o"), out_,
                                       QStringLiteral("-p"), QStringLiteral("d.*")});
        QCOMPARE(again.status, 0);
        QVERIFY(QFile::exists(out_ + QStringLiteral("/3/d.htm")));
    }

    void extractsTheConversionFile()
    {
        dir_->write("in/1.xml", "<id>45</id><name>Web Design</name>");
        dir_->write("in/2.xml", "<id>66</id><name>Networks</name>");
        const QStringList arguments {QStringLiteral("--extract-conversion"),
                                     QStringLiteral("--in"),
                                     in_,
                                     QStringLiteral("--out"),
                                     out_,
                                     QStringLiteral("--pattern"),
                                     QStringLiteral("*.XML"),
                                     QStringLiteral("--roomname-start=<NAME>"),
                                     QStringLiteral("--roomname-end=</name>"),
                                     QStringLiteral("--roomid-start=<id>"),
                                     QStringLiteral("--roomid-end=</id>")};
        Result run = classify(arguments);
        QCOMPARE(run.status, 0);
        QCOMPARE(run.out, QString());
        QCOMPARE(dir_->read("out/RoomID-Name.txt"),
                 std::string("45<web design\r\n66<networks\r\n"));
        run = classify(arguments);
        QCOMPARE(run.out, u("发现原来的输出文:\n") + out_ + u("/RoomID-Name.txt 已删除\n"));
    }

    void wrongCommandLines()
    {
        for (const QStringList &arguments :
             {QStringList {QStringLiteral("--folders"), QStringLiteral("rooms")},
              QStringList {QStringLiteral("--names=x")},
              QStringList {QStringLiteral("--start"), QStringLiteral("-3")},
              QStringList {QStringLiteral("--start"), QStringLiteral("99999999999")},
              QStringList {QStringLiteral("--copy"), QStringLiteral("--move")},
              QStringList {QStringLiteral("extra")}}) {
            const Result run = classify(arguments);
            QCOMPARE(run.status, 2);
            QVERIFY2(run.err.startsWith(QStringLiteral("quillery classify: ")),
                     qPrintable(run.err));
            QVERIFY(run.out.isEmpty());
        }
    }

    void interruptStopsAfterTheCurrentFile()
    {
        const int files = 20000;
        for (int i = 0; i < files; ++i)
            writeBytes(in_ + QStringLiteral("/%1.htm").arg(i, 5, 10, QLatin1Char('0')), "x");
        QProcess process;
        process.setProcessEnvironment(utf8Environment());
        process.start(AppQuillery,
                      {QStringLiteral("classify"), QStringLiteral("--in"), in_,
                       QStringLiteral("--out"), out_, QStringLiteral("--folders"),
                       QStringLiteral("flat")});
        QVERIFY(process.waitForStarted());
        QElapsedTimer clock;
        clock.start();
        while (!QFile::exists(out_ + QStringLiteral("/00000.htm")) && clock.elapsed() < 20000)
            QTest::qWait(1);
        ::kill(pid_t(process.processId()), SIGINT);
        QVERIFY(process.waitForFinished(30000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 1);
        const QStringList lines =
                QString::fromUtf8(process.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 2);
        QCOMPARE(lines[0], u("已按要求停止,以下计数只含已处理的文件"));
        const qsizetype copied = QDir(out_).entryList(QDir::Files).size();
        QVERIFY2(copied < files, qPrintable(QString::number(copied)));
        QCOMPARE(lines[1], u("转换完成,总个数=%1,成功的个数=%1").arg(copied));
    }

    // A copy killed half-way leaves no half file under the target's name, and the next
    // run clears what is left and completes it: for a copy, and for a move between file
    // systems, which copies too.
    void killedMidCopyLeavesNoHalfFile_data()
    {
        QTest::addColumn<bool>("move");
        QTest::newRow("copy") << false;
        QTest::newRow("move between file systems") << true;
    }
    void killedMidCopyLeavesNoHalfFile()
    {
        QFETCH(bool, move);
        QString source = in_;
        QTemporaryDir shm(QStringLiteral("/dev/shm/quillery-XXXXXX"));
        if (move) {
            struct stat a, b;
            if (!shm.isValid() || ::stat("/dev/shm", &a) != 0
                || ::stat(QFile::encodeName(dir_->qtPath()).constData(), &b) != 0
                || a.st_dev == b.st_dev)
                QSKIP("needs /dev/shm on a file system of its own");
            source = shm.path() + QStringLiteral("/in");
        }
        const std::string post = "<RoomId>7</RoomId>" + std::string(std::size_t(4) << 20, 'x');
        writeBytes(source + QStringLiteral("/big.htm"), post);
        const QStringList arguments {QStringLiteral("classify"),
                                     QStringLiteral("--in"),
                                     source,
                                     QStringLiteral("--out"),
                                     out_,
                                     move ? QStringLiteral("--move") : QStringLiteral("--copy")};
        QProcess process;
        process.setProcessEnvironment(utf8Environment());
        // The kernel ends the program when a write passes 1 MB: a kill at a fixed point of
        // the copy, however fast the machine is.
        process.setChildProcessModifier([] {
            const struct rlimit size = {rlim_t(1) << 20, rlim_t(1) << 20};
            const struct rlimit core = {0, 0};
            ::setrlimit(RLIMIT_CORE, &core);
            ::setrlimit(RLIMIT_FSIZE, &size);
            ::signal(SIGXFSZ, SIG_DFL);
        });
        process.start(AppQuillery, arguments);
        QVERIFY(process.waitForFinished(60000));
        QCOMPARE(process.exitStatus(), QProcess::CrashExit);
        const QString target = out_ + QStringLiteral("/7/big.htm");
        QVERIFY2(!QFile::exists(target), qPrintable(QString::number(QFileInfo(target).size())));
        QCOMPARE(readBytes(source + QStringLiteral("/big.htm")), post);
        // At most an unfinished copy, under a name of its own.
        for (const QString &left :
             QDir(out_ + QStringLiteral("/7")).entryList(QDir::Files | QDir::Hidden))
            QVERIFY2(left.startsWith(QStringLiteral(".quillery-partial-")), qPrintable(left));

        const Result again = classify(arguments.mid(1));
        QCOMPARE(again.status, 0);
        QCOMPARE(again.out, u("转换完成,总个数=1,成功的个数=1\n"));
        QCOMPARE(readBytes(target), post);
        QCOMPARE(QDir(out_ + QStringLiteral("/7")).entryList(QDir::Files | QDir::Hidden),
                 QStringList {QStringLiteral("big.htm")});
        QCOMPARE(QFile::exists(source + QStringLiteral("/big.htm")), !move);
    }

    // A file whose buffer cannot be had in the address space is reported like any file
    // that cannot be read, and the run goes on.
    void fileBeyondTheAddressSpaceIsReported()
    {
#if defined(__SANITIZE_ADDRESS__)
        QSKIP("the sanitizer's allocator cannot run within a limit on the address space");
#endif
        dir_->write("in/1.htm", "<RoomId>7</RoomId>");
        // 2 GB in an address space of 1 GB.
        QFile huge(in_ + QStringLiteral("/2.htm"));
        QVERIFY(huge.open(QIODevice::WriteOnly) && huge.resize(qint64(2) << 30));
        huge.close();
        QProcess process;
        process.setProcessEnvironment(utf8Environment());
        process.setChildProcessModifier([] {
            const struct rlimit bound = {rlim_t(1) << 30, rlim_t(1) << 30};
            ::setrlimit(RLIMIT_AS, &bound);
        });
        process.start(AppQuillery,
                      {QStringLiteral("classify"), QStringLiteral("--in"), in_,
                       QStringLiteral("--out"), out_});
        QVERIFY(process.waitForFinished(60000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 1); // one file was left out
        const QStringList lines =
                QString::fromUtf8(process.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 2);
        QVERIFY2(lines[0].startsWith(u("无法读取文件[2.htm]:")), qPrintable(lines[0]));
        QCOMPARE(lines[1], u("转换完成,总个数=2,成功的个数=1"));
        QVERIFY(QFile::exists(out_ + QStringLiteral("/7/1.htm")));
    }

private:
    std::unique_ptr<TempAppDir> dir_;
    QString in_;
    QString out_;
};

QUILLERY_REGISTER_TEST(TestClassifyCommand)
#include "tst_ClassifyCommand.moc"
