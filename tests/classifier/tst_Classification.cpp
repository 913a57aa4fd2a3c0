#include "ClassifierFixture.h"
#include "TestRegistry.h"

#include "common/PlaceholderNotifier.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <fcntl.h>

#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
std::string summaryOf(long long files, long long done)
{
    return gbk("转换完成,总个数=") + std::to_string(files) + gbk(",成功的个数=")
            + std::to_string(done);
}
std::string copyFailed(const std::string &target)
{
    return gbk("Copy文件到{") + target + gbk("}发生错误可能文件已经存在");
}
std::string moveFailed(const std::string &target)
{
    return gbk("移动文件到{") + target + gbk("}发生错误可能文件已经存在");
}
// The line with the system's reason after it.
std::string because(const std::string &line, std::errc reason)
{
    return line + ": " + FileSystem::errorText(std::make_error_code(reason));
}

// File access on this thread without an administrator's rights, so that a file without
// read permission cannot be read also when the tests run as root.
class WithoutRootRights
{
public:
    WithoutRootRights()
    {
        if (::geteuid() == 0)
            ::setfsuid(65534);
    }
    ~WithoutRootRights()
    {
        if (::geteuid() == 0)
            ::setfsuid(0);
    }
    WithoutRootRights(const WithoutRootRights &) = delete;
    WithoutRootRights &operator=(const WithoutRootRights &) = delete;
};
} // namespace

class TestClassification : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void markersIgnoreLetterCase()
    {
        ClassifierFixture f;
        f.dir.write("in/a.htm", "<ROOMNAME>Web Design</roomName>");
        f.settings.roomNameStart = "<roomname>";
        f.settings.roomNameEnd = "</roomname>";
        f.settings.folderMethod = FolderMethod::Flat;
        f.settings.namingRule = NamingRule::ByRoomName;
        f.classify();
        QVERIFY(f.exists("out/web design"));
        QCOMPARE(f.summary(), summaryOf(1, 1));
    }

    void sequenceFoldersContinueInTheNextRun()
    {
        ClassifierFixture f;
        f.post("1.htm", "a");
        f.post("2.htm", "b");
        f.post("3.htm", "a");
        f.settings.folderMethod = FolderMethod::BySequence;
        f.classify();
        QVERIFY(f.exists("out/100/1.htm"));
        QVERIFY(f.exists("out/101/2.htm"));
        QVERIFY(f.exists("out/100/3.htm"));
        QCOMPARE(f.summary(), summaryOf(3, 3));

        // The same program run again: the names are forgotten, the counter is not.
        f.settings.inputDirectory = f.dir.path() + "/in2/";
        f.dir.write("in2/4.htm", "<roomname>a</roomname>");
        f.classify();
        QVERIFY(f.exists("out/102/4.htm"));
        QCOMPARE(f.classifier.folderCounter(), 103);
    }

    void conversionFileGivesRoomIds()
    {
        ClassifierFixture f;
        f.dir.write("RoomID-Name.txt", "45<a\r\n");
        f.post("1.htm", "a");
        f.post("2.htm", "b");
        f.settings.folderMethod = FolderMethod::ByConversionFile;
        f.classify();
        QVERIFY(f.exists("out/45/1.htm"));
        QVERIFY(f.exists("out/100/2.htm"));
    }

    void sequenceNamesKeepTheLastExtension()
    {
        ClassifierFixture f;
        for (const char *name : {"x.htm", "y", "z.tar.gz"})
            f.dir.write(std::string("in/") + name, "no markers");
        f.settings.pattern = "*";
        f.settings.folderMethod = FolderMethod::Flat;
        f.settings.namingRule = NamingRule::BySequence;
        f.classify();
        for (const char *name : {"out/10000.htm", "out/10001", "out/10002.gz"})
            QVERIFY2(f.exists(name), name);
        QCOMPARE(f.summary(), summaryOf(3, 3));
    }

    void countersPassTheThirtyTwoBitLimit()
    {
        ClassifierFixture f;
        f.post("a.htm", "r");
        f.post("b.htm", "r");
        f.settings.folderMethod = FolderMethod::Flat;
        f.settings.namingRule = NamingRule::BySequence;
        f.settings.fileSequenceStart = *ParseSequenceStart("2147483647");
        f.classify();
        QVERIFY(f.exists("out/2147483647.htm"));
        QVERIFY(f.exists("out/2147483648.htm"));
        QVERIFY(!ParseSequenceStart("2147483648"));
        QVERIFY(!ParseSequenceStart("-1"));
        QVERIFY(!ParseSequenceStart(""));
    }

    void roomNameNamesCollide()
    {
        ClassifierFixture f;
        f.post("1.htm", "r");
        f.post("2.htm", "r");
        f.settings.folderMethod = FolderMethod::Flat;
        f.settings.namingRule = NamingRule::ByRoomName;
        f.classify();
        QCOMPARE(f.dir.read("out/r"), f.dir.read("in/1.htm"));
        QCOMPARE(f.observer.messages,
                 (std::vector<std::string> {
                         because(copyFailed(f.dir.path() + "/out/r"), std::errc::file_exists),
                         summaryOf(2, 1)}));
    }

    void flatKeepNeedsNoMarkers()
    {
        ClassifierFixture f;
        f.dir.write("in/sub/plain.htm", "nothing here");
        f.settings.folderMethod = FolderMethod::Flat;
        f.classify();
        QVERIFY(f.exists("out/plain.htm"));
    }

    void missingMarkersSkipTheFile()
    {
        ClassifierFixture f;
        f.dir.write("in/reversed.htm", "</roomname>x<roomname>y");
        f.dir.write("in/noid.htm", "<roomname>y</roomname>");
        f.settings.folderMethod = FolderMethod::BySequence;
        f.classify();
        f.settings.folderMethod = FolderMethod::ByRoomId;
        f.settings.pattern = "noid.htm";
        f.classify();
        QCOMPARE(f.observer.messages,
                 (std::vector<std::string> {
                         gbk("文件[reversed.htm]中没有找到相应的roomname,忽略"), summaryOf(2, 1),
                         gbk("文件[noid.htm]中没有找到相应的roomid,忽略"), summaryOf(1, 0)}));
    }

    void missingInputEndsWithZeroCounts()
    {
        ClassifierFixture f;
        f.classify();
        QCOMPARE(f.observer.messages.size(), std::size_t(2)); // the unreadable directory
        QCOMPARE(f.summary(), summaryOf(0, 0));
        QVERIFY(f.exists("out")); // made before the walk
    }

    void walkOrderFilesBeforeSubdirectories()
    {
        ClassifierFixture f;
        f.post("b/1.htm", "r");
        f.post("z.htm", "r");
        f.post("a/c/2.htm", "r");
        f.post("a/3.HTM", "r");
        f.settings.folderMethod = FolderMethod::Flat;
        f.classify();
        const std::string in = f.dir.path() + "/in/";
        QCOMPARE(f.observer.sources,
                 (std::vector<std::string> {in + "z.htm", in + "a/3.HTM", in + "a/c/2.htm",
                                            in + "b/1.htm"}));
    }

    // --- mends ---

    void moveNeverReplacesATarget()
    {
        ClassifierFixture f;
        f.post("1.htm", "r", "7");
        f.dir.write("out/7/1.htm", "older");
        f.settings.transferMethod = TransferMethod::Move;
        f.classify();
        QCOMPARE(f.dir.read("out/7/1.htm"), std::string("older"));
        QVERIFY(f.exists("in/1.htm"));
        QCOMPARE(f.observer.messages.front(),
                 because(moveFailed(f.dir.path() + "/out/7/1.htm"), std::errc::file_exists));
    }

    void namesFromFilesStayInsideTheOutput()
    {
        ClassifierFixture f;
        f.post("1.htm", "r", "../x");
        f.post("2.htm", "r", "..");
        f.post("3.htm", "r", "");
        f.post("4.htm", "r", "a/b");
        f.post("5.htm", "r", "a\\b");
        // 淺 ends in the byte of "\": a name, not a separator.
        f.post("6.htm", "r", gbk("淺"));
        f.classify();
        QVERIFY(!QDir(f.dir.qtPath() + QStringLiteral("/x")).exists());
        QVERIFY(!f.exists("out/a"));
        QVERIFY(f.exists(gbk("out/淺/6.htm")));
        QCOMPARE(f.summary(), summaryOf(6, 1));
        const std::string out = f.dir.path() + "/out/";
        QCOMPARE(f.observer.messages[0],
                 because(copyFailed(out + "../x/1.htm"), std::errc::invalid_argument));

        ClassifierFixture g;
        g.post("1.htm", "..");
        g.post("2.htm", "/etc/passwd");
        g.settings.folderMethod = FolderMethod::Flat;
        g.settings.namingRule = NamingRule::ByRoomName;
        g.classify();
        QCOMPARE(g.summary(), summaryOf(2, 0));
    }

    void symlinkLoopsAreWalkedOnce()
    {
        ClassifierFixture f;
        f.post("sub/1.htm", "r");
        QVERIFY(QFile::link(f.dir.qtPath() + QStringLiteral("/in"),
                            f.dir.qtPath() + QStringLiteral("/in/sub/loop")));
        f.settings.folderMethod = FolderMethod::Flat;
        f.classify();
        QCOMPARE(f.summary(), summaryOf(1, 1));
    }

    void outputInsideInputIsNotClassifiedAgain()
    {
        for (const TransferMethod method : {TransferMethod::Copy, TransferMethod::Move}) {
            ClassifierFixture f;
            f.settings.outputDirectory = f.settings.inputDirectory + "Output/";
            f.post("1.htm", "r", "5");
            f.post("2.htm", "r", "5");
            f.dir.write("in/Output/9/old.htm", "<roomid>6</roomid>"); // was there before
            f.settings.transferMethod = method;
            f.classify();
            QCOMPARE(f.summary(), summaryOf(3, 3));
            QVERIFY(f.exists("in/Output/5/1.htm"));
            QVERIFY(f.exists("in/Output/6/old.htm"));
        }
    }

    void specialFilesAreNotRead()
    {
        ClassifierFixture f;
        f.post("1.htm", "r");
        const std::string fifo = FileSystem::toDiskPath(f.dir.path() + "/in/pipe.htm");
        QCOMPARE(::mkfifo(fifo.c_str(), 0600), 0);
        f.settings.folderMethod = FolderMethod::Flat;
        f.classify();
        QCOMPARE(f.observer.messages.front(), gbk("文件[pipe.htm]不是普通文件,忽略"));
        QCOMPARE(f.summary(), summaryOf(1, 1));
    }

    void lowerCasingKeepsDoubleByteCharacters()
    {
        ClassifierFixture f;
        // 丄 is 0x81 0x41: its trail byte is the letter A.
        f.post("1.htm", "r", gbk("丄Ab"));
        f.classify();
        QVERIFY(f.exists(gbk("out/丄ab/1.htm")));
    }

    void endMarkerIsSearchedAfterTheStart()
    {
        ClassifierFixture f;
        f.dir.write("in/1.htm", "<room name=\"Lounge\">");
        f.settings.roomNameStart = "name=\"";
        f.settings.roomNameEnd = "\"";
        f.settings.folderMethod = FolderMethod::BySequence;
        f.settings.namingRule = NamingRule::ByRoomName;
        f.classify();
        QVERIFY(f.exists("out/100/lounge"));
    }

    void stopsAfterTheCurrentFile()
    {
        ClassifierFixture f;
        for (int i = 0; i < 5; ++i)
            f.post(std::to_string(i) + ".htm", "r");
        f.settings.folderMethod = FolderMethod::Flat;
        f.observer.stopAfter = 2;
        f.classify();
        QCOMPARE(f.summary(), summaryOf(2, 2));
        QVERIFY(f.classifier.wasStopped());
    }

    void failedTransfersSayWhy()
    {
        ClassifierFixture f;
        const std::string longName(300, 'a');
        f.post("1.htm", longName);
        f.post("2.htm", "b");
        f.dir.write("out/b", "there");
        f.settings.folderMethod = FolderMethod::Flat;
        f.settings.namingRule = NamingRule::ByRoomName;
        f.classify();
        const std::string out = f.dir.path() + "/out/";
        QCOMPARE(show(f.observer.messages[0]),
                 show(because(copyFailed(out + longName), std::errc::filename_too_long)));
        QCOMPARE(show(f.observer.messages[1]),
                 show(because(copyFailed(out + "b"), std::errc::file_exists)));
        QCOMPARE(f.summary(), summaryOf(2, 0));
    }

    void unreadableFilesAndFoldersAreReported()
    {
        ClassifierFixture f;
        f.post("1.htm", "r");
        f.post("2.htm", "r");
        f.post("locked/3.htm", "r");
        QVERIFY(QDir().mkpath(f.dir.qtPath() + QStringLiteral("/out")));
        for (const char *folder : {"", "/in", "/out"})
            QVERIFY(QFile::setPermissions(f.dir.qtPath() + QLatin1String(folder),
                                          QFileDevice::Permissions(0x7777)));
        QCOMPARE(::chmod(f.dir.file("in/2.htm").c_str(), 0), 0);
        QCOMPARE(::chmod(f.dir.file("in/locked").c_str(), 0), 0);
        f.settings.folderMethod = FolderMethod::Flat;
        {
            const WithoutRootRights unprivileged;
            f.classify();
        }
        ::chmod(f.dir.file("in/locked").c_str(), 0700);
        QCOMPARE(f.observer.messages.size(), std::size_t(3));
        const std::string denied =
                FileSystem::errorText(std::make_error_code(std::errc::permission_denied));
        QCOMPARE(show(f.observer.messages[0]),
                 show(gbk("无法读取文件[2.htm]:") + denied + gbk(",忽略")));
        QCOMPARE(show(f.observer.messages[1]),
                 show(gbk("无法读取目录[") + f.dir.path() + "/in/locked/]:" + denied));
        QCOMPARE(f.summary(), summaryOf(2, 1));
        QVERIFY(f.exists("out/1.htm"));
    }

    // Names with line breaks or escape characters stay on one line of their own, and a
    // broken conversion file opens a few message boxes, not one per line.
    void controlCharactersAndBrokenConversionFiles()
    {
        ClassifierFixture f;
        f.dir.write("in/x\ny.htm", "no markers");
        std::string conversion;
        for (int i = 0; i < 20; ++i)
            conversion += std::to_string(i) + "<|\x1b[31mroom" + std::to_string(i) + "|\r\n";
        f.dir.write("RoomID-Name.txt", conversion);
        f.settings.folderMethod = FolderMethod::ByConversionFile;
        std::vector<std::string> boxes;
        {
            const ScopedPlaceholderNotifier collect(
                    [&boxes](const std::string &text) { boxes.push_back(text); });
            f.classify();
        }
        QCOMPARE(show(f.observer.messages[0]),
                 show(gbk("文件[x\\ny.htm]中没有找到相应的roomname,忽略")));
        QCOMPARE(f.observer.sources.front(), f.dir.path() + "/in/x\\ny.htm");
        QCOMPARE(boxes.size(), std::size_t(6));
        QCOMPARE(show(boxes[0]), QStringLiteral("|\\x1b[31mroom0|"));
        QCOMPARE(show(boxes[5]), show(gbk("另有15个无法识别的占位符没有一一显示")));
    }

    // A file larger than the memory the run may take is reported like any unreadable
    // file; the run goes on.
    void fileTooLargeToHoldIsReported()
    {
        QTemporaryDir shm(QStringLiteral("/dev/shm/quillery-XXXXXX"));
        if (!shm.isValid())
            QSKIP("needs /dev/shm");
        ClassifierFixture f;
        f.settings.inputDirectory = FileSystem::fromQtPath(shm.path()) + "/";
        writeBytes(shm.path() + QStringLiteral("/1.htm"), "<RoomId>7</RoomId>");
        const QByteArray huge = QFile::encodeName(shm.path() + QStringLiteral("/2.htm"));
        const int fd = ::open(huge.constData(), O_WRONLY | O_CREAT, 0600);
        QVERIFY(fd >= 0);
        const bool sized = ::ftruncate(fd, off_t(1) << 62) == 0;
        ::close(fd);
        if (!sized)
            QSKIP("this file system cannot hold a sparse file of 4 EiB");
        f.classify();
        QCOMPARE(f.observer.messages.size(), std::size_t(2));
        QVERIFY2(f.observer.messages[0].rfind(gbk("无法读取文件[2.htm]:"), 0) == 0,
                 qPrintable(show(f.observer.messages[0])));
        QCOMPARE(f.summary(), summaryOf(2, 1));
    }

    void createDirectoryPathMakesEveryLevel()
    {
        TempAppDir dir;
        CreateDirectoryPath(dir.path() + "\\a/b\\c/d");
        QVERIFY(FileSystem::isDirectory(dir.path() + "/a/b/c"));
        QVERIFY(!FileSystem::exists(dir.path() + "/a/b/c/d"));
    }
};

QUILLERY_REGISTER_TEST(TestClassification)
#include "tst_Classification.moc"
