#include "FileSystem.h"
#include "FileSystemDetail.h"

// Replacing a file in one step and resolving real locations: the post editor's needs.

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

namespace FileSystem {

using detail::lastError;
using detail::writeAll;

std::error_code replaceWholeFile(std::string_view path, std::string_view data)
{
    if (path.empty())
        return std::make_error_code(std::errc::no_such_file_or_directory);
    const std::string target = toDiskPath(path);
    mode_t mode = 0666;
    struct stat st;
    if (::stat(target.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode))
            return std::make_error_code(std::errc::is_a_directory);
        // rename() would replace a read-only file (also for root): refuse it as
        // Windows refuses to write a file with the read-only attribute.
        if ((st.st_mode & S_IWUSR) == 0)
            return std::make_error_code(std::errc::permission_denied);
        mode = st.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode &= ~mask;
    }
    const std::size_t slash = target.rfind('/');
    std::string temporary =
            (slash == std::string::npos ? std::string() : target.substr(0, slash + 1)) + ".~"
            + target.substr(slash == std::string::npos ? 0 : slash + 1) + ".XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0)
        return lastError();
    std::error_code error = writeAll(fd, data);
    if (!error && ::fchmod(fd, mode) != 0)
        error = lastError();
    if (!error && ::fsync(fd) != 0)
        error = lastError();
    if (::close(fd) != 0 && !error)
        error = lastError();
    if (!error && ::rename(temporary.c_str(), target.c_str()) != 0)
        error = lastError();
    if (error)
        ::unlink(temporary.c_str());
    return error;
}

std::string resolveDiskPath(std::string_view diskPath)
{
    if (diskPath.empty())
        return std::string();
    char *resolved = ::realpath(std::string(diskPath).c_str(), nullptr);
    if (!resolved)
        return std::string();
    std::string result(resolved);
    std::free(resolved);
    return result;
}

} // namespace FileSystem
