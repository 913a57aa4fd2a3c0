#include "MissingUrlList.h"

#include "GarnetTexts.h"
#include "UrlListWriter.h"
#include "browser/gaps/GapScan.h"
#include "browser/rooms/RoomModel.h"
#include "common/Codec.h"
#include "common/TextFormat.h"

#include <algorithm>
#include <optional>

namespace {

UrlListResult failure(UrlListOutcome outcome, const char *utf8Format, const std::string &first,
                      const std::string &second = std::string())
{
    const std::string format = Gbk::literal(utf8Format);
    return {outcome, FormatText(format.c_str(), first.c_str(), second.c_str()), 0};
}

// Writes every missing run into the list as it comes.
class ListSink : public MissingSink
{
public:
    explicit ListSink(UrlListWriter &writer)
        : writer_(writer)
    {
    }
    bool Missing(const MissingRun &run) override
    {
        return writer_.WriteRun(run.first, run.last, result);
    }
    UrlListResult result;

private:
    UrlListWriter &writer_;
};

// Splits each run at the last HTML post, so each part gets its format's line.
class TwoFormatSink : public MissingSink
{
public:
    TwoFormatSink(UrlListWriter &writer, const UrlTemplateTable &table)
        : writer_(writer)
        , table_(table)
    {
    }
    bool Missing(const MissingRun &run) override
    {
        if (run.first <= LastHtmlPostId
            && !write(HtmlFormat, run.first, std::min<long long>(run.last, LastHtmlPostId)))
            return false;
        return run.last <= LastHtmlPostId
                || write(XmlFormat, std::max<long long>(run.first, FirstXmlPostId), run.last);
    }
    UrlListResult result;

private:
    bool write(int format, long long first, long long last)
    {
        if (format != format_) {
            writer_.SetLineTemplate(table_[std::size_t(format)].lineTemplate);
            format_ = format;
        }
        return writer_.WriteRun(first, last, result);
    }

    UrlListWriter &writer_;
    const UrlTemplateTable &table_;
    int format_ = -1;
};

class NoSink : public MissingSink
{
public:
    bool Missing(const MissingRun &) override { return true; }
};

} // namespace

std::string DefaultArchiveConfigPath()
{
    return RoomModel::TreeConfigPath(std::nullopt);
}

UrlListResult GenerateMissingUrlListFile(const UrlTemplateTable &table,
                                         const UrlListRequest &request,
                                         const std::string &archiveConfigPath)
{
    UrlListResult range = CheckUrlListRange(request);
    if (range.outcome != UrlListOutcome::Written)
        return range;

    RoomModel rooms;
    std::string reason;
    if (!rooms.LoadTreeConfig(archiveConfigPath, &reason))
        return failure(UrlListOutcome::ArchiveFailed, GarnetText::ArchiveUnreadable,
                       archiveConfigPath, reason);
    GapScanRequest scan;
    scan.connection = rooms.GetConnectionString();
    std::vector<std::string> names;
    rooms.ListRootRooms(names, scan.tables, nullptr);
    std::erase(scan.tables, std::string());
    if (scan.tables.empty())
        return failure(UrlListOutcome::ArchiveFailed, GarnetText::ArchiveNoTables,
                       archiveConfigPath);

    // The archive answers for one ID before the file is emptied: a database that cannot
    // be opened, or a table it lacks, leaves the old list alone.
    scan.first = request.firstId;
    scan.last = request.firstId;
    NoSink probe;
    GapScanResult result = ScanGaps(scan, probe);
    if (result.outcome != GapScanOutcome::Done)
        return failure(UrlListOutcome::ArchiveFailed, GarnetText::ArchiveFailed, result.problem);

    UrlListWriter writer;
    UrlListResult written;
    if (!writer.Open(request.outputPath, request.lineTemplate, written))
        return written;
    ListSink sink(writer);
    scan.last = request.lastId;
    result = ScanGaps(scan, sink);
    UrlListResult closed;
    const bool complete = writer.Close(closed);
    if (result.outcome == GapScanOutcome::Stopped)
        return sink.result;
    if (result.outcome != GapScanOutcome::Done)
        return failure(UrlListOutcome::ArchiveFailed, GarnetText::ArchiveIncomplete,
                       result.problem);
    if (!complete)
        return closed;

    const bool html = request.format != XmlFormat;
    const UrlTemplateEntry &entry = table[html ? HtmlFormat : XmlFormat];
    const std::string done = Gbk::literal(html ? GarnetText::HtmlDone : GarnetText::XmlDone);
    const std::string leftOut = Gbk::literal(GarnetText::LeftOut);
    const std::int64_t kept =
            std::int64_t(request.lastId) - request.firstId + 1 - result.missingIds;
    return {UrlListOutcome::Written,
            entry.label + FormatText(done.c_str(), int(writer.IdsWritten()))
                    + FormatText(leftOut.c_str(), int(kept)),
            writer.LinesWritten(), kept};
}

UrlListResult WriteGapUrlList(const UrlTemplateTable &table, const GapScanRequest &scan,
                              const std::string &outputPath, GapScanResult &scanned)
{
    UrlListWriter writer;
    UrlListResult written;
    if (!writer.Open(outputPath, table[HtmlFormat].lineTemplate, written))
        return written;
    TwoFormatSink sink(writer, table);
    scanned = ScanGaps(scan, sink);
    UrlListResult closed;
    const bool complete = writer.Close(closed);
    if (scanned.outcome == GapScanOutcome::Stopped)
        return sink.result;
    if (scanned.outcome != GapScanOutcome::Done)
        return failure(UrlListOutcome::ArchiveFailed, GarnetText::ArchiveIncomplete,
                       scanned.problem);
    if (!complete)
        return closed;
    const std::string format = Gbk::literal(GarnetText::GapListDone);
    return {UrlListOutcome::Written,
            FormatText(format.c_str(), outputPath.c_str(),
                       static_cast<long long>(writer.LinesWritten())),
            writer.LinesWritten(), 0};
}
