#pragma once

// One import run: RunImport opens the database, reads the post table's columns and the
// conversion file, walks the import folder, extracts every matching file's fields,
// checks the path and duplicates, inserts one row per post, and reports every outcome
// through its ImportSink, ending with "插入完成: 总文件=%ld成功插入=%ld".
//
// Threads: RunImport runs on the caller's thread (the sheet's worker, or the command's)
// and, when ImportTuning::pipelined, reads and extracts files on one thread of its own
// beside it, handing them over in order; every sink call still comes from the caller's
// thread in the order a one-file-at-a-time run gives. AbortImport and Progress() may be
// used from any thread while it runs.
//
// Rows are committed in batches bounded by time (ImportTuning::maxBatchTime) and size;
// a line or a count is shown only once the rows it covers are committed. An abort or the
// end of the walk commits the batch before the summary line. A failure of the database as
// a whole (the connection lost, the disk full, an I/O error) stops the run: every file
// counted gets its line, then one line gives the cause in the database's own words, then
// the summary; the same text goes to a message box. Lines and the status show control
// characters escaped, so a name with a line break stays one line.

#include "ImportSettings.h"
#include "PostExtraction.h"
#include "browser/rooms/RoomModel.h"
#include "common/PlaceholderNotifier.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CAdoManager;
class ImportSink;

// Counters of the running (or last) run, readable from any thread.
struct ImportProgress
{
    std::atomic<long> totalFiles {0}; // post files met (matching the pattern)
    std::atomic<long> insertedFiles {0}; // rows inserted and committed
    std::atomic<long> skippedFiles {0}; // files reported and not inserted (the rest is on its way)
    std::atomic<long long> expectedFiles {-1}; // files the walk will meet; -1 until counted
    std::atomic<std::uint32_t> autoGrowCounter {0}; // the next auto-grown topicid
    std::atomic<bool> running {false};
};

enum class ImportOutcome {
    Completed, // the summary line was sent
    Aborted, // the summary line was sent after AbortImport
    ConnectionFailed, // message box; no summary
    TableFailed, // message box; no summary
    Failed, // stopped by a failure of the database as a whole (its line, the summary and a
            // message box), or a thread of the run could not start (message box only)
};

struct ImportTuning
{
    bool pipelined = true; // walk, read and extract files on threads of their own
    int readers = 0; // reading threads when pipelined; 0: ImportReading::DefaultReaders
    bool batched = true; // commit in batches (false: every insert alone, a query per file)
    bool countAhead = true; // count the files on a third thread, for expectedFiles
    // 0: the engine's own bounds (ImportRun.cpp).
    std::size_t maxBatchRows = 0;
    std::chrono::milliseconds maxBatchTime {0};
};

class ImportRun
{
public:
    // rooms: the room model for the path check and roomid mode 3 (may be null when
    // neither is used). sink: see ImportSink.h.
    ImportRun(RoomModel *rooms, ImportSink &sink);
    ~ImportRun();
    ImportRun(const ImportRun &) = delete;
    ImportRun &operator=(const ImportRun &) = delete;

    void SetTuning(const ImportTuning &tuning) { tuning_ = tuning; }

    // One whole run. The settings change as on the pages: the ten markers lower-cased,
    // the connection string replaced by its expansion (unless it is already,
    // ExpandConnectionString), and autoGrowStart set to the counter the run ends with.
    // rootRoomItem: roomid mode 3's top-level room (FindImportRootRoom); null otherwise. The
    // connection stays open afterwards.
    ImportOutcome RunImport(ImportSettings &settings, CAdoManager &ado,
                            TreeItem rootRoomItem = nullptr);

    // Clears keepRunning: the walk stops at the next file or folder, the batch is
    // committed, the summary line follows. keepRunning is set again when the run ends.
    void AbortImport() { keepRunning_.store(false); }
    bool KeepRunning() const { return keepRunning_.load(); }

    const ImportProgress &Progress() const { return progress_; }

    // Reads which optional columns the table has and whether roomid is an integer
    // column. 0, or the code of the failed statement (87 for a name that is not a table
    // name: letters, digits and "_", optionally "schema.table").
    long CheckTableColumns(CAdoManager &ado, const std::string &table);
    const PostColumns &Columns() const { return columns_; }

    // How many batches failed and were replayed row by row in the last run.
    std::uint64_t ReplayedBatches() const { return replayed_; }

private:
    void reportPlaceholder(const std::string &placeholder);
    ImportOutcome failBeforeWalk(ImportOutcome outcome, const std::string &box,
                                 const std::string &details = std::string());

    RoomModel *rooms_;
    ImportSink &sink_;
    ImportTuning tuning_;
    std::atomic<bool> keepRunning_ {true};
    ImportProgress progress_;
    PostColumns columns_;
    std::uint64_t replayed_ = 0;
    std::unique_ptr<PlaceholderReports> placeholders_;
};

// "搜索唯一值": the next free topicid of settings.table, 1 for an empty one. On failure a
// message box through the sink and 0; also when MAX(topicid) is not a number or
// 4294967295 or more. The connection string is expanded (ExpandConnectionString), as the
// page then shows it; an unknown placeholder in it is a message box of the sink.
std::uint32_t FindNextTopicid(CAdoManager &ado, ImportSettings &settings, ImportSink &sink);

// Roomid mode 3: the top-level room named by the import folder's last component, with
// or without a final separator, or null.
TreeItem FindImportRootRoom(const RoomModel &rooms, const std::string &importDirectory);

// A table name the import may put into its statements: ASCII letters, digits and "_",
// not starting with a digit, optionally "schema.table".
bool IsImportTableName(const std::string &table);
