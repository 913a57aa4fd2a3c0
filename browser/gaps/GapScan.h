#pragma once

// What an archive lacks in a range of post IDs: the IDs that have no row in a post table,
// or in none of several (gaps), and, when asked, the rows whose file is not where the room
// model locates it (lost files).
//
// Each table is read in key order, window by window: each window is one short bound
// statement "topicid >= ? AND topicid <= ? ORDER BY topicid LIMIT n", so nothing holds
// a snapshot between windows and memory does not grow with the table or the range; the
// tables' windows are merged by key. What is missing is handed out as runs while reading,
// in ascending order, never collected.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class RoomModel;

// first..last, both inclusive. A lost file is a run of one ID with the path looked for.
struct MissingRun
{
    long long first = 0;
    long long last = 0;
    bool lostFile = false;
    std::string path; // GBK, lost files only
};

class MissingSink
{
public:
    virtual ~MissingSink() = default;
    // In ascending ID order; false stops the scan.
    virtual bool Missing(const MissingRun &run) = 0;
    // After each window: the last ID looked at and the rows read so far; false stops.
    virtual bool Progress(long long reachedId, long long rows);
};

struct GapScanRequest
{
    std::string connection; // GBK connection string
    std::vector<std::string> tables; // plain table names; an ID is there when one has it
    std::optional<long long> first; // default: the table's smallest ID, not below lowest
    std::optional<long long> last; // default: its largest, not above highest
    long long lowest = 1;
    long long highest = 4294967295LL;
    bool files = false; // also the rows whose file is missing (one table only)
    RoomModel *rooms = nullptr; // with files: the model and the table's top-level room
    std::int32_t rootIndex = -1;
    long long window = 65536; // rows per statement
};

enum class GapScanOutcome {
    Done,
    Stopped, // the sink said stop
    Refused, // the request cannot be run (table names, range, files without a room)
    Failed, // the database failed
};

struct GapScanResult
{
    GapScanOutcome outcome = GapScanOutcome::Done;
    std::string problem; // GBK, one line, for Refused and Failed
    bool emptyRange = false; // no range given and the table holds no rows
    long long first = 0; // the range looked at
    long long last = 0;
    long long rows = 0; // rows found in the range
    long long missingIds = 0; // IDs without a row
    long long gapRuns = 0;
    long long lostFiles = 0;

    bool NothingMissing() const { return missingIds == 0 && lostFiles == 0; }
};

GapScanResult ScanGaps(const GapScanRequest &request, MissingSink &sink);

// The request for a top-level room: its table, its files, and the IDs its post location
// entries cover (from the lowest to the highest bound), narrowed to those its table
// holds. False with the reason (GBK) when the room has no table or no location entry.
bool RoomGapRequest(RoomModel &rooms, std::int32_t rootIndex, const std::string &connection,
                    GapScanRequest &request, std::string &problem);

// "帖子ID 1 到 400: 共有 380 个帖子, 缺少 20 个(3 段), 文件丢失 2 个" (GBK); the
// lost files only when they were looked for.
std::string GapSummary(const GapScanResult &result, bool files);
