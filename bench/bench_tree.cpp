// Loads a generated tree configuration of 20,000 rooms into the room model and the
// room tree, and reports time and memory.

#include "BenchSupport.h"
#include "browser/CLeftTreeView.h"
#include "common/AppDirectory.h"
#include "common/Codec.h"
#include "common/FileSystem.h"

#include <QApplication>
#include <QDir>
#include <QFontMetrics>
#include <QTemporaryDir>

#include <cstdio>
#include <malloc.h>

namespace {

std::string generateConfig(int roomCount, int topLevel, int perTop)
{
    std::string xml = Gbk::literal("<?xml version=\"1.0\" encoding=\"GBK\"?>\n<配置>\n"
                                   "<数据库连接字符串>Provider=SQLite;Data "
                                   "Source=|APP_PATH|\\Data\\B.db</数据库连接字符串>\n");
    const std::string room = Gbk::literal("帖子类型");
    const std::string range = Gbk::literal("帖子属性范围");
    const std::string label = Gbk::literal("测试类型");
    int made = 0, id = 1;
    const int leaves = roomCount - topLevel - topLevel * perTop;
    for (int t = 0; t < topLevel; ++t) {
        xml += "<" + room + " TABLE=\"T" + std::to_string(t) + "\" ROOMID=\"" + std::to_string(id++)
                + "\">" + label + std::to_string(t);
        ++made;
        for (int m = 0; m < perTop; ++m) {
            xml += "<" + room + " ROOMID=\"" + std::to_string(id++) + "\">" + label
                    + std::to_string(t) + "-" + std::to_string(m);
            ++made;
            const int slot = t * perTop + m;
            const int share =
                    leaves / (topLevel * perTop) + (slot < leaves % (topLevel * perTop) ? 1 : 0);
            for (int l = 0; l < share; ++l) {
                const std::string number = std::to_string(id++);
                xml += "<" + room + " ROOMID=\"" + number + "\">" + label + number + "</" + room
                        + ">\n";
                ++made;
            }
            xml += "</" + room + ">\n";
        }
        xml += "<" + range + ">1 1317806 |APP_PATH|\\htm\\|ROOMID|\\|ID|.htm</" + range + ">\n";
        xml += "</" + room + ">\n";
    }
    xml += "</" + Gbk::literal("配置") + ">\n";
    std::printf("generated %d rooms, %.1f MB of configuration\n", made, double(xml.size()) / 1e6);
    return xml;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    QDir(dir.path()).mkpath(QStringLiteral("Configs"));
    SetAppDirectoryOverride(FileSystem::fromQtPath(dir.path()));
    const std::string config = generateConfig(20000, 20, 40);
    FileSystem::writeWholeFile(
            FileSystem::join(FileSystem::fromQtPath(dir.path()), "Configs/InitTree.xml"), config);

    {
        // The model alone, as the import worker uses it.
        const long modelBefore = Bench::processMemoryKb();
        const Bench::Stopwatch modelTime;
        RoomModel model;
        model.LoadTreeConfig(RoomModel::TreeConfigPath(std::nullopt));
        const double ms = modelTime.milliseconds();
        malloc_trim(0);
        std::printf("model alone: %.1f ms, +%.1f MB kept\n", ms,
                    double(Bench::processMemoryKb() - modelBefore) / 1024.0);
    }
    malloc_trim(0);
    // The fonts are loaded before the clock starts: they are not the tree's cost.
    QFontMetrics(QApplication::font()).horizontalAdvance(QString::fromUtf8("测试类型"));
    const long before = Bench::processMemoryKb();
    const Bench::Stopwatch total;
    CLeftTreeView tree(nullptr);
    std::string path, reason;
    if (!tree.LoadTreeConfig(std::nullopt, path, reason)) {
        std::fprintf(stderr, "load failed: %s\n", reason.c_str());
        return 1;
    }
    const double loaded = total.milliseconds();
    const long after = Bench::processMemoryKb();
    // What stays once the parser's transient memory is given back.
    malloc_trim(0);
    const long kept = Bench::processMemoryKb();

    int items = 0;
    for (QTreeWidgetItemIterator it(&tree); *it; ++it)
        ++items;
    std::printf("rooms in the model: %zu, items in the tree: %d\n", tree.rooms().RecordCount(),
                items);
    std::printf("load into model and tree: %.1f ms (limit 500 ms) %s\n", loaded,
                loaded <= 500 ? "OK" : "TOO SLOW");
    std::printf(
            "memory: +%.1f MB resident right after loading, +%.1f MB kept (%.0f bytes per room)\n",
            double(after - before) / 1024.0, double(kept - before) / 1024.0,
            double(kept - before) * 1024.0 / double(tree.rooms().RecordCount()));

    Bench::Stopwatch lookups;
    std::string names, ids;
    int found = 0;
    for (std::size_t i = 0; i < tree.rooms().RecordCount(); i += 97)
        found += tree.rooms().BuildRoomPaths(tree.rooms().GetRoomRecord(int(i)).roomid, names, ids)
                == 0;
    std::printf("%d room path look-ups: %.1f ms\n", found, lookups.milliseconds());
    return loaded <= 500 ? 0 : 2;
}
