#include "FileSystem.h"
#include "FileSystemDetail.h"

// Paths: separators, joining, and the GBK names of the programs against the bytes
// of names on disk; what a path leads to.

#include "Codec.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace FileSystem {

using detail::lastError;

namespace {

bool isAscii(std::string_view text)
{
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

bool diskEntryExists(const std::string &diskPath)
{
    struct stat st;
    return ::lstat(diskPath.c_str(), &st) == 0;
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

} // namespace FileSystem
