#include "ImportRun.h"

#include "ImportBodyIndex.h"

#include "ImportReader.h"
#include "ImportReading.h"
#include "ImportSink.h"
#include "ImportTexts.h"
#include "browser/db/CAdoManager.h"
#include "browser/db/ConnectionString.h"
#include "browser/db/DbEndpoint.h"
#include "browser/db/DbError.h"
#include "browser/db/SqliteRunSettings.h"
#include "browser/rooms/PostPlaceholder.h"
#include "common/Codec.h"
#include "common/FileSystem.h"
#include "common/PlaceholderNotifier.h"
#include "common/ResultCodes.h"
#include "common/RoomConversion.h"
#include "common/TextFormat.h"

#include <algorithm>
#include <functional>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;
// A batch's bounds, and how many files read may wait for the writer (which bounds the
// memory of a run).
struct BatchBounds
{
    std::size_t rows;
    std::chrono::milliseconds time;
    std::size_t queueFiles;
};
// SQLite: each commit writes every index page its rows changed, and in a large archive
// the rows of a small batch each land on a title index page of their own, so larger
// batches write far less (a million posts: 31 s instead of 56 s with batches of a
// quarter second). A queue as large as such a batch only held more memory: the writer
// is the slower side, and on two cores a waiting reader leaves it its core.
constexpr BatchBounds SqliteBatches {32768, std::chrono::milliseconds(1000), 2048};
// A server copies pages at checkpoints of its own: smaller batches, and a queue that
// holds one, so the readers read on while the server commits (the larger bounds halved
// the rate on PostgreSQL).
constexpr BatchBounds ServerBatches {8192, std::chrono::milliseconds(250), 8192};
// With the body index on, each file carries its text and terms (tens of kilobytes), and a
// batch holds them until its commit: fewer rows bound what it keeps, and the queue holds
// one batch, read while the one before is written.
constexpr std::size_t IndexedBatchRows = 1024;
constexpr std::size_t IndexedQueueFiles = IndexedBatchRows;
constexpr auto IdleWait = std::chrono::milliseconds(50);

DbEngine engineOf(const std::string &connectionString)
{
    DbEndpoint endpoint;
    DbError error;
    return ParseDbEndpoint(connectionString, endpoint, error) ? endpoint.engine : DbEngine::Layer;
}

// The code a value gets that an integer column cannot take, as the engine reports it.
long invalidValueCode(const std::string &connectionString)
{
    switch (engineOf(connectionString)) {
    case DbEngine::SQLite:
        return MakeDbErrorCode(DbEngine::SQLite, 20); // SQLITE_MISMATCH
    case DbEngine::PostgreSQL:
        return MakeDbErrorCode(DbEngine::PostgreSQL, SqlStateNumber("22P02"));
    default:
        return ResultCode::GeneralFailure;
    }
}

bool isIdentifier(std::string_view name)
{
    if (name.empty() || (name[0] >= '0' && name[0] <= '9'))
        return false;
    return std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')
                || c == '_';
    });
}

class ItemVisitor : public WalkVisitor
{
public:
    template<class Deliver>
    ItemVisitor(const FileReader &reader, Deliver deliver)
        : reader_(reader)
        , deliver_(std::move(deliver))
    {
    }
    void VisitFile(WalkFile &&file) override { deliver_(reader_.Read(std::move(file))); }
    void VisitUnreadableFolder(std::string &&line) override
    {
        deliver_(FileReader::FolderLine(std::move(line)));
    }

private:
    const FileReader &reader_;
    std::function<void(RunItem &&)> deliver_;
};

// The database's words on one line: line breaks and tabs become single blanks.
std::string oneLine(const std::string &text)
{
    std::string line;
    for (const char c : text) {
        // Never the trail byte of a GBK character.
        if (c == '\r' || c == '\n' || c == '\t') {
            if (!line.empty() && line.back() != ' ')
                line += ' ';
        } else {
            line += c;
        }
    }
    while (!line.empty() && line.back() == ' ')
        line.pop_back();
    return line;
}

// The post table's indexes grow with every row: a page cache of 24 MB holds them for a
// few hundred thousand posts. Past that, the pages it lacks come from the system's file
// cache: measured on a million posts, a larger cache bought less than a larger batch
// does for the same memory, and the run stays well under 128 MB.
constexpr int ImportCacheKib = 24576;

// Whether a SQLite table keeps its rows in topicid order: topicid is its only key column
// and is declared INTEGER (the rowid itself, or the key of a table without rowids).
bool rowsInTopicidOrder(CAdoManager &ado, const std::string &table)
{
    const std::size_t dot = table.find('.');
    const std::string sql = dot == std::string::npos
            ? "PRAGMA table_info(" + table + ")"
            : "PRAGMA " + table.substr(0, dot) + ".table_info(" + table.substr(dot + 1) + ")";
    std::unique_ptr<CAdoRecordset> rows;
    if (ado.ExecuteSql(sql, rows, CAdoManager::CommandText) != 0 || !rows)
        return false;
    const auto lower = [](std::string text) {
        std::transform(text.begin(), text.end(), text.begin(),
                       [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; });
        return text;
    };
    int keys = 0;
    bool topicidKey = false;
    for (; rows->IsOpen() && !rows->IsEOF(); rows->MoveNext()) {
        long long key = 0;
        if (!rows->Value("pk").ToInt64(key) || key <= 0)
            continue;
        ++keys;
        topicidKey = topicidKey
                || (lower(rows->Value("name").Text()) == "topicid"
                    && lower(rows->Value("type").Text()) == "integer");
    }
    return keys == 1 && topicidKey;
}

class CountingVisitor : public WalkVisitor
{
public:
    void VisitFile(WalkFile &&) override { ++count; }
    void VisitUnreadableFolder(std::string &&) override { }
    long long count = 0;
};

} // namespace

bool IsImportTableName(const std::string &table)
{
    const std::size_t dot = table.find('.');
    if (dot == std::string::npos)
        return isIdentifier(table);
    return isIdentifier(std::string_view(table).substr(0, dot))
            && isIdentifier(std::string_view(table).substr(dot + 1));
}

ImportRun::ImportRun(RoomModel *rooms, ImportSink &sink)
    : rooms_(rooms)
    , sink_(sink)
{
}

ImportRun::~ImportRun() = default;

void ImportRun::reportPlaceholder(const std::string &placeholder)
{
    if (placeholders_)
        placeholders_->Report(placeholder);
}

ImportOutcome ImportRun::failBeforeWalk(ImportOutcome outcome, const std::string &box,
                                        const std::string &details)
{
    sink_.ImportMessageBox(box, details);
    placeholders_->Finish();
    keepRunning_ = true;
    return outcome;
}

long ImportRun::CheckTableColumns(CAdoManager &ado, const std::string &table)
{
    columns_ = PostColumns();
    if (!IsImportTableName(table))
        return ResultCode::MissingArgument;
    std::unique_ptr<CAdoRecordset> rows;
    // Only the columns are wanted, not the rows.
    if (const long result = ado.ExecuteSql("select * from " + table + " where 1=0", rows,
                                           CAdoManager::CommandText))
        return result;
    for (int i = 0; rows && i < rows->FieldCount(); ++i) {
        const std::string name = rows->FieldName(i);
        if (name == "roomid") {
            const int type = rows->FieldType(i);
            columns_.roomidIsNumeric = type == 2 || type == 3 || (type >= 16 && type <= 21);
        } else if (name == "reply") {
            columns_.hasReply = true;
        } else if (name == "username") {
            columns_.hasUsername = true;
        } else if (name == "createtime") {
            columns_.hasCreatetime = true;
        }
    }
    return ResultCode::Success;
}

ImportOutcome ImportRun::RunImport(ImportSettings &settings, CAdoManager &ado,
                                   TreeItem rootRoomItem)
{
    replayed_ = 0;
    // A few boxes of unknown placeholders per run, then their count.
    placeholders_ = std::make_unique<PlaceholderReports>(
            [this](const std::string &text) { sink_.ImportMessageBox(text, std::string()); });
    const ScopedPlaceholderNotifier notifier(
            [this](const std::string &placeholder) { reportPlaceholder(placeholder); });

    LowerCaseMarkers(settings);
    progress_.totalFiles = 0;
    progress_.insertedFiles = 0;
    progress_.skippedFiles = 0;
    progress_.expectedFiles = -1;
    progress_.autoGrowCounter = static_cast<std::uint32_t>(settings.autoGrowStart);
    RoomConversionTable conversion;
    const std::string conversionProblem = conversion.Load(ResolvePostPlaceholder);

    ado.CloseAdoConnection();
    ExpandConnectionString(settings);
    const std::string &connection = settings.connectionString;
    if (ado.OpenAdoConnection(connection) != 0)
        return failBeforeWalk(ImportOutcome::ConnectionFailed,
                              Gbk::literal(ImportText::ConnectionError)
                                      + WithSlashesInDataSource(MaskConnectionPassword(connection)),
                              ado.LastError());
    if (const long result = CheckTableColumns(ado, settings.table)) {
        // Named as the database looked for it: PostgreSQL folds an unquoted name.
        const std::string table = TableNameAsLookedUp(connection, settings.table);
        return failBeforeWalk(
                ImportOutcome::TableFailed,
                FormatText(Gbk::literal(ImportText::TableError).c_str(), table.c_str(), result),
                result == ResultCode::MissingArgument ? std::string() : ado.LastError());
    }

    const bool sqlite = engineOf(connection) == DbEngine::SQLite;
    const SqliteRunSettings sqliteSettings(ado, sqlite, ImportCacheKib);

    std::string directory = FileSystem::normalize(settings.importDirectory);
    if (directory.empty() || directory.back() != '/')
        directory += '/';

    progress_.running = true;
    ExtractionContext context;
    context.settings = &settings;
    context.conversion = &conversion;
    context.columns = columns_;
    const PostPathCheck pathCheck(rooms_, settings.table, settings.pathCheck);
    ImportBodyIndex bodyIndex(ado, connection, settings.table);
    context.bodyText = bodyIndex.Active();
    InserterConfig config;
    config.body = bodyIndex.Active() ? &bodyIndex : nullptr;
    config.table = settings.table;
    config.columns = columns_;
    config.checkTopicid = settings.checkTopicid;
    config.checkTitle = settings.checkTitle;
    config.invalidValueCode = invalidValueCode(connection);
    config.batched = tuning_.batched;
    config.insertInKeyOrder = sqlite && rowsInTopicidOrder(ado, settings.table);
    config.multiRowInserts = !sqlite;
    const BatchBounds &bounds = sqlite ? SqliteBatches : ServerBatches;
    const std::size_t batchRows = tuning_.maxBatchRows ? tuning_.maxBatchRows : bounds.rows;
    config.maxBatchRows = config.body ? std::min(batchRows, IndexedBatchRows) : batchRows;
    config.maxBatchTime = tuning_.maxBatchTime.count() ? tuning_.maxBatchTime : bounds.time;
    PostInserter inserter(ado, sink_, pathCheck, config, progress_.insertedFiles,
                          progress_.skippedFiles, progress_.autoGrowCounter);
    const FileReader reader(context, rooms_, pathCheck);
    if (!conversionProblem.empty())
        sink_.ImportMessage(EscapeControlCharacters(conversionProblem));

    std::atomic<bool> countRunning {true};
    std::thread counter;
    std::string threadProblem;
    try {
        if (tuning_.countAhead) {
            counter = std::thread([&] {
                ImportWalker walker(rooms_, settings.filePattern, countRunning);
                CountingVisitor visitor;
                walker.ScanDirectory(directory, rootRoomItem, visitor);
                if (countRunning)
                    progress_.expectedFiles = visitor.count;
            });
        }
    } catch (const std::system_error &error) {
        threadProblem = error.what();
    }

    const auto consume = [&](RunItem &&item) {
        for (const std::string &placeholder : item.placeholders)
            reportPlaceholder(placeholder);
        if (item.isFile) {
            progress_.totalFiles.fetch_add(1, std::memory_order_relaxed);
            if (!item.entry.hasRow)
                progress_.skippedFiles.fetch_add(1, std::memory_order_relaxed);
            sink_.ImportStatus(item.status);
        }
        inserter.Add(std::move(item.entry));
        if (inserter.Due(Clock::now()))
            inserter.Flush();
        // A database that is gone fails every file alike: stop here.
        if (inserter.Failed())
            keepRunning_ = false;
    };

    if (!threadProblem.empty()) {
        // Nothing was read: the box alone, as for a connection that cannot be opened.
    } else if (!tuning_.pipelined) {
        ImportWalker walker(rooms_, settings.filePattern, keepRunning_);
        ItemVisitor visitor(reader, [&](RunItem &&item) { consume(std::move(item)); });
        walker.ScanDirectory(directory, rootRoomItem, visitor);
    } else {
        RunItemQueue queue((bodyIndex.Active() ? IndexedQueueFiles : bounds.queueFiles)
                           / ImportReading::ChunkItems);
        ImportReading reading(reader, queue,
                              {rooms_, settings.filePattern, directory, rootRoomItem});
        bool done = !reading.Start(tuning_.readers > 0 ? tuning_.readers
                                                       : ImportReading::DefaultReaders,
                                   threadProblem);
        if (!done)
            threadProblem.clear(); // fewer readers than asked for only cost speed
        while (!done && keepRunning_.load()) {
            const Clock::time_point now = Clock::now();
            const Clock::time_point until = inserter.Empty()
                    ? now + IdleWait
                    : std::min(inserter.Deadline(), now + IdleWait);
            RunItemQueue::Chunk chunk;
            switch (queue.Take(chunk, until)) {
            case RunItemQueue::Pop::Finished:
                done = true;
                break;
            case RunItemQueue::Pop::Timeout:
                if (inserter.Due(Clock::now()))
                    inserter.Flush();
                if (inserter.Failed())
                    keepRunning_ = false;
                break;
            case RunItemQueue::Pop::Chunk:
                for (RunItem &item : chunk) {
                    if (!keepRunning_.load(std::memory_order_relaxed))
                        break;
                    consume(std::move(item));
                }
                break;
            }
        }
        reading.Stop();
        queue.Stop();
        reading.Join();
    }
    inserter.Flush();
    countRunning = false;
    if (counter.joinable())
        counter.join();
    replayed_ = inserter.replayedBatches();
    progress_.running = false;
    settings.autoGrowStart = static_cast<std::int32_t>(progress_.autoGrowCounter.load());

    if (!threadProblem.empty())
        return failBeforeWalk(
                ImportOutcome::Failed,
                FormatText(Gbk::literal(ImportText::ThreadFailed).c_str(), threadProblem.c_str()));
    const bool aborted = !keepRunning_.load();
    std::string failure;
    if (inserter.Failed()) {
        const std::string reason = oneLine(inserter.FailureReason());
        failure = CutMessageLine(EscapeControlCharacters(FormatText(
                Gbk::literal(ImportText::DatabaseFailed).c_str(), inserter.FailureCode(),
                (reason.empty() ? DbErrorMessage(inserter.FailureCode()) : reason).c_str())));
        sink_.ImportMessage(failure);
    }
    sink_.ImportMessage(FormatText(Gbk::literal(ImportText::Summary).c_str(),
                                   progress_.totalFiles.load(), progress_.insertedFiles.load()));
    if (!failure.empty())
        sink_.ImportMessageBox(failure, inserter.FailureReport());
    placeholders_->Finish();
    keepRunning_ = true;
    if (!failure.empty())
        return ImportOutcome::Failed;
    return aborted ? ImportOutcome::Aborted : ImportOutcome::Completed;
}

std::uint32_t FindNextTopicid(CAdoManager &ado, ImportSettings &settings, ImportSink &sink)
{
    ado.CloseAdoConnection();
    {
        PlaceholderReports placeholders(
                [&sink](const std::string &text) { sink.ImportMessageBox(text, std::string()); });
        const ScopedPlaceholderNotifier notifier(
                [&placeholders](const std::string &text) { placeholders.Report(text); });
        ExpandConnectionString(settings);
        placeholders.Finish();
    }
    const std::string &connection = settings.connectionString;
    const std::string &table = settings.table;
    if (ado.OpenAdoConnection(connection) != 0) {
        sink.ImportMessageBox(Gbk::literal(ImportText::NextTopicidConnectionError),
                              ado.LastError());
        return 0;
    }
    const auto refuse = [&](const std::string &details) {
        sink.ImportMessageBox(FormatText(Gbk::literal(ImportText::NextTopicidQueryError).c_str(),
                                         TableNameAsLookedUp(connection, table).c_str()),
                              details);
        ado.CloseAdoConnection();
        return std::uint32_t(0);
    };
    std::unique_ptr<CAdoRecordset> rows;
    if (!IsImportTableName(table))
        return refuse(std::string());
    if (ado.ExecuteSql("select MAX(topicid) from " + table, rows, CAdoManager::CommandText) != 0)
        return refuse(ado.LastError());
    if (!rows)
        return refuse(std::string());
    const CAdoValue value = rows->Value(0);
    rows.reset();
    if (value.IsNull()) {
        ado.CloseAdoConnection();
        return 1;
    }
    long long maximum = 0;
    if (!value.ToInt64(maximum) || maximum < 0 || maximum >= 4294967295ll)
        return refuse(std::string());
    ado.CloseAdoConnection();
    return std::uint32_t(maximum + 1);
}

TreeItem FindImportRootRoom(const RoomModel &rooms, const std::string &importDirectory)
{
    // With its final separator, as the walk takes the folder: "/data/甲" names 甲.
    std::string directory = FileSystem::normalize(importDirectory);
    if (!directory.empty() && directory.back() != '/')
        directory += '/';
    const std::size_t last = directory.rfind('/');
    const std::string cut = last == std::string::npos ? directory : directory.substr(0, last);
    const std::size_t before = cut.rfind('/');
    const std::string name = before == std::string::npos ? cut : cut.substr(before + 1);
    return rooms.FindChildItem(nullptr, name);
}
