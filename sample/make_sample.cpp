// Writes the bundled sample archive into a program folder: the post files where its
// Configs/InitTree.xml places them. With --holds-posts it writes nothing and tells
// instead whether the configured database holds posts already (exit status 0 yes, 1 no),
// so the first start can import the archive through `quillery import` exactly once.
//   make_sample [--holds-posts] <program folder>

#include "browser/rooms/RoomModel.h"
#include "common/AppDirectory.h"
#include "common/FileSystem.h"
#include "sample/SampleArchive.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments().mid(1);
    const bool holdsPosts = arguments.contains(QStringLiteral("--holds-posts"));
    QStringList folders = arguments;
    folders.removeAll(QStringLiteral("--holds-posts"));
    if (folders.size() != 1) {
        std::fprintf(stderr, "usage: make_sample [--holds-posts] <program folder>\n");
        return 2;
    }
    const std::string folder = FileSystem::fromQtPath(folders.first());
    SetAppDirectoryOverride(folder);
    RoomModel rooms;
    std::string reason;
    const std::string config = RoomModel::TreeConfigPath(std::nullopt);
    if (!rooms.LoadTreeConfig(config, &reason)) {
        std::fprintf(stderr, "make_sample: %s: %s\n", config.c_str(), reason.c_str());
        return 2;
    }
    const std::vector<SamplePost> posts = MakeSamplePosts(rooms);
    std::string why;
    if (holdsPosts) {
        const int holds = SampleDatabaseHoldsPosts(posts, rooms.GetConnectionString(), why);
        if (holds < 0) {
            std::fprintf(stderr, "make_sample: %s\n", why.c_str());
            return 2;
        }
        return holds ? 0 : 1;
    }
    const int written = WriteSampleArchive(posts, why);
    if (!why.empty()) {
        std::fprintf(stderr, "make_sample: %s\n", why.c_str());
        return 2;
    }
    std::printf("sample archive: %zu posts, %d files\n", posts.size(), written);
    return 0;
}
