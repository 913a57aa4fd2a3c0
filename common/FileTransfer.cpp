#include "FileSystem.h"
#include "FileSystemDetail.h"

// Copying and moving files so that no half file ever carries a target's name: the data
// goes to a partial file beside the target and is then linked to the target's name in one
// step that never replaces a file. A move between file systems waits until the copy and
// its name are on disk, and only then removes its source.

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace FileSystem {

using detail::lastError;
using detail::writeAll;

namespace {

// A name no post file has: hidden, and matched by no pattern with an extension.
constexpr std::string_view PartialPrefix = ".quillery-partial-";

// Copies in the kernel where the file systems allow it, else through a buffer.
std::error_code copyContents(int source, int target)
{
    bool inKernel = true;
    for (;;) {
        if (inKernel) {
            const ssize_t n = ::copy_file_range(source, nullptr, target, nullptr, 1 << 30, 0);
            if (n > 0)
                continue;
            if (n == 0)
                return {};
            if (errno == EINTR)
                continue;
            if (errno != EXDEV && errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
                return lastError();
            inKernel = false;
        }
        char buffer[65536];
        const ssize_t n = ::read(source, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return lastError();
        }
        if (n == 0)
            return {};
        if (std::error_code error = writeAll(target, std::string_view(buffer, std::size_t(n))))
            return error;
    }
}

std::string folderOf(const std::string &diskPath)
{
    const std::size_t slash = diskPath.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : diskPath.substr(0, slash);
}

void syncFolder(const std::string &folder)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// Gives the finished partial file the target's name, never over an existing file.
std::error_code publish(const std::string &partial, const std::string &target)
{
    if (::renameat2(AT_FDCWD, partial.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0)
        return {};
    if (errno != EINVAL && errno != ENOSYS)
        return lastError();
    // The file system cannot refuse to replace by itself: a hard link can.
    if (::link(partial.c_str(), target.c_str()) != 0)
        return lastError();
    ::unlink(partial.c_str());
    return {};
}

} // namespace

bool isPartialFileName(std::string_view name)
{
    return name.substr(0, PartialPrefix.size()) == PartialPrefix;
}

namespace {

// durable: the copy reaches the disk (file and name) before this returns, as a move needs
// before it removes its source. A plain copy keeps its source and skips the wait.
std::error_code copyToNewFile(std::string_view from, std::string_view to,
                              FileIdentity *targetIdentity, bool durable)
{
    std::error_code error;
    const int source = openDescriptor(from, O_RDONLY, error);
    if (source < 0)
        return error;
    const auto fail = [source](std::error_code why) {
        ::close(source);
        return why;
    };
    struct stat st;
    if (::fstat(source, &st) != 0)
        return fail(lastError());
    const std::string target = toDiskPath(to);
    struct stat existing;
    if (::lstat(target.c_str(), &existing) == 0)
        return fail(std::make_error_code(std::errc::file_exists));
    if (errno != ENOENT)
        return fail(lastError());

    // A file without a name while it is written, where the file system offers one: a
    // copy that dies leaves nothing. Elsewhere a named partial file, locked while written.
    const std::string folder = folderOf(target);
    std::string partial;
    int fd = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    if (fd < 0) {
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
            return fail(lastError());
        partial = folder + '/' + std::string(PartialPrefix) + "XXXXXX";
        fd = ::mkostemp(partial.data(), O_CLOEXEC);
        if (fd < 0)
            return fail(lastError());
        ::flock(fd, LOCK_EX);
    }
    if (::fchmod(fd, st.st_mode & 07777) != 0)
        error = lastError();
    if (!error)
        error = copyContents(source, fd);
    if (!error && durable && ::fsync(fd) != 0)
        error = lastError();
    struct stat made;
    if (!error && targetIdentity && ::fstat(fd, &made) == 0)
        *targetIdentity = {static_cast<unsigned long long>(made.st_dev),
                           static_cast<unsigned long long>(made.st_ino)};
    if (!error && partial.empty()) {
        // Naming the file fails with EEXIST rather than replace one.
        const std::string self = "/proc/self/fd/" + std::to_string(fd);
        if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, target.c_str(), AT_SYMLINK_FOLLOW) != 0)
            error = lastError();
    } else if (!error) {
        error = publish(partial, target);
    }
    if (error && !partial.empty())
        ::unlink(partial.c_str());
    if (::close(fd) != 0 && !error)
        error = lastError();
    ::close(source);
    if (!error && durable)
        syncFolder(folder);
    return error;
}

} // namespace

std::error_code copyFile(std::string_view from, std::string_view to, FileIdentity *targetIdentity)
{
    return copyToNewFile(from, to, targetIdentity, false);
}

std::error_code moveFile(std::string_view from, std::string_view to, bool *sameFile)
{
    if (sameFile)
        *sameFile = true;
    const std::string source = toDiskPath(from);
    const std::string target = toDiskPath(to);
    if (::renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0)
        return {};
    if (errno == EINVAL || errno == ENOSYS) {
        // The file system cannot refuse to replace by itself: a hard link can, and
        // where links are not offered either, look first.
        if (::link(source.c_str(), target.c_str()) == 0) {
            ::unlink(source.c_str());
            return {};
        }
        if (errno == EEXIST)
            return lastError();
        if (errno != EXDEV) {
            struct stat st;
            if (::lstat(target.c_str(), &st) == 0)
                return std::make_error_code(std::errc::file_exists);
            if (::rename(source.c_str(), target.c_str()) == 0)
                return {};
        }
    }
    if (errno != EXDEV)
        return lastError();
    if (sameFile)
        *sameFile = false;
    // The copy is on disk under its name before the source goes.
    if (std::error_code error = copyToNewFile(from, to, nullptr, true))
        return error;
    if (::unlink(source.c_str()) != 0) {
        const std::error_code error = lastError();
        ::unlink(target.c_str());
        return error;
    }
    return {};
}

std::size_t removeStalePartialFiles(std::string_view folder)
{
    const std::string disk = toDiskPath(folder);
    DIR *dir = ::opendir(disk.empty() ? "." : disk.c_str());
    if (!dir)
        return 0;
    const int dirFd = ::dirfd(dir);
    std::size_t removed = 0;
    while (const dirent *entry = ::readdir(dir)) {
        if (!isPartialFileName(entry->d_name))
            continue;
        const int fd =
                ::openat(dirFd, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            continue;
        struct stat st;
        // A copy still going on holds the lock.
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0
            && ::unlinkat(dirFd, entry->d_name, 0) == 0)
            ++removed;
        ::close(fd);
    }
    ::closedir(dir);
    return removed;
}

std::error_code replaceFile(std::string_view from, std::string_view to)
{
    if (::rename(toDiskPath(from).c_str(), toDiskPath(to).c_str()) != 0)
        return lastError();
    return {};
}

} // namespace FileSystem
