#include "FileSystem.h"
#include "FileSystemDetail.h"

// Listing a folder: by wildcard pattern for the programs, and by disk names for the
// walks that read hundreds of thousands of files.

#include "Codec.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace FileSystem {

using detail::lastError;

namespace {

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

} // namespace FileSystem
