#include "GapScan.h"

#include "GapTexts.h"
#include "LostFileCheck.h"
#include "browser/db/DbConnection.h"
#include "browser/db/DbEndpoint.h"
#include "browser/db/EmbeddedDatabase.h"
#include "common/Codec.h"

#include <QSqlQuery>
#include <QVariant>

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

// The table's smallest and largest IDs; false on failure, nullopt in both for no rows.
bool readBounds(DbConnection &connection, const std::string &table,
                std::optional<long long> &smallest, std::optional<long long> &largest,
                DbError &error)
{
    const QString sql = QStringLiteral("SELECT MIN(topicid), MAX(topicid) FROM ") + q(table);
    QSqlQuery *query = connection.execPrepared(sql, {}, error);
    if (!query)
        return false;
    if (query->next()) {
        const QVariant low = query->value(0);
        const QVariant high = query->value(1);
        if (!low.isNull())
            smallest = low.toLongLong();
        if (!high.isNull())
            largest = high.toLongLong();
    }
    return connection.finish(*query, error);
}

class Scanner
{
public:
    Scanner(const GapScanRequest &request, MissingSink &sink, GapScanResult &result)
        : request_(request)
        , sink_(sink)
        , result_(result)
    {
        if (request.files)
            files_ = std::make_unique<LostFileCheck>(*request.rooms, request.rootIndex);
    }

    // False when the sink stopped it.
    bool row(long long id, const QSqlQuery &query)
    {
        ++result_.rows;
        if (id > expected_ && !gap(expected_, id - 1))
            return false;
        expected_ = id + 1;
        if (!files_)
            return true;
        const QVariant roomid = query.value(1);
        const auto room = static_cast<std::uint32_t>(roomid.isNull() ? 0 : roomid.toLongLong());
        std::string path;
        if (!files_->IsLost(id, room, Gbk::fromQString(query.value(2).toString()), path))
            return true;
        ++result_.lostFiles;
        return sink_.Missing({id, id, true, std::move(path)});
    }

    bool end() { return expected_ > result_.last || gap(expected_, result_.last); }

    long long expected() const { return expected_; }
    void start(long long first) { expected_ = first; }

private:
    bool gap(long long first, long long last)
    {
        result_.missingIds += last - first + 1;
        ++result_.gapRuns;
        return sink_.Missing({first, last, false, std::string()});
    }

    const GapScanRequest &request_;
    MissingSink &sink_;
    GapScanResult &result_;
    std::unique_ptr<LostFileCheck> files_;
    long long expected_ = 0;
};

} // namespace

bool MissingSink::Progress(long long, long long)
{
    return true;
}

GapScanResult ScanGaps(const GapScanRequest &request, MissingSink &sink)
{
    GapScanResult result;
    if (!IsPlainTableName(request.table))
        return stop(result, GapScanOutcome::Refused,
                    QString::fromUtf8(GapText::BadTable).arg(q(request.table)));
    if (request.files && (!request.rooms || request.rootIndex < 0))
        return stop(result, GapScanOutcome::Refused, QString::fromUtf8(GapText::NoRoot));
    if (request.first && request.last && *request.last < *request.first)
        return stop(
                result, GapScanOutcome::Refused,
                QString::fromUtf8(GapText::RangeReversed).arg(*request.first).arg(*request.last));

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
        if (!readBounds(*connection, request.table, smallest, largest, error))
            return databaseFailure(result, request.table, error);
        if (!first)
            first = smallest;
        if (!last)
            last = largest;
        if (!first || !last) {
            result.emptyRange = true;
            return result;
        }
        if (*last < *first)
            return stop(result, GapScanOutcome::Refused,
                        QString::fromUtf8(GapText::RangeReversed).arg(*first).arg(*last));
    }
    result.first = *first;
    result.last = *last;

    const QString columns =
            request.files ? QStringLiteral("topicid, roomid, title") : QStringLiteral("topicid");
    const QString sql = QStringLiteral("SELECT ") + columns + QStringLiteral(" FROM ")
            + q(request.table)
            + QStringLiteral(" WHERE topicid >= ? AND topicid <= ? ORDER BY topicid LIMIT ?");
    const long long window = request.window > 0 ? request.window : 65536;

    Scanner scanner(request, sink, result);
    scanner.start(result.first);
    long long from = result.first;
    for (;;) {
        QSqlQuery *query = connection->execPrepared(sql,
                                                    {SqlValue::fromInteger(from),
                                                     SqlValue::fromInteger(result.last),
                                                     SqlValue::fromInteger(window)},
                                                    error);
        if (!query)
            return databaseFailure(result, request.table, error);
        long long read = 0;
        long long lastId = from - 1;
        bool stopped = false;
        while (query->next()) {
            bool integer = false;
            const long long id = query->value(0).toLongLong(&integer);
            ++read;
            // A key that is no integer, or a duplicate of a table not keyed on topicid,
            // neither ends a gap nor counts twice.
            if (!integer || id < scanner.expected())
                continue;
            lastId = id;
            if (!scanner.row(id, *query)) {
                stopped = true;
                break;
            }
        }
        if (!connection->finish(*query, error))
            return databaseFailure(result, request.table, error);
        if (stopped)
            return stop(result, GapScanOutcome::Stopped, QString());
        if (!sink.Progress(read < window ? result.last : lastId, result.rows))
            return stop(result, GapScanOutcome::Stopped, QString());
        // lastId < from: a full window of keys that cannot be read as IDs; no way on.
        if (read < window || lastId >= result.last || lastId < from)
            break;
        from = lastId + 1;
    }
    if (!scanner.end())
        return stop(result, GapScanOutcome::Stopped, QString());
    return result;
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
