#include "ImportBench.h"

#include "BenchSupport.h"
#include "PgCluster.h"

#include "browser/db/CAdoManager.h"
#include "browser/db/EmbeddedDatabase.h"
#include "browser/rooms/RoomModel.h"
#include "common/Codec.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace ImportBench {

void die(const std::string &why)
{
    std::fprintf(stderr, "%s: %s\n", program_invocation_short_name, why.c_str());
    std::exit(1);
}

namespace {

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
    std::string page(long id, int folder, const BodyMaker &body) const
    {
        std::string page = head_;
        const std::string title = gbk("关于编码转换的一点心得 第") + std::to_string(id) + gbk("号");
        page += title + "</title></head>\r\n<body>\r\n<div class=\"room\">" + std::to_string(folder)
                + "</div>\r\n<h1 class=\"title\">" + title + "</h1>\r\n<span class=\"author\">user"
                + std::to_string(id % 977) + "</span>\r\n<span class=\"replies\">"
                + std::to_string(id % 61) + "</span>\r\n<span class=\"posted\">2003-0"
                + std::to_string(1 + id % 9) + "-1" + std::to_string(id % 10)
                + " 12:34:56</span>\r\n";
        if (body)
            page += body(id);
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

} // namespace

void generate(const std::string &root, long files, const BodyMaker &body)
{
    const PageMaker maker;
    ::mkdir((root + "/posts").c_str(), 0755);
    for (int folder = 1; folder <= Folders; ++folder)
        ::mkdir((root + "/posts/" + std::to_string(folder)).c_str(), 0755);
    for (long id = 1; id <= files; ++id) {
        const int folder = int(id % Folders) + 1;
        writeFile(root + "/posts/" + std::to_string(folder) + "/" + std::to_string(id) + ".htm",
                  maker.page(id, folder, body));
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

void CountingSink::ImportMessage(const std::string &line)
{
    ++lines;
    last = line;
    summaryAt = std::chrono::steady_clock::now();
}

void CountingSink::ImportMessageBox(const std::string &text, const std::string &details)
{
    die("message box: " + text + "\n" + details);
}

Result runImport(RoomModel &rooms, const ImportSettings &base, const ImportTuning &tuning,
                 bool sampleMemory)
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

std::string sqliteDatabase(const std::string &root, const char *name, bool fresh)
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

void row(const char *label, const Result &result, const char *note)
{
    std::printf("%-46s %9.0f %8.2f %9ld %9ld %8.1f  %s\n", label, result.rate(), result.seconds,
                result.files, result.inserted, result.memoryMb, note);
}

} // namespace ImportBench
