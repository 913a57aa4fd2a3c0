#include "FileSystem.h"
#include "FileSystemDetail.h"

// Reading and writing whole files, settings files, permissions, and the descriptors
// of line-by-line access.

#include "Codec.h"
#include "CommonTexts.h"

#include <cerrno>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/sysinfo.h>
#include <unistd.h>

namespace FileSystem {

using detail::lastError;

namespace {

// Whether a file of this length can be held in memory at all: no larger than the
// machine's memory and swap. A larger one is refused before anything is allocated (an
// allocator that grants it anyway would leave the program to be killed half-way).
bool fitsInMemory(std::uint64_t bytes)
{
    // Any machine this runs on holds a file of a few megabytes: the question costs a
    // system call, asked only of files that could be too large.
    constexpr std::uint64_t SurelyFits = std::uint64_t(64) << 20;
    if (bytes <= SurelyFits)
        return true;
    struct sysinfo info;
    if (::sysinfo(&info) != 0)
        return true;
    const std::uint64_t unit = info.mem_unit ? info.mem_unit : 1;
    return bytes / unit <= std::uint64_t(info.totalram) + std::uint64_t(info.totalswap);
}

std::error_code writeFile(std::string_view path, std::string_view data, int flags)
{
    std::error_code error;
    const int fd = openDescriptor(path, O_WRONLY | O_CREAT | flags, error);
    if (fd < 0)
        return error;
    error = detail::writeAll(fd, data);
    if (::close(fd) != 0 && !error)
        error = lastError();
    return error;
}

} // namespace

std::error_code readWholeFile(std::string_view path, std::string &contents)
{
    std::error_code error;
    const int fd = openDescriptor(path, O_RDONLY, error);
    if (fd < 0)
        return error;
    std::string data;
    struct stat st;
    if (::fstat(fd, &st) == 0) {
        if (S_ISDIR(st.st_mode)) {
            ::close(fd);
            return std::make_error_code(std::errc::is_a_directory);
        }
        if (!fitsInMemory(std::uint64_t(st.st_size))) {
            ::close(fd);
            return std::make_error_code(std::errc::not_enough_memory);
        }
        if (st.st_size > 0)
            data.reserve(std::size_t(st.st_size));
    }
    // Read to the real end: the file may change size while it is read.
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            error = lastError();
            break;
        }
        if (n == 0)
            break;
        data.append(buffer, std::size_t(n));
    }
    ::close(fd);
    if (!error)
        contents = std::move(data);
    return error;
}

std::error_code writeWholeFile(std::string_view path, std::string_view data)
{
    return writeFile(path, data, O_TRUNC);
}

std::error_code createOrEmpty(std::string_view path)
{
    return writeFile(path, {}, O_TRUNC);
}

std::error_code appendToFile(std::string_view path, std::string_view data)
{
    return writeFile(path, data, O_APPEND);
}

bool isReadOnly(std::string_view path)
{
    struct stat st;
    return ::stat(toDiskPath(path).c_str(), &st) == 0 && (st.st_mode & S_IWUSR) == 0;
}

std::error_code clearReadOnly(std::string_view path)
{
    const std::string disk = toDiskPath(path);
    struct stat st;
    if (::stat(disk.c_str(), &st) != 0)
        return lastError();
    if ((st.st_mode & S_IWUSR) == 0 && ::chmod(disk.c_str(), (st.st_mode & 07777) | S_IWUSR) != 0)
        return lastError();
    return {};
}

std::error_code setReadOnly(std::string_view path)
{
    const std::string disk = toDiskPath(path);
    struct stat st;
    if (::stat(disk.c_str(), &st) != 0)
        return lastError();
    if (::chmod(disk.c_str(), (st.st_mode & 07777) & ~mode_t(S_IWUSR | S_IWGRP | S_IWOTH)) != 0)
        return lastError();
    return {};
}

std::error_code removeFile(std::string_view path)
{
    if (::unlink(toDiskPath(path).c_str()) != 0)
        return lastError();
    return {};
}

std::error_code createDirectory(std::string_view path)
{
    if (::mkdir(toDiskPath(path).c_str(), 0777) != 0)
        return lastError();
    return {};
}

std::error_code readRegularDiskFile(const std::string &diskPath, std::string &contents)
{
    int fd;
    do {
        fd = ::open(diskPath.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return lastError();
    struct stat st;
    const bool known = ::fstat(fd, &st) == 0;
    if (!known || !S_ISREG(st.st_mode) || !fitsInMemory(std::uint64_t(st.st_size))) {
        const std::error_code error = !known ? lastError()
                : S_ISREG(st.st_mode)        ? std::make_error_code(std::errc::not_enough_memory)
                                             : std::make_error_code(std::errc::invalid_argument);
        ::close(fd);
        return error;
    }
    // The length the file system reports is what is read (a file that grows meanwhile is
    // read as it was), in as few calls as the kernel allows.
    contents.resize(std::size_t(st.st_size));
    std::size_t used = 0;
    std::error_code error;
    while (used < contents.size()) {
        const ssize_t n = ::read(fd, contents.data() + used, contents.size() - used);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            error = lastError();
            break;
        }
        if (n == 0)
            break; // it shrank
        used += std::size_t(n);
    }
    ::close(fd);
    contents.resize(used);
    return error;
}

const std::error_category &settingsFileCategory()
{
    class Category : public std::error_category
    {
    public:
        const char *name() const noexcept override { return "settings file"; }
        std::string message(int code) const override
        {
            // UTF-8, as the system's own messages are.
            return code == int(SettingsFileError::NotRegular) ? CommonText::SettingsNotRegular
                                                              : CommonText::SettingsTooLarge;
        }
    };
    static const Category category;
    return category;
}

std::error_code checkSettingsFile(std::string_view path)
{
    struct stat st;
    if (path.empty() || ::stat(toDiskPath(path).c_str(), &st) != 0)
        return path.empty() ? std::make_error_code(std::errc::no_such_file_or_directory)
                            : lastError();
    if (!S_ISREG(st.st_mode))
        return {int(SettingsFileError::NotRegular), settingsFileCategory()};
    if (std::uint64_t(st.st_size) > SettingsFileLimit)
        return {int(SettingsFileError::TooLarge), settingsFileCategory()};
    return {};
}

std::error_code readSettingsFile(std::string_view path, std::string &contents)
{
    // Checked again on the open file: the name may have been given to another meanwhile.
    if (std::error_code error = checkSettingsFile(path))
        return error;
    std::error_code error;
    const int fd = openDescriptor(path, O_RDONLY | O_NONBLOCK | O_NOCTTY, error);
    if (fd < 0)
        return error;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        error = {int(SettingsFileError::NotRegular), settingsFileCategory()};
    std::string data;
    char buffer[65536];
    while (!error) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            error = lastError();
        else if (n == 0)
            break;
        else if (data.size() + std::size_t(n) > SettingsFileLimit)
            error = {int(SettingsFileError::TooLarge), settingsFileCategory()};
        else
            data.append(buffer, std::size_t(n));
    }
    ::close(fd);
    if (!error)
        contents = std::move(data);
    return error;
}

int openDescriptor(std::string_view path, int flags, std::error_code &error)
{
    if (path.empty()) {
        error = std::make_error_code(std::errc::no_such_file_or_directory);
        return -1;
    }
    int fd;
    do {
        fd = ::open(toDiskPath(path).c_str(), flags | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        error = lastError();
    else
        error.clear();
    return fd;
}

std::error_code detail::writeAll(int fd, std::string_view data)
{
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return lastError();
        }
        data.remove_prefix(std::size_t(n));
    }
    return {};
}

} // namespace FileSystem
