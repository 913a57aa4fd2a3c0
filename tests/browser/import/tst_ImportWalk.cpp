#include "TestRegistry.h"
#include "TestSupport.h"

#include "browser/import/ImportTexts.h"
#include "browser/import/ImportWalk.h"
#include "browser/rooms/RoomModel.h"
#include "common/Codec.h"
#include "common/FileSystem.h"

#include <QDir>
#include <QFile>

#include <sys/stat.h>
#include <unistd.h>

namespace {

class Recorder : public WalkVisitor
{
public:
    void VisitFile(WalkFile &&file) override
    {
        if (!file.regular) {
            others.push_back(file.path.substr(root.size()) + ":" + std::to_string(file.linkError));
            return;
        }
        files.push_back(file.path.substr(root.size()));
        nodes.push_back(file.node);
        if (stopAfter && files.size() >= stopAfter)
            keepRunning->store(false);
    }
    void VisitUnreadableFolder(std::string &&line) override { lines.push_back(line); }

    std::string root;
    std::vector<std::string> files;
    std::vector<std::string> others; // not regular files: name and link error
    std::vector<TreeItem> nodes;
    std::vector<std::string> lines;
    std::size_t stopAfter = 0;
    std::atomic<bool> *keepRunning = nullptr;
};

} // namespace

class TestImportWalk : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void filesFirstThenFoldersSortedByName()
    {
        TempAppDir dir;
        for (const char *name : {"in/b.htm", "in/A.HTM", "in/c.xml", "in/sub/2.htm", "in/sub/1.htm",
                                 "in/a/x.htm", "in/z.htm/inner.htm"})
            dir.write(name, "x");
        std::atomic<bool> keepRunning {true};
        ImportWalker walker(nullptr, "*.htm", keepRunning);
        Recorder recorder;
        recorder.root = dir.file("in/");
        walker.ScanDirectory(dir.file("in"), nullptr, recorder);
        QCOMPARE(recorder.files,
                 (std::vector<std::string> {"A.HTM", "b.htm", "a/x.htm", "sub/1.htm", "sub/2.htm",
                                            "z.htm/inner.htm"}));
        QVERIFY(recorder.lines.empty());
    }

    void linksFifosAndUnreadableFolders()
    {
        TempAppDir dir;
        dir.write("in/1.htm", "x");
        dir.write("in/d/2.htm", "x");
        const QString in = QString::fromStdString(dir.file("in"));
        QVERIFY(QFile::link(in, in + QStringLiteral("/d/loop")));
        QVERIFY(QFile::link(in + QStringLiteral("/1.htm"), in + QStringLiteral("/3.htm")));
        QVERIFY(QFile::link(in + QStringLiteral("/gone"), in + QStringLiteral("/4.htm")));
        QCOMPARE(::mkfifo((dir.file("in/5.htm")).c_str(), 0600), 0);

        std::atomic<bool> keepRunning {true};
        ImportWalker walker(nullptr, "*.htm", keepRunning);
        Recorder recorder;
        recorder.root = dir.file("in/");
        walker.ScanDirectory(dir.file("in/"), nullptr, recorder);
        // The loop is entered once; the link to a file is a file; the dangling link and
        // the FIFO are handed on as what they are, to be reported, never opened.
        QCOMPARE(recorder.files, (std::vector<std::string> {"1.htm", "3.htm", "d/2.htm"}));
        QCOMPARE(recorder.others, (std::vector<std::string> {"4.htm:2", "5.htm:0"}));

        Recorder missing;
        walker.ScanDirectory(dir.file("nothing"), nullptr, missing);
        QVERIFY(missing.files.empty());
        QCOMPARE(missing.lines.size(), std::size_t(1));
        QVERIFY(missing.lines[0].find(dir.file("nothing/")) != std::string::npos);

        if (::geteuid() != 0) { // root reads every folder
            dir.write("locked/in/1.htm", "x");
            QCOMPARE(::chmod(dir.file("locked/in").c_str(), 0), 0);
            Recorder locked;
            walker.ScanDirectory(dir.file("locked"), nullptr, locked);
            ::chmod(dir.file("locked/in").c_str(), 0700);
            QCOMPARE(locked.lines.size(), std::size_t(1));
            QVERIFY(locked.lines[0].find(dir.file("locked/in/")) != std::string::npos);
        }
    }

    void linksLeadingOutOfTheFolderAreNotFollowed()
    {
        TempAppDir dir;
        dir.write("in/1.htm", "x");
        dir.write("in/sub/2.htm", "x");
        dir.write("sibling/3.htm", "x");
        dir.write("sibling/deep/4.htm", "x");
        const QString in = QString::fromStdString(dir.file("in"));
        QVERIFY(QFile::link(QStringLiteral(".."), in + QStringLiteral("/sub/up")));
        QVERIFY(QFile::link(QStringLiteral("../sibling"), in + QStringLiteral("/out")));
        QVERIFY(QFile::link(QStringLiteral("sub"), in + QStringLiteral("/inner")));
        std::atomic<bool> keepRunning {true};
        ImportWalker walker(nullptr, "*.htm", keepRunning);
        Recorder recorder;
        recorder.root = dir.file("in/");
        walker.ScanDirectory(dir.file("in"), nullptr, recorder);
        QCOMPARE(recorder.files, (std::vector<std::string> {"1.htm", "inner/2.htm"}));
        QCOMPARE(recorder.lines.size(), std::size_t(1));
        QCOMPARE(show(recorder.lines[0]),
                 show(Gbk::literal("目录< ") + dir.file("in/out/")
                      + Gbk::literal(" >指向导入目录之外(") + dir.file("sibling")
                      + Gbk::literal("),忽略这个目录")));

        // The import folder itself may be reached through a link.
        QVERIFY(QFile::link(in, QString::fromStdString(dir.file("alias"))));
        Recorder aliased;
        aliased.root = dir.file("alias/");
        walker.ScanDirectory(dir.file("alias"), nullptr, aliased);
        QCOMPARE(aliased.files, recorder.files);
    }

    void roomNodesFollowTheFolders()
    {
        TempAppDir dir;
        dir.write("Configs/InitTree.xml",
                  gbk("<?xml version=\"1.0\" encoding=\"GBK\"?><K>"
                      "<帖子类型 TABLE=\"t\" ROOMID=\"1\">甲<帖子类型 ROOMID=\"11\">乙"
                      "<帖子类型 ROOMID=\"111\">丙</帖子类型></帖子类型></帖子类型></K>"));
        RoomModel rooms;
        QVERIFY(rooms.LoadTreeConfig(dir.file("Configs/InitTree.xml")));
        const TreeItem root = rooms.FindChildItem(nullptr, gbk("甲"));
        QVERIFY(root);
        for (const char *name :
             {"甲/0.htm", "甲/乙/1.htm", "甲/乙/丙/2.htm", "甲/乙/丁/3.htm", "甲/其他/4.htm"})
            dir.write(gbk(name), "x");
        std::atomic<bool> keepRunning {true};
        ImportWalker walker(&rooms, "*.htm", keepRunning);
        Recorder recorder;
        recorder.root = dir.file(gbk("甲/"));
        walker.ScanDirectory(dir.file(gbk("甲")), root, recorder);
        QCOMPARE(recorder.files,
                 (std::vector<std::string> {"0.htm", gbk("乙/1.htm"), gbk("乙/丙/2.htm")}));
        QCOMPARE(rooms.GetRoomRecordOfItem(recorder.nodes[2]).roomid, std::string("111"));
    }

    void stopsAtTheNextEntry()
    {
        TempAppDir dir;
        for (int i = 0; i < 5; ++i)
            dir.write("in/" + std::to_string(i) + ".htm", "x");
        dir.write("in/sub/9.htm", "x");
        std::atomic<bool> keepRunning {true};
        ImportWalker walker(nullptr, "*.htm", keepRunning);
        Recorder recorder;
        recorder.root = dir.file("in/");
        recorder.stopAfter = 2;
        recorder.keepRunning = &keepRunning;
        walker.ScanDirectory(dir.file("in"), nullptr, recorder);
        QCOMPARE(recorder.files.size(), std::size_t(2));
    }
};

QUILLERY_REGISTER_TEST(TestImportWalk)
#include "tst_ImportWalk.moc"
