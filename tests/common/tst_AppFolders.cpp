#include "TestRegistry.h"
#include "TestSupport.h"

#include "common/AppDirectory.h"
#include "common/AppFolders.h"
#include "common/Codec.h"
#include "common/FileSystem.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <unistd.h>

using AppFolders::Layout;
using AppFolders::Mode;

namespace {

// A shipped install: <root>/bin (no Configs/) and <root>/share/quillery with the
// defaults and a sample archive; a home folder of its own for each user.
struct Install
{
    QTemporaryDir root;
    std::string path(const char *relative) const
    {
        return FileSystem::fromQtPath(root.path()) + '/' + relative;
    }
    std::string program() const { return path("bin"); }
    std::string defaults() const { return path("share/quillery"); }
    Install()
    {
        QDir(root.path()).mkpath(QStringLiteral("bin"));
        writeBytes(FileSystem::toQtPath(defaults() + "/Configs/InitTree.xml"), "<shipped/>");
        writeBytes(FileSystem::toQtPath(defaults() + "/Configs/Garnet.ini"), "[Server]\n");
        writeBytes(FileSystem::toQtPath(defaults() + "/Configs/Pages/Start.htm"), "start");
        writeBytes(FileSystem::toQtPath(defaults() + "/sample/LangPosts/htm/1.htm"), "post");
    }
    Layout layoutFor(const char *user) const
    {
        return AppFolders::DecideLayout(program(), path(user), defaults() + "/../quillery");
    }
};

bool isRoot()
{
    return ::geteuid() == 0;
}

} // namespace

class TestAppFolders : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void folderWithConfigsThatTheUserMayWriteIsPortable()
    {
        QTemporaryDir program;
        QDir(program.path()).mkpath(QStringLiteral("Configs"));
        const std::string folder = FileSystem::fromQtPath(program.path());
        const Layout layout = AppFolders::DecideLayout(folder, "/home/u/.local/share/quillery",
                                                       "/usr/share/quillery");
        QCOMPARE(layout.mode, Mode::Portable);
        QCOMPARE(layout.dataFolder, folder);
        QCOMPARE(layout.defaultsFolder, folder);
        std::string problem;
        QVERIFY(AppFolders::PrepareDataFolder(layout, problem));
        QVERIFY(!FileSystem::exists("/home/u/.local/share/quillery"));
    }

    void folderWithoutConfigsIsInstalled()
    {
        const Install install;
        const Layout layout = install.layoutFor("home/a");
        QCOMPARE(layout.mode, Mode::Installed);
        QCOMPARE(layout.programFolder, install.program());
        QCOMPARE(layout.dataFolder, install.path("home/a"));
        // Shown in the About box: cleaned of "..".
        QCOMPARE(layout.defaultsFolder, install.defaults());
    }

    void readOnlyFolderWithConfigsGivesItsDefaultsToTheUser()
    {
        if (isRoot())
            QSKIP("root may write into every folder");
        QTemporaryDir program;
        QDir(program.path()).mkpath(QStringLiteral("Configs"));
        const std::string folder = FileSystem::fromQtPath(program.path());
        QFile::setPermissions(program.path(), QFile::ReadOwner | QFile::ExeOwner);
        const Layout layout = AppFolders::DecideLayout(folder, "/tmp/user", "/nowhere");
        QFile::setPermissions(program.path(),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(layout.mode, Mode::Installed);
        QCOMPARE(layout.dataFolder, std::string("/tmp/user"));
        QCOMPARE(layout.defaultsFolder, folder);
    }

    void firstStartCopiesTheDefaultsButNotTheSample()
    {
        const Install install;
        const Layout layout = install.layoutFor("home/a/.local/share/quillery");
        std::string problem;
        QVERIFY2(AppFolders::PrepareDataFolder(layout, problem), qPrintable(show(problem)));
        const QString data = FileSystem::toQtPath(layout.dataFolder);
        QCOMPARE(readBytes(data + QStringLiteral("/Configs/InitTree.xml")),
                 std::string("<shipped/>"));
        QCOMPARE(readBytes(data + QStringLiteral("/Configs/Pages/Start.htm")),
                 std::string("start"));
        QVERIFY(!QFile::exists(data + QStringLiteral("/sample")));
        // Only the files themselves: no temporary copy is left beside them.
        QCOMPARE(QDir(data + QStringLiteral("/Configs"))
                         .entryList(QDir::Files | QDir::Hidden | QDir::System),
                 (QStringList {QStringLiteral("Garnet.ini"), QStringLiteral("InitTree.xml")}));
        // The copies are the user's to change.
        QVERIFY(QFileInfo(data + QStringLiteral("/Configs/InitTree.xml")).isWritable());
    }

    void theUsersOwnFilesAreNeverReplaced()
    {
        const Install install;
        const Layout layout = install.layoutFor("home/a");
        const QString data = FileSystem::toQtPath(layout.dataFolder);
        // Newer, broken, or of another version: the user's file stays as it is.
        writeBytes(data + QStringLiteral("/Configs/InitTree.xml"), "<broken");
        writeBytes(data + QStringLiteral("/Configs/Pages/Start.htm"), "mine");
        std::string problem;
        QVERIFY2(AppFolders::PrepareDataFolder(layout, problem), qPrintable(show(problem)));
        QCOMPARE(readBytes(data + QStringLiteral("/Configs/InitTree.xml")), std::string("<broken"));
        QCOMPARE(readBytes(data + QStringLiteral("/Configs/Pages/Start.htm")), std::string("mine"));
        // A default the user lacks (deleted, or new in this version) comes back.
        QCOMPARE(readBytes(data + QStringLiteral("/Configs/Garnet.ini")),
                 std::string("[Server]\n"));
        // A later start changes nothing.
        QVERIFY(AppFolders::PrepareDataFolder(layout, problem));
        QCOMPARE(readBytes(data + QStringLiteral("/Configs/InitTree.xml")), std::string("<broken"));
    }

    void twoUsersShareNothing()
    {
        const Install install;
        const Layout a = install.layoutFor("home/a");
        const Layout b = install.layoutFor("home/b");
        std::string problem;
        QVERIFY(AppFolders::PrepareDataFolder(a, problem));
        writeBytes(FileSystem::toQtPath(a.dataFolder + "/Configs/InitTree.xml"), "<a/>");
        QVERIFY(AppFolders::PrepareDataFolder(b, problem));
        QCOMPARE(readBytes(FileSystem::toQtPath(b.dataFolder + "/Configs/InitTree.xml")),
                 std::string("<shipped/>"));
        QCOMPARE(readBytes(FileSystem::toQtPath(install.defaults() + "/Configs/InitTree.xml")),
                 std::string("<shipped/>"));
    }

    void aFolderThatCannotBeMadeIsNamed()
    {
        const Install install;
        // A file where the home's data folder should be: no user, root or not, can make it.
        writeBytes(FileSystem::toQtPath(install.path("home")), "a file");
        const Layout layout = install.layoutFor("home/.local/share/quillery");
        std::string problem;
        QVERIFY(!AppFolders::PrepareDataFolder(layout, problem));
        QVERIFY2(problem.find(install.path("home/.local")) != std::string::npos,
                 qPrintable(show(problem)));
        QVERIFY2(problem.find(Gbk::literal("无法建立文件夹")) == 0, qPrintable(show(problem)));
    }

    void aDefaultThatCannotBeCopiedIsNamedAndLeavesNothingHalfWritten()
    {
        const Install install;
        const Layout layout = install.layoutFor("home/a");
        // Configs/Pages exists in the user's folder as a file: Start.htm cannot go there.
        writeBytes(FileSystem::toQtPath(layout.dataFolder + "/Configs/Pages"), "not a folder");
        std::string problem;
        QVERIFY(!AppFolders::PrepareDataFolder(layout, problem));
        QVERIFY2(problem.find(layout.dataFolder + "/Configs/Pages") != std::string::npos,
                 qPrintable(show(problem)));
        if (!isRoot()) {
            // An unreadable default: the copy fails and no part of it remains.
            const Layout other = install.layoutFor("home/b");
            const QString shipped =
                    FileSystem::toQtPath(install.defaults() + "/Configs/Garnet.ini");
            QFile::setPermissions(shipped, QFile::WriteOwner);
            const bool prepared = AppFolders::PrepareDataFolder(other, problem);
            QFile::setPermissions(shipped, QFile::ReadOwner | QFile::WriteOwner);
            QVERIFY(!prepared);
            QVERIFY2(problem.find("Garnet.ini") != std::string::npos, qPrintable(show(problem)));
            const QDir configs(FileSystem::toQtPath(other.dataFolder + "/Configs"));
            QVERIFY(!configs.entryList(QDir::Files | QDir::Hidden)
                             .join(u' ')
                             .contains(QStringLiteral("Garnet")));
        }
    }

    void missingDefaultsAreReported()
    {
        const Layout layout = AppFolders::DecideLayout("/nonexistent/bin", "/tmp/never-made",
                                                       "/nonexistent/share/quillery");
        std::string problem;
        QVERIFY(!AppFolders::PrepareDataFolder(layout, problem));
        QVERIFY2(problem.find("/nonexistent/share/quillery") != std::string::npos,
                 qPrintable(show(problem)));
        QVERIFY(!FileSystem::exists("/tmp/never-made"));
    }

    void appDirectoryNamesTheUsersFolderWithTheTestOverride()
    {
        const TempAppDir dir;
        std::string folder;
        QVERIFY(GetAppDirectory(folder, true));
        QCOMPARE(folder, dir.path() + '/');
        QCOMPARE(AppFolders::CurrentLayout().mode, Mode::Portable);
        const std::string about = AppFolders::DescribeFolders(AppFolders::CurrentLayout());
        QVERIFY2(about.find(dir.path()) != std::string::npos, qPrintable(show(about)));
    }
};

QUILLERY_REGISTER_TEST(TestAppFolders)
#include "tst_AppFolders.moc"
