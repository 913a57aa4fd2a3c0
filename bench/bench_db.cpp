// The database layer on a large archive, on SQLite and on PostgreSQL side by side: the
// post list (1,000,000 posts, one room of 200,000 listed 100 rows a page; the first page
// of a room of 2,000,000 of 3,000,000), small bound queries, and inserts beside a
// listed room and in transactions.
//
//   bench_db [posts] [room size] [big posts] [big room size] [inserts]
//            (defaults 1000000 200000 3000000 2000000 20000)

#include "BenchData.h"
#include "BenchSupport.h"
#include "DbWriteBench.h"
#include "PgCluster.h"

#include "browser/db/CAdoManager.h"
#include "browser/db/CAdoRecordset.h"
#include "browser/db/EmbeddedDatabase.h"
#include "browser/posts/PostPager.h"
#include "browser/posts/PostQuery.h"
#include "common/Codec.h"
#include "common/FileSystem.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

using Bench::die;
using Bench::execute;
using Bench::msSince;

constexpr int PageSize = 100;
constexpr int RoomId = 7;

long long posts = 1000000;
long long roomSize = 200000;
long long bigPosts = 3000000;
long long bigRoomSize = 2000000;
int inserts = 20000;

// Resident memory in KiB.
long residentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return 0;
}

struct Spread
{
    double median = 0;
    double max = 0;
};

Spread spread(std::vector<double> values)
{
    if (values.empty())
        return {};
    std::sort(values.begin(), values.end());
    return {values[values.size() / 2], values.back()};
}

// The same rows on both engines: inRoom of the posts, spread evenly, are in the room.
std::string insertSql(bool sqlite, long long total, long long inRoom)
{
    const std::string n = std::to_string(total);
    // i is in the room when (i * inRoom) / total moves on at i.
    const std::string in = "(i * " + std::to_string(inRoom) + ") / " + n + " <> ((i - 1) * "
            + std::to_string(inRoom) + ") / " + n;
    const std::string pad = sqlite ? "substr('0' || (%1), -2)" : "lpad((%1)::text, 2, '0')";
    auto two = [&](const std::string &expression) {
        std::string text = pad;
        text.replace(text.find("%1"), 2, expression);
        return text;
    };
    const std::string values = "i, '" + Gbk::literal("帖子标题第") + "' || i || '"
            + Gbk::literal("号") + "', CASE WHEN " + in + " THEN " + std::to_string(RoomId)
            + " ELSE 100 + i % 13 END, '" + Gbk::literal("用户")
            + "' || (i % 997), i % 311, '2024-' || " + two("1 + i % 12") + " || '-' || "
            + two("1 + i % 28") + " || ' ' || " + two("i % 24") + " || ':' || " + two("i % 60")
            + " || ':00'";
    if (sqlite)
        return "WITH RECURSIVE s(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM s WHERE i < " + n
                + ") INSERT INTO posts SELECT " + values + " FROM s";
    return "INSERT INTO posts SELECT " + values + " FROM generate_series(1::bigint, " + n
            + ") AS s(i)";
}

struct Engine
{
    Engine(const char *engineName, std::string connectionString, QString driverName)
        : name(engineName)
        , connection(std::move(connectionString))
        , driver(std::move(driverName))
    {
    }

    const char *name;
    std::string connection;
    QString driver;
    // Filled by the runs:
    double generateMs = 0;
    std::vector<double> opens;
    std::vector<double> loadedOpens; // PostgreSQL, before the table is at rest
    std::vector<double> bigOpens;
    long bigKb = 0;
    long bigCount = 0;
    double bigNextMs = 0, bigPreviousMs = 0;
    WriteFigures writes;
    double naiveMs = 0;
    long naiveKb = 0;
    std::vector<double> nextPages, previousPages;
    std::vector<std::pair<const char *, double>> nextAt, previousAt;
    long pagingKb = 0;
    long count = 0;
    bool everyRowOnce = false;
    bool sameRowsBack = false;
};

// The post list's own query and paging: RunPostQuery's database part and the pager.
struct Listing
{
    PostPager pager {[](const std::string &) { return std::string(); }};
    PostColumnTable columns;
    int rowsInList = 0;

    // The rows of a page as the list would show them; false when no page was shown.
    bool apply(const std::optional<PostPage> &page, std::vector<long long> *ids)
    {
        if (!page || !page->replaceRows)
            return false;
        rowsInList = int(page->rows.size());
        for (const PostListRow &row : page->rows) {
            if (row.itemData != RoomId || row.values.size() != 6 || !row.values[1])
                die("unexpected row");
            if (ids)
                ids->push_back(std::stoll(*row.values[1]));
        }
        return true;
    }
    bool next(std::vector<long long> *ids) { return apply(pager.NextPage(columns), ids); }
    bool previous(std::vector<long long> *ids)
    {
        return apply(pager.PreviousPage(columns, rowsInList), ids);
    }
};

void runPostQuery(const Engine &engine, Listing &listing)
{
    const PostQueryOutcome outcome =
            RunPostQueryInto(listing.pager, engine.connection,
                             "select * from posts where roomid=" + std::to_string(RoomId));
    if (outcome.stage != PostQueryOutcome::Done)
        die(outcome.report);
    listing.columns.RecomputeShown(listing.pager.FieldNames());
}

void measureOpen(const Engine &engine, std::vector<double> &opens, int runs)
{
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        Listing listing;
        runPostQuery(engine, listing);
        if (!listing.apply(listing.pager.FirstPage(listing.columns), nullptr))
            die("no first page");
        opens.push_back(msSince(timer));
    }
}

void measurePaging(Engine &engine)
{
    std::vector<long long> order;
    order.reserve(std::size_t(roomSize) + PageSize);
    std::vector<unsigned char> seen(std::size_t(posts) + 1, 0);
    std::vector<long long> page;
    page.reserve(PageSize);
    engine.nextPages.reserve(std::size_t(roomSize / PageSize) + 2);
    engine.previousPages.reserve(std::size_t(roomSize / PageSize) + 2);
    malloc_trim(0);
    const long before = residentKb();
    long peak = before;

    Listing listing;
    runPostQuery(engine, listing);
    engine.count = listing.pager.result()->RecordCount();
    const long long pages = (engine.count + PageSize - 1) / PageSize;
    auto place = [&](long long index, bool backward) -> const char * {
        if (index == 0)
            return "first";
        if (index == pages / 4)
            return "1/4";
        if (index == pages / 2)
            return "1/2";
        if (index == pages * 3 / 4)
            return "3/4";
        if (index == pages - 1)
            return "last";
        if (backward && index == pages - 2)
            return "from last";
        return nullptr;
    };

    for (long long index = 0;; ++index) {
        QElapsedTimer timer;
        timer.start();
        const bool shown = index == 0
                ? listing.apply(listing.pager.FirstPage(listing.columns), &order)
                : listing.next(&order);
        if (!shown)
            break;
        const double ms = msSince(timer);
        engine.nextPages.push_back(ms);
        if (const char *where = place(index, false))
            engine.nextAt.emplace_back(where, ms);
        peak = std::max(peak, residentKb());
    }
    bool once = order.size() == std::size_t(engine.count);
    for (long long id : order) {
        once = once && id > 0 && id <= posts && !seen[std::size_t(id)];
        if (id > 0 && id <= posts)
            seen[std::size_t(id)] = 1;
    }
    engine.everyRowOnce = once && engine.count == roomSize;

    // Back from the last page to the first, each page checked against the forward pass.
    bool same = true;
    for (long long index = pages - 2; index >= 0; --index) {
        page.clear();
        QElapsedTimer timer;
        timer.start();
        if (!listing.previous(&page))
            break;
        const double ms = msSince(timer);
        engine.previousPages.push_back(ms);
        if (const char *where = place(index, true))
            engine.previousAt.emplace_back(where, ms);
        same = same
                && std::equal(page.begin(), page.end(),
                              order.begin() + std::ptrdiff_t(index * PageSize));
        peak = std::max(peak, residentKb());
    }
    engine.sameRowsBack =
            same && listing.pager.rowsShown() == std::min<long long>(PageSize, engine.count);
    engine.pagingKb = peak - before;
}

// A plain client-side QSqlQuery that fetches every row of the room.
void measureNaive(Engine &engine, const QString &sqliteFile, const PgCluster *cluster)
{
    malloc_trim(0);
    const long before = residentKb();
    const QString name = QStringLiteral("naive-") + QString::fromLatin1(engine.name);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(engine.driver, name);
        if (cluster) {
            db.setHostName(cluster->socketDirectory());
            db.setPort(cluster->port());
            db.setDatabaseName(QStringLiteral("bench"));
            db.setUserName(QStringLiteral("postgres"));
        } else {
            db.setDatabaseName(sqliteFile);
        }
        QElapsedTimer timer;
        timer.start();
        if (!db.open())
            die(Gbk::fromQString(db.lastError().text()));
        QSqlQuery query(db);
        if (!query.exec(QStringLiteral("select * from posts where roomid=%1").arg(RoomId)))
            die(Gbk::fromQString(query.lastError().text()));
        long rows = 0;
        while (query.next())
            ++rows;
        query.last();
        engine.naiveMs = msSince(timer);
        engine.naiveKb = residentKb() - before;
        if (rows != roomSize)
            die("naive fetch read " + std::to_string(rows) + " rows");
    }
    QSqlDatabase::removeDatabase(name);
}

std::string at(const std::vector<std::pair<const char *, double>> &places)
{
    std::string text;
    for (const auto &[where, ms] : places) {
        char item[64];
        std::snprintf(item, sizeof item, "%s%.1f", text.empty() ? "" : " / ", ms);
        text += item;
    }
    return text;
}

std::string placeNames(const std::vector<std::pair<const char *, double>> &places)
{
    std::string text;
    for (const auto &place : places)
        text += (text.empty() ? "" : ", ") + std::string(place.first);
    return text;
}

void row(const char *label, const std::string &a, const std::string &b)
{
    std::printf("%-48s %-28s %s\n", label, a.c_str(), b.c_str());
}

std::string format(const char *pattern, double a, double b = 0)
{
    char text[128];
    std::snprintf(text, sizeof text, pattern, a, b);
    return text;
}

// The first page of a big room, from a database of its own: time and memory growth,
// and the next and previous page from there.
void measureBig(Engine &engine)
{
    for (int run = 0; run < 3; ++run) {
        malloc_trim(0);
        const long before = residentKb();
        QElapsedTimer timer;
        timer.start();
        Listing listing;
        runPostQuery(engine, listing);
        if (!listing.apply(listing.pager.FirstPage(listing.columns), nullptr))
            die("no first page");
        engine.bigOpens.push_back(msSince(timer));
        engine.bigKb = std::max(engine.bigKb, residentKb() - before);
        engine.bigCount = listing.pager.result()->RecordCount();
        timer.restart();
        listing.next(nullptr);
        engine.bigNextMs = msSince(timer);
        listing.next(nullptr);
        listing.next(nullptr);
        timer.restart();
        listing.previous(nullptr);
        engine.bigPreviousMs = msSince(timer);
    }
}

// One SQLite file and one PostgreSQL database with `total` posts, inRoom in the room.
void makeData(Engine &sqlite, Engine &postgres, long long total, long long inRoom)
{
    sqlite.generateMs = Bench::fillSqlite(sqlite.connection, insertSql(true, total, inRoom));
    postgres.generateMs = Bench::fillPostgres(postgres.connection, insertSql(false, total, inRoom),
                                              "ANALYZE posts");
}

// An archive at rest: autovacuum has marked the table's pages all-visible, so COUNT(*)
// reads the room's index alone. A VACUUM right after the load can find its horizon held
// back by autovacuum's own ANALYZE of the new rows, so it is repeated until every page
// is marked.
void settle(const Engine &postgres)
{
    CAdoManager manager;
    manager.SetCommandTimeout(0);
    if (manager.OpenAdoConnection(postgres.connection) != 0)
        die(manager.LastError());
    for (int attempt = 0; attempt < 20; ++attempt) {
        execute(manager, "VACUUM posts");
        std::unique_ptr<CAdoRecordset> rs;
        if (manager.ExecuteSql("SELECT (relallvisible >= relpages)::int FROM pg_class WHERE oid = "
                               "'posts'::regclass",
                               rs, CAdoManager::CommandText)
            != 0)
            die(manager.LastError());
        if (rs->Value(0).Text() == "1")
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
    }
    die("the table did not come to rest");
}

void printListing(const Engine &sqlite, const Engine &postgres)
{
    row("", "SQLite", "PostgreSQL");
    row("data generated (s)", format("%.1f", sqlite.generateMs / 1000),
        format("%.1f", postgres.generateMs / 1000));
    const Spread sqliteOpen = spread(sqlite.opens);
    const Spread pgOpen = spread(postgres.opens);
    row("RunPostQuery to the first page shown, median (ms)", format("%.1f", sqliteOpen.median),
        format("%.1f", pgOpen.median));
    row("  max of 7 runs (ms)", format("%.1f", sqliteOpen.max), format("%.1f", pgOpen.max));
    row("  right after the load, before VACUUM (ms)", "-",
        format("%.1f", spread(postgres.loadedOpens).median));
    row("naive full fetch of the room (ms)", format("%.0f", sqlite.naiveMs),
        format("%.0f", postgres.naiveMs));
    row("  memory growth (MB)", format("+%.1f", double(sqlite.naiveKb) / 1024),
        format("+%.1f", double(postgres.naiveKb) / 1024));
    row("  ratio naive / open+first page", format("%.1fx", sqlite.naiveMs / sqliteOpen.median),
        format("%.1fx", postgres.naiveMs / pgOpen.median));
    const Spread sqliteNext = spread(sqlite.nextPages);
    const Spread pgNext = spread(postgres.nextPages);
    row("next page over all pages, median / max (ms)",
        format("%.2f / %.1f", sqliteNext.median, sqliteNext.max),
        format("%.2f / %.1f", pgNext.median, pgNext.max));
    const std::string nextPlaces = "  at " + placeNames(sqlite.nextAt);
    row(nextPlaces.c_str(), at(sqlite.nextAt), at(postgres.nextAt));
    const Spread sqlitePrevious = spread(sqlite.previousPages);
    const Spread pgPrevious = spread(postgres.previousPages);
    row("previous page over all pages, median / max",
        format("%.2f / %.1f", sqlitePrevious.median, sqlitePrevious.max),
        format("%.2f / %.1f", pgPrevious.median, pgPrevious.max));
    const std::string previousPlaces = "  to " + placeNames(sqlite.previousAt);
    row(previousPlaces.c_str(), at(sqlite.previousAt), at(postgres.previousAt));
    row("memory growth, paged to the end and back (MB)",
        format("+%.1f", double(sqlite.pagingKb) / 1024),
        format("+%.1f", double(postgres.pagingKb) / 1024));
    row("record count", std::to_string(sqlite.count), std::to_string(postgres.count));
    row("every topicid once, in a stable order",
        sqlite.everyRowOnce && sqlite.sameRowsBack ? "yes" : "NO",
        postgres.everyRowOnce && postgres.sameRowsBack ? "yes" : "NO");
}

void printBig(const Engine &sqlite, const Engine &postgres)
{
    std::printf("\nA room of %lld rows of %lld posts\n\n", bigRoomSize, bigPosts);
    row("", "SQLite", "PostgreSQL");
    row("data generated (s)", format("%.1f", sqlite.generateMs / 1000),
        format("%.1f", postgres.generateMs / 1000));
    const Spread a = spread(sqlite.bigOpens);
    const Spread b = spread(postgres.bigOpens);
    row("RunPostQuery to the first page shown, median (ms)", format("%.0f", a.median),
        format("%.0f", b.median));
    row("  max of 3 runs (ms)", format("%.0f", a.max), format("%.0f", b.max));
    row("  memory growth (MB)", format("+%.1f", double(sqlite.bigKb) / 1024),
        format("+%.1f", double(postgres.bigKb) / 1024));
    row("  record count", std::to_string(sqlite.bigCount), std::to_string(postgres.bigCount));
    row("next page / previous page there (ms)",
        format("%.2f / %.2f", sqlite.bigNextMs, sqlite.bigPreviousMs),
        format("%.2f / %.2f", postgres.bigNextMs, postgres.bigPreviousMs));
}

void printWrites(const Engine &sqlite, const Engine &postgres)
{
    const WriteFigures &a = sqlite.writes;
    const WriteFigures &b = postgres.writes;
    std::printf("\nWriters through CAdoManager with bound values (%d rows a run)\n\n", inserts);
    row("", "SQLite", "PostgreSQL");
    row("select 1 ... where topicid = ?, record set, median (us)", format("%.1f", a.smallMedianUs),
        format("%.1f", b.smallMedianUs));
    row("  with a connection of its own (before) (us)", format("%.0f", a.smallPerConnectionUs),
        format("%.0f", b.smallPerConnectionUs));
    row("single-row inserts, nothing listed (us each)", format("%.1f", a.insertIdleUs),
        format("%.1f", b.insertIdleUs));
    row("  with a room listed through the pager (us each)", format("%.1f", a.insertListedUs),
        format("%.1f", b.insertListedUs));
    row("  ratio listed / nothing listed", format("%.2f", a.insertListedUs / a.insertIdleUs),
        format("%.2f", b.insertListedUs / b.insertIdleUs));
    row("  largest WAL file meanwhile (MB)", format("%.1f", a.walListedMb), "-");
    row("inserts in transactions of 2,000 (rows/s)", format("%.0f", a.transactionRowsPerSecond),
        format("%.0f", b.transactionRowsPerSecond));
    row("duplicate check + insert, same (files/s)", format("%.0f", a.importFilesPerSecond),
        format("%.0f", b.importFilesPerSecond));
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc > 1)
        posts = std::max(1000LL, std::atoll(argv[1]));
    if (argc > 2)
        roomSize = std::clamp(std::atoll(argv[2]), 1LL, posts);
    if (argc > 3)
        bigPosts = std::max(1000LL, std::atoll(argv[3]));
    if (argc > 4)
        bigRoomSize = std::clamp(std::atoll(argv[4]), 1LL, bigPosts);
    if (argc > 5)
        inserts = std::max(2000, std::atoi(argv[5]) / 2000 * 2000);

    QTemporaryDir dir;
    QString reason;
    PgCluster cluster;
    if (!cluster.start(reason) || !cluster.createDatabase("bench", reason)
        || !cluster.createDatabase("bigbench", reason))
        die(Gbk::fromQString(reason));
    const QString sqliteFile = dir.filePath(QStringLiteral("Lumora.db"));
    Engine sqlite {"sqlite", "Provider=SQLite;Data Source=" + FileSystem::fromQtPath(sqliteFile),
                   QStringLiteral("QSQLITE")};
    Engine postgres {"postgresql", cluster.connectionString("bench"), QStringLiteral("QPSQL")};
    makeData(sqlite, postgres, posts, roomSize);
    measureOpen(postgres, postgres.loadedOpens, 3);
    settle(postgres);

    for (Engine *engine : {&sqlite, &postgres}) {
        measureOpen(*engine, engine->opens, 7);
        measurePaging(*engine);
    }
    measureNaive(sqlite, sqliteFile, nullptr);
    measureNaive(postgres, QString(), &cluster);
    const std::string roomQuery = "select * from posts where roomid=" + std::to_string(RoomId);
    sqlite.writes = MeasureWrites(sqlite.connection, roomQuery, sqliteFile + QStringLiteral("-wal"),
                                  inserts);
    postgres.writes = MeasureWrites(postgres.connection, roomQuery, QString(), inserts);

    Engine bigSqlite {"sqlite",
                      "Provider=SQLite;Data Source="
                              + FileSystem::fromQtPath(dir.filePath(QStringLiteral("Big.db"))),
                      QStringLiteral("QSQLITE")};
    Engine bigPostgres {"postgresql", cluster.connectionString("bigbench"),
                        QStringLiteral("QPSQL")};
    makeData(bigSqlite, bigPostgres, bigPosts, bigRoomSize);
    settle(bigPostgres);
    measureBig(bigSqlite);
    measureBig(bigPostgres);

    std::printf("Post list on %lld posts, room %d with %lld rows: \"select * from posts where "
                "roomid=%d\", pages of %d rows\n\n",
                posts, RoomId, roomSize, RoomId, PageSize);
    printListing(sqlite, postgres);
    printBig(bigSqlite, bigPostgres);
    printWrites(sqlite, postgres);
    return sqlite.everyRowOnce && sqlite.sameRowsBack && postgres.everyRowOnce
                    && postgres.sameRowsBack && bigSqlite.bigCount == bigRoomSize
                    && bigPostgres.bigCount == bigRoomSize
            ? 0
            : 1;
}
