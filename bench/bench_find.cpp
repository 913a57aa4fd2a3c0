// Title searches of a whole post table on a large archive, SQLite and PostgreSQL side by
// side: the find's query to its first page shown, for patterns of 2 and 4 characters,
// without and with the title index; the index's build time and size; and the rate of
// inserting posts while the index is kept up to date.
//
//   bench_find [posts] [inserted posts]      (defaults 1000000 50000)

#include "BenchData.h"
#include "BenchSupport.h"
#include "PgCluster.h"

#include "browser/db/CAdoManager.h"
#include "browser/db/CAdoRecordset.h"
#include "browser/db/EmbeddedDatabase.h"
#include "browser/posts/PostPager.h"
#include "browser/posts/PostQuery.h"
#include "browser/posts/PostStatements.h"
#include "browser/posts/TitleIndex.h"
#include "common/Codec.h"
#include "common/FileSystem.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using Bench::die;
using Bench::execute;
using Bench::msSince;

long long posts = 1000000;
long long inserted = 50000;
constexpr int Runs = 5;
constexpr int PoolSize = 2500;
constexpr int PieceLength = 5;

// 2500 CJK characters in a fixed shuffled order, as GBK.
std::string characterPool()
{
    QString pool;
    unsigned state = 12345;
    for (int i = 0; i < PoolSize + PieceLength; ++i) {
        state = state * 1103515245u + 12345u;
        pool += QChar(char16_t(0x4E00 + (state >> 8) % 6000));
    }
    return Gbk::fromQString(pool);
}

// Titles of three pieces of the pool at offsets taken from the post ID: the same rows on
// both engines.
std::string titleExpression(const std::string &pool)
{
    std::string expression;
    for (const long long prime : {7919LL, 104729LL, 1299709LL}) {
        if (!expression.empty())
            expression += " || ";
        expression += "substr('" + pool + "', cast(1 + (i * " + std::to_string(prime) + ") % "
                + std::to_string(PoolSize) + " as integer), " + std::to_string(PieceLength) + ")";
    }
    return expression;
}

std::string insertSql(bool sqlite, const std::string &pool, long long first, long long last)
{
    const std::string values = "i, " + titleExpression(pool)
            + ", 100 + i % 13, 'u', i % 311, "
              "'2024-01-01 00:00:00'";
    if (sqlite)
        return "WITH RECURSIVE s(i) AS (SELECT " + std::to_string(first)
                + " UNION ALL SELECT i + 1 FROM s WHERE i < " + std::to_string(last)
                + ") INSERT INTO posts SELECT " + values + " FROM s";
    return "INSERT INTO posts SELECT " + values + " FROM generate_series(" + std::to_string(first)
            + "::bigint" + ", " + std::to_string(last) + ") AS s(i)";
}

long long number(CAdoManager &manager, const BoundStatement &statement)
{
    std::unique_ptr<CAdoRecordset> rs;
    if (manager.ExecuteSql(statement, rs, CAdoManager::CommandText) != 0)
        die(manager.LastError());
    long long value = 0;
    rs->Value(0).ToInt64(value);
    return value;
}

struct Engine
{
    const char *name;
    std::string connection;
    SqlDialect dialect;
    double generateMs = 0;
    double fixedMs = 0; // the same road for one post by its key
    double scan[2] {}; // count(*) with LIKE, 2 and 4 characters
    double plain[2] {}; // the find to its first page, no index
    double indexed[2] {};
    long rows[2] {};
    long rowsIndexed[2] {};
    double buildMs = 0;
    double indexMb = 0;
    double insertPlain = 0; // posts per second
    double insertIndexed = 0;
};

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double toFirstPage(const Engine &engine, const BoundStatement &statement, long &count);

// The find's query through the post list's own query and first page.
double findToFirstPage(const Engine &engine, const std::string &text, bool index, long &count)
{
    FindQueryInput input;
    input.table = "posts";
    input.text = text;
    BoundStatement statement;
    std::string problem;
    if (!ComposeFindQuery(input, engine.dialect, statement, problem, index))
        die(problem);
    return toFirstPage(engine, statement, count);
}

// Open, query, count, first page, close: as Kestrel lists any query.
double toFirstPage(const Engine &engine, const BoundStatement &statement, long &count)
{
    std::vector<double> runs;
    for (int run = 0; run < Runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        PostPager pager([](const std::string &) { return std::string(); });
        PostColumnTable columns;
        const PostQueryOutcome outcome = RunPostQueryInto(pager, engine.connection, statement);
        if (outcome.stage != PostQueryOutcome::Done)
            die(outcome.report);
        columns.RecomputeShown(pager.FieldNames());
        const std::optional<PostPage> page = pager.FirstPage(columns);
        if (!page || page->rows.empty())
            die("no rows for a pattern taken from a title");
        runs.push_back(msSince(timer));
        count = pager.result()->RecordCount();
    }
    return median(runs);
}

double countScan(CAdoManager &manager, const Engine &engine, const std::string &text)
{
    BoundStatement statement;
    statement.sql = engine.dialect == SqlDialect::SQLite
            ? "select count(*) from posts where title like ? escape '\\'"
            : "select count(*) from posts where title collate \"C\" ilike ? escape '\\'";
    statement.values.push_back(SqlValue::fromText("%" + EscapeLikeText(text) + "%"));
    std::vector<double> runs;
    for (int run = 0; run < Runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        number(manager, statement);
        runs.push_back(msSince(timer));
    }
    return median(runs);
}

// Posts as the import inserts them: one bound statement each, committed every 1000.
double insertRate(CAdoManager &manager, const std::string &pool, long long first)
{
    std::string poolText = pool;
    QElapsedTimer timer;
    timer.start();
    for (long long id = first; id < first + inserted; ++id) {
        if ((id - first) % 1000 == 0 && manager.BeginTransaction() != 0)
            die(manager.LastError());
        BoundStatement statement;
        statement.sql = "insert into posts (topicid, title, roomid, username, reply, createtime) "
                        "values (?, ?, ?, ?, ?, ?)";
        const std::size_t offset = std::size_t((id * 7919) % PoolSize) * 2;
        statement.values = {SqlValue::fromInteger(id),
                            SqlValue::fromText(poolText.substr(offset, 2 * 3 * PieceLength)),
                            SqlValue::fromInteger(100 + id % 13),
                            SqlValue::fromText("u"),
                            SqlValue::fromInteger(id % 311),
                            SqlValue::fromText("2024-01-01 00:00:00")};
        if (manager.ExecuteSql(statement, CAdoManager::CommandText) != 0)
            die(manager.LastError());
        if ((id - first) % 1000 == 999 && manager.CommitTransaction() != 0)
            die(manager.LastError());
    }
    if (manager.InTransaction() && manager.CommitTransaction() != 0)
        die(manager.LastError());
    return double(inserted) / (msSince(timer) / 1000);
}

double indexMegabytes(CAdoManager &manager, const Engine &engine)
{
    if (engine.dialect == SqlDialect::PostgreSQL)
        return double(number(manager, {"select pg_relation_size('posts_title_trigram')", {}, {}}))
                / 1048576;
    // Every table of the FTS5 index: posts_title_trigram_data, _idx, _docsize, _config.
    return double(number(manager,
                         {"select sum(pgsize) from dbstat where name like "
                          "'posts_title_trigram%'",
                          {},
                          {}}))
            / 1048576;
}

void measure(Engine &engine, const std::string &pool, const std::vector<std::string> &patterns)
{
    CAdoManager manager;
    manager.SetCommandTimeout(0);
    if (manager.OpenAdoConnection(engine.connection) != 0)
        die(manager.LastError());
    std::string problem;
    DropTitleIndex(manager, engine.dialect, "posts", problem);
    long one = 0;
    engine.fixedMs = toFirstPage(
            engine,
            {"select * from posts where topicid = ?", {SqlValue::fromInteger(posts / 3)}, {}}, one);
    for (int p = 0; p < 2; ++p) {
        engine.scan[p] = countScan(manager, engine, patterns[std::size_t(p)]);
        engine.plain[p] = findToFirstPage(engine, patterns[std::size_t(p)], false, engine.rows[p]);
    }
    engine.insertPlain = insertRate(manager, pool, posts + 1);
    execute(manager, "delete from posts where topicid > " + std::to_string(posts));

    QElapsedTimer timer;
    timer.start();
    if (BuildTitleIndex(manager, engine.dialect, "posts", {}, problem) != TitleIndexResult::Built)
        die(problem);
    engine.buildMs = msSince(timer);
    engine.indexMb = indexMegabytes(manager, engine);
    if (engine.dialect == SqlDialect::PostgreSQL)
        execute(manager, "analyze posts");
    for (int p = 0; p < 2; ++p)
        engine.indexed[p] =
                findToFirstPage(engine, patterns[std::size_t(p)], true, engine.rowsIndexed[p]);
    engine.insertIndexed = insertRate(manager, pool, posts + 1);
}

void row(const char *label, const std::string &sqlite, const std::string &postgres)
{
    std::printf("%-58s %14s %14s\n", label, sqlite.c_str(), postgres.c_str());
}

template<class... Args>
std::string format(const char *pattern, Args... args)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, pattern, args...);
    return buffer;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc > 1)
        posts = std::max(10000LL, std::atoll(argv[1]));
    if (argc > 2)
        inserted = std::max(1000LL, std::atoll(argv[2]));
    const std::string pool = characterPool();
    // Pieces of one title: 2 and 4 characters.
    const std::string sample =
            Gbk::fromQString(Gbk::toQString(pool).mid((posts / 2 * 7919) % PoolSize, 4));
    const std::vector<std::string> patterns {Gbk::fromQString(Gbk::toQString(sample).left(2)),
                                             sample};

    QTemporaryDir dir;
    Engine sqlite {"sqlite",
                   "Provider=SQLite;Data Source="
                           + FileSystem::fromQtPath(dir.filePath(QStringLiteral("Lumora.db"))),
                   SqlDialect::SQLite};
    sqlite.generateMs = Bench::fillSqlite(sqlite.connection, insertSql(true, pool, 1, posts));

    QString reason;
    PgCluster cluster;
    if (!cluster.start(reason) || !cluster.createDatabase("bench", reason))
        die(Gbk::fromQString(reason));
    // pg_trgm takes only letters and digits of the database's character classification
    // into trigrams: a database classified by "C" would leave Chinese titles unindexed.
    Engine postgres {"postgresql", cluster.connectionString("lumora"), SqlDialect::PostgreSQL};
    {
        CAdoManager manager;
        if (manager.OpenAdoConnection(cluster.connectionString("bench")) != 0)
            die(manager.LastError());
        execute(manager,
                "create database lumora template template0 encoding 'UTF8' "
                "lc_collate 'C' lc_ctype 'C.UTF-8'");
    }
    postgres.generateMs = Bench::fillPostgres(postgres.connection, insertSql(false, pool, 1, posts),
                                              "VACUUM ANALYZE posts");

    for (Engine *engine : {&sqlite, &postgres})
        measure(*engine, pool, patterns);

    std::printf("Title search of the whole table on %lld posts with Chinese titles of %d "
                "characters; patterns \"%s\" (2) and \"%s\" (4); median of %d runs\n\n",
                posts, 3 * PieceLength, Gbk::toUtf8(patterns[0]).c_str(),
                Gbk::toUtf8(patterns[1]).c_str(), Runs);
    row("", "SQLite", "PostgreSQL");
    row("data generated (s)", format("%.1f", sqlite.generateMs / 1000),
        format("%.1f", postgres.generateMs / 1000));
    row("one post by its key to its first page (fixed cost, ms)", format("%.1f", sqlite.fixedMs),
        format("%.1f", postgres.fixedMs));
    for (int p = 0; p < 2; ++p) {
        const char *const chars = p == 0 ? "2" : "4";
        std::printf("%s characters\n", chars);
        row("  rows found", format("%ld", sqlite.rows[p]), format("%ld", postgres.rows[p]));
        row("  plain count(*) ... like scan (ms)", format("%.1f", sqlite.scan[p]),
            format("%.1f", postgres.scan[p]));
        row("  find to its first page, no index (ms)", format("%.1f", sqlite.plain[p]),
            format("%.1f", postgres.plain[p]));
        row("  find to its first page, title index (ms)", format("%.1f", sqlite.indexed[p]),
            format("%.1f", postgres.indexed[p]));
        row("  rows found with the index", format("%ld", sqlite.rowsIndexed[p]),
            format("%ld", postgres.rowsIndexed[p]));
    }
    const double million = double(posts) / 1e6;
    row("index build (s per 1,000,000 posts)", format("%.1f", sqlite.buildMs / 1000 / million),
        format("%.1f", postgres.buildMs / 1000 / million));
    row("index size (MB per 1,000,000 posts)", format("%.0f", sqlite.indexMb / million),
        format("%.0f", postgres.indexMb / million));
    std::printf("inserting %lld posts, bound statements, 1000 per transaction\n", inserted);
    row("  without the index (posts/s)", format("%.0f", sqlite.insertPlain),
        format("%.0f", postgres.insertPlain));
    row("  with the index kept up to date (posts/s)", format("%.0f", sqlite.insertIndexed),
        format("%.0f", postgres.insertIndexed));
    row("  ratio with / without", format("%.2f", sqlite.insertIndexed / sqlite.insertPlain),
        format("%.2f", postgres.insertIndexed / postgres.insertPlain));
    return 0;
}
