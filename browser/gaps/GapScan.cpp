#include "GapScan.h"

#include "GapTexts.h"
#include "LostFileCheck.h"
#include "browser/db/DbConnection.h"
#include "browser/db/DbEndpoint.h"
#include "browser/db/EmbeddedDatabase.h"
#include "browser/rooms/RoomModel.h"
#include "common/Codec.h"

#include <QSqlQuery>
#include <QVariant>

#include <algorithm>
#include <memory>

namespace {

QString q(const std::string &gbk)
{
    return Gbk::toQString(gbk);
}

// The database's words on one line: the reports of the layer may span several.
std::string oneLine(std::string text)
{
    for (char &c : text) {
        if (c == '\r' || c == '\n')
            c = ' ';
    }
    return text;
}

GapScanResult stop(GapScanResult result, GapScanOutcome outcome, const QString &problem)
{
    result.outcome = outcome;
    result.problem = Gbk::fromQString(problem);
    return result;
}

GapScanResult databaseFailure(GapScanResult result, const std::string &table, const DbError &error)
{
    return stop(
            std::move(result), GapScanOutcome::Failed,
            QString::fromUtf8(GapText::ReadFailed).arg(q(table), q(oneLine(error.description))));
}

// The tables' smallest and largest IDs; false on failure, nullopt in both for no rows.
bool readBounds(DbConnection &connection, const std::vector<std::string> &tables,
                std::optional<long long> &smallest, std::optional<long long> &largest,
                DbError &error, std::string &failedTable)
{
    for (const std::string &table : tables) {
        failedTable = table;
        const QString sql = QStringLiteral("SELECT MIN(topicid), MAX(topicid) FROM ") + q(table);
        QSqlQuery *query = connection.execPrepared(sql, {}, error);
        if (!query)
            return false;
        if (query->next()) {
            const QVariant low = query->value(0);
            const QVariant high = query->value(1);
            if (!low.isNull() && (!smallest || low.toLongLong() < *smallest))
                smallest = low.toLongLong();
            if (!high.isNull() && (!largest || high.toLongLong() > *largest))
                largest = high.toLongLong();
        }
        if (!connection.finish(*query, error))
            return false;
    }
    return true;
}

struct KeyRow
{
    long long id = 0;
    std::uint32_t roomid = 0;
    std::string title; // GBK, with files only
};

// One table's rows of the range in key order, a window at a time; each window is read
// whole and its statement finished before the rows are handed out.
class TableWindows
{
public:
    TableWindows(DbConnection &connection, const std::string &table, bool files, long long first,
                 long long last, long long window)
        : connection_(connection)
        , files_(files)
        , from_(first)
        , last_(last)
        , window_(window)
        , sql_(QStringLiteral("SELECT ")
               + (files ? QStringLiteral("topicid, roomid, title") : QStringLiteral("topicid"))
               + QStringLiteral(" FROM ") + q(table)
               + QStringLiteral(" WHERE topicid >= ? AND topicid <= ? ORDER BY topicid LIMIT ?"))
        , table_(table)
    {
    }

    // The row at the reader, nullptr at the end or on a failure (error then set).
    const KeyRow *head(DbError &error)
    {
        if (position_ < rows_.size())
            return &rows_[position_];
        if (done_ || !fetch(error))
            return nullptr;
        return position_ < rows_.size() ? &rows_[position_] : nullptr;
    }
    void advance() { ++position_; }
    bool failed() const { return failed_; }
    const std::string &table() const { return table_; }

private:
    bool fetch(DbError &error)
    {
        rows_.clear();
        position_ = 0;
        QSqlQuery *query = connection_.execPrepared(sql_,
                                                    {SqlValue::fromInteger(from_),
                                                     SqlValue::fromInteger(last_),
                                                     SqlValue::fromInteger(window_)},
                                                    error);
        if (!query) {
            failed_ = done_ = true;
            return false;
        }
        long long read = 0;
        long long lastId = from_ - 1;
        while (query->next()) {
            ++read;
            bool integer = false;
            const long long id = query->value(0).toLongLong(&integer);
            // A key that is no integer, or a duplicate of a table not keyed on topicid,
            // neither ends a gap nor counts twice.
            if (!integer || id <= lastId)
                continue;
            lastId = id;
            KeyRow row;
            row.id = id;
            if (files_) {
                const QVariant roomid = query->value(1);
                row.roomid = static_cast<std::uint32_t>(roomid.isNull() ? 0 : roomid.toLongLong());
                row.title = Gbk::fromQString(query->value(2).toString());
            }
            rows_.push_back(std::move(row));
        }
        if (!connection_.finish(*query, error)) {
            failed_ = done_ = true;
            return false;
        }
        // lastId < from_: a full window of keys that cannot be read as IDs; no way on.
        done_ = read < window_ || lastId >= last_ || lastId < from_;
        from_ = lastId + 1;
        return true;
    }

    DbConnection &connection_;
    bool files_;
    long long from_;
    long long last_;
    long long window_;
    QString sql_;
    std::string table_;
    std::vector<KeyRow> rows_;
    std::size_t position_ = 0;
    bool done_ = false;
    bool failed_ = false;
};

class Scanner
{
public:
    Scanner(const GapScanRequest &request, MissingSink &sink, GapScanResult &result)
        : sink_(sink)
        , result_(result)
        , expected_(result.first)
    {
        if (request.files)
            files_ = std::make_unique<LostFileCheck>(*request.rooms, request.rootIndex);
    }

    // False when the sink stopped it.
    bool row(const KeyRow &row)
    {
        if (row.id < expected_)
            return true; // a post in two tables counts once
        ++result_.rows;
        if (row.id > expected_ && !gap(expected_, row.id - 1))
            return false;
        expected_ = row.id + 1;
        if (!files_)
            return true;
        std::string path;
        if (!files_->IsLost(row.id, row.roomid, row.title, path))
            return true;
        ++result_.lostFiles;
        return sink_.Missing({row.id, row.id, true, std::move(path)});
    }

    bool end() { return expected_ > result_.last || gap(expected_, result_.last); }

private:
    bool gap(long long first, long long last)
    {
        result_.missingIds += last - first + 1;
        ++result_.gapRuns;
        return sink_.Missing({first, last, false, std::string()});
    }

    MissingSink &sink_;
    GapScanResult &result_;
    std::unique_ptr<LostFileCheck> files_;
    long long expected_;
};

GapScanResult checkRequest(const GapScanRequest &request)
{
    GapScanResult result;
    if (request.tables.empty())
        return stop(result, GapScanOutcome::Refused, QString::fromUtf8(GapText::NoTable));
    for (const std::string &table : request.tables) {
        if (!IsPlainTableName(table))
            return stop(result, GapScanOutcome::Refused,
                        QString::fromUtf8(GapText::BadTable).arg(q(table)));
    }
    if (request.files && (!request.rooms || request.rootIndex < 0 || request.tables.size() != 1))
        return stop(result, GapScanOutcome::Refused, QString::fromUtf8(GapText::NoRoot));
    if (request.first && request.last && *request.last < *request.first)
        return stop(
                result, GapScanOutcome::Refused,
                QString::fromUtf8(GapText::RangeReversed).arg(*request.first).arg(*request.last));
    return result;
}

} // namespace

bool MissingSink::Progress(long long, long long)
{
    return true;
}

GapScanResult ScanGaps(const GapScanRequest &request, MissingSink &sink)
{
    GapScanResult result = checkRequest(request);
    if (result.outcome != GapScanOutcome::Done)
        return result;

    DbEndpoint endpoint;
    DbError error;
    if (!ParseDbEndpoint(request.connection, endpoint, error))
        return stop(result, GapScanOutcome::Failed,
                    QString::fromUtf8(GapText::OpenFailed).arg(q(oneLine(error.description))));
    const std::unique_ptr<DbConnection> connection = DbConnection::Open(endpoint, 30, error);
    if (!connection)
        return stop(result, GapScanOutcome::Failed,
                    QString::fromUtf8(GapText::OpenFailed).arg(q(oneLine(error.description))));

    std::optional<long long> first = request.first;
    std::optional<long long> last = request.last;
    if (!first || !last) {
        std::optional<long long> smallest, largest;
        std::string failedTable;
        if (!readBounds(*connection, request.tables, smallest, largest, error, failedTable))
            return databaseFailure(result, failedTable, error);
        if (!first && smallest)
            first = std::max(*smallest, request.lowest);
        if (!last && largest)
            last = std::min(*largest, request.highest);
        if (!first || !last) {
            result.emptyRange = true;
            return result;
        }
        // Rows all outside the bounds: nothing to look at, unless the user named a bound.
        if (*last < *first && !request.first && !request.last) {
            result.emptyRange = true;
            return result;
        }
        if (*last < *first)
            return stop(result, GapScanOutcome::Refused,
                        QString::fromUtf8(GapText::RangeReversed).arg(*first).arg(*last));
    }
    result.first = *first;
    result.last = *last;

    const long long window = request.window > 0 ? request.window : 65536;
    std::vector<TableWindows> tables;
    tables.reserve(request.tables.size());
    for (const std::string &table : request.tables)
        tables.emplace_back(*connection, table, request.files, result.first, result.last, window);

    Scanner scanner(request, sink, result);
    long long sinceProgress = 0;
    for (;;) {
        TableWindows *next = nullptr;
        const KeyRow *row = nullptr;
        for (TableWindows &table : tables) {
            const KeyRow *head = table.head(error);
            if (table.failed())
                return databaseFailure(result, table.table(), error);
            if (head && (!row || head->id < row->id)) {
                row = head;
                next = &table;
            }
        }
        if (!row)
            break;
        if (!scanner.row(*row))
            return stop(result, GapScanOutcome::Stopped, QString());
        const long long id = row->id;
        next->advance();
        if (++sinceProgress >= window) {
            sinceProgress = 0;
            if (!sink.Progress(id, result.rows))
                return stop(result, GapScanOutcome::Stopped, QString());
        }
    }
    if (!scanner.end() || !sink.Progress(result.last, result.rows))
        return stop(result, GapScanOutcome::Stopped, QString());
    return result;
}

bool RoomGapRequest(RoomModel &rooms, std::int32_t rootIndex, const std::string &connection,
                    GapScanRequest &request, std::string &problem)
{
    request.connection = connection;
    request.tables = {rooms.GetRootTable(rootIndex)};
    if (request.tables.front().empty()) {
        problem = Gbk::fromQString(QString::fromUtf8(GapText::NoTable));
        return false;
    }
    request.files = true;
    request.rooms = &rooms;
    request.rootIndex = rootIndex;
    rooms.LoadPostRanges(rootIndex);
    const std::vector<PostRange> ranges = rooms.PostRanges();
    if (ranges.empty()) {
        problem = Gbk::fromQString(QString::fromUtf8(GapText::NoRanges));
        return false;
    }
    request.lowest = ranges.front().low;
    request.highest = ranges.front().high;
    for (const PostRange &range : ranges) {
        request.lowest = std::min<long long>(request.lowest, range.low);
        request.highest = std::max<long long>(request.highest, range.high);
    }
    return true;
}

std::string GapSummary(const GapScanResult &result, bool files)
{
    QString text = QString::fromUtf8(GapText::Summary)
                           .arg(result.first)
                           .arg(result.last)
                           .arg(result.rows)
                           .arg(result.missingIds)
                           .arg(result.gapRuns);
    if (files)
        text += QString::fromUtf8(GapText::SummaryFiles).arg(result.lostFiles);
    return Gbk::fromQString(text);
}
