#pragma once

// The reading half of a run: a file of the walk becomes a RunItem (its lines, its row),
// and a bounded queue hands items from the reading thread to the writing one in order.

#include "ImportWalk.h"
#include "PostInserter.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

struct RunItem
{
    bool isFile = false; // false: a folder's line only
    std::string status; // the status line: the path, escaped and cut
    BatchEntry entry;
    std::vector<std::string> placeholders; // unknown placeholders met on the way
};

class FileReader
{
public:
    FileReader(const ExtractionContext &context, const RoomModel *rooms,
               const PostPathCheck &pathCheck);
    RunItem Read(WalkFile &&file) const;
    static RunItem FolderLine(std::string &&line);

private:
    void readAndExtract(const WalkFile &file, RunItem &item) const;

    const ExtractionContext &context_;
    const RoomModel *rooms_;
    const PostPathCheck &pathCheck_;
};

// Items travel in chunks, so the two threads meet once per chunk, not once per file.
class RunItemQueue
{
public:
    using Chunk = std::vector<RunItem>;

    explicit RunItemQueue(std::size_t capacity)
        : capacity_(capacity)
    {
    }

    // Waits for room; false (chunk dropped) once Stop was called.
    bool Push(Chunk &&chunk);
    enum class Pop { Chunk, Timeout, Finished };
    Pop Take(Chunk &chunk, std::chrono::steady_clock::time_point until);
    void Finish(); // the reader is done
    void Stop(); // the writer takes no more

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Chunk> chunks_;
    std::size_t capacity_; // chunks
    bool finished_ = false;
    bool stopped_ = false;
    bool readerWaits_ = false;
    bool writerWaits_ = false;
};
