#include "CThreadedObserver.h"

void CThreadedObserver::Reset()
{
    const std::lock_guard lock(mutex_);
    pending_ = Snapshot();
    start_ = Clock::now();
    stop_.store(false);
}

CThreadedObserver::Snapshot CThreadedObserver::Take()
{
    const std::lock_guard lock(mutex_);
    Snapshot taken = pending_;
    taken.elapsedSeconds = std::chrono::duration<double>(Clock::now() - start_).count();
    pending_.messages.clear();
    return taken;
}

void CThreadedObserver::AddMessage(const std::string &gbkText)
{
    const std::lock_guard lock(mutex_);
    pending_.messages.push_back(gbkText);
}

void CThreadedObserver::ShowSourceFile(const std::string &path)
{
    const std::lock_guard lock(mutex_);
    pending_.sourceFile = path;
}

void CThreadedObserver::ShowOutputFile(const std::string &path)
{
    const std::lock_guard lock(mutex_);
    pending_.outputFile = path;
}

void CThreadedObserver::SetTotal(std::int64_t total)
{
    const std::lock_guard lock(mutex_);
    pending_.total = total;
    start_ = Clock::now(); // the rate counts the files, not the counting
}

void CThreadedObserver::FileDone(std::int64_t done)
{
    const std::lock_guard lock(mutex_);
    pending_.done = done;
}
