#include "BodyIndexBuild.h"

#include "BodyBatchWriter.h"
#include "BodyPostReader.h"
#include "BodySearchTexts.h"
#include "browser/db/CAdoManager.h"
#include "browser/db/DbEndpoint.h"
#include "browser/db/SqliteRunSettings.h"
#include "browser/posts/PostStatements.h"
#include "browser/rooms/RoomModel.h"
#include "browser/search/BodyIndex.h"
#include "common/Codec.h"
#include "common/FileSystem.h"

#include <QString>

#include <algorithm>
#include <deque>
#include <limits>
#include <map>
#include <memory>
#include <optional>
#include <system_error>

namespace {

// The text a batch may hold before it is written, whatever its count of posts: a few
// posts near the per-post bound must not make a batch of hundreds of megabytes.
constexpr std::size_t BatchTextBytes = std::size_t(16) << 20;

std::string formatLine(const char *utf8, std::initializer_list<std::string> gbkArgs)
{
    QString text = QString::fromUtf8(utf8);
    for (const std::string &arg : gbkArgs)
        text = text.arg(Gbk::toQString(arg));
    return Gbk::fromQString(text);
}

struct RowFacts
{
    std::string title;
    std::string roomid;
};

} // namespace

BodyIndexPace PaceOf(const BodyIndexProgress &progress, double elapsedSeconds)
{
    BodyIndexPace pace;
    const long long checked = progress.checked.load();
    if (elapsedSeconds > 0)
        pace.perSecond = double(checked) / elapsedSeconds;
    const long long total = progress.total.load();
    if (total >= 0 && pace.perSecond > 0)
        pace.secondsLeft =
                static_cast<long long>(double(std::max(0LL, total - checked)) / pace.perSecond);
    return pace;
}

// One connection for a run, and the index of the table being worked on.
struct BodyIndexBuild::Session
{
    CAdoManager ado;
    std::unique_ptr<BodyIndex> index;
    DbEngine engine = DbEngine::Layer;
};

BodyIndexBuild::BodyIndexBuild(RoomModel &rooms, std::string connection)
    : rooms_(rooms)
    , connection_(std::move(connection))
{
}

BodyIndexBuild::~BodyIndexBuild()
{
    if (worker_.joinable()) {
        Abort();
        worker_.join();
    }
}

std::vector<BodyIndexTarget> BodyIndexBuild::TargetsOf(const RoomModel &rooms)
{
    std::vector<std::string> names, tables;
    rooms.ListRootRooms(names, tables, nullptr);
    std::vector<BodyIndexTarget> targets;
    for (std::size_t i = 0; i < tables.size(); ++i) {
        const bool seen =
                std::any_of(targets.begin(), targets.end(),
                            [&](const BodyIndexTarget &t) { return t.table == tables[i]; });
        if (!tables[i].empty() && !seen)
            targets.push_back({tables[i], int(i)});
    }
    return targets;
}

void BodyIndexBuild::line(const std::string &text)
{
    if (lines_)
        lines_(text);
}

namespace {

// The database's report comes in several lines: one line for the run's end.
std::string oneLine(const std::string &why)
{
    std::string line;
    for (const char c : why) {
        const bool blank = c == '\r' || c == '\n' || c == '\t' || c == ' ';
        if (!blank)
            line += c;
        else if (!line.empty() && line.back() != ' ')
            line += ' ';
    }
    while (!line.empty() && line.back() == ' ')
        line.pop_back();
    return line;
}

} // namespace

bool BodyIndexBuild::failed(const BodyIndexTarget &target, const std::string &why)
{
    problem_ = formatLine(BodySearchText::TableFailed, {target.table, oneLine(why)});
    return false;
}

BodyIndexOutcome BodyIndexBuild::Run(const std::vector<BodyIndexTarget> &targets)
{
    progress_.running = true;
    const struct Running
    {
        BodyIndexProgress &progress;
        ~Running() { progress.running = false; }
    } running {progress_};
    problem_.clear();
    Session session;
    session.ado.SetCommandTimeout(0); // an Optimize of millions of posts takes its time
    session.engine = BodyIndex::EngineOf(connection_);
    if (session.ado.OpenAdoConnection(connection_) != 0) {
        problem_ = oneLine(session.ado.LastError());
        return BodyIndexOutcome::Failed;
    }
    std::vector<BodyIndexTarget> tables = targets;
    long long total = 0;
    for (BodyIndexTarget &target : tables) {
        target.table = TableNameAsLookedUp(connection_, target.table);
        if (target.rootIndex < 0) {
            problem_ = formatLine(BodySearchText::TableHasNoRoom, {target.table});
            return BodyIndexOutcome::Failed;
        }
        session.index = std::make_unique<BodyIndex>(session.ado, session.engine, target.table);
        BodyIndex::State state {};
        int version = 0;
        // Checks the name before it is written into the count's statement.
        if (session.index->GetState(state, version) != 0) {
            failed(target, session.index->Problem());
            return BodyIndexOutcome::Failed;
        }
        std::unique_ptr<CAdoRecordset> rs;
        long long rows = 0;
        if (session.ado.ExecuteSql("select count(*) from " + target.table, rs,
                                   CAdoManager::CommandText)
            != 0) {
            failed(target, session.ado.LastError());
            return BodyIndexOutcome::Failed;
        }
        if (rs->IsOpen() && !rs->IsEOF())
            rs->Value(0).ToInt64(rows);
        total += rows;
    }
    progress_.total = total;
    for (const BodyIndexTarget &target : tables) {
        if (!keepRunning_)
            break;
        if (!buildTable(session, target)) {
            session.ado.CloseAdoConnection();
            return BodyIndexOutcome::Failed;
        }
    }
    session.ado.CloseAdoConnection();
    return keepRunning_ ? BodyIndexOutcome::Completed : BodyIndexOutcome::Aborted;
}

bool BodyIndexBuild::buildTable(Session &session, const BodyIndexTarget &target)
{
    session.index = std::make_unique<BodyIndex>(session.ado, session.engine, target.table);
    BodyIndex &index = *session.index;
    index.DeferMerges(); // the run ends with Optimize
    BodyIndex::State state {};
    int version = 0;
    if (index.GetState(state, version) != 0)
        return failed(target, index.Problem());
    if (state != BodyIndex::State::Current && index.Create() != 0)
        return failed(target, index.Problem());
    const SqliteRunSettings settings(session.ado, session.engine == DbEngine::SQLite, CacheKib);
    const long long changedBefore = progress_.indexed + progress_.removed;
    indexedBefore_ = progress_.indexed;
    if (!indexPosts(session, target))
        return false;
    if (!keepRunning_ || !removeOrphans(session, target) || !keepRunning_)
        return true;
    if (state == BodyIndex::State::Current
        && progress_.indexed + progress_.removed == changedBefore)
        return true; // nothing changed: the index is as compact as it was
    progress_.optimizing = true;
    const long code = index.Optimize();
    progress_.optimizing = false;
    return code == 0 || failed(target, index.Problem());
}

bool BodyIndexBuild::indexPosts(Session &session, const BodyIndexTarget &target)
{
    // Results of a batch or two wait for the writer, whatever their count of posts.
    BodyPostReader reader(std::max<std::size_t>(2 * batchPosts_, BodyIndex::MaxStampRows),
                          2 * BatchTextBytes);
    std::string why;
    if (!reader.Start(why)) {
        problem_ = formatLine(BodySearchText::ThreadFailed,
                              {Gbk::fromQString(QString::fromLocal8Bit(why.c_str()))});
        return false;
    }
    long long after = std::numeric_limits<long long>::min();
    bool more = true;
    std::deque<std::size_t> queued; // the posts of each page handed to the reader
    std::size_t queuedPosts = 0;
    BodyBatchWriter batches(session.ado, *session.index, session.engine == DbEngine::SQLite);
    while (keepRunning_) {
        // Pages are handed over a batch ahead of the one being written, so the reader
        // has work while the writer waits on the database.
        while (more && (queued.size() < 2 || queuedPosts < batchPosts_)) {
            std::vector<BodyReadJob> jobs;
            if (!pageJobs(session, target, after, jobs))
                return false;
            more = !jobs.empty();
            if (more) {
                queued.push_back(jobs.size());
                queuedPosts += jobs.size();
                reader.Add(std::move(jobs));
            }
        }
        if (queued.empty())
            return written(batches, batches.Finish()) || failed(target, batches.Problem());
        const std::size_t posts = queued.front();
        queued.pop_front();
        queuedPosts -= posts;
        if (!writePage(target, reader, batches, posts))
            return false;
    }
    return true; // aborted: the batches not written are dropped, to be read again later
}

bool BodyIndexBuild::written(const BodyBatchWriter &batches, bool ok)
{
    progress_.indexed = indexedBefore_ + batches.Written();
    return ok;
}

bool BodyIndexBuild::pageJobs(Session &session, const BodyIndexTarget &target, long long &after,
                              std::vector<BodyReadJob> &jobs)
{
    BodyIndex &index = *session.index;
    std::vector<BodyStampRow> rows;
    if (index.Stamps(after, BodyIndex::MaxStampRows, rows) != 0)
        return failed(target, index.Problem());
    if (rows.empty())
        return true;
    after = rows.back().topicid;

    // The title and room of each row, which its file's path is made of. The table name
    // was checked by the index before.
    std::map<long long, RowFacts> facts;
    const BoundStatement select {"select topicid, title, roomid from " + target.table
                                         + " where topicid >= ? and topicid <= ?",
                                 {SqlValue::fromInteger(rows.front().topicid),
                                  SqlValue::fromInteger(rows.back().topicid)},
                                 {}};
    std::unique_ptr<CAdoRecordset> rs;
    if (session.ado.ExecuteSql(select, rs, CAdoManager::CommandText) != 0)
        return failed(target, session.ado.LastError());
    for (; rs->IsOpen() && !rs->IsEOF(); rs->MoveNext()) {
        long long id = 0;
        rs->Value(0).ToInt64(id);
        const CAdoValue roomid = rs->Value(2);
        facts[id] = {rs->Value(1).Text(), roomid.IsNull() ? std::string() : roomid.Text()};
    }

    for (const BodyStampRow &row : rows) {
        BodyReadJob job;
        job.topicid = row.topicid;
        job.indexed = row.indexed;
        job.stamp = row.stamp;
        const std::string topicidText = std::to_string(row.topicid);
        const std::optional<std::uint32_t> fileId = PostFileTopicId(topicidText);
        if (!fileId) {
            job.line = formatLine(BodySearchText::PostIdOutOfRange, {topicidText, target.table});
        } else {
            const RowFacts &fact = facts[row.topicid];
            PostRowInfo info;
            info.title = fact.title;
            info.topicidText = topicidText;
            long long room = 0;
            if (!fact.roomid.empty() && ParseIntegerText(fact.roomid, room)) {
                info.roomid = static_cast<std::uint32_t>(room);
                info.roomname = rooms_.FindRoomName(fact.roomid);
            }
            job.path = FileSystem::normalize(rooms_.LocatePostFile(info, target.rootIndex));
            if (job.path.empty())
                job.line = formatLine(BodySearchText::NoPostLocation, {topicidText, target.table});
        }
        jobs.push_back(std::move(job));
    }
    return true;
}

// One page's posts as the reader hands them over, in batches of a transaction each; a
// batch may go on into the next page.
bool BodyIndexBuild::writePage(const BodyIndexTarget &target, BodyPostReader &reader,
                               BodyBatchWriter &batches, std::size_t posts)
{
    for (std::size_t i = 0; i < posts; ++i) {
        BodyReadResult result;
        if (!keepRunning_ || !reader.Take(result))
            return true;
        ++progress_.checked;
        if (result.kind == BodyReadResult::Kind::Unchanged)
            continue;
        if (result.kind == BodyReadResult::Kind::Unreadable) {
            ++progress_.unreadable;
            line(result.fileProblem ? formatLine(
                         BodySearchText::PostFileProblem,
                         {std::to_string(result.topicid), target.table, result.problem})
                                    : result.problem);
            continue;
        }
        batches.Add(result.topicid, std::move(result.post), result.stamp);
        if (batches.PendingPosts() >= batchPosts_ || batches.PendingBytes() >= BatchTextBytes) {
            if (!keepRunning_)
                return true;
            if (!written(batches, batches.Seal()))
                return failed(target, batches.Problem());
        }
    }
    return true;
}

bool BodyIndexBuild::removeOrphans(Session &session, const BodyIndexTarget &target)
{
    BodyIndex &index = *session.index;
    long long after = std::numeric_limits<long long>::min();
    for (std::vector<long long> gone; keepRunning_;) {
        if (index.Orphans(after, BodyIndex::MaxStampRows, gone) != 0)
            return failed(target, index.Problem());
        if (gone.empty())
            return true;
        if (session.ado.BeginTransaction() != 0)
            return failed(target, session.ado.LastError());
        if (index.Remove(gone) != 0 || index.Flush() != 0) {
            const std::string why = index.Problem();
            session.ado.RollbackTransaction();
            return failed(target, why);
        }
        if (session.ado.CommitTransaction() != 0) {
            const std::string why = session.ado.LastError();
            session.ado.RollbackTransaction();
            return failed(target, why);
        }
        progress_.removed += static_cast<long long>(gone.size());
        after = gone.back();
    }
    return true;
}

BodyIndexOutcome BodyIndexBuild::Drop(const std::vector<BodyIndexTarget> &targets)
{
    problem_.clear();
    CAdoManager ado;
    if (ado.OpenAdoConnection(connection_) != 0) {
        problem_ = oneLine(ado.LastError());
        return BodyIndexOutcome::Failed;
    }
    for (BodyIndexTarget target : targets) {
        target.table = TableNameAsLookedUp(connection_, target.table);
        BodyIndex index(ado, BodyIndex::EngineOf(connection_), target.table);
        if (index.Drop() != 0) {
            failed(target, index.Problem());
            ado.CloseAdoConnection();
            return BodyIndexOutcome::Failed;
        }
    }
    ado.CloseAdoConnection();
    return BodyIndexOutcome::Completed;
}

bool BodyIndexBuild::Start(std::vector<BodyIndexTarget> targets, EndedHandler ended,
                           std::string &why)
{
    keepRunning_ = true;
    progress_.running = true;
    try {
        worker_ = std::thread([this, targets = std::move(targets), ended = std::move(ended)] {
            const BodyIndexOutcome outcome = Run(targets);
            if (ended)
                ended(outcome);
        });
    } catch (const std::system_error &error) {
        progress_.running = false;
        why = formatLine(BodySearchText::ThreadFailed,
                         {Gbk::fromQString(QString::fromLocal8Bit(error.what()))});
        return false;
    }
    return true;
}

void BodyIndexBuild::Wait()
{
    if (worker_.joinable())
        worker_.join();
}
