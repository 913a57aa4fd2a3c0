#pragma once

// InsertPost and the batches around it. Rows are committed in transactions bounded by
// time and size; a batch's duplicate checks are answered by a few set queries plus the
// batch's own rows. Lines are sent only after their batch is committed, in file order.
// When any statement of a batch fails, or the database's answer to a set query is one
// that only the database can match to the files (a title column that ignores case, a
// text topicid), the batch is rolled back and replayed row by row with the statements
// exactly as InsertPost runs them, each row in a savepoint of one transaction, so every
// line and counter is the one the row-by-row import gives. A replay is never cut short.
//
// A failure of the database as a whole (IsFatalDbError: the connection lost, the disk
// full) is no per-file failure: the inserter stops, keeps its code and the database's
// words (Failed), and every file of the batch that has no line gets one saying it was
// not imported. Nothing more is sent to the database.

#include "ImportSettings.h"
#include "PostExtraction.h"
#include "PostPathCheck.h"
#include "browser/db/BoundStatement.h"
#include "browser/search/BodyIndex.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

class CAdoManager;
class ImportBodyIndex;
class ImportSink;

// One file's share of a batch: the lines it produced before its insert and its row.
struct BatchEntry
{
    std::vector<std::string> lines;
    bool hasRow = false;
    PostFields fields;
    bool numberFromCounter = false; // topicid mode 1: numbered when it is inserted
    bool pathChecked = false; // the path check has run (or is off)
    // The batch's insert of the row, composed by the reader when the topicid is the file's
    // own (InsertStatement without its shown text; empty otherwise), and whether its
    // values fit their columns.
    BoundStatement insert;
    bool insertValid = false;
    // With a body index: the post's text and terms, made by the reader from the bytes it
    // read (the writer's time goes to the index itself).
    PreparedBodyPost body;
    PostFileStamp stamp;
};

struct InserterConfig
{
    std::string table;
    PostColumns columns;
    bool checkTopicid = true;
    bool checkTitle = true;
    long invalidValueCode = 0; // the result of a value an integer column cannot take
    bool batched = true; // false: every row alone, as InsertPost always ran
    // The table keeps its rows in topicid order whatever order they come in (SQLite's
    // INTEGER PRIMARY KEY): a batch's rows then go in in that order, each page of the
    // table visited once per batch. Nothing else depends on the order of the inserts.
    // Only with multiRowInserts off: a statement of many rows holds rows of one set of
    // columns.
    bool insertInKeyOrder = false;
    // Rows of a batch go in by statements of many rows (each a round trip to a server);
    // false: one kept statement run for each row, which SQLite runs without keeping a
    // copy of every page the statement changes, as a statement of many rows needs.
    bool multiRowInserts = true;
    std::size_t maxBatchRows = 8192;
    std::chrono::milliseconds maxBatchTime {250};
    ImportBodyIndex *body = nullptr; // each inserted row's text goes in with the row
};

class PostInserter
{
public:
    PostInserter(CAdoManager &ado, ImportSink &sink, const PostPathCheck &pathCheck,
                 InserterConfig config, std::atomic<long> &insertedFiles,
                 std::atomic<long> &skippedFiles, std::atomic<std::uint32_t> &autoGrow);

    // Takes a file's entry: batched, it waits for Flush; otherwise it is done now.
    void Add(BatchEntry &&entry);
    // True when the batch has reached its size or its time.
    bool Due(std::chrono::steady_clock::time_point now) const;
    std::chrono::steady_clock::time_point Deadline() const { return deadline_; }
    bool Empty() const { return entries_.empty(); }
    // Commits the batch and sends its lines.
    void Flush();

    // One row: duplicate check, then the insert, each committed on its own. 0, 183 for a
    // duplicate, or the failed statement's code; the line for it is sent.
    long InsertPost(const PostFields &fields);

    std::uint64_t replayedBatches() const { return replayed_; }

    // The run must stop: a failure of the database as a whole. Its code, the database's
    // own words about it (GBK, may be empty) and the whole report of the failed statement.
    bool Failed() const { return failureCode_ != 0; }
    long FailureCode() const { return failureCode_; }
    const std::string &FailureReason() const { return failureReason_; }
    const std::string &FailureReport() const { return failureReport_; }

private:
    enum class BatchResult { Committed, Replay, Failed };

    void processAlone(BatchEntry &entry);
    BatchResult flushTogether(std::vector<std::string> &lines);
    void replay();
    void reportUnprocessed();
    long checkAndInsert(const PostFields &fields, std::vector<std::string> &lines);
    bool fetchTaken(std::uint32_t firstNumber, std::size_t rows, std::vector<long long> &ids,
                    std::vector<std::string> &titles, bool &exact);
    bool runQuery(const BoundStatement &statement, bool titles, std::vector<long long> &ids,
                  std::vector<std::string> &texts, bool &canonical);
    // An entry of the batch on its way to its statement: its lines join `lines`, its
    // topicid is `number` when it comes from the counter, its path is checked when it was
    // not yet. False for an entry without a row.
    bool readyEntry(BatchEntry &entry, std::uint32_t number, std::vector<std::string> &lines) const;
    bool insertRows(std::vector<BoundStatement> &rows);
    // The body index's share of an inserted row (flush: at once); 0 or the failure's code
    // with the file's line.
    long indexBody(const BatchEntry &entry, bool flush, std::vector<std::string> &lines);
    // InsertPost, and with a body index the row and its text in one transaction.
    long insertAlone(const BatchEntry &entry);
    // Keeps the result of a statement; false when it failed.
    bool succeeded(long result);
    void send(const std::string &line);

    CAdoManager &ado_;
    ImportSink &sink_;
    const PostPathCheck &pathCheck_;
    InserterConfig config_;
    std::atomic<long> &insertedFiles_;
    std::atomic<long> &skippedFiles_;
    std::atomic<std::uint32_t> &autoGrow_;

    std::vector<BatchEntry> entries_;
    std::size_t rows_ = 0;
    std::chrono::steady_clock::time_point deadline_;
    std::uint64_t replayed_ = 0;
    long lastFailure_ = 0; // the code of the latest failed statement of a batch
    long failureCode_ = 0;
    std::string failureReason_;
    std::string failureReport_;
};
