// The import on generated post files, side by side: a plain read-and-extract loop (the
// bound), the import into SQLite (two threads, one thread, with the title check too, and
// each insert committed alone with a duplicate query per file), the import into
// PostgreSQL, memory and abort latency.
//   bench_import [files, default 200000] [--keep DIR] [--only single|fast] [--large N]
// Files are GBK HTML pages of about 4 KB in 100 folders, named by their topicid; the
// topicid check and the path check are on. --large N also imports N files (made in a
// folder of their own) into SQLite with the two-thread import and prints its rate beside
// the first one, with the peak resident memory of the process during that import.

#include "BenchSupport.h"
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

constexpr int Folders = 100;
constexpr const char Table[] = "posts";

[[noreturn]] void die(const std::string &why)
{
    std::fprintf(stderr, "bench_import: %s\n", why.c_str());
    std::exit(1);
}

std::string gbk(const char *utf8)
{
    return Gbk::literal(utf8);
}

// About 4 KB of a post page; every file differs in its fields.
class PageMaker
{
public:
    PageMaker()
        : head_(gbk("<html>\r\n<head><meta http-equiv=\"Content-Type\" content=\"text/html; "
                    "charset=gbk\">\r\n<title>"))
        , filler_(gbk(
                  "<p>我最近在做一个项目, 遇到的问题是处理编码转换的时候程序崩溃, "
                  "试过网上的几种办法, 都没有解决。环境是默认配置, 请各位高手指点一下。</p>\r\n"))
    {
    }
    std::string page(long id, int folder) const
    {
        std::string page = head_;
        const std::string title = gbk("关于编码转换的一点心得 第") + std::to_string(id) + gbk("号");
        page += title + "</title></head>\r\n<body>\r\n<div class=\"room\">" + std::to_string(folder)
                + "</div>\r\n<h1 class=\"title\">" + title + "</h1>\r\n<span class=\"author\">user"
                + std::to_string(id % 977) + "</span>\r\n<span class=\"replies\">"
                + std::to_string(id % 61) + "</span>\r\n<span class=\"posted\">2003-0"
                + std::to_string(1 + id % 9) + "-1" + std::to_string(id % 10)
                + " 12:34:56</span>\r\n";
        while (page.size() < 4000)
            page += filler_;
        return page + "</body></html>\r\n";
    }

private:
    std::string head_;
    std::string filler_;
};

void writeFile(const std::string &path, const std::string &data)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0 || ::write(fd, data.data(), data.size()) != ssize_t(data.size()))
        die("cannot write " + path);
    ::close(fd);
}

void generate(const std::string &root, long files)
{
    const PageMaker maker;
    ::mkdir((root + "/posts").c_str(), 0755);
    for (int folder = 1; folder <= Folders; ++folder)
        ::mkdir((root + "/posts/" + std::to_string(folder)).c_str(), 0755);
    for (long id = 1; id <= files; ++id) {
        const int folder = int(id % Folders) + 1;
        writeFile(root + "/posts/" + std::to_string(folder) + "/" + std::to_string(id) + ".htm",
                  maker.page(id, folder));
    }
    writeFile(root + "/Configs/InitTree.xml",
              gbk("<?xml version=\"1.0\" encoding=\"GBK\"?><K><数据库连接字符串/>"
                  "<帖子类型 TABLE=\"posts\" ROOMID=\"1\">全部<帖子类型 "
                  "ROOMID=\"2\">子类型</帖子类型>"
                  "<帖子属性范围>1 4294967295 |APP_PATH|\\posts\\|ROOMID|\\|ID|.htm</帖子属性范围>"
                  "</帖子类型></K>"));
}

ImportSettings benchSettings(const std::string &root, const std::string &connection)
{
    ImportSettings settings = DefaultImportSettings();
    settings.connectionString = connection;
    settings.importDirectory = root + "/posts/";
    settings.table = Table;
    settings.pathCheck = true;
    settings.checkTopicid = true;
    settings.checkTitle = false;
    settings.topicidMode = TopicidMode::FileName;
    settings.roomid = {"<div class=\"room\">", "</div>"};
    settings.title = {"<h1 class=\"title\">", "</h1>"};
    settings.username = {true, {"<span class=\"author\">", "</span>"}};
    settings.reply = {true, {"<span class=\"replies\">", "</span>"}};
    settings.createtime = {true, {"<span class=\"posted\">", "</span>"}};
    return settings;
}

class CountingSink : public ImportSink
{
public:
    void ImportStatus(const std::string &) override { }
    void ImportMessage(const std::string &line) override
    {
        ++lines;
        last = line;
        summaryAt = std::chrono::steady_clock::now();
    }
    void ImportMessageBox(const std::string &text, const std::string &details) override
    {
        die("message box: " + text + "\n" + details);
    }
    long lines = 0;
    std::string last;
    std::chrono::steady_clock::time_point summaryAt;
};

struct Result
{
    double seconds = 0;
    long files = 0;
    long inserted = 0;
    long lines = 0;
    double memoryMb = 0;
    double residentMb = 0; // the process's peak resident memory while it ran
    double rate() const { return seconds > 0 ? files / seconds : 0; }
};

Result runImport(RoomModel &rooms, const ImportSettings &base, const ImportTuning &tuning,
                 bool sampleMemory = false)
{
    ImportSettings settings = base;
    CountingSink sink;
    CAdoManager ado;
    ado.SetCommandTimeout(0);
    ImportRun run(&rooms, sink);
    run.SetTuning(tuning);
    std::atomic<bool> sampling {sampleMemory};
    const long before = Bench::processMemoryKb();
    std::atomic<long> peak {before};
    std::atomic<long> peakAbsolute {before};
    std::thread sampler;
    if (sampleMemory) {
        sampler = std::thread([&] {
            while (sampling) {
                const long now = Bench::processMemoryKb();
                peak = std::max(peak.load(), now);
                peakAbsolute = std::max(peakAbsolute.load(), now);
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            }
        });
    }
    const Bench::Stopwatch watch;
    const ImportOutcome outcome = run.RunImport(settings, ado);
    Result result;
    result.seconds = watch.milliseconds() / 1000;
    sampling = false;
    if (sampler.joinable())
        sampler.join();
    ado.CloseAdoConnection();
    if (outcome != ImportOutcome::Completed)
        die("the import did not complete");
    result.files = run.Progress().totalFiles;
    result.inserted = run.Progress().insertedFiles;
    result.lines = sink.lines;
    result.memoryMb = double(peak - before) / 1024;
    result.residentMb = double(peakAbsolute) / 1024;
    return result;
}

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

// A new, empty database for each run.
std::string sqliteDatabase(const std::string &root, const char *name, bool fresh = true)
{
    const std::string file = root + "/" + name;
    if (fresh) {
        for (const char *suffix : {"", "-wal", "-shm"})
            ::unlink((file + suffix).c_str());
    }
    const std::string connection = "Provider=SQLite;Data Source=" + file;
    std::string error;
    if (EnsureEmbeddedDatabase(connection, {Table}, error) != 0)
        die(error);
    return connection;
}

std::string postgresDatabase(PgCluster &cluster, const char *name)
{
    QString reason;
    if (!cluster.createDatabase(name, reason))
        die(Gbk::fromQString(reason));
    const std::string connection = cluster.connectionString(name);
    CAdoManager ado;
    if (ado.OpenAdoConnection(connection) != 0)
        die(ado.LastError());
    std::vector<std::string> statements {Bench::PgPostTable};
    statements.insert(statements.end(), Bench::PgPostIndexes.begin(), Bench::PgPostIndexes.end());
    for (const std::string &sql : statements) {
        if (ado.ExecuteSql(sql, CAdoManager::CommandText) != 0)
            die(ado.LastError());
    }
    ado.CloseAdoConnection();
    return connection;
}

void row(const char *label, const Result &result, const char *note = "")
{
    std::printf("%-46s %9.0f %8.2f %9ld %9ld %8.1f  %s\n", label, result.rate(), result.seconds,
                result.files, result.inserted, result.memoryMb, note);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    long files = 200000;
    std::string keep;
    std::string only; // "single": only the one-thread SQLite import, for a profiler
    long large = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--keep" && i + 1 < argc)
            keep = argv[++i];
        else if (std::string(argv[i]) == "--only" && i + 1 < argc)
            only = argv[++i];
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
        const Result result = runImport(rooms, settings, tuning);
        row(only.c_str(), result);
        return 0;
    }

    QString why;
    PgCluster cluster;
    const bool postgres = cluster.start(why);

    const ImportSettings base = benchSettings(root, std::string());
    const Result extract = readAndExtract(rooms, base); // also warms the page cache
    ImportSettings sqlite = base;
    sqlite.connectionString = sqliteDatabase(root, "fast.db");
    const Result fast = runImport(rooms, sqlite, ImportTuning(), true);
    ImportSettings titled = sqlite;
    titled.checkTitle = true;
    titled.connectionString = sqliteDatabase(root, "titled.db");
    const Result withTitle = runImport(rooms, titled, ImportTuning());
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
        pg = runImport(rooms, settings, ImportTuning());
    }
    sqlite.connectionString = sqliteDatabase(root, "abort.db");
    const double abortMs = abortLatencyMs(rooms, sqlite);
    ImportSettings again = base;
    again.connectionString = sqliteDatabase(root, "fast.db", false); // every file a duplicate
    const Result rerun = runImport(rooms, again, ImportTuning());

    Result bigger;
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
        bigger = runImport(bigRooms, bigBase, ImportTuning(), true);
        SetAppDirectoryOverride(root);
    }

    std::printf("Import of %ld generated GBK post files (about 4 KB, %d folders; generated in "
                "%.1f s), topicid check and path check on, 5 markers\n\n",
                files, Folders, generateSeconds);
    std::printf("%-46s %9s %8s %9s %9s %8s\n", "", "files/s", "s", "files", "rows", "+MB RSS");
    row("read and extract only (no database, 1 thread)", extract, "the bound");
    row("SQLite import (reader thread + writer)", fast);
    row("SQLite import, title check also on", withTitle);
    row("SQLite import (one thread)", single);
    row("SQLite, each insert alone + a query per file", rowByRow, "the row-by-row design");
    if (postgres)
        row("PostgreSQL import (synchronous_commit on)", pg);
    else
        std::printf("PostgreSQL: not measured (%s)\n", qPrintable(why));
    row("SQLite re-run: every file a duplicate", rerun);
    if (large > 0)
        row("SQLite import of --large files (2 threads)", bigger, "title and roomid indexes");
    std::printf("\nSQLite import / bound: %.2f\n", fast.rate() / extract.rate());
    std::printf("SQLite import / row-by-row design: %.1fx\n", fast.rate() / rowByRow.rate());
    if (large > 0)
        std::printf("%ld files / %ld files, rate: %.2f; peak resident memory during it: %.1f MB\n",
                    large, files, bigger.rate() / fast.rate(), bigger.residentMb);
    std::printf("peak resident memory during the SQLite import: %.1f MB\n", fast.residentMb);
    std::printf("abort: summary line %.0f ms after the request\n", abortMs);
    return 0;
}
