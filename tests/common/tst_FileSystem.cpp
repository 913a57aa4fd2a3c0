#include "TestRegistry.h"
#include "TestSupport.h"

#include "common/AppDirectory.h"
#include "common/Codec.h"
#include "common/FileSystem.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cerrno>
#include <fcntl.h>
#include <ios>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

class TestFileSystem : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        holder_ = std::make_unique<TempAppDir>();
        QVERIFY(dir().isValid());
    }
    void cleanup() { holder_.reset(); }

    void acceptsBackslashSeparators()
    {
        QCOMPARE(FileSystem::normalize("a\\b/c\\"), std::string("a/b/c/"));
        QCOMPARE(FileSystem::join("dir\\", "sub\\f.txt"), std::string("dir/sub/f.txt"));
        QCOMPARE(FileSystem::join("dir", "f"), std::string("dir/f"));
        const std::string winStyle = dir().path() + "\\sub\\file.txt";
        dir().write("sub/file.txt", "x");
        QVERIFY(FileSystem::exists(winStyle));
    }

    void keepsBackslashTrailBytes()
    {
        // 淺 is 0x9C 0x5C in GBK: its second byte is no separator.
        const std::string deep = gbk("淺");
        QCOMPARE(deep, std::string("\x9C\\", 2));
        QCOMPARE(FileSystem::normalize(deep + "\\x\\" + deep), deep + "/x/" + deep);
        QCOMPARE(FileSystem::lastSeparator(deep), std::string::npos);
        QCOMPARE(FileSystem::lastSeparator("a\\" + deep), std::size_t(1));
        dir().write(deep + "/f.txt", "x");
        QVERIFY(QFile::exists(dir().qtPath() + QString::fromUtf8("/淺/f.txt")));
        QVERIFY(FileSystem::exists(dir().file(deep + "\\f.txt")));
        SetAppDirectoryOverride(dir().file(deep));
        QCOMPARE(AppDirectory(), dir().file(deep));
    }

    void writesReadsAndAppends()
    {
        const std::string path = dir().file("data.bin");
        QVERIFY(!FileSystem::exists(path));
        QVERIFY(!FileSystem::writeWholeFile(path, std::string("ab\0c", 4)));
        QVERIFY(!FileSystem::appendToFile(path, "de"));
        std::string contents;
        QVERIFY(!FileSystem::readWholeFile(path, contents));
        QCOMPARE(contents, std::string("ab\0cde", 6));
        QVERIFY(!FileSystem::createOrEmpty(path));
        QVERIFY(!FileSystem::readWholeFile(path, contents));
        QVERIFY(contents.empty());

        std::string untouched = "kept";
        QVERIFY(FileSystem::readWholeFile(dir().file("missing"), untouched));
        QCOMPARE(untouched, std::string("kept"));
        QVERIFY(FileSystem::readWholeFile(dir().path(), untouched)); // a directory
    }

    void queriesAndClearsReadOnly()
    {
        const std::string path = dir().file("ro.txt");
        dir().write("ro.txt", "x");
        QVERIFY(!FileSystem::isReadOnly(path));
        QVERIFY(!FileSystem::setReadOnly(path));
        QVERIFY(FileSystem::isReadOnly(path));
        QVERIFY(!FileSystem::clearReadOnly(path));
        QVERIFY(!FileSystem::isReadOnly(path));
        QVERIFY(FileSystem::clearReadOnly(dir().file("none")));
    }

    void copyAndMoveRefuseToReplace()
    {
        const std::string a = dir().file("a.txt"), b = dir().file("b.txt"), c = dir().file("c.txt");
        dir().write("a.txt", "A");
        dir().write("b.txt", "B");
        QCOMPARE(FileSystem::copyFile(a, b), std::make_error_code(std::errc::file_exists));
        QCOMPARE(dir().read("b.txt"), std::string("B"));
        QCOMPARE(FileSystem::moveFile(a, b), std::make_error_code(std::errc::file_exists));
        QVERIFY(FileSystem::exists(a));
        QVERIFY(!FileSystem::copyFile(a, c));
        QCOMPARE(dir().read("c.txt"), std::string("A"));
        QVERIFY(!FileSystem::removeFile(c));
        QVERIFY(!FileSystem::moveFile(a, c));
        QVERIFY(!FileSystem::exists(a));
        QCOMPARE(dir().read("c.txt"), std::string("A"));
        QVERIFY(FileSystem::removeFile(a));
    }

    // Between file systems a move is a copy and a removal: the content, the permissions,
    // no file left beside the target, and never over an existing file.
    void movesBetweenFileSystems()
    {
        QTemporaryDir shm(QStringLiteral("/dev/shm/quillery-XXXXXX"));
        struct stat a, b;
        if (!shm.isValid() || ::stat("/dev/shm", &a) != 0
            || ::stat(FileSystem::toDiskPath(dir().path()).c_str(), &b) != 0
            || a.st_dev == b.st_dev)
            QSKIP("needs /dev/shm on a file system of its own");
        const std::string from = FileSystem::fromQtPath(shm.path()) + "/a.txt";
        writeBytes(shm.path() + QStringLiteral("/a.txt"), "A");
        QCOMPARE(::chmod(from.c_str(), 0640), 0);
        dir().write("out/b.txt", "B");
        QCOMPARE(FileSystem::moveFile(from, dir().file("out/b.txt")),
                 std::make_error_code(std::errc::file_exists));
        QVERIFY(FileSystem::exists(from));
        bool sameFile = true;
        QVERIFY(!FileSystem::moveFile(from, dir().file("out/a.txt"), &sameFile));
        QVERIFY(!sameFile);
        QVERIFY(!FileSystem::exists(from));
        QCOMPARE(dir().read("out/a.txt"), std::string("A"));
        struct stat made;
        QCOMPARE(::stat(dir().file("out/a.txt").c_str(), &made), 0);
        QCOMPARE(made.st_mode & 07777, mode_t(0640));
        QCOMPARE(QDir(dir().qtPath() + QStringLiteral("/out"))
                         .entryList(QDir::Files | QDir::Hidden | QDir::System),
                 (QStringList {QStringLiteral("a.txt"), QStringLiteral("b.txt")}));
    }

    // Partial files that a killed copy left are cleared; one whose copy still holds its
    // lock is kept, and other files are never touched.
    void stalePartialFilesAreRemoved()
    {
        dir().write("out/.quillery-partial-dead01", "half");
        dir().write("out/.quillery-partial-busy01", "half");
        dir().write("out/post.htm", "whole");
        const int busy = ::open(dir().file("out/.quillery-partial-busy01").c_str(), O_RDONLY);
        QVERIFY(busy >= 0);
        QCOMPARE(::flock(busy, LOCK_EX), 0);
        QCOMPARE(FileSystem::removeStalePartialFiles(dir().file("out")), std::size_t(1));
        ::close(busy);
        QCOMPARE(
                QDir(dir().qtPath() + QStringLiteral("/out")).entryList(QDir::Files | QDir::Hidden),
                (QStringList {QStringLiteral(".quillery-partial-busy01"),
                              QStringLiteral("post.htm")}));
        QVERIFY(FileSystem::isPartialFileName(".quillery-partial-busy01"));
        QVERIFY(!FileSystem::isPartialFileName("post.htm"));
    }

    void failedCopyLeavesNoTarget()
    {
        // A directory opens for reading but yields no bytes: the copy fails after the
        // target was made.
        dir().write("d/x", "x");
        const std::string target = dir().file("copy.txt");
        QVERIFY(FileSystem::copyFile(dir().file("d"), target));
        QVERIFY(!FileSystem::exists(target));
        FileSystem::FileStatus status;
        QVERIFY(!FileSystem::fileStatus(dir().file("d"), status));
        QVERIFY(status.isDirectory && !status.isRegular);
    }

    void createsOneDirectory()
    {
        QVERIFY(!FileSystem::createDirectory(dir().file(gbk("新目录"))));
        QVERIFY(FileSystem::isDirectory(dir().file(gbk("新目录"))));
        QVERIFY(QDir(dir().qtPath() + QString::fromUtf8("/新目录")).exists());
        QCOMPARE(FileSystem::createDirectory(dir().file(gbk("新目录"))),
                 std::make_error_code(std::errc::file_exists));
        QVERIFY(FileSystem::createDirectory(dir().file("no/parent")));
    }

    void createsMissingParentsAndFindsTheNearestFolder()
    {
        const std::string deep = dir().file(gbk("甲\\乙/丙/"));
        QCOMPARE(FileSystem::nearestExistingDirectory(deep), dir().path());
        QVERIFY(!FileSystem::createDirectories(deep));
        QVERIFY(QDir(dir().qtPath() + QString::fromUtf8("/甲/乙/丙")).exists());
        QVERIFY(!FileSystem::createDirectories(deep)); // already there: no error
        QCOMPARE(FileSystem::nearestExistingDirectory(deep), dir().file(gbk("甲/乙/丙")));
        QCOMPARE(FileSystem::nearestExistingDirectory(dir().file(gbk("甲/无/有/")) + "x.htm"),
                 dir().file(gbk("甲")));
        QCOMPARE(FileSystem::nearestExistingDirectory("/"), std::string("/"));
        QCOMPARE(FileSystem::nearestExistingDirectory("no-such-relative/a"), std::string());
        // A file where a folder should be: its reason, in Chinese with the code.
        dir().write("file", "x");
        const std::error_code error = FileSystem::createDirectories(dir().file("file/sub"));
        QCOMPARE(error, std::make_error_code(std::errc::not_a_directory));
        QCOMPARE(show(FileSystem::errorText(error)), QString::fromUtf8("不是目录 (errno 20)"));
        QCOMPARE(FileSystem::createDirectories(""),
                 std::make_error_code(std::errc::no_such_file_or_directory));
    }

    void systemErrorsAreToldInChinese()
    {
        std::string contents;
        const std::error_code missing = FileSystem::readWholeFile(dir().file("none.htm"), contents);
        QCOMPARE(show(FileSystem::errorText(missing)),
                 QString::fromUtf8("没有那个文件或目录 (errno 2)"));
        QCOMPARE(show(FileSystem::errorReason(missing)), QString::fromUtf8("没有那个文件或目录"));
        QCOMPARE(show(FileSystem::errorText(std::make_error_code(std::errc::permission_denied))),
                 QString::fromUtf8("权限不够 (errno 13)"));
        // A code without a Chinese text keeps the system's words, and the code.
        const std::error_code rare(EDOM, std::generic_category());
        QCOMPARE(show(FileSystem::errorText(rare)),
                 QString::fromLocal8Bit(rare.message()) + QStringLiteral(" (errno 33)"));
        const std::error_code other(3, std::iostream_category());
        QVERIFY(show(FileSystem::errorText(other)).endsWith(QStringLiteral(" (iostream 3)")));
        // A settings file refused by kind is told in words alone.
        QCOMPARE(show(FileSystem::errorText(FileSystem::checkSettingsFile("/dev/null"))),
                 QString::fromUtf8("不是普通文件"));
    }

    void listsWithCaseInsensitiveWildcardInNameOrder()
    {
        for (const char *name : {"b.htm", "A.HTM", "c.xml", "a2.Htm", "sub.htm"})
            dir().write(name == std::string("sub.htm") ? "sub.htm/inner" : name, "x");
        std::vector<FileSystem::DirectoryEntry> entries;
        QVERIFY(!FileSystem::listDirectory(dir().path(), "*.htm", entries));
        QStringList names;
        for (const auto &e : entries)
            names << show(e.name) + (e.isDirectory ? QStringLiteral("/") : QString());
        QCOMPARE(names,
                 (QStringList {QStringLiteral("A.HTM"), QStringLiteral("a2.Htm"),
                               QStringLiteral("b.htm"), QStringLiteral("sub.htm/")}));
        entries.clear();
        QVERIFY(!FileSystem::listDirectory(dir().path(), "*.*", entries));
        QCOMPARE(entries.size(), std::size_t(6)); // and Configs
        QVERIFY(FileSystem::listDirectory(dir().file("missing"), "*", entries));
    }

    void matchesWildcards()
    {
        QVERIFY(FileSystem::wildcardMatch("*.htm", "X.HTM"));
        QVERIFY(!FileSystem::wildcardMatch("*.htm", "x.html"));
        QVERIFY(FileSystem::wildcardMatch("a?c", "abc"));
        QVERIFY(FileSystem::wildcardMatch(gbk("?文"), gbk("中文"))); // ? is one character
        QVERIFY(!FileSystem::wildcardMatch("?", gbk("中文")));
        QVERIFY(FileSystem::wildcardMatch("*a*b*", "xxaxxbxx"));
        QVERIFY(FileSystem::wildcardMatch(gbk("ｘ*"), gbk("Ｘ1")));
        QVERIFY(FileSystem::wildcardMatch("*.*", "noextension"));
    }

    void storesChineseNamesAsUtf8()
    {
        const std::string path = dir().file(gbk("帖子/中文.htm"));
        QVERIFY(!FileSystem::createDirectory(dir().file(gbk("帖子"))));
        QVERIFY(!FileSystem::writeWholeFile(path, "x"));
        QVERIFY(QFile::exists(dir().qtPath() + QString::fromUtf8("/帖子/中文.htm")));
        std::vector<FileSystem::DirectoryEntry> entries;
        QVERIFY(!FileSystem::listDirectory(dir().file(gbk("帖子")), "*", entries));
        QCOMPARE(entries.size(), std::size_t(1));
        QCOMPARE(entries[0].name, gbk("中文.htm"));
    }

    void opensRawGbkNamesOnDisk()
    {
        // An archive unpacked without conversion: the names on disk are GBK bytes.
        const std::string rawDir = FileSystem::toDiskPath(dir().path()) + "/" + gbk("旧目录");
        QCOMPARE(::mkdir(rawDir.c_str(), 0777), 0);
        const std::string rawFile = rawDir + "/" + gbk("帖子.htm");
        const int fd = ::open(rawFile.c_str(), O_CREAT | O_WRONLY, 0666);
        QVERIFY(fd >= 0);
        QCOMPARE(::write(fd, "raw", 3), ssize_t(3));
        ::close(fd);

        std::vector<FileSystem::DirectoryEntry> entries;
        QVERIFY(!FileSystem::listDirectory(dir().path(), gbk("旧*"), entries));
        QCOMPARE(entries.size(), std::size_t(1));
        QCOMPARE(entries[0].name, gbk("旧目录"));
        QVERIFY(entries[0].isDirectory);

        const std::string gbkPath = dir().file(gbk("旧目录\\帖子.htm"));
        QVERIFY(FileSystem::exists(gbkPath));
        std::string contents;
        QVERIFY(!FileSystem::readWholeFile(gbkPath, contents));
        QCOMPARE(contents, std::string("raw"));
        // A new file beside it keeps the raw folder and gets a UTF-8 name.
        QVERIFY(!FileSystem::writeWholeFile(dir().file(gbk("旧目录/新.htm")), "n"));
        QCOMPARE(::access((rawDir + "/新.htm").c_str(), F_OK), 0);
        // QTemporaryDir cannot remove names that are not UTF-8.
        ::unlink((rawDir + "/新.htm").c_str());
        ::unlink(rawFile.c_str());
        ::rmdir(rawDir.c_str());
    }

private:
    std::unique_ptr<TempAppDir> holder_;
    TempAppDir &dir() { return *holder_; }
};

QUILLERY_REGISTER_TEST(TestFileSystem)
#include "tst_FileSystem.moc"
