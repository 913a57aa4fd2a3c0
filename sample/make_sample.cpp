// Writes the bundled sample archive into a program folder: the post files where its
// Configs/InitTree.xml places them; with --database also the rows, into the configured
// database when it holds no posts yet.
//   make_sample [--database] <program folder>

#include "SampleArchive.h"
#include "browser/RoomModel.h"
#include "common/AppDirectory.h"
#include "common/FileSystem.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments().mid(1);
    const bool database = arguments.contains(QStringLiteral("--database"));
    QStringList folders = arguments;
    folders.removeAll(QStringLiteral("--database"));
    if (folders.size() != 1) {
        std::fprintf(stderr, "usage: make_sample [--database] <program folder>\n");
        return 2;
    }
    const std::string folder = FileSystem::fromQtPath(folders.first());
    SetAppDirectoryOverride(folder);
    RoomModel rooms;
    std::string reason;
    const std::string config = RoomModel::TreeConfigPath(std::nullopt);
    if (!rooms.LoadTreeConfig(config, &reason)) {
        std::fprintf(stderr, "make_sample: %s: %s\n", config.c_str(), reason.c_str());
        return 1;
    }
    const std::vector<SamplePost> posts = MakeSamplePosts(rooms);
    std::string why;
    const int written = WriteSampleArchive(posts, FileSystem::join(folder, "sample"), why);
    if (!why.empty()) {
        std::fprintf(stderr, "make_sample: %s\n", why.c_str());
        return 1;
    }
    std::printf("sample archive: %zu posts, %d files\n", posts.size(), written);
    if (database) {
        const int inserted = FillSampleDatabase(posts, rooms.GetConnectionString(), why);
        if (inserted < 0) {
            std::fprintf(stderr, "make_sample: %s\n", why.c_str());
            return 1;
        }
        std::printf(inserted ? "sample database: %d posts inserted\n"
                             : "sample database: the archive holds posts already, left as it is\n",
                    inserted);
    }
    return 0;
}
