#pragma once

// What delete and move do to the post files on disk.

#include <string>
#include <utility>
#include <vector>

// Deletes each file of the list once, in order; returns how many were deleted. Missing,
// protected and empty paths are skipped.
int DeletePostFiles(const std::vector<std::string> &paths);

struct PostFileMove
{
    std::string from; // GBK paths, as the post location table gives them
    std::string to;
};

struct PostFileMoveFailure
{
    PostFileMove move;
    std::string reason; // GBK
};

// Moves each post file whose located path changed with its room. The folders of the new
// path are made when missing; an existing file there is never replaced. A move whose
// paths are equal, or whose file is not there, leaves the disk alone.
std::vector<PostFileMoveFailure> MovePostFiles(const std::vector<PostFileMove> &moves);
