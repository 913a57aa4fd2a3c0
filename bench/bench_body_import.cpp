// The import with the body index on, beside its two halves in the same run: the import
// alone into a table without a body index, the index build alone over what that import
// made, and the import into a table whose body index is kept in each batch, on SQLite and
// on PostgreSQL. The last should go at no less than 0.8 of the slower of the first two.
//   bench_body_import [files, default 100000] [--keep DIR] [--sqlite-only]
// Files are GBK pages of about 4 KB with the import's five fields and a Chinese body drawn
// from a word frequency list (SearchCorpus), in 100 folders, named by their topicid.

#include "BenchSupport.h"
#include "ImportBench.h"
#include "PgCluster.h"
#include "SearchCorpus.h"

#include "browser/bodysearch/BodyIndexBuild.h"
#include "browser/db/CAdoManager.h"
#include "browser/rooms/RoomModel.h"
#include "browser/search/BodyIndex.h"
#include "common/AppDirectory.h"
#include "common/Codec.h"
#include "common/FileSystem.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/stat.h>

using namespace ImportBench;

namespace {

std::string loadAverage()
{
    std::ifstream in("/proc/loadavg");
    std::string a, b, c;
    in >> a >> b >> c;
    return a + " " + b + " " + c;
}

// The content of a corpus page: what lies between its <body> and </body>.
std::string corpusBody(SearchCorpus &corpus, long id)
{
    const std::string page = corpus.makePost(id);
    const std::size_t start = page.find("<body>");
    const std::size_t end = page.rfind("</body>");
    if (start == std::string::npos || end == std::string::npos || end < start)
        die("the corpus page has no body");
    return page.substr(start + 6, end - start - 6);
}

Result buildIndex(RoomModel &rooms, const std::string &connection)
{
    BodyIndexBuild build(rooms, connection);
    build.SetLineHandler([](const std::string &line) { die("build: " + Gbk::toUtf8(line)); });
    const Bench::Stopwatch watch;
    if (build.Run(BodyIndexBuild::TargetsOf(rooms)) != BodyIndexOutcome::Completed)
        die("the index build did not complete: " + Gbk::toUtf8(build.Problem()));
    Result result;
    result.seconds = watch.milliseconds() / 1000;
    result.files = long(build.Progress().checked);
    result.inserted = long(build.Progress().indexed);
    return result;
}

void createIndex(const std::string &connection)
{
    CAdoManager ado;
    if (ado.OpenAdoConnection(connection) != 0)
        die(Gbk::toUtf8(ado.LastError()));
    BodyIndex index(ado, BodyIndex::EngineOf(connection), Table);
    if (index.Create() != 0)
        die(Gbk::toUtf8(index.Problem()));
}

// The count of hits of a query, to tell that both ways made the same index.
long long hits(const std::string &connection, const std::string &query)
{
    CAdoManager ado;
    if (ado.OpenAdoConnection(connection) != 0)
        die(Gbk::toUtf8(ado.LastError()));
    BodyIndex index(ado, BodyIndex::EngineOf(connection), Table);
    SearchQuery parsed;
    std::string problem;
    if (!ParseSearchQuery(query, parsed, problem))
        die(Gbk::toUtf8(problem));
    BodySearchResult result;
    if (index.Search(parsed, {}, 0, 1, result) != 0)
        die(Gbk::toUtf8(index.Problem()));
    return result.count;
}

struct EngineFigures
{
    Result alone, build, indexed;
    bool sameHits = true;
};

EngineFigures measure(RoomModel &rooms, const std::string &root, const std::string &aloneDb,
                      const std::string &indexedDb, const std::vector<std::string> &queries)
{
    EngineFigures figures;
    ImportSettings settings = benchSettings(root, aloneDb);
    figures.alone = runImport(rooms, settings, ImportTuning());
    figures.build = buildIndex(rooms, aloneDb);
    createIndex(indexedDb);
    settings.connectionString = indexedDb;
    figures.indexed = runImport(rooms, settings, ImportTuning(), true);
    for (const std::string &query : queries)
        figures.sameHits = figures.sameHits && hits(aloneDb, query) == hits(indexedDb, query);
    return figures;
}

void report(const char *engine, const EngineFigures &f)
{
    std::printf("\n%s\n", engine);
    row("import alone (no body index)", f.alone);
    row("body index build alone, from the files", f.build);
    row("import with the body index on", f.indexed);
    const double slower = std::min(f.alone.rate(), f.build.rate());
    std::printf("import with the index / the slower of the two alone: %.2f (goal >= 0.8); "
                "the same hits both ways: %s; peak resident memory: %.1f MB\n",
                slower > 0 ? f.indexed.rate() / slower : 0, f.sameHits ? "yes" : "NO",
                f.indexed.residentMb);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    long files = 100000;
    std::string keep;
    bool sqliteOnly = false;
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--keep" && i + 1 < argc)
            keep = argv[++i];
        else if (std::string(argv[i]) == "--sqlite-only")
            sqliteOnly = true;
        else
            files = std::max(1000L, std::atol(argv[i]));
    }
    QTemporaryDir temporary;
    const std::string root = keep.empty() ? FileSystem::fromQtPath(temporary.path()) : keep;
    ::mkdir(root.c_str(), 0755);
    ::mkdir((root + "/Configs").c_str(), 0755);
    SetAppDirectoryOverride(root);

    SearchCorpus corpus(20261209);
    struct stat st;
    const Bench::Stopwatch watch;
    if (::stat((root + "/posts/1").c_str(), &st) != 0)
        generate(root, files, [&corpus](long id) { return corpusBody(corpus, id); });
    const double generateSeconds = watch.milliseconds() / 1000;
    RoomModel rooms;
    std::string reason;
    if (!rooms.LoadTreeConfig(root + "/Configs/InitTree.xml", &reason))
        die(reason);
    std::vector<std::string> queries = corpus.commonWords();
    queries.resize(std::min<std::size_t>(queries.size(), 3));
    for (const std::string &word : corpus.tailWords(3))
        queries.push_back(word);

    const std::string loadBefore = loadAverage();
    const EngineFigures sqlite = measure(rooms, root, sqliteDatabase(root, "alone.db"),
                                         sqliteDatabase(root, "indexed.db"), queries);
    QString why;
    PgCluster cluster;
    EngineFigures postgres;
    if (sqliteOnly)
        why = QStringLiteral("--sqlite-only");
    const bool havePostgres = !sqliteOnly && cluster.start(why);
    if (havePostgres) {
        postgres = measure(rooms, root, postgresDatabase(cluster, "alone"),
                           postgresDatabase(cluster, "indexed"), queries);
    }

    std::printf("Import of %ld generated GBK posts (about 4 KB, Chinese bodies; generated in "
                "%.1f s), topicid and path checks on; load average %s before, %s after\n",
                files, generateSeconds, loadBefore.c_str(), loadAverage().c_str());
    std::printf("%-46s %9s %8s %9s %9s %8s\n", "", "files/s", "s", "files", "rows", "+MB RSS");
    report("SQLite", sqlite);
    if (havePostgres)
        report("PostgreSQL", postgres);
    else
        std::printf("\nPostgreSQL: not measured (%s)\n", qPrintable(why));
    return 0;
}
