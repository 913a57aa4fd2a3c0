#pragma once

// The reading half of a run: a file of the walk becomes a RunItem (its lines, its row),
// and a bounded queue hands items from the reading thread to the writing one in order.

#include "ImportWalk.h"
#include "PostInserter.h"

#include <chrono>
#include <condition_variable>
#include <map>
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

// Items travel in chunks, so the threads meet once per chunk, not once per file. Chunks
// are numbered in walk order and may come in out of it from several reading threads;
// the writer takes them in order. A chunk waits until it is within capacity of the next
// one to take, which bounds the memory of a run.
class RunItemQueue
{
public:
    using Chunk = std::vector<RunItem>;

    explicit RunItemQueue(std::size_t capacity)
        : capacity_(capacity)
    {
    }

    // Waits for room; false (chunk dropped) once Stop was called.
    bool Push(std::size_t number, Chunk &&chunk);
    enum class Pop { Chunk, Timeout, Finished };
    Pop Take(Chunk &chunk, std::chrono::steady_clock::time_point until);
    void Finish(); // every chunk has been pushed
    void Stop(); // the writer takes no more

private:
    std::mutex mutex_;
    std::condition_variable readers_;
    std::condition_variable writer_;
    std::map<std::size_t, Chunk> chunks_;
    std::size_t next_ = 0; // the number of the chunk to take next
    std::size_t capacity_; // chunks
    bool finished_ = false;
    bool stopped_ = false;
    int readersWait_ = 0;
    bool writerWaits_ = false;
};
