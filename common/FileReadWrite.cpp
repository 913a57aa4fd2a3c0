#include "FileSystem.h"

#include "Codec.h"
#include "CommonTexts.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/sysinfo.h>
#include <unistd.h>

namespace FileSystem {

namespace {

std::error_code lastError()
{
    return std::error_code(errno, std::generic_category());
}

bool isAscii(std::string_view text)
{
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Whether a file of this length can be held in memory at all: no larger than the
// machine's memory and swap. A larger one is refused before anything is allocated (an
// allocator that grants it anyway would leave the program to be killed half-way).
bool fitsInMemory(std::uint64_t bytes)
{
    struct sysinfo info;
    if (::sysinfo(&info) != 0)
        return true;
    const std::uint64_t unit = info.mem_unit ? info.mem_unit : 1;
    return bytes / unit <= std::uint64_t(info.totalram) + std::uint64_t(info.totalswap);
}

bool diskEntryExists(const std::string &diskPath)
{
    struct stat st;
    return ::lstat(diskPath.c_str(), &st) == 0;
}

std::error_code writeAll(int fd, std::string_view data)
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

std::error_code writeFile(std::string_view path, std::string_view data, int flags)
{
    std::error_code error;
    const int fd = openDescriptor(path, O_WRONLY | O_CREAT | flags, error);
    if (fd < 0)
        return error;
    error = writeAll(fd, data);
    if (::close(fd) != 0 && !error)
        error = lastError();
    return error;
}

// Pattern matching over GBK characters; both texts are lower case already.
bool matchFrom(std::string_view pattern, std::string_view name)
{
    std::size_t p = 0, n = 0;
    std::size_t starP = std::string_view::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starP = ++p;
            starN = n;
        } else if (p < pattern.size() && pattern[p] == '?') {
            ++p;
            n += Gbk::charLength(name, n);
        } else if (p < pattern.size()) {
            const std::size_t len = Gbk::charLength(pattern, p);
            if (name.compare(n, len, pattern.substr(p, len)) == 0) {
                p += len;
                n += len;
            } else if (starP != std::string_view::npos) {
                p = starP;
                starN += Gbk::charLength(name, starN);
                n = starN;
            } else {
                return false;
            }
        } else if (starP != std::string_view::npos) {
            p = starP;
            starN += Gbk::charLength(name, starN);
            n = starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

} // namespace

std::string normalize(std::string_view path)
{
    // Character by character: "\\" is also the trail byte of GBK characters such as 淺.
    std::string result(path);
    for (std::size_t pos = 0; pos < result.size(); pos += Gbk::charLength(result, pos)) {
        if (result[pos] == '\\')
            result[pos] = '/';
    }
    return result;
}

std::size_t lastSeparator(std::string_view path)
{
    std::size_t last = std::string_view::npos;
    for (std::size_t pos = 0; pos < path.size(); pos += Gbk::charLength(path, pos)) {
        if (path[pos] == '\\' || path[pos] == '/')
            last = pos;
    }
    return last;
}

std::string join(std::string_view directory, std::string_view name)
{
    std::string result = normalize(directory);
    if (!result.empty() && result.back() != '/')
        result += '/';
    result += normalize(name);
    return result;
}

std::string toDiskPath(std::string_view gbkPath)
{
    std::string path = normalize(gbkPath);
    if (isAscii(path))
        return path;
    std::string utf8 = Gbk::toUtf8(path);
    if (diskEntryExists(utf8))
        return utf8;

    // Some component may be a raw GBK name on disk: resolve one component at a time.
    std::string resolved;
    bool missing = false;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string::npos)
            end = path.size();
        const std::string component = path.substr(start, end - start);
        if (start > 0)
            resolved += '/';
        if (isAscii(component) || missing) {
            resolved += missing ? Gbk::toUtf8(component) : component;
        } else {
            const std::string asUtf8 = Gbk::toUtf8(component);
            if (diskEntryExists(resolved + asUtf8)) {
                resolved += asUtf8;
            } else if (diskEntryExists(resolved + component)) {
                resolved += component;
            } else {
                resolved += asUtf8;
                missing = true;
            }
        }
        start = end + 1;
    }
    return resolved;
}

std::string fromDiskName(std::string_view diskName)
{
    if (isAscii(diskName) || !Gbk::isValidUtf8(diskName))
        return std::string(diskName);
    return Gbk::fromUtf8(diskName);
}

QString toQtPath(std::string_view gbkPath)
{
    const std::string disk = toDiskPath(gbkPath);
    return QFile::decodeName(QByteArray(disk.data(), qsizetype(disk.size())));
}

std::string fromQtPath(const QString &path)
{
    const QByteArray disk = QFile::encodeName(path);
    return fromDiskName(std::string_view(disk.constData(), std::size_t(disk.size())));
}

bool exists(std::string_view path)
{
    struct stat st;
    return !path.empty() && ::stat(toDiskPath(path).c_str(), &st) == 0;
}

bool isDirectory(std::string_view path)
{
    struct stat st;
    return !path.empty() && ::stat(toDiskPath(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

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

std::error_code replaceFile(std::string_view from, std::string_view to)
{
    if (::rename(toDiskPath(from).c_str(), toDiskPath(to).c_str()) != 0)
        return lastError();
    return {};
}

std::error_code fileStatus(std::string_view path, FileStatus &status)
{
    struct stat st;
    if (path.empty() || ::stat(toDiskPath(path).c_str(), &st) != 0)
        return path.empty() ? std::make_error_code(std::errc::no_such_file_or_directory)
                            : lastError();
    status.identity = {static_cast<unsigned long long>(st.st_dev),
                       static_cast<unsigned long long>(st.st_ino)};
    status.isDirectory = S_ISDIR(st.st_mode);
    status.isRegular = S_ISREG(st.st_mode);
    return {};
}

std::error_code createDirectory(std::string_view path)
{
    if (::mkdir(toDiskPath(path).c_str(), 0777) != 0)
        return lastError();
    return {};
}

bool wildcardMatch(std::string_view pattern, std::string_view name)
{
    // As on Windows, "*.*" also matches names without a dot.
    if (pattern == "*" || pattern == "*.*")
        return true;
    return matchFrom(Gbk::toLower(pattern), Gbk::toLower(name));
}

std::error_code listDirectory(std::string_view directory, std::string_view pattern,
                              std::vector<DirectoryEntry> &entries)
{
    std::error_code error;
    std::filesystem::directory_iterator it(toDiskPath(directory), error);
    if (error)
        return error;
    std::vector<DirectoryEntry> found;
    for (const std::filesystem::directory_iterator end; it != end; it.increment(error)) {
        if (error)
            return error;
        const std::string diskName = it->path().filename().native();
        std::string name = fromDiskName(diskName);
        if (!wildcardMatch(pattern, name))
            continue;
        std::error_code typeError;
        found.push_back({std::move(name), it->is_directory(typeError)});
    }
    if (error)
        return error;
    std::sort(found.begin(), found.end(),
              [](const DirectoryEntry &a, const DirectoryEntry &b) { return a.name < b.name; });
    entries.insert(entries.end(), std::make_move_iterator(found.begin()),
                   std::make_move_iterator(found.end()));
    return {};
}

std::error_code listDiskDirectory(const std::string &diskDirectory, std::vector<DiskEntry> &entries)
{
    DIR *dir = ::opendir(diskDirectory.c_str());
    if (!dir)
        return lastError();
    const int dirFd = ::dirfd(dir);
    std::vector<DiskEntry> found;
    std::error_code error;
    for (;;) {
        errno = 0;
        const dirent *entry = ::readdir(dir);
        if (!entry) {
            if (errno != 0)
                error = lastError();
            break;
        }
        const std::string_view diskName(entry->d_name);
        if (diskName == "." || diskName == "..")
            continue;
        DiskEntry item;
        item.diskName = std::string(diskName);
        item.name = fromDiskName(diskName);
        unsigned char type = entry->d_type;
        if (type == DT_UNKNOWN) {
            struct stat st;
            item.isLink = ::fstatat(dirFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0
                    && S_ISLNK(st.st_mode);
        }
        item.isLink = item.isLink || type == DT_LNK;
        if (type == DT_LNK || type == DT_UNKNOWN) {
            struct stat st;
            if (::fstatat(dirFd, entry->d_name, &st, 0) != 0) {
                item.linkError = errno;
                type = DT_UNKNOWN;
            } else {
                type = S_ISREG(st.st_mode) ? DT_REG : S_ISDIR(st.st_mode) ? DT_DIR : DT_UNKNOWN;
            }
        }
        item.type = type == DT_REG ? DiskEntryType::Regular
                : type == DT_DIR   ? DiskEntryType::Directory
                                   : DiskEntryType::Other;
        found.push_back(std::move(item));
    }
    ::closedir(dir);
    if (error)
        return error;
    std::sort(found.begin(), found.end(),
              [](const DiskEntry &a, const DiskEntry &b) { return a.name < b.name; });
    entries.insert(entries.end(), std::make_move_iterator(found.begin()),
                   std::make_move_iterator(found.end()));
    return {};
}

std::error_code diskIdentity(const std::string &diskPath, std::uint64_t &device,
                             std::uint64_t &inode)
{
    struct stat st;
    if (::stat(diskPath.c_str(), &st) != 0)
        return lastError();
    device = std::uint64_t(st.st_dev);
    inode = std::uint64_t(st.st_ino);
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

} // namespace FileSystem
