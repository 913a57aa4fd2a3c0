// The import on generated post files, side by side: a plain read-and-extract loop (the
// bound), the import into SQLite (two threads, one thread, with the title check too, and
// each insert committed alone with a duplicate query per file), the import into
// PostgreSQL, memory and abort latency.
//   bench_import [files, default 200000] [--keep DIR] [--only single|fast] [--readers N]
//                [--large N]
// Files are GBK HTML pages of about 4 KB in 100 folders, named by their topicid; the
// topicid check and the path check are on. --large N also imports N files (made in a
// folder of their own) into SQLite with the two-thread import and prints its rate beside
// the first one, with the peak resident memory during that import, run in a process of
// its own so that nothing of the runs before counts.
// --readers N: reading threads of the pipelined imports (default: as the program picks).

#include "BenchSupport.h"
#include "ImportBench.h"
#include "PgCluster.h"

#include "browser/db/CAdoManager.h"
#include "browser/db/EmbeddedDatabase.h"
#include "browser/import/ImportReader.h"
#include "browser/import/ImportRun.h"
#include "browser/import/ImportSink.h"
#include "browser/rooms/RoomModel.h"
#include "common/AppDirectory.h"
#include "common/Codec.h"
#include "common/FileSystem.h"
#include "common/RoomConversion.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace ImportBench;

// Walk, read, search text, the five markers and the path check; no database.
Result readAndExtract(RoomModel &rooms, const ImportSettings &base)
{
    ImportSettings settings = base;
    LowerCaseMarkers(settings);
    RoomConversionTable conversion;
    ExtractionContext context;
    context.settings = &settings;
    context.conversion = &conversion;
    context.columns = {true, true, true, true};
    const PostPathCheck pathCheck(&rooms, settings.table, true);
    const FileReader reader(context, &rooms, pathCheck);
    struct Visitor : WalkVisitor
    {
        const FileReader *reader;
        long files = 0, rows = 0;
        void VisitFile(WalkFile &&file) override
        {
            ++files;
            const RunItem item = reader->Read(std::move(file));
            rows += item.entry.hasRow && item.entry.lines.empty();
        }
        void VisitUnreadableFolder(std::string &&) override { }
    } visitor;
    visitor.reader = &reader;
    std::atomic<bool> keepRunning {true};
    ImportWalker walker(&rooms, settings.filePattern, keepRunning);
    const Bench::Stopwatch watch;
    walker.ScanDirectory(settings.importDirectory, nullptr, visitor);
    Result result;
    result.seconds = watch.milliseconds() / 1000;
    result.files = visitor.files;
    result.inserted = visitor.rows;
    return result;
}

double abortLatencyMs(RoomModel &rooms, const ImportSettings &base)
{
    ImportSettings settings = base;
    CountingSink sink;
    CAdoManager ado;
    ImportRun run(&rooms, sink);
    std::chrono::steady_clock::time_point requested;
    std::thread aborter([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        requested = std::chrono::steady_clock::now();
        run.AbortImport();
    });
    run.RunImport(settings, ado);
    aborter.join();
    ado.CloseAdoConnection();
    if (sink.summaryAt < requested)
        return -1; // finished before the request
    return std::chrono::duration<double, std::milli>(sink.summaryAt - requested).count();
}

// The --large import, in this process of its own: one line, "seconds files rows MB".
// readers: as --readers (0: as the program picks).
int largeImport(const std::string &bigRoot, int readers)
{
    SetAppDirectoryOverride(bigRoot);
    RoomModel rooms;
    std::string reason;
    if (!rooms.LoadTreeConfig(bigRoot + "/Configs/InitTree.xml", &reason))
        die(reason);
    ImportTuning pipelined;
    pipelined.readers = readers;
    const Result result = runImport(
            rooms, benchSettings(bigRoot, sqliteDatabase(bigRoot, "large.db")), pipelined, true);
    std::printf("%.3f %ld %ld %.1f\n", result.seconds, result.files, result.inserted,
                result.residentMb);
    return 0;
}

Result largeImportInChild(const std::string &bigRoot, int readers)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--large-import"), FileSystem::toQtPath(bigRoot),
                 QString::number(readers)});
    if (!child.waitForFinished(-1) || child.exitStatus() != QProcess::NormalExit
        || child.exitCode() != 0)
        die("the --large import failed");
    Result result;
    if (std::sscanf(child.readAllStandardOutput().constData(), "%lf %ld %ld %lf", &result.seconds,
                    &result.files, &result.inserted, &result.residentMb)
        != 4)
        die("the --large import printed no result");
    return result;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    long files = 200000;
    std::string keep;
    std::string only; // "single": only the one-thread SQLite import, for a profiler
    long large = 0;
    int readers = 0;
    if (argc == 4 && std::string(argv[1]) == "--large-import")
        return largeImport(argv[2], std::atoi(argv[3]));
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--keep" && i + 1 < argc)
            keep = argv[++i];
        else if (std::string(argv[i]) == "--only" && i + 1 < argc)
            only = argv[++i];
        else if (std::string(argv[i]) == "--readers" && i + 1 < argc)
            readers = std::max(1, std::atoi(argv[++i]));
        else if (std::string(argv[i]) == "--large" && i + 1 < argc)
            large = std::max(1000L, std::atol(argv[++i]));
        else
            files = std::max(1000L, std::atol(argv[i]));
    }
    QTemporaryDir temporary;
    const std::string root = keep.empty() ? FileSystem::fromQtPath(temporary.path()) : keep;
    ::mkdir(root.c_str(), 0755);
    ::mkdir((root + "/Configs").c_str(), 0755);
    SetAppDirectoryOverride(root);

    Bench::Stopwatch watch;
    struct stat st;
    if (::stat((root + "/posts/1").c_str(), &st) != 0)
        generate(root, files);
    const double generateSeconds = watch.milliseconds() / 1000;
    RoomModel rooms;
    std::string reason;
    if (!rooms.LoadTreeConfig(root + "/Configs/InitTree.xml", &reason))
        die(reason);

    if (only == "single" || only == "fast") {
        ImportSettings settings = benchSettings(root, sqliteDatabase(root, "only.db"));
        ImportTuning tuning;
        tuning.pipelined = tuning.countAhead = only == "fast";
        tuning.readers = readers;
        const Result result = runImport(rooms, settings, tuning);
        row(only.c_str(), result);
        return 0;
    }

    QString why;
    PgCluster cluster;
    const bool postgres = cluster.start(why);

    const ImportSettings base = benchSettings(root, std::string());
    readAndExtract(rooms, base); // the files into the page cache: the bound reads no disk
    const Result extract = readAndExtract(rooms, base);
    ImportSettings sqlite = base;
    sqlite.connectionString = sqliteDatabase(root, "fast.db");
    ImportTuning pipelined;
    pipelined.readers = readers;
    const Result fast = runImport(rooms, sqlite, pipelined, true);
    ImportTuning oneReader;
    oneReader.readers = 1;
    sqlite.connectionString = sqliteDatabase(root, "reader.db");
    const Result singleReader = runImport(rooms, sqlite, oneReader);
    ImportSettings titled = sqlite;
    titled.checkTitle = true;
    titled.connectionString = sqliteDatabase(root, "titled.db");
    const Result withTitle = runImport(rooms, titled, pipelined);
    ImportTuning oneThread;
    oneThread.pipelined = false;
    oneThread.countAhead = false;
    sqlite.connectionString = sqliteDatabase(root, "one.db");
    const Result single = runImport(rooms, sqlite, oneThread);
    ImportTuning naive = oneThread;
    naive.batched = false;
    sqlite.connectionString = sqliteDatabase(root, "naive.db");
    const Result rowByRow = runImport(rooms, sqlite, naive);
    Result pg;
    if (postgres) {
        ImportSettings settings = base;
        settings.connectionString = postgresDatabase(cluster, "bench_import");
        pg = runImport(rooms, settings, pipelined);
    }
    sqlite.connectionString = sqliteDatabase(root, "abort.db");
    const double abortMs = abortLatencyMs(rooms, sqlite);
    ImportSettings again = base;
    again.connectionString = sqliteDatabase(root, "fast.db", false); // every file a duplicate
    const Result rerun = runImport(rooms, again, pipelined);

    Result bigger, bigBound;
    if (large > 0) {
        // A folder of its own with its own tree: the same layout, more files.
        const std::string bigRoot = root + "/large";
        ::mkdir(bigRoot.c_str(), 0755);
        ::mkdir((bigRoot + "/Configs").c_str(), 0755);
        if (::stat((bigRoot + "/posts/1").c_str(), &st) != 0)
            generate(bigRoot, large);
        SetAppDirectoryOverride(bigRoot);
        RoomModel bigRooms;
        if (!bigRooms.LoadTreeConfig(bigRoot + "/Configs/InitTree.xml", &reason))
            die(reason);
        const ImportSettings bigBase = benchSettings(bigRoot, sqliteDatabase(bigRoot, "large.db"));
        // Read before, as the first set is: the files in the page cache, and the bound at
        // this size.
        readAndExtract(bigRooms, bigBase);
        bigBound = readAndExtract(bigRooms, bigBase);
        bigger = largeImportInChild(bigRoot, readers);
        SetAppDirectoryOverride(root);
    }

    std::printf("Import of %ld generated GBK post files (about 4 KB, %d folders; generated in "
                "%.1f s), topicid check and path check on, 5 markers\n\n",
                files, Folders, generateSeconds);
    std::printf("%-46s %9s %8s %9s %9s %8s\n", "", "files/s", "s", "files", "rows", "+MB RSS");
    row("read and extract only (no database, 1 thread)", extract, "the bound");
    row("SQLite import (walk, reading threads, writer)", fast);
    row("SQLite import, one reading thread", singleReader);
    row("SQLite import, title check also on", withTitle);
    row("SQLite import (one thread)", single);
    row("SQLite, each insert alone + a query per file", rowByRow, "the row-by-row design");
    if (postgres)
        row("PostgreSQL import (synchronous_commit on)", pg);
    else
        std::printf("PostgreSQL: not measured (%s)\n", qPrintable(why));
    row("SQLite re-run: every file a duplicate", rerun);
    if (large > 0) {
        row("read and extract only, --large files", bigBound, "the bound at that size");
        row("SQLite import of --large files (pipelined)", bigger, "title and roomid indexes");
    }
    std::printf("\nSQLite import / bound: %.2f\n", fast.rate() / extract.rate());
    std::printf("SQLite import / row-by-row design: %.1fx\n", fast.rate() / rowByRow.rate());
    if (large > 0)
        std::printf("%ld files / %ld files, rate: %.2f; peak resident memory during it: %.1f MB\n",
                    large, files, bigger.rate() / fast.rate(), bigger.residentMb);
    std::printf("peak resident memory during the SQLite import: %.1f MB\n", fast.residentMb);
    if (abortMs < 0)
        std::printf("abort: the import ended before the request (too few files to measure)\n");
    else
        std::printf("abort: summary line %.0f ms after the request\n", abortMs);
    return 0;
}
