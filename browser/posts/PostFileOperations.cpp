#include "PostFileOperations.h"

#include "common/FileSystem.h"

namespace {

std::error_code makeFolders(const std::string &folder)
{
    if (folder.empty() || FileSystem::isDirectory(folder))
        return {};
    const std::size_t separator = FileSystem::lastSeparator(folder);
    if (separator != std::string::npos && separator > 0) {
        if (const std::error_code error = makeFolders(folder.substr(0, separator)))
            return error;
    }
    const std::error_code error = FileSystem::createDirectory(folder);
    return FileSystem::isDirectory(folder) ? std::error_code() : error;
}

} // namespace

int DeletePostFiles(const std::vector<std::string> &paths)
{
    int deleted = 0;
    for (const std::string &path : paths) {
        if (!path.empty() && FileSystem::exists(path) && !FileSystem::isDirectory(path)
            && !FileSystem::isReadOnly(path) && !FileSystem::removeFile(path))
            ++deleted;
    }
    return deleted;
}

std::vector<PostFileMoveFailure> MovePostFiles(const std::vector<PostFileMove> &moves)
{
    std::vector<PostFileMoveFailure> failures;
    for (const PostFileMove &move : moves) {
        const std::string from = FileSystem::normalize(move.from);
        const std::string to = FileSystem::normalize(move.to);
        if (from.empty() || from == to || !FileSystem::exists(from))
            continue;
        std::error_code error;
        if (to.empty()) {
            error = std::make_error_code(std::errc::invalid_argument);
        } else if (FileSystem::exists(to)) {
            error = std::make_error_code(std::errc::file_exists);
        } else {
            const std::size_t separator = FileSystem::lastSeparator(to);
            if (separator != std::string::npos)
                error = makeFolders(to.substr(0, separator));
            if (!error)
                error = FileSystem::moveFile(from, to);
        }
        if (error)
            failures.push_back({move, FileSystem::errorText(error)});
    }
    return failures;
}
