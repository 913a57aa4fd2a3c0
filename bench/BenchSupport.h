#pragma once

// Small helpers shared by the benchmarks: wall-clock timing and process memory.

#include <chrono>
#include <fstream>
#include <string>
#include <vector>

namespace Bench {

class Stopwatch
{
public:
    Stopwatch()
        : start_(std::chrono::steady_clock::now())
    {
    }
    double milliseconds() const
    {
        return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start_)
                .count();
    }
    void restart() { start_ = std::chrono::steady_clock::now(); }

private:
    std::chrono::steady_clock::time_point start_;
};

// A "VmRSS" or "VmHWM" line of /proc/self/status, in kB.
inline long processMemoryKb(const char *field = "VmRSS")
{
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string key = std::string(field) + ":";
    while (std::getline(status, line)) {
        if (line.rfind(key, 0) == 0)
            return std::stol(line.substr(key.size()));
    }
    return -1;
}

// The PostgreSQL post table "posts" as the README tells users to make it, before and
// after its rows are loaded.
inline const char *PgPostTable = "CREATE TABLE posts (topicid BIGINT PRIMARY KEY, title TEXT, "
                                 "roomid BIGINT, username TEXT, reply INTEGER, createtime TEXT)";
inline const std::vector<std::string> PgPostIndexes = {
        "CREATE INDEX posts_roomid ON posts (roomid)",
        "CREATE INDEX posts_title ON posts USING hash (title)"};

} // namespace Bench
