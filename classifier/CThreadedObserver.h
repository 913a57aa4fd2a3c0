#pragma once

// The observer a worker thread reports to and the window's thread reads from: the
// worker only stores, the window takes what arrived at its own pace (so a fast run
// never floods the window's event queue).

#include "ClassifierObserver.h"

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <vector>

class CThreadedObserver : public ClassifierObserver
{
public:
    struct Snapshot
    {
        std::vector<std::string> messages; // arrived since the last take
        std::string sourceFile;
        std::string outputFile;
        std::int64_t done = 0;
        std::int64_t total = 0;
        double elapsedSeconds = 0;
    };

    // Called by the window before a run starts.
    void Reset();
    Snapshot Take();
    void RequestStop() { stop_.store(true); }

    void AddMessage(const std::string &gbkText) override;
    void ShowSourceFile(const std::string &path) override;
    void ShowOutputFile(const std::string &path) override;
    bool WantsTotal() const override { return true; }
    void SetTotal(std::int64_t total) override;
    void FileDone(std::int64_t done) override;
    bool StopRequested() override { return stop_.load(); }

private:
    using Clock = std::chrono::steady_clock;

    std::mutex mutex_;
    Snapshot pending_;
    Clock::time_point start_ = Clock::now();
    std::atomic<bool> stop_ {false};
};
