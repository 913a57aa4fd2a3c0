#pragma once

// The reading side of a pipelined run: the walk on a thread of its own hands the files,
// numbered in walk order, to reading threads, and the queue gives the writer their items
// back in that order. Files not in the page cache are read several at a time, so that
// their reads overlap: one thread waited for each read in turn.

#include "ImportReader.h"
#include "ImportWalk.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class ImportReading
{
public:
    struct Walk
    {
        const RoomModel *rooms = nullptr;
        std::string pattern;
        std::string directory;
        TreeItem node = nullptr;
    };

    // Files go to the readers in chunks of at most this many, or younger than ChunkAge,
    // and a chunk goes on to the writer once read: a slow disk must not keep files back
    // from the writer for long.
    static constexpr std::size_t ChunkItems = 16;
    static constexpr std::chrono::milliseconds ChunkAge {20};

    ImportReading(const FileReader &reader, RunItemQueue &queue, Walk walk);
    ~ImportReading(); // stops and joins
    ImportReading(const ImportReading &) = delete;
    ImportReading &operator=(const ImportReading &) = delete;

    // Starts the walk and up to `readers` reading threads. False, with what the system
    // said, when not even one of each could be started; nothing runs then.
    bool Start(int readers, std::string &problem);
    // The walk ends and the readers take no more (the queue's Stop frees a waiting one).
    void Stop();
    void Join();

    // Reading threads of a run. With the files in the page cache the writer is the
    // slower and the number hardly matters; with files read from the disk, eight read
    // 200,000 files 3x as fast as one.
    static constexpr int DefaultReaders = 8;

private:
    struct Job
    {
        bool isFile = false;
        WalkFile file;
        std::string line; // a folder's line
    };
    using Jobs = std::vector<Job>;

    void walk();
    void read();
    bool hand(Jobs &jobs); // false once stopped
    bool next(std::size_t &number, Jobs &jobs); // false when no job is left

    const FileReader &reader_;
    RunItemQueue &queue_;
    Walk walk_;
    std::atomic<bool> running_ {true};
    std::thread walker_;
    std::vector<std::thread> readers_;
    std::atomic<int> reading_ {0}; // readers not yet done; the last finishes the queue

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Jobs> jobs_;
    std::size_t handed_ = 0; // chunks of jobs handed to the readers so far
    bool walked_ = false;
    bool stopped_ = false;
};
