#include "ImportReading.h"

#include <system_error>

namespace {

using Clock = std::chrono::steady_clock;
// Chunks of files waiting for a reader, at most.
constexpr std::size_t QueueJobs = 8;

} // namespace

ImportReading::ImportReading(const FileReader &reader, RunItemQueue &queue, Walk walk)
    : reader_(reader)
    , queue_(queue)
    , walk_(std::move(walk))
{
}

ImportReading::~ImportReading()
{
    Stop();
    Join();
}

bool ImportReading::Start(int readers, std::string &problem)
{
    try {
        for (int i = 0; i < readers; ++i) {
            ++reading_;
            readers_.emplace_back([this] { read(); });
        }
    } catch (const std::system_error &error) {
        --reading_;
        problem = error.what();
    }
    if (!readers_.empty()) {
        try {
            walker_ = std::thread([this] { walk(); });
            return true;
        } catch (const std::system_error &error) {
            problem = error.what();
        }
    }
    Stop();
    Join();
    return false;
}

void ImportReading::Stop()
{
    running_ = false;
    {
        const std::lock_guard lock(mutex_);
        stopped_ = true;
        jobs_.clear();
    }
    changed_.notify_all();
}

void ImportReading::Join()
{
    if (walker_.joinable())
        walker_.join();
    for (std::thread &reader : readers_) {
        if (reader.joinable())
            reader.join();
    }
}

void ImportReading::walk()
{
    struct Visitor : WalkVisitor
    {
        ImportReading *self;
        Jobs jobs;
        Clock::time_point started;
        void add(Job &&job)
        {
            if (jobs.empty()) {
                jobs.reserve(ChunkItems);
                started = Clock::now();
            }
            jobs.push_back(std::move(job));
            if (jobs.size() >= ChunkItems || Clock::now() - started >= ChunkAge)
                self->hand(jobs);
        }
        void VisitFile(WalkFile &&file) override { add({true, std::move(file), {}}); }
        void VisitUnreadableFolder(std::string &&line) override
        {
            add({false, {}, std::move(line)});
        }
    } visitor;
    visitor.self = this;
    ImportWalker walker(walk_.rooms, walk_.pattern, running_);
    walker.ScanDirectory(walk_.directory, walk_.node, visitor);
    hand(visitor.jobs);
    {
        const std::lock_guard lock(mutex_);
        walked_ = true;
    }
    changed_.notify_all();
}

bool ImportReading::hand(Jobs &jobs)
{
    if (jobs.empty())
        return true;
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return stopped_ || jobs_.size() < QueueJobs; });
    if (stopped_) {
        running_ = false;
        jobs.clear();
        return false;
    }
    jobs_.push_back(std::move(jobs));
    jobs = Jobs();
    lock.unlock();
    changed_.notify_all();
    return true;
}

bool ImportReading::next(std::size_t &number, Jobs &jobs)
{
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return stopped_ || !jobs_.empty() || walked_; });
    if (stopped_ || jobs_.empty())
        return false;
    jobs = std::move(jobs_.front());
    jobs_.pop_front();
    number = handed_++;
    lock.unlock();
    changed_.notify_all();
    return true;
}

void ImportReading::read()
{
    std::size_t number = 0;
    Jobs jobs;
    while (next(number, jobs)) {
        RunItemQueue::Chunk chunk;
        chunk.reserve(jobs.size());
        for (Job &job : jobs) {
            chunk.push_back(job.isFile ? reader_.Read(std::move(job.file))
                                       : FileReader::FolderLine(std::move(job.line)));
        }
        if (!queue_.Push(number, std::move(chunk))) {
            Stop();
            break;
        }
    }
    if (--reading_ == 0)
        queue_.Finish();
}
