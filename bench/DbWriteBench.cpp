#include "DbWriteBench.h"

#include "BenchSupport.h"

#include "browser/db/BoundStatement.h"
#include "browser/db/CAdoManager.h"
#include "browser/posts/PostPager.h"
#include "browser/posts/PostQuery.h"
#include "common/Codec.h"

#include <QFileInfo>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

constexpr long long FirstId = 1000000000LL;
constexpr int Batch = 2000;

[[noreturn]] void fail(const std::string &what)
{
    std::fprintf(stderr, "bench_db: %s\n", Gbk::toUtf8(what).c_str());
    std::exit(1);
}

void check(CAdoManager &manager, long code)
{
    if (code != 0)
        fail(manager.LastError());
}

BoundStatement insertOf(long long id)
{
    return BoundStatement {
            "insert into posts (topicid, title, roomid, username, reply, createtime) "
            "values (?, ?, ?, ?, ?, ?)",
            {SqlValue::fromInteger(id), SqlValue::fromText(Gbk::literal("导入的帖子") + "'; --"),
             SqlValue::fromInteger(100 + id % 13), SqlValue::fromText("user"),
             SqlValue::fromInteger(id % 311), SqlValue::fromText("2024-05-06 07:08:09")},
            {}};
}

BoundStatement duplicateOf(long long id)
{
    return BoundStatement {
            "select 1 from posts where topicid = ?", {SqlValue::fromInteger(id)}, {}};
}

double medianOf(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

double walMb(const QString &walFile)
{
    return walFile.isEmpty() ? -1 : double(QFileInfo(walFile).size()) / (1024.0 * 1024.0);
}

// Microseconds per single-row insert, each committed on its own.
double insertRun(CAdoManager &manager, long long first, int count)
{
    Bench::Stopwatch watch;
    for (int i = 0; i < count; ++i)
        check(manager, manager.ExecuteSql(insertOf(first + i), CAdoManager::CommandText));
    return watch.milliseconds() * 1000.0 / count;
}

// Rows per second of transactions of Batch rows, the median batch; with a duplicate
// check before each insert when asked.
double transactionRate(CAdoManager &manager, long long &next, int count, bool checkFirst)
{
    std::vector<double> batches;
    std::unique_ptr<CAdoRecordset> rs;
    for (int done = 0; done < count; done += Batch) {
        Bench::Stopwatch watch;
        check(manager, manager.BeginTransaction());
        for (int i = 0; i < Batch; ++i) {
            if (checkFirst) {
                check(manager, manager.ExecuteSql(duplicateOf(next), rs, CAdoManager::CommandText));
                if (!rs->IsEOF())
                    fail("duplicate found");
            }
            check(manager, manager.ExecuteSql(insertOf(next++), CAdoManager::CommandText));
        }
        check(manager, manager.CommitTransaction());
        batches.push_back(watch.milliseconds());
    }
    return Batch / (medianOf(batches) / 1000.0);
}

} // namespace

WriteFigures MeasureWrites(const std::string &connection, const std::string &roomQuery,
                           const QString &walFile, int inserts)
{
    WriteFigures figures;
    CAdoManager manager;
    manager.SetCommandTimeout(0);
    check(manager, manager.OpenAdoConnection(connection));

    // Small queries: a hit and a miss in turn.
    std::vector<double> times;
    std::unique_ptr<CAdoRecordset> rs;
    for (int i = 0; i < 4000; ++i) {
        Bench::Stopwatch watch;
        check(manager,
              manager.ExecuteSql(duplicateOf(i % 2 ? i * 97 + 1 : FirstId - i), rs,
                                 CAdoManager::CommandText));
        times.push_back(watch.milliseconds() * 1000.0);
    }
    figures.smallMedianUs = medianOf(times);
    times.clear();
    for (int i = 0; i < 200; ++i) {
        Bench::Stopwatch watch;
        CAdoManager own;
        check(own, own.OpenAdoConnection(connection));
        check(own, own.ExecuteSql(duplicateOf(i * 97 + 1), rs, CAdoManager::CommandText));
        own.CloseAdoConnection();
        times.push_back(watch.milliseconds() * 1000.0);
    }
    figures.smallPerConnectionUs = medianOf(times);

    // Rounds with and without a listed room in turn, so that the machine's own ups and
    // downs fall on both alike; the median round of each counts.
    const int rounds = 10;
    const int perRound = inserts / rounds;
    long long next = FirstId;
    std::vector<double> idle, listedRounds;
    double peak = walMb(walFile);
    for (int round = 0; round < rounds; ++round) {
        idle.push_back(insertRun(manager, next, perRound));
        next += perRound;
        PostPager listed([](const std::string &) { return std::string(); });
        const PostQueryOutcome outcome = RunPostQueryInto(listed, connection, roomQuery);
        if (outcome.stage != PostQueryOutcome::Done)
            fail(outcome.report);
        PostColumnTable columns;
        columns.RecomputeShown(listed.FieldNames());
        listed.FirstPage(columns);
        listed.NextPage(columns);
        listedRounds.push_back(insertRun(manager, next, perRound));
        next += perRound;
        peak = std::max(peak, walMb(walFile));
        listed.NextPage(columns); // still readable
    }
    figures.insertIdleUs = medianOf(idle);
    figures.insertListedUs = medianOf(listedRounds);
    figures.walListedMb = walFile.isEmpty() ? -1 : peak;

    figures.transactionRowsPerSecond = transactionRate(manager, next, inserts, false);
    figures.importFilesPerSecond = transactionRate(manager, next, inserts, true);

    check(manager,
          manager.ExecuteSql(BoundStatement {"delete from posts where topicid >= ?",
                                             {SqlValue::fromInteger(FirstId)},
                                             {}},
                             CAdoManager::CommandText));
    return figures;
}
