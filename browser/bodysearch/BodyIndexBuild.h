#pragma once

// Builds or brings up to date the body index (BodyIndex.h) of post tables, as
// `quillery index --body` and Kestrel's build both run it: for each table, Create when
// it has no index of the current rules, then every post whose file is not indexed or
// has changed since (size and time) is read from the file its room's post location
// entry gives and put in the index; entries of posts gone from the table are removed;
// the index is optimised at the end. The files are read and their texts made ready on a
// second thread (BodyPostReader.h) a batch or so ahead of the writing. Work is committed in short
// batches, one transaction each, so an abort (between batches) or a failure leaves the archive and
// what was committed usable, and a later run goes on from there. A post whose file
// cannot be read is a line of its own and the run goes on; a database failure stops
// the run with one line.

#include <atomic>
#include <chrono>
#include <cstddef>
#include <functional>
#include <string>
#include <thread>
#include <vector>

class RoomModel;
class BodyBatchWriter;
class BodyPostReader;
struct BodyReadJob;

// One post table and the top-level room whose post location entries give its files.
struct BodyIndexTarget
{
    std::string table;
    int rootIndex = -1;
};

// Read by any thread while a run goes on.
struct BodyIndexProgress
{
    std::atomic<long long> total {-1}; // posts in the tables; -1 until counted
    std::atomic<long long> checked {0}; // posts looked at
    std::atomic<long long> indexed {0}; // posts put in the index (new or changed)
    std::atomic<long long> unreadable {0}; // posts whose file could not be read
    std::atomic<long long> removed {0}; // entries of posts gone from their table
    std::atomic<bool> optimizing {false};
    std::atomic<bool> running {false};
};

// The pace of a run so far: posts looked at per second, and the seconds still needed
// at that pace (-1 while unknown).
struct BodyIndexPace
{
    double perSecond = 0;
    long long secondsLeft = -1;
};
BodyIndexPace PaceOf(const BodyIndexProgress &progress, double elapsedSeconds);

enum class BodyIndexOutcome {
    Completed,
    Aborted, // stopped between batches; what was committed stays
    Failed, // the database failed; Problem() says how
};

class BodyIndexBuild
{
public:
    // A line for the user (GBK) about one post; called on the run's thread.
    using LineHandler = std::function<void(const std::string &line)>;
    using EndedHandler = std::function<void(BodyIndexOutcome outcome)>;

    // rooms: the loaded configuration (its post location entries are read); connection:
    // the connection string with its placeholders expanded.
    BodyIndexBuild(RoomModel &rooms, std::string connection);
    // A run still going is aborted and waited for.
    ~BodyIndexBuild();
    BodyIndexBuild(const BodyIndexBuild &) = delete;
    BodyIndexBuild &operator=(const BodyIndexBuild &) = delete;

    // Every post table of the configuration once, with the first top-level room that
    // names it.
    static std::vector<BodyIndexTarget> TargetsOf(const RoomModel &rooms);

    void SetLineHandler(LineHandler lines) { lines_ = std::move(lines); }
    // Posts per transaction (one segment of the index each).
    static constexpr std::size_t DefaultBatchPosts = 500;
    // SQLite's page cache while a table is indexed, in KiB (SqliteRunSettings.h): the
    // merges read back the segments written last.
    static constexpr int CacheKib = 8192;
    // Posts per transaction; at least 1.
    void SetBatchPosts(std::size_t posts) { batchPosts_ = posts ? posts : 1; }

    // Builds or updates the tables' indexes, on the caller's thread. A build object
    // serves one run: after an Abort() a further Run() ends at once.
    BodyIndexOutcome Run(const std::vector<BodyIndexTarget> &targets);
    // Removes the tables' indexes.
    BodyIndexOutcome Drop(const std::vector<BodyIndexTarget> &targets);

    // Run() on a thread of its own; ended is its last act there. False, with the
    // reason (GBK), when the thread could not start.
    bool Start(std::vector<BodyIndexTarget> targets, EndedHandler ended, std::string &why);
    void Wait();
    // The run stops before its next batch (any thread).
    void Abort() { keepRunning_ = false; }

    const BodyIndexProgress &Progress() const { return progress_; }
    // After Failed: one line (GBK) saying which table and why, with the database's words.
    const std::string &Problem() const { return problem_; }

private:
    struct Session;
    bool buildTable(Session &session, const BodyIndexTarget &target);
    bool indexPosts(Session &session, const BodyIndexTarget &target);
    bool pageJobs(Session &session, const BodyIndexTarget &target, long long &after,
                  std::vector<BodyReadJob> &jobs);
    bool writePage(const BodyIndexTarget &target, BodyPostReader &reader, BodyBatchWriter &batches,
                   std::size_t posts);
    bool written(const BodyBatchWriter &batches, bool ok);
    bool removeOrphans(Session &session, const BodyIndexTarget &target);
    bool failed(const BodyIndexTarget &target, const std::string &why);
    void line(const std::string &text);

    RoomModel &rooms_;
    std::string connection_;
    LineHandler lines_;
    std::size_t batchPosts_ = DefaultBatchPosts;
    long long indexedBefore_ = 0; // progress_.indexed when the table's posts began
    std::atomic<bool> keepRunning_ {true};
    BodyIndexProgress progress_;
    std::string problem_;
    std::thread worker_;
};
