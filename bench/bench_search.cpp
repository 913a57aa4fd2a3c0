// The body index on generated posts of about 4 KB, SQLite and PostgreSQL side by side:
// the index build from the files (in the page cache, read and prepared on a second thread
// as the build does), its size against the posts' GBK
// size, the memory the build grows by, the query to its first page (count included) for
// four classes of queries drawn from the corpus, median and 99th percentile, and whether
// every query gives exactly the posts a brute-force scan of the normalised texts gives.
//
//   bench_search [posts] [sqlite|postgresql] [--keep DIR [--queries-only]]
//                [--postgres CONNECTION]
//       posts: default 5000; the full run takes 1000000. An engine named: that one
//       alone (the other's column stays empty). --keep: the posts and the SQLite archive
//       stay in DIR, and a later run reads the posts there instead of making them again;
//       --queries-only then asks the kept archive's index without building it (SQLite),
//       and the index of the --postgres database. --postgres: PostgreSQL's index is
//       built in that database (which has none yet) instead of one of a cluster made
//       for the run and removed after it, so that it can be asked again.
//
// The machine's load average is printed before and after: the figures of a loaded
// machine are not those of an idle one.

#include "BenchSupport.h"
#include "PgCluster.h"
#include "SearchCorpus.h"

#include "browser/bodysearch/BodyBatchWriter.h"
#include "browser/bodysearch/BodyIndexBuild.h"
#include "browser/bodysearch/BodyPostReader.h"
#include "browser/db/CAdoManager.h"
#include "browser/db/EmbeddedDatabase.h"
#include "browser/db/SqliteRunSettings.h"
#include "browser/search/BodyIndex.h"
#include "browser/search/BodyPostings.h"
#include "browser/search/BodyTokens.h"
#include "common/Codec.h"
#include "common/FileSystem.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr int BatchPosts = int(BodyIndexBuild::DefaultBatchPosts);
constexpr int PerClass = 50;
constexpr int PageRows = 100;

[[noreturn]] void die(const std::string &what)
{
    std::fprintf(stderr, "bench_search: %s\n", Gbk::toUtf8(what).c_str());
    std::exit(1);
}

std::string loadAverage()
{
    std::ifstream in("/proc/loadavg");
    std::string a, b, c;
    in >> a >> b >> c;
    return a + " " + b + " " + c;
}

double cpuSeconds()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
            + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

std::string postPath(const std::string &root, long long id)
{
    return root + "/" + std::to_string(id / 1000) + "/" + std::to_string(id) + ".htm";
}

struct Query
{
    std::string text; // GBK
    SearchQuery parsed;
    QString pattern; // of its one term
    std::string bytes; // the same in GBK
    std::vector<int> expected; // brute force, ascending
};

struct Figures
{
    double rate = 0;
    double cpu = 0;
    double optimizeSeconds = 0; // the final merge of the build
    double sizeMb = 0;
    long growthMb = 0;
    std::map<std::string, std::vector<double>> latency;
    int exact = 0;
    int asked = 0;
    std::string parts; // sizes of the index's pieces, MB
    double slowestMs = 0;
    std::string slowest; // GBK
};

std::string rowText(CAdoManager &ado, const std::string &sql)
{
    std::unique_ptr<CAdoRecordset> rs;
    if (ado.ExecuteSql(sql, rs, CAdoManager::CommandText) != 0 || !rs->IsOpen() || rs->IsEOF())
        return "?";
    std::string out;
    for (int i = 0; i < rs->FieldCount(); ++i) {
        double v = 0;
        try {
            v = std::stod(rs->Value(i).Text());
        } catch (...) {
        }
        char part[32];
        std::snprintf(part, sizeof part, "%s%.1f", i ? " + " : "", v);
        out += part;
    }
    return out;
}

// The brute-force answers of a kept folder: the text size, then a line for each query
// (its bytes in hex, then the ids it is in).
void saveAnswers(const std::string &path, const std::vector<Query> &queries, long long textBytes)
{
    std::ofstream out(path);
    out << textBytes << '\n';
    for (const Query &q : queries) {
        out << QByteArray::fromStdString(q.text).toHex().toStdString();
        for (int id : q.expected)
            out << ' ' << id;
        out << '\n';
    }
}

bool loadAnswers(const std::string &path, std::vector<Query> &queries, long long &textBytes)
{
    std::ifstream in(path);
    std::string line;
    if (!(in >> textBytes) || !std::getline(in, line))
        return false;
    for (Query &q : queries) {
        if (!std::getline(in, line))
            return false;
        std::istringstream words(line);
        std::string hex;
        words >> hex;
        if (QByteArray::fromHex(QByteArray::fromStdString(hex)).toStdString() != q.text)
            return false;
        q.expected.clear();
        for (int id = 0; words >> id;)
            q.expected.push_back(id);
    }
    return true;
}

double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, std::size_t(p * double(v.size() - 1) + 0.5))];
}

// The pages in use: pages freed by merges stay in the file for reuse.
long long sqliteBytes(CAdoManager &ado)
{
    long long bytes = 0;
    std::unique_ptr<CAdoRecordset> rs;
    if (ado.ExecuteSql(
                "select (select page_count from pragma_page_count()) - (select freelist_count "
                "from pragma_freelist_count()), (select page_size from pragma_page_size())",
                rs, CAdoManager::CommandText)
                == 0
        && rs->IsOpen() && !rs->IsEOF()) {
        long long pages = 0, size = 0;
        rs->Value(0).ToInt64(pages);
        rs->Value(1).ToInt64(size);
        bytes = pages * size;
    }
    return bytes;
}

long long postgresBytes(CAdoManager &ado)
{
    std::unique_ptr<CAdoRecordset> rs;
    long long bytes = 0;
    if (ado.ExecuteSql("select pg_total_relation_size('posts_body_seg') + "
                       "pg_total_relation_size('posts_body_term') + "
                       "pg_total_relation_size('posts_body_doc') + "
                       "pg_total_relation_size('posts_body_text') + "
                       "pg_total_relation_size('posts_body_stale')",
                       rs, CAdoManager::CommandText)
                == 0
        && rs->IsOpen() && !rs->IsEOF())
        rs->Value(0).ToInt64(bytes);
    return bytes;
}

// The index built from the files as the build does it, timed, with its size.
void buildIndex(CAdoManager &ado, BodyIndex &index, DbEngine engine, const std::string &root,
                long long posts, Figures &f)
{
    const long long before = engine == DbEngine::SQLite ? sqliteBytes(ado) : 0;
    // The connection set up as the build sets it up.
    const SqliteRunSettings settings(ado, engine == DbEngine::SQLite, BodyIndexBuild::CacheKib);
    index.DeferMerges();
    const long rss = Bench::processMemoryKb("VmRSS");
    const double cpu0 = cpuSeconds();
    Bench::Stopwatch watch;
    // As the build runs: the files read and their texts prepared on a second thread,
    // a batch or two ahead of the writing.
    BodyPostReader reader(2 * BatchPosts, std::size_t(32) << 20);
    std::string problem;
    if (!reader.Start(problem))
        die(problem);
    long long handed = 0;
    const auto handBatch = [&] {
        std::vector<BodyReadJob> jobs;
        for (int i = 0; i < BatchPosts && handed < posts; ++i) {
            BodyReadJob job;
            job.topicid = ++handed;
            job.path = postPath(root, handed);
            jobs.push_back(std::move(job));
        }
        reader.Add(std::move(jobs));
    };
    handBatch();
    // Batches made into segments as the build makes them: on SQLite on a thread of
    // their own while the one before is written.
    BodyBatchWriter batches(ado, index, engine == DbEngine::SQLite);
    for (long long id = 1; id <= posts; ++id) {
        if ((id - 1) % BatchPosts == 0)
            handBatch(); // the next batch, read while this one is written
        BodyReadResult read;
        if (!reader.Take(read))
            die("the reader stopped");
        if (read.kind != BodyReadResult::Kind::Ready)
            die(read.problem);
        batches.Add(read.topicid, std::move(read.post), read.stamp);
        if (id % BatchPosts == 0 && !batches.Seal())
            die(batches.Problem());
    }
    if (!batches.Finish())
        die(batches.Problem());
    Bench::Stopwatch optimize;
    if (index.Optimize() != 0)
        die(index.Problem());
    f.optimizeSeconds = optimize.milliseconds() / 1000;
    f.rate = double(posts) / (watch.milliseconds() / 1000);
    f.cpu = cpuSeconds() - cpu0;
    f.growthMb = (Bench::processMemoryKb("VmHWM") - rss) / 1024;
    const long long after = engine == DbEngine::SQLite ? sqliteBytes(ado) : postgresBytes(ado);
    f.sizeMb = double(after - before) / 1048576.0;
    f.parts = engine == DbEngine::SQLite
            ? rowText(ado,
                      "select (select sum(length(block)) / 1048576.0 from posts_body_term), "
                      "(select sum(length(texts)) / 1048576.0 from posts_body_text), "
                      "(select count(*) * 32 / 1048576.0 from posts_body_doc), "
                      "(select count(*) / 1e3 from posts_body_term)")
            : rowText(ado,
                      "select pg_total_relation_size('posts_body_term') / 1048576.0, "
                      "pg_total_relation_size('posts_body_text') / 1048576.0, "
                      "pg_total_relation_size('posts_body_doc') / 1048576.0, "
                      "(select count(*) / 1e3 from posts_body_term)");
}

Figures runEngine(const std::string &connection, const std::string &root, long long posts,
                  std::map<std::string, std::vector<Query *>> &classes, bool queriesOnly = false)
{
    Figures f;
    CAdoManager ado;
    if (ado.OpenAdoConnection(connection) != 0)
        die(ado.LastError());
    const DbEngine engine = BodyIndex::EngineOf(connection);
    BodyIndex index(ado, engine, "posts");
    if (!queriesOnly && index.Create() != 0)
        die(index.Problem());
    if (!queriesOnly)
        buildIndex(ado, index, engine, root, posts, f);
    for (auto &[name, queries] : classes) {
        for (Query *q : queries) {
            BodySearchResult page;
            Bench::Stopwatch t;
            if (index.Search(q->parsed, {}, 0, PageRows, page) != 0)
                die(index.Problem());
            const double ms = t.milliseconds();
            f.latency[name].push_back(ms);
            if (ms > f.slowestMs) {
                f.slowestMs = ms;
                f.slowest = q->text;
            }
            BodySearchResult all;
            if (index.Search(q->parsed, {}, 0, int(posts), all) != 0)
                die(index.Problem());
            std::vector<int> got(all.topicids.begin(), all.topicids.end());
            std::reverse(got.begin(), got.end());
            ++f.asked;
            if (got == q->expected && all.count == (long long)got.size())
                ++f.exact;
        }
    }
    return f;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0); // progress shows while it runs
    long long posts = 5000;
    std::string only, keep, postgres;
    bool queriesOnly = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--keep" && i + 1 < argc)
            keep = argv[++i];
        else if (arg == "--postgres" && i + 1 < argc)
            postgres = argv[++i];
        else if (arg == "--queries-only")
            queriesOnly = true;
        else if (arg == "sqlite" || arg == "postgresql")
            only = arg;
        else if (!arg.empty() && arg[0] >= '0' && arg[0] <= '9')
            posts = std::atoll(arg.c_str());
        else
            die("usage: bench_search [posts] [sqlite|postgresql] [--keep DIR [--queries-only]] "
                "[--postgres CONNECTION]");
    }
    if (posts < 100)
        die("posts: at least 100");
    if (queriesOnly && (keep.empty() || (only != "sqlite" && postgres.empty())))
        die("--queries-only asks a kept archive: give --keep DIR, and sqlite or --postgres");
    std::printf("load average at start: %s\n", loadAverage().c_str());

    QTemporaryDir dir(QDir::tempPath() + QLatin1String("/bench_search-XXXXXX"));
    if (!keep.empty())
        QDir().mkpath(Gbk::toQString(keep));
    const QString base = keep.empty() ? dir.path() : Gbk::toQString(keep);
    const std::string root = FileSystem::fromQtPath(base) + "/posts";
    std::string kept;
    const bool reuse = !keep.empty() && !FileSystem::readWholeFile(postPath(root, 1), kept);
    SearchCorpus corpus(20240601);
    long long fileBytes = 0;
    long long textBytes = 0;
    std::vector<Query> queries;
    auto addQuery = [&](const std::string &text) {
        Query q;
        q.text = text;
        std::string problem;
        if (!ParseSearchQuery(text, q.parsed, problem) || q.parsed.terms.size() != 1)
            return;
        q.bytes = TermPattern(q.parsed.terms[0]);
        q.pattern = Gbk::toQString(q.bytes);
        queries.push_back(std::move(q));
    };
    Bench::Stopwatch generation;
    for (long long id = 1; id <= posts; ++id) {
        std::string page;
        if (reuse) {
            if (FileSystem::readWholeFile(postPath(root, id), page))
                die("cannot read " + postPath(root, id));
        } else {
            page = corpus.makePost(id);
        }
        if (!reuse && FileSystem::writeWholeFile(postPath(root, id), page)) {
            QDir().mkpath(QString::fromStdString(
                    FileSystem::toDiskPath(root + "/" + std::to_string(id / 1000))));
            if (FileSystem::writeWholeFile(postPath(root, id), page))
                die("cannot write " + postPath(root, id));
        }
        fileBytes += (long long)page.size();
        // Phrases of six CJK characters, drawn from posts across the corpus.
        if (id % (posts / PerClass) == 0) {
            const std::string normal = ExtractPostText(page).text;
            for (std::string_view e : BodyTokens::Elements(normal)) {
                if (BodyTokens::IsCjkElement(e) && e.size() >= 12) {
                    addQuery(std::string(e.substr(0, 12)));
                    break;
                }
            }
        }
    }
    const std::size_t phrases = queries.size();
    for (const std::string &w : corpus.commonWords())
        addQuery(w);
    const std::size_t common = queries.size();
    for (const std::string &w : corpus.identifiers())
        addQuery(w);
    const std::size_t idents = queries.size();
    for (const std::string &w : corpus.tailWords(400))
        addQuery(w);
    std::printf("%lld posts generated in %.1f s\n", posts, generation.milliseconds() / 1000);

    // What the index build cannot go below: the texts from the files, their terms into
    // segments of a batch; each timed apart.
    // (The first posts are enough for the times of one.)
    double extractMs = 0, termsMs = 0, prepareMs = 0;
    const long long timed = std::min(posts, 20000LL);
    {
        BodyPostings::PendingSegment segment;
        for (long long id = 1; id <= timed; ++id) {
            PostText text;
            PostFileStamp stamp;
            std::string problem;
            Bench::Stopwatch t;
            if (!ExtractPostFile(postPath(root, id), text, stamp, problem))
                die(problem);
            extractMs += t.milliseconds();
            Bench::Stopwatch u;
            BodyPostings::ForEachTerm(text.text, [&](std::string_view) {});
            segment.add(id, text.text, stamp.size, stamp.modified);
            termsMs += u.milliseconds();
            Bench::Stopwatch w;
            const PreparedBodyPost prepared = BodyIndex::Prepare(text);
            prepareMs += w.milliseconds();
            if (id % BatchPosts == 0)
                segment.clear();
        }
    }
    const double extractionRate = double(timed) / (extractMs / 1000);

    // The reference: every candidate against every post's normalised text.
    Bench::Stopwatch scan;
    // A kept folder keeps the scan's answers too: at a million posts the scan takes
    // longer than everything else.
    const std::string answers =
            keep.empty() ? std::string() : keep + "/expected-" + std::to_string(posts) + ".txt";
    const bool scanned = !answers.empty() && loadAnswers(answers, queries, textBytes);
    for (long long id = 1; id <= posts && !scanned; ++id) {
        PostText text;
        PostFileStamp stamp;
        std::string problem;
        if (!ExtractPostFile(postPath(root, id), text, stamp, problem))
            die(problem);
        textBytes += (long long)text.text.size();
        // Bytes first (fast); a byte match may start inside a double-byte character,
        // so it is confirmed on the characters.
        QString normal;
        for (Query &q : queries) {
            if (text.text.find(q.bytes) == std::string::npos)
                continue;
            if (normal.isEmpty())
                normal = Gbk::toQString(text.text);
            if (normal.contains(q.pattern))
                q.expected.push_back(int(id));
        }
    }
    if (!scanned && !answers.empty())
        saveAnswers(answers, queries, textBytes);
    std::map<std::string, std::vector<Query *>> classes;
    auto fill = [&](const char *name, std::size_t from, std::size_t to, bool rareOnly) {
        std::vector<Query *> pool;
        for (std::size_t i = from; i < to; ++i) {
            const std::size_t hits = queries[i].expected.size();
            if (!rareOnly || (hits > 0 && hits <= 100))
                pool.push_back(&queries[i]);
        }
        for (std::size_t i = 0; !pool.empty() && i < PerClass; ++i)
            classes[name].push_back(pool[i % pool.size()]);
    };
    fill("1 rare words (<=100 hits)", idents, queries.size(), true);
    fill("2 common 1-2 char words", phrases, common, false);
    fill("3 6-char phrases", 0, phrases, false);
    fill("4 English identifiers", common, idents, false);
    std::printf("brute-force scan of %zu candidates in %.1f s\n", queries.size(),
                scan.milliseconds() / 1000);

    const QString sqliteFile = base + QLatin1String("/archive.db");
    const std::string sqlite = "Provider=SQLite;Data Source=" + FileSystem::fromQtPath(sqliteFile);
    if (!queriesOnly)
        QFile::remove(sqliteFile);
    std::string error;
    if (EnsureEmbeddedDatabase(sqlite, {"posts"}, error) != 0)
        die(error);
    Figures lite;
    if (only != "postgresql")
        lite = runEngine(sqlite, root, posts, classes, queriesOnly);
    // Printed at once too: a long run's first half is not lost with its second.
    std::printf("SQLite: build %.0f posts/s, size %.1f MB, memory growth %ld MB, %d/%d exact\n",
                lite.rate, lite.sizeMb, lite.growthMb, lite.exact, lite.asked);
    for (const auto &[name, list] : lite.latency)
        std::printf("SQLite: %s: %.1f / %.1f ms\n", name.c_str() + 2, percentile(list, 0.5),
                    percentile(list, 0.99));
    std::printf("load average after SQLite: %s\n", loadAverage().c_str());

    PgCluster cluster;
    QString reason;
    Figures pg;
    if (only != "sqlite") {
        std::string connection = postgres;
        if (connection.empty()) {
            if (!cluster.start(reason) || !cluster.createDatabase("bench", reason))
                die("PostgreSQL: " + reason.toStdString());
            connection = cluster.connectionString("bench");
        }
        pg = runEngine(connection, root, posts, classes, queriesOnly);
    }

    const double gbkMb = double(fileBytes) / 1048576.0;
    const double textMb = double(textBytes) / 1048576.0;
    std::printf("\n%lld posts, %.2f KB each: GBK files %.1f MB, normalised text %.1f MB\n", posts,
                double(fileBytes) / double(posts) / 1024, gbkMb, textMb);
    std::printf("%-34s %14s %14s\n", "", "SQLite", "PostgreSQL");
    std::printf("%-34s %14.0f %14s\n", "texts from files alone (posts/s)", extractionRate, "");
    std::printf("  per post: text %.0f us, terms and kept text %.0f us\n",
                1000 * extractMs / double(timed), 1000 * termsMs / double(timed));
    std::printf("  per post on the reading thread: text and its preparation %.0f us\n",
                1000 * (extractMs + prepareMs) / double(timed));
    std::printf("%-34s %14.0f %14.0f\n", "index build (posts/s)", lite.rate, pg.rate);
    std::printf("%-34s %14.1f %14.1f\n", "  CPU of this process (s)", lite.cpu, pg.cpu);
    std::printf("%-34s %14.1f %14.1f\n", "  of it, the final Optimize (s)", lite.optimizeSeconds,
                pg.optimizeSeconds);
    std::printf("%-34s %14.1f %14.1f\n", "index size (MB)", lite.sizeMb, pg.sizeMb);
    std::printf("%-34s %14.2f %14.2f\n", "  x GBK file size", lite.sizeMb / gbkMb,
                pg.sizeMb / gbkMb);
    std::printf("  SQLite: blocks + texts + post rows (~32 B each) MB, thousand blocks = %s\n",
                lite.parts.c_str());
    std::printf("  PostgreSQL: blocks + texts + post rows (tables, MB), thousand blocks = %s\n",
                pg.parts.c_str());
    std::printf("%-34s %14.2f %14.2f\n", "  x normalised text (GBK)", lite.sizeMb / textMb,
                pg.sizeMb / textMb);
    std::printf("%-34s %14ld %14ld\n", "memory growth of the build (MB)", lite.growthMb,
                pg.growthMb);
    std::printf("first page with count, ms: median / p99\n");
    for (const auto &[name, list] : classes) {
        std::size_t hits = 0;
        for (const Query *q : list)
            hits += q->expected.size();
        char label[80];
        std::snprintf(label, sizeof label, "  %s, %zu q, %.0f hits", name.c_str() + 2, list.size(),
                      double(hits) / double(list.size()));
        const std::vector<double> none;
        const auto &a = lite.latency.count(name) ? lite.latency.at(name) : none;
        const auto &b = pg.latency.count(name) ? pg.latency.at(name) : none;
        std::printf("%-34s %6.1f /%6.1f %6.1f /%6.1f\n", label, percentile(a, 0.5),
                    percentile(a, 0.99), percentile(b, 0.5), percentile(b, 0.99));
    }
    std::printf("  slowest: SQLite %s %.1f ms, PostgreSQL %s %.1f ms\n",
                Gbk::toUtf8(lite.slowest).c_str(), lite.slowestMs, Gbk::toUtf8(pg.slowest).c_str(),
                pg.slowestMs);
    std::printf("%-34s %10d/%-3d %10d/%-3d\n", "exact (equal to the brute force)", lite.exact,
                lite.asked, pg.exact, pg.asked);
    std::printf("load average at end: %s\n", loadAverage().c_str());
    return lite.exact == lite.asked && pg.exact == pg.asked ? 0 : 1;
}
