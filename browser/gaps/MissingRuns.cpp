#include "MissingRuns.h"

std::optional<IdRun> RunJoiner::Add(long long first, long long last)
{
    if (open_ && first <= open_->last + 1) {
        if (last > open_->last)
            open_->last = last;
        return std::nullopt;
    }
    const std::optional<IdRun> done = open_;
    open_ = IdRun {first, last};
    return done;
}

std::optional<IdRun> RunJoiner::Finish()
{
    const std::optional<IdRun> done = open_;
    open_.reset();
    return done;
}
