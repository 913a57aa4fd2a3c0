#pragma once

// The walk of the input directory shared by the classification and the conversion-file
// extraction: a directory's own matching files first, in name order, then each of its
// subdirectories in turn, finished before the next one starts.

#include "common/FileSystem.h"

#include <cstdint>
#include <functional>
#include <string>
#include <unordered_set>

class DirectoryWalk
{
public:
    using Step = std::function<void(const std::string &filePath, const std::string &fileName)>;
    using Report = std::function<void(const std::string &gbkLine)>;
    using StopCheck = std::function<bool()>;

    // report receives one line per directory that cannot be read and per matching
    // entry that is not a regular file; stop is asked before every file.
    DirectoryWalk(std::string pattern, Report report, StopCheck stop);

    // A file the run itself wrote: it is never handed to the step, whatever name
    // the walk meets it under.
    void SkipFile(const FileSystem::FileIdentity &identity);
    void SkipFile(const std::string &path);

    // directory ends with a separator. Every directory is entered once at most, so
    // a symbolic link loop ends. Returns false when stopped.
    bool WalkInputDirectory(const std::string &directory, const Step &step);

    // The number of matching entries the walk would meet, for progress estimates
    // (reads directory listings only).
    std::int64_t CountMatchingFiles(const std::string &directory);

private:
    using IdentitySet = std::unordered_set<FileSystem::FileIdentity, FileSystem::FileIdentityHash>;

    bool enter(const std::string &directory, IdentitySet &visited);
    bool walk(const std::string &directory, const Step *step, IdentitySet &visited,
              std::int64_t &count);

    std::string pattern_;
    Report report_;
    StopCheck stop_;
    IdentitySet skipped_;
};
