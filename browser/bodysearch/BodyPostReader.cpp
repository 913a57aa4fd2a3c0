#include "BodyPostReader.h"

#include <system_error>

BodyPostReader::BodyPostReader(std::size_t maxPosts, std::size_t maxBytes)
    : maxPosts_(maxPosts ? maxPosts : 1)
    , maxBytes_(maxBytes)
{
}

BodyPostReader::~BodyPostReader()
{
    Stop();
    if (thread_.joinable())
        thread_.join();
}

bool BodyPostReader::Start(std::string &why)
{
    try {
        thread_ = std::thread([this] { run(); });
    } catch (const std::system_error &error) {
        why = error.what();
        return false;
    }
    return true;
}

void BodyPostReader::Add(std::vector<BodyReadJob> &&jobs)
{
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        for (BodyReadJob &job : jobs)
            jobs_.push_back(std::move(job));
    }
    changed_.notify_all();
}

bool BodyPostReader::Take(BodyReadResult &result)
{
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return stopped_ || !results_.empty(); });
    if (stopped_)
        return false;
    result = std::move(results_.front());
    results_.pop_front();
    resultBytes_ -= weight(result);
    lock.unlock();
    changed_.notify_all();
    return true;
}

void BodyPostReader::Stop()
{
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        stopped_ = true;
        jobs_.clear();
        results_.clear();
        resultBytes_ = 0;
    }
    changed_.notify_all();
}

std::size_t BodyPostReader::weight(const BodyReadResult &result)
{
    return result.post.text.size() + result.post.terms.size() * sizeof(BodyPostings::TermSpan);
}

void BodyPostReader::run()
{
    std::unique_lock<std::mutex> lock(mutex_);
    while (true) {
        changed_.wait(lock, [this] {
            const bool room =
                    results_.empty() || (results_.size() < maxPosts_ && resultBytes_ < maxBytes_);
            return stopped_ || (!jobs_.empty() && room);
        });
        if (stopped_)
            return;
        BodyReadJob job = std::move(jobs_.front());
        jobs_.pop_front();
        lock.unlock();
        BodyReadResult result = Read(std::move(job));
        lock.lock();
        if (stopped_)
            return;
        resultBytes_ += weight(result);
        results_.push_back(std::move(result));
        changed_.notify_all();
    }
}

BodyReadResult BodyPostReader::Read(BodyReadJob &&job)
{
    BodyReadResult result;
    result.topicid = job.topicid;
    if (!job.line.empty()) {
        result.problem = std::move(job.line);
        return result;
    }
    result.fileProblem = true;
    // An indexed post whose file is out of reach keeps its entry: a folder that is not
    // mounted today must not empty the index.
    if (job.indexed) {
        PostFileStamp now;
        if (!StampPostFile(job.path, now, result.problem))
            return result;
        if (now == job.stamp) {
            result.kind = BodyReadResult::Kind::Unchanged;
            return result;
        }
    }
    PostText text;
    if (!ExtractPostFile(job.path, text, result.stamp, result.problem))
        return result;
    result.fileProblem = false;
    result.kind = BodyReadResult::Kind::Ready;
    result.post = BodyIndex::Prepare(std::move(text.text));
    return result;
}
