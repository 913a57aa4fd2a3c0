#pragma once

// The reading half of a body index build: post files are read, their text taken and
// made ready for the index (BodyIndex::Prepare) on a thread of its own while the
// caller's thread writes to the database. Results come back one per post, in the order
// the posts were given; a bounded number of them wait, so the reader runs ahead by
// about a batch and no more.

#include "browser/search/BodyIndex.h"
#include "browser/search/PostText.h"

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct BodyReadJob
{
    long long topicid = 0;
    std::string path; // GBK
    // Set: the post cannot be read for this reason (a line for the user, GBK), known
    // before its file is looked at; it still takes its turn among the others.
    std::string line;
    bool indexed = false; // the index holds the post: the file is read only when changed
    PostFileStamp stamp; // the index's stamp, when indexed
};

struct BodyReadResult
{
    enum class Kind { Unchanged, Unreadable, Ready };
    Kind kind = Kind::Unreadable;
    long long topicid = 0;
    // Unreadable: the job's line (fileProblem false) or why the file could not be read
    std::string problem;
    bool fileProblem = false;
    PostFileStamp stamp; // Ready: the file's stamp when its text was taken
    PreparedBodyPost post; // Ready
};

class BodyPostReader
{
public:
    // At most maxPosts results, and text of maxBytes, wait ahead of the taker (always
    // at least one).
    BodyPostReader(std::size_t maxPosts, std::size_t maxBytes);
    // Stops the reader after the file it is on, and waits for it.
    ~BodyPostReader();
    BodyPostReader(const BodyPostReader &) = delete;
    BodyPostReader &operator=(const BodyPostReader &) = delete;

    // Starts the reading thread; false with the system's reason when it cannot start.
    bool Start(std::string &why);
    // Posts to read after those given before.
    void Add(std::vector<BodyReadJob> &&jobs);
    // The next post's result, waiting for it; false only after Stop().
    bool Take(BodyReadResult &result);
    // The reader takes no further post; results not taken are dropped (any thread).
    void Stop();

    // One post read as the thread reads it.
    static BodyReadResult Read(BodyReadJob &&job);

private:
    static std::size_t weight(const BodyReadResult &result);
    void run();

    const std::size_t maxPosts_;
    const std::size_t maxBytes_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<BodyReadJob> jobs_;
    std::deque<BodyReadResult> results_;
    std::size_t resultBytes_ = 0;
    bool stopped_ = false;
    std::thread thread_;
};
