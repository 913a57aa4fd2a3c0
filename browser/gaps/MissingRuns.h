#pragma once

// Missing IDs as the user reads them: adjacent runs joined, whether gaps or lost files.

#include <optional>

struct IdRun
{
    long long first = 0;
    long long last = 0;
};

class RunJoiner
{
public:
    // The run that is complete now that [first, last] came, if any. Runs come in
    // ascending order.
    std::optional<IdRun> Add(long long first, long long last);
    // The run still open at the end.
    std::optional<IdRun> Finish();

private:
    std::optional<IdRun> open_;
};
