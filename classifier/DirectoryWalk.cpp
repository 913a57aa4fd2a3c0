#include "DirectoryWalk.h"

#include "SorrelTexts.h"
#include "common/Codec.h"
#include "common/TextFormat.h"

#include <vector>

DirectoryWalk::DirectoryWalk(std::string pattern, Report report, StopCheck stop)
    : pattern_(std::move(pattern))
    , report_(std::move(report))
    , stop_(std::move(stop))
{
}

void DirectoryWalk::SkipFile(const FileSystem::FileIdentity &identity)
{
    skipped_.insert(identity);
}

void DirectoryWalk::SkipFile(const std::string &path)
{
    FileSystem::FileStatus status;
    if (!FileSystem::fileStatus(path, status))
        skipped_.insert(status.identity);
}

bool DirectoryWalk::WalkInputDirectory(const std::string &directory, const Step &step)
{
    IdentitySet visited;
    std::int64_t count = 0;
    return !enter(directory, visited) || walk(directory, &step, visited, count);
}

std::int64_t DirectoryWalk::CountMatchingFiles(const std::string &directory)
{
    IdentitySet visited;
    std::int64_t count = 0;
    const Report report = std::exchange(report_, Report()); // the real walk reports
    if (enter(directory, visited))
        walk(directory, nullptr, visited, count);
    report_ = report;
    return count;
}

// False when the directory is not to be walked: unreadable, or met before.
bool DirectoryWalk::enter(const std::string &directory, IdentitySet &visited)
{
    FileSystem::FileStatus status;
    const std::error_code error = FileSystem::fileStatus(directory, status);
    if (error) {
        if (report_)
            report_(FormatText(Gbk::literal(SorrelText::UnreadableDirectory).c_str(),
                               directory.c_str(), FileSystem::errorText(error).c_str()));
        return false;
    }
    return status.isDirectory && visited.insert(status.identity).second;
}

bool DirectoryWalk::walk(const std::string &directory, const Step *step, IdentitySet &visited,
                         std::int64_t &count)
{
    std::vector<FileSystem::DirectoryEntry> entries;
    if (const std::error_code error = FileSystem::listDirectory(directory, "*", entries)) {
        if (report_)
            report_(FormatText(Gbk::literal(SorrelText::UnreadableDirectory).c_str(),
                               directory.c_str(), FileSystem::errorText(error).c_str()));
        return true;
    }
    for (const FileSystem::DirectoryEntry &entry : entries) {
        // A partial file is a copy of this program on its way, never a post.
        if (entry.isDirectory || FileSystem::isPartialFileName(entry.name)
            || !FileSystem::wildcardMatch(pattern_, entry.name))
            continue;
        if (!step) {
            ++count;
            continue;
        }
        if (stop_ && stop_())
            return false;
        const std::string path = directory + entry.name;
        FileSystem::FileStatus status;
        const std::error_code error = FileSystem::fileStatus(path, status);
        if (error) {
            report_(FormatText(Gbk::literal(SorrelText::UnreadableFile).c_str(), entry.name.c_str(),
                               FileSystem::errorText(error).c_str()));
            continue;
        }
        if (status.isDirectory || skipped_.count(status.identity))
            continue;
        if (!status.isRegular) {
            report_(FormatText(Gbk::literal(SorrelText::NotRegularFile).c_str(),
                               entry.name.c_str()));
            continue;
        }
        current_ = status.identity;
        (*step)(path, entry.name);
    }
    for (const FileSystem::DirectoryEntry &entry : entries) {
        if (!entry.isDirectory)
            continue;
        const std::string path = directory + entry.name + '/';
        if (enter(path, visited) && !walk(path, step, visited, count))
            return false;
    }
    return true;
}
