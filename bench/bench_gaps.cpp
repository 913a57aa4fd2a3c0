// What an archive lacks: the gaps of a range of post IDs over a post table, SQLite and
// PostgreSQL side by side, with the memory the scan adds; and the rate of rows checked
// for their files (files in the page cache).
//
//   bench_gaps [rows] [range] [rows with files]      (defaults 2000000 10000000 200000)

#include "BenchData.h"
#include "BenchSupport.h"
#include "PgCluster.h"

#include "browser/db/CAdoManager.h"
#include "browser/gaps/GapScan.h"
#include "browser/rooms/RoomModel.h"
#include "common/Codec.h"
#include "common/FileSystem.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <string>

namespace {

using Bench::die;
using Bench::msSince;

long long rows = 2000000;
long long range = 10000000;
long long fileRows = 200000;
constexpr int Rooms = 200;

// Rows spread over the range, the ID of row i i * step minus a little, so the runs between
// rows differ; with a step of 1, every ID.
std::string insertSql(bool sqlite, const std::string &table, long long count, long long step)
{
    const std::string id = step > 3 ? "i * " + std::to_string(step) + " - i % 3" : std::string("i");
    const std::string values = id + ", 'title ' || i, i % " + std::to_string(Rooms)
            + ", 'u', 0, '2024-01-01 00:00:00'";
    if (sqlite)
        return "WITH RECURSIVE s(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM s WHERE i < "
                + std::to_string(count) + ") INSERT INTO " + table + " SELECT " + values
                + " FROM s";
    return "INSERT INTO " + table + " SELECT " + values + " FROM generate_series(1, "
            + std::to_string(count) + ") AS s(i)";
}

// Counts and watches the memory while the scan goes on.
class Watch : public MissingSink
{
public:
    bool Missing(const MissingRun &) override { return true; }
    bool Progress(long long, long long) override
    {
        peakKb = std::max(peakKb, Bench::processMemoryKb());
        return true;
    }
    long peakKb = 0;
};

struct Engine
{
    std::string connection;
    double fillMs = 0;
    double gapsMs = 0;
    double growthMb = 0;
    long long missing = 0;
    long long runs = 0;
    double filesRate = 0; // rows per second
    long long lost = 0;
};

void measureGaps(Engine &engine)
{
    GapScanRequest request;
    request.connection = engine.connection;
    request.tables = {"posts"};
    request.first = 1;
    request.last = range;
    Watch watch;
    const long before = Bench::processMemoryKb();
    watch.peakKb = before;
    QElapsedTimer timer;
    timer.start();
    const GapScanResult result = ScanGaps(request, watch);
    engine.gapsMs = msSince(timer);
    if (result.outcome != GapScanOutcome::Done)
        die(result.problem);
    engine.growthMb = double(std::max(watch.peakKb, Bench::processMemoryKb()) - before) / 1024;
    engine.missing = result.missingIds;
    engine.runs = result.gapRuns;
}

void measureFiles(Engine &engine, RoomModel &rooms)
{
    GapScanRequest request;
    request.connection = engine.connection;
    request.tables = {"fileposts"};
    request.files = true;
    request.rooms = &rooms;
    request.rootIndex = 0;
    Watch watch;
    QElapsedTimer timer;
    timer.start();
    const GapScanResult result = ScanGaps(request, watch);
    const double ms = msSince(timer);
    if (result.outcome != GapScanOutcome::Done)
        die(result.problem);
    engine.filesRate = double(result.rows) / (ms / 1000);
    engine.lost = result.lostFiles;
}

void row(const char *label, const std::string &sqlite, const std::string &postgres)
{
    std::printf("%-52s %14s %14s\n", label, sqlite.c_str(), postgres.c_str());
}

std::string format(const char *pattern, double value)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, pattern, value);
    return buffer;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc > 1)
        rows = std::max(1000LL, std::atoll(argv[1]));
    if (argc > 2)
        range = std::max(rows, std::atoll(argv[2]));
    if (argc > 3)
        fileRows = std::max(1000LL, std::atoll(argv[3]));
    const long long step = range / rows;

    QTemporaryDir dir;
    // Files of every tenth row are missing; the rest lie in one folder per room.
    const QString files = dir.filePath(QStringLiteral("files"));
    for (int room = 0; room < Rooms; ++room)
        QDir().mkpath(files + u'/' + QString::number(room));
    for (long long i = 1; i <= fileRows; ++i) {
        if (i % 10 == 0)
            continue;
        QFile file(files + u'/' + QString::number(i % Rooms) + u'/' + QString::number(i)
                   + QStringLiteral(".htm"));
        if (!file.open(QIODevice::WriteOnly) || file.write("<html>post</html>") < 0)
            die("cannot write the post files");
    }
    const std::string config = "<?xml version=\"1.0\" encoding=\"GBK\"?>\n<r><"
            + Gbk::literal("数据库连接字符串") + ">x</" + Gbk::literal("数据库连接字符串") + "><"
            + Gbk::literal("帖子类型") + " TABLE=\"fileposts\" ROOMID=\"1\">a<"
            + Gbk::literal("帖子属性范围") + ">1 4294967295 " + FileSystem::fromQtPath(files)
            + "\\|ROOMID|\\|ID|.htm</" + Gbk::literal("帖子属性范围") + "></"
            + Gbk::literal("帖子类型") + "></r>\n";
    const std::string configPath = FileSystem::fromQtPath(dir.filePath(QStringLiteral("t.xml")));
    if (FileSystem::writeWholeFile(configPath, config))
        die("cannot write the configuration");
    RoomModel rooms;
    std::string reason;
    if (!rooms.LoadTreeConfig(configPath, &reason))
        die(reason);

    Engine sqlite {"Provider=SQLite;Data Source="
                   + FileSystem::fromQtPath(dir.filePath(QStringLiteral("Lumora.db")))};
    sqlite.fillMs = Bench::fillSqlite(sqlite.connection, insertSql(true, "posts", rows, step));
    {
        CAdoManager manager;
        manager.SetCommandTimeout(0);
        if (manager.OpenAdoConnection(sqlite.connection) != 0)
            die(manager.LastError());
        Bench::execute(manager,
                       "CREATE TABLE fileposts (topicid INTEGER PRIMARY KEY, title TEXT, roomid "
                       "INTEGER, username TEXT, reply INTEGER, createtime TEXT)");
        Bench::execute(manager, insertSql(true, "fileposts", fileRows, 1));
    }

    QString why;
    PgCluster cluster;
    if (!cluster.start(why) || !cluster.createDatabase("bench", why))
        die(Gbk::fromQString(why));
    Engine postgres {cluster.connectionString("bench")};
    postgres.fillMs = Bench::fillPostgres(
            postgres.connection, insertSql(false, "posts", rows, step), "VACUUM ANALYZE posts");
    {
        CAdoManager manager;
        manager.SetCommandTimeout(0);
        if (manager.OpenAdoConnection(postgres.connection) != 0)
            die(manager.LastError());
        Bench::execute(manager,
                       "CREATE TABLE fileposts (topicid BIGINT PRIMARY KEY, title TEXT, roomid "
                       "BIGINT, username TEXT, reply INTEGER, createtime TEXT)");
        Bench::execute(manager, insertSql(false, "fileposts", fileRows, 1));
        Bench::execute(manager, "VACUUM ANALYZE fileposts");
    }

    for (Engine *engine : {&sqlite, &postgres}) {
        measureGaps(*engine);
        measureFiles(*engine, rooms); // a first pass puts the files into the page cache
        measureFiles(*engine, rooms);
    }

    std::printf("Gaps of IDs 1 to %lld over %lld rows; files of %lld rows (every tenth "
                "missing)\n\n",
                range, rows, fileRows);
    row("", "SQLite", "PostgreSQL");
    row("data generated (s)", format("%.1f", sqlite.fillMs / 1000),
        format("%.1f", postgres.fillMs / 1000));
    row("gaps of the range (s; limits 2 and 4)", format("%.2f", sqlite.gapsMs / 1000),
        format("%.2f", postgres.gapsMs / 1000));
    row("  missing IDs", format("%.0f", double(sqlite.missing)),
        format("%.0f", double(postgres.missing)));
    row("  runs", format("%.0f", double(sqlite.runs)), format("%.0f", double(postgres.runs)));
    row("  memory growth during the scan (MB; limit 32)", format("%.1f", sqlite.growthMb),
        format("%.1f", postgres.growthMb));
    row("rows checked for their files (rows/s; limit 100000)", format("%.0f", sqlite.filesRate),
        format("%.0f", postgres.filesRate));
    row("  lost files", format("%.0f", double(sqlite.lost)), format("%.0f", double(postgres.lost)));
    return 0;
}
