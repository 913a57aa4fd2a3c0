#include "PostInserter.h"

#include "ImportSink.h"
#include "ImportTexts.h"
#include "InsertStatements.h"
#include "browser/db/CAdoManager.h"
#include "browser/db/DbError.h"
#include "common/Codec.h"
#include "common/ResultCodes.h"
#include "common/TextFormat.h"

#include <algorithm>
#include <limits>
#include <unordered_map>
#include <unordered_set>

namespace {

constexpr long Options = CAdoManager::CommandText;
// Values per set query (so that the answer stays a small result, read on the manager's
// own connection) and rows per multi-row insert: far below every engine's limit on
// bound values, large enough that the statement overhead vanishes.
constexpr std::size_t ValuesPerQuery = 250;
constexpr std::size_t RowsPerInsert = 200;

std::string format(const char *utf8Format, const std::string &a)
{
    return CutMessageLine(FormatText(Gbk::literal(utf8Format).c_str(), a.c_str()));
}

std::string format(const char *utf8Format, const std::string &a, long code)
{
    return CutMessageLine(FormatText(Gbk::literal(utf8Format).c_str(), a.c_str(), code));
}

std::string format(const char *utf8Format, const std::string &a, const std::string &b, long code)
{
    return CutMessageLine(FormatText(Gbk::literal(utf8Format).c_str(), a.c_str(), b.c_str(), code));
}

// A failed insert's line, "%s失败(hr=%ld)", followed on the same line by the database's
// own reason. A statement too long for the line (a very long title) is cut instead of the
// reason.
std::string insertFailed(const std::string &statement, long code, const std::string &reason)
{
    std::string tail = FormatText(Gbk::literal(ImportText::InsertFailed).c_str(), "", code);
    if (!reason.empty()) {
        tail += ": ";
        for (const char c : reason) {
            // Line breaks and tabs are ASCII, never the trail byte of a GBK character.
            if (c != '\r' && c != '\n' && c != '\t')
                tail += c;
            else if (tail.back() != ' ')
                tail += ' ';
        }
        while (tail.back() == ' ')
            tail.pop_back();
    }
    const std::size_t room = tail.size() < MessageLineBytes ? MessageLineBytes - tail.size() : 0;
    return CutMessageLine(std::string(Gbk::prefixWithinBytes(statement, room)) + tail);
}

// A title as the database gives it back: GBK through Unicode and back, so bytes GBK
// cannot decode compare as the database compares them.
std::string comparable(const std::string &title)
{
    return Gbk::fromUtf8(Gbk::toUtf8(title));
}

// A title as a database may compare it that ignores letter case or trailing blanks
// (SQLite's NOCASE, PostgreSQL's citext and char(n)).
std::string looseTitle(const std::string &title)
{
    std::string folded = Gbk::toLower(comparable(title));
    while (!folded.empty() && folded.back() == ' ')
        folded.pop_back();
    return folded;
}

// Whether two titles of a batch differ only in what such a database may ignore: the
// batch cannot then tell what the database will call a duplicate.
bool looseTwins(const std::vector<BatchEntry> &entries)
{
    std::unordered_map<std::string, std::string> exactOfLoose;
    for (const BatchEntry &entry : entries) {
        if (!entry.hasRow)
            continue;
        std::string exact = comparable(entry.fields.title);
        const auto [at, added] = exactOfLoose.emplace(looseTitle(entry.fields.title), exact);
        if (!added && at->second != exact)
            return true;
    }
    return false;
}

std::string placeholders(std::size_t count)
{
    std::string marks;
    marks.reserve(count * 2);
    for (std::size_t i = 0; i < count; ++i)
        marks += i ? ",?" : "?";
    return marks;
}

// The duplicate check's lookups of one batch: the distinct values, sorted, and "select
// <column> from <table> where <column> in (?,...)" with at most ValuesPerQuery of them
// bound to each statement.
template<class Value, class Bind>
std::vector<BoundStatement> inQueries(const std::string &table, const char *column,
                                      std::vector<Value> &values, Bind bind)
{
    std::sort(values.begin(), values.end());
    values.erase(std::unique(values.begin(), values.end()), values.end());
    std::vector<BoundStatement> queries;
    for (std::size_t at = 0; at < values.size(); at += ValuesPerQuery) {
        const std::size_t count = std::min(ValuesPerQuery, values.size() - at);
        BoundStatement &query = queries.emplace_back();
        query.sql = std::string("select ") + column + " from " + table + " where " + column
                + " in (" + placeholders(count) + ")";
        for (std::size_t i = 0; i < count; ++i)
            query.values.push_back(bind(values[at + i]));
    }
    return queries;
}

} // namespace

PostInserter::PostInserter(CAdoManager &ado, ImportSink &sink, const PostPathCheck &pathCheck,
                           InserterConfig config, std::atomic<long> &insertedFiles,
                           std::atomic<long> &skippedFiles, std::atomic<std::uint32_t> &autoGrow)
    : ado_(ado)
    , sink_(sink)
    , pathCheck_(pathCheck)
    , config_(std::move(config))
    , insertedFiles_(insertedFiles)
    , skippedFiles_(skippedFiles)
    , autoGrow_(autoGrow)
{
}

void PostInserter::send(const std::string &line)
{
    // Names from disk and texts from files must not break the line or steer a terminal.
    sink_.ImportMessage(CutMessageLine(EscapeControlCharacters(line)));
}

bool PostInserter::succeeded(long result)
{
    if (result == 0)
        return true;
    lastFailure_ = result;
    if (IsFatalDbError(result) && !Failed()) {
        failureCode_ = result;
        failureReason_ = ado_.LastErrorReason();
        failureReport_ = ado_.LastError();
    }
    return false;
}

void PostInserter::Add(BatchEntry &&entry)
{
    if (!config_.batched && !Failed()) {
        processAlone(entry);
        return;
    }
    if (entries_.empty())
        deadline_ = std::chrono::steady_clock::now() + config_.maxBatchTime;
    if (entry.hasRow)
        ++rows_;
    entries_.push_back(std::move(entry));
}

bool PostInserter::Due(std::chrono::steady_clock::time_point now) const
{
    return !entries_.empty() && (rows_ >= config_.maxBatchRows || now >= deadline_);
}

void PostInserter::Flush()
{
    if (entries_.empty())
        return;
    std::vector<std::string> lines;
    switch (Failed() ? BatchResult::Failed : flushTogether(lines)) {
    case BatchResult::Committed:
        for (const std::string &line : lines)
            send(line);
        break;
    case BatchResult::Replay:
        replay();
        break;
    case BatchResult::Failed:
        reportUnprocessed();
        break;
    }
    entries_.clear();
    rows_ = 0;
}

void PostInserter::reportUnprocessed()
{
    for (const BatchEntry &entry : entries_) {
        for (const std::string &line : entry.lines)
            send(line);
        if (!entry.hasRow)
            continue;
        send(format(ImportText::NotImported, entry.fields.path));
        skippedFiles_.fetch_add(1, std::memory_order_relaxed);
    }
}

void PostInserter::processAlone(BatchEntry &entry)
{
    for (const std::string &line : entry.lines)
        send(line);
    if (!entry.hasRow)
        return;
    PostFields &fields = entry.fields;
    const std::uint32_t number = autoGrow_.load(std::memory_order_relaxed);
    if (entry.numberFromCounter)
        fields.topicid = std::to_string(number);
    if (!entry.pathChecked) {
        const std::string warning = pathCheck_.Check(fields);
        if (!warning.empty())
            send(warning);
    }
    if (InsertPost(fields) == ResultCode::Success)
        autoGrow_.store(number + 1, std::memory_order_relaxed);
    else
        skippedFiles_.fetch_add(1, std::memory_order_relaxed);
}

void PostInserter::replay()
{
    ++replayed_;
    // One transaction, a savepoint for each row: a failing row is undone alone, and the
    // whole replay costs one commit, so an abort never needs to cut it short.
    const auto alone = [this] {
        for (BatchEntry &entry : entries_) {
            if (Failed())
                break;
            processAlone(entry);
        }
    };
    if (!succeeded(ado_.BeginTransaction())) {
        if (Failed())
            reportUnprocessed();
        else
            alone();
        return;
    }
    std::vector<std::string> lines;
    std::uint32_t number = autoGrow_.load(std::memory_order_relaxed);
    long inserted = 0, refused = 0;
    bool broken = false; // a savepoint statement failed: the transaction cannot be trusted
    for (BatchEntry &entry : entries_) {
        if (!readyEntry(entry, number, lines))
            continue;
        PostFields &fields = entry.fields;
        if (!succeeded(ado_.ExecuteSql("SAVEPOINT replayed_row", Options))) {
            broken = true;
            break;
        }
        const long result = checkAndInsert(fields, lines);
        if (Failed())
            break;
        const bool kept = result == ResultCode::Success;
        if ((!kept && !succeeded(ado_.ExecuteSql("ROLLBACK TO SAVEPOINT replayed_row", Options)))
            || !succeeded(ado_.ExecuteSql("RELEASE SAVEPOINT replayed_row", Options))) {
            broken = true;
            break;
        }
        if (kept) {
            ++inserted;
            ++number;
        } else {
            ++refused;
        }
    }
    if (!broken && !Failed() && !succeeded(ado_.CommitTransaction()))
        broken = !Failed();
    if (broken || Failed()) {
        ado_.RollbackTransaction();
        if (Failed())
            reportUnprocessed();
        else
            alone(); // each row committed alone, as InsertPost always ran
        return;
    }
    insertedFiles_.fetch_add(inserted, std::memory_order_relaxed);
    skippedFiles_.fetch_add(refused, std::memory_order_relaxed);
    autoGrow_.store(number, std::memory_order_relaxed);
    for (const std::string &line : lines)
        send(line);
}

long PostInserter::InsertPost(const PostFields &fields)
{
    std::vector<std::string> lines;
    const long result = checkAndInsert(fields, lines);
    for (const std::string &line : lines)
        send(line);
    if (result == ResultCode::Success)
        insertedFiles_.fetch_add(1, std::memory_order_relaxed);
    return result;
}

long PostInserter::checkAndInsert(const PostFields &fields, std::vector<std::string> &lines)
{
    BoundStatement insert;
    const bool valid =
            InsertStatement(config_.table, fields, config_.columns.roomidIsNumeric, insert);
    // The duplicate check comes first, as InsertPost orders it; it needs the topicid as a
    // number, the other values only the insert does.
    long long topicid = 0;
    if (!ParseIntegerText(fields.topicid, topicid)) {
        lines.push_back(format(ImportText::InsertFailed, insert.display, config_.invalidValueCode));
        return config_.invalidValueCode;
    }
    if (config_.checkTopicid || config_.checkTitle) {
        const BoundStatement check = DuplicateCheckStatement(
                config_.table, fields, config_.checkTopicid, config_.checkTitle);
        std::unique_ptr<CAdoRecordset> rows;
        const long result = ado_.ExecuteSql(check, rows, Options);
        if (!succeeded(result)) {
            lines.push_back(
                    format(ImportText::DuplicateCheckError, fields.path, check.display, result));
            return result;
        }
        const bool exists = rows && !rows->IsEOF();
        rows.reset();
        if (exists) {
            lines.push_back(format(ImportText::Duplicate, fields.path));
            return ResultCode::AlreadyExists;
        }
    }
    if (!valid) {
        lines.push_back(format(ImportText::InsertFailed, insert.display, config_.invalidValueCode));
        return config_.invalidValueCode;
    }
    const long result = ado_.ExecuteSql(insert, Options);
    if (!succeeded(result)) {
        lines.push_back(insertFailed(insert.display, result, ado_.LastErrorReason()));
        return result;
    }
    return ResultCode::Success;
}

bool PostInserter::runQuery(const BoundStatement &statement, bool titles,
                            std::vector<long long> &ids, std::vector<std::string> &texts,
                            bool &canonical)
{
    std::vector<CAdoValue> values;
    if (!succeeded(ado_.SelectColumn(statement, values, Options)))
        return false;
    for (const CAdoValue &value : values) {
        if (titles) {
            if (!value.IsNull())
                texts.push_back(value.Text());
        } else {
            // A topicid the database matched but wrote otherwise ("007", "7 ") matched by
            // its own rules, which the batch cannot follow.
            long long id = 0;
            if (value.ToInt64(id) && std::to_string(id) == value.Text())
                ids.push_back(id);
            else
                canonical = false;
        }
    }
    return true;
}

bool PostInserter::fetchTaken(std::uint32_t firstNumber, std::size_t rows,
                              std::vector<long long> &ids, std::vector<std::string> &titles,
                              bool &exact)
{
    if (config_.checkTopicid) {
        std::vector<long long> wanted;
        bool numbered = false;
        for (const BatchEntry &entry : entries_) {
            long long id = 0;
            if (!entry.hasRow)
                continue;
            if (entry.numberFromCounter)
                numbered = true;
            else if (ParseIntegerText(entry.fields.topicid, id))
                wanted.push_back(id);
        }
        for (const BoundStatement &query :
             inQueries(config_.table, "topicid", wanted, SqlValue::fromInteger)) {
            if (!runQuery(query, false, ids, titles, exact))
                return false;
        }
        const long long last = static_cast<long long>(firstNumber) + static_cast<long long>(rows);
        for (const long long id : ids) {
            if (!std::binary_search(wanted.begin(), wanted.end(), id)
                && !(numbered && id >= firstNumber && id < last))
                exact = false;
        }
        if (numbered) {
            BoundStatement query;
            query.sql =
                    "select topicid from " + config_.table + " where topicid >= ? and topicid < ?";
            query.values = {SqlValue::fromInteger(firstNumber), SqlValue::fromInteger(last)};
            const std::size_t before = ids.size();
            if (!runQuery(query, false, ids, titles, exact))
                return false;
            for (std::size_t i = before; i < ids.size(); ++i) {
                if (ids[i] < firstNumber || ids[i] >= last)
                    exact = false;
            }
        }
    }
    if (config_.checkTitle) {
        std::vector<std::string> wanted;
        for (const BatchEntry &entry : entries_) {
            if (entry.hasRow)
                wanted.push_back(entry.fields.title);
        }
        for (const BoundStatement &query :
             inQueries(config_.table, "title", wanted,
                       [](const std::string &title) { return SqlValue::fromText(title); })) {
            if (!runQuery(query, true, ids, titles, exact))
                return false;
        }
        // A title the database matched that is none of those asked for byte for byte: the
        // column compares by rules of its own (letter case, blanks).
        std::unordered_set<std::string> asked;
        for (const std::string &title : wanted)
            asked.insert(comparable(title));
        for (const std::string &title : titles) {
            if (!asked.count(title))
                exact = false;
        }
    }
    return true;
}

bool PostInserter::readyEntry(BatchEntry &entry, std::uint32_t number,
                              std::vector<std::string> &lines) const
{
    // A replay numbers and checks the entry afresh, so it may be changed here.
    lines.insert(lines.end(), entry.lines.begin(), entry.lines.end());
    if (!entry.hasRow)
        return false;
    if (entry.numberFromCounter)
        entry.fields.topicid = std::to_string(number);
    if (!entry.pathChecked) {
        std::string warning = pathCheck_.Check(entry.fields);
        if (!warning.empty())
            lines.push_back(std::move(warning));
    }
    return true;
}

bool PostInserter::insertRows(std::vector<BoundStatement> &rows)
{
    if (!config_.multiRowInserts)
        return succeeded(ado_.ExecuteSql(rows, Options));
    // Consecutive rows with the same columns go into one statement.
    std::size_t at = 0;
    while (at < rows.size()) {
        std::size_t end = at + 1;
        while (end < rows.size() && end - at < RowsPerInsert && rows[end].sql == rows[at].sql)
            ++end;
        const std::string &single = rows[at].sql;
        const std::size_t valuesAt = single.rfind(") values(");
        const std::string tuple = single.substr(valuesAt + 8); // "(?,?,...)"
        BoundStatement statement;
        statement.sql = single.substr(0, valuesAt + 8);
        statement.sql.reserve(statement.sql.size() + (end - at) * (tuple.size() + 1));
        for (std::size_t i = at; i < end; ++i) {
            statement.sql += i == at ? tuple : "," + tuple;
            statement.values.insert(statement.values.end(),
                                    std::make_move_iterator(rows[i].values.begin()),
                                    std::make_move_iterator(rows[i].values.end()));
        }
        if (!succeeded(ado_.ExecuteSql(statement, Options)))
            return false;
        at = end;
    }
    return true;
}

PostInserter::BatchResult PostInserter::flushTogether(std::vector<std::string> &lines)
{
    const std::uint32_t firstNumber = autoGrow_.load(std::memory_order_relaxed);
    if (rows_ == 0) {
        for (const BatchEntry &entry : entries_)
            lines.insert(lines.end(), entry.lines.begin(), entry.lines.end());
        return BatchResult::Committed;
    }
    // Numbers that would wrap past 4294967295 within the batch, or titles the database
    // may take for one another: row by row.
    if (std::uint64_t(firstNumber) + rows_ > std::numeric_limits<std::uint32_t>::max()
        || (config_.checkTitle && looseTwins(entries_)))
        return BatchResult::Replay;
    const auto failed = [&] {
        lines.clear();
        return Failed() ? BatchResult::Failed : BatchResult::Replay;
    };
    if (!succeeded(ado_.BeginTransaction()))
        return failed();
    const auto undo = [&] {
        ado_.RollbackTransaction();
        return failed();
    };

    std::vector<long long> takenIdList;
    std::vector<std::string> takenTitleList;
    bool exact = true;
    if ((config_.checkTopicid || config_.checkTitle)
        && !fetchTaken(firstNumber, rows_, takenIdList, takenTitleList, exact))
        return undo();
    if (!exact)
        return undo();
    std::unordered_set<long long> takenIds(takenIdList.begin(), takenIdList.end());
    std::unordered_set<std::string> takenTitles(takenTitleList.begin(), takenTitleList.end());

    std::uint32_t number = firstNumber;
    std::vector<BoundStatement> inserts;
    inserts.reserve(rows_);
    for (BatchEntry &entry : entries_) {
        if (!readyEntry(entry, number, lines))
            continue;
        PostFields &fields = entry.fields;
        long long id = 0;
        BoundStatement insert;
        if (!ParseIntegerText(fields.topicid, id)) {
            InsertStatement(config_.table, fields, config_.columns.roomidIsNumeric, insert);
            lines.push_back(
                    format(ImportText::InsertFailed, insert.display, config_.invalidValueCode));
            continue;
        }
        std::string title = config_.checkTitle ? comparable(fields.title) : std::string();
        if ((config_.checkTopicid && takenIds.count(id))
            || (config_.checkTitle && takenTitles.count(title))) {
            lines.push_back(format(ImportText::Duplicate, fields.path));
            continue;
        }
        const bool valid = entry.insert.sql.empty()
                ? InsertStatement(config_.table, fields, config_.columns.roomidIsNumeric, insert,
                                  false)
                : entry.insertValid;
        if (!entry.insert.sql.empty())
            insert = std::move(entry.insert);
        if (!valid) {
            InsertStatement(config_.table, fields, config_.columns.roomidIsNumeric, insert);
            lines.push_back(
                    format(ImportText::InsertFailed, insert.display, config_.invalidValueCode));
            continue;
        }
        if (config_.checkTopicid)
            takenIds.insert(id);
        if (config_.checkTitle)
            takenTitles.insert(std::move(title));
        inserts.push_back(std::move(insert));
        ++number;
    }
    if (config_.insertInKeyOrder) {
        std::sort(inserts.begin(), inserts.end(),
                  [](const BoundStatement &a, const BoundStatement &b) {
                      return a.values[0].integer < b.values[0].integer;
                  });
    }
    if (!insertRows(inserts) || !succeeded(ado_.CommitTransaction()))
        return undo();
    insertedFiles_.fetch_add(long(inserts.size()), std::memory_order_relaxed);
    skippedFiles_.fetch_add(long(rows_ - inserts.size()), std::memory_order_relaxed);
    autoGrow_.store(number, std::memory_order_relaxed);
    return BatchResult::Committed;
}
