// Writes the bundled sample archive into a program folder: the post files where its
// Configs/InitTree.xml places them.
//   make_sample <program folder>

#include "SampleArchive.h"
#include "browser/RoomModel.h"
#include "common/AppDirectory.h"
#include "common/FileSystem.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: make_sample <program folder>\n");
        return 2;
    }
    const std::string folder = FileSystem::fromQtPath(QString::fromLocal8Bit(argv[1]));
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
    return 0;
}
