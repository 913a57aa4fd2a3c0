#pragma once

// Every file operation of the programs. Paths are GBK texts with "\" or "/" as
// separator; names on disk are UTF-8, except names that are not valid UTF-8 (an
// archive unpacked without conversion), which are taken as GBK bytes as they stand.
// One header; the sources go by concern: paths (FilePaths, DirectoryPaths), listing
// and walking (FileListing), reading and writing (FileReadWrite, FileReplacement),
// copying and moving (FileTransfer), and error texts (SystemErrorText).

#include <QString>

#include <cstdint>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace FileSystem {

// Turns every "\" into "/" (a "\" byte inside a double-byte character stays).
std::string normalize(std::string_view path);

// The position of the last "\" or "/" that is a character of its own, or npos.
std::size_t lastSeparator(std::string_view path);

// Joins a directory and a name with exactly one "/".
std::string join(std::string_view directory, std::string_view name);

// The bytes to hand to the operating system for a GBK path: each component is
// looked up first in its UTF-8 form and then as raw GBK bytes.
std::string toDiskPath(std::string_view gbkPath);

// The GBK text for a name read from disk.
std::string fromDiskName(std::string_view diskName);

// Conversions for Qt APIs that take file paths (dialogs, URLs, database files).
QString toQtPath(std::string_view gbkPath);
std::string fromQtPath(const QString &path);

bool exists(std::string_view path);
bool isDirectory(std::string_view path);

std::error_code readWholeFile(std::string_view path, std::string &contents);
// Creates the file or empties an existing one, then writes data.
std::error_code writeWholeFile(std::string_view path, std::string_view data);
std::error_code createOrEmpty(std::string_view path);
std::error_code appendToFile(std::string_view path, std::string_view data);

// "Read-only" is the owner's write permission.
bool isReadOnly(std::string_view path);
std::error_code clearReadOnly(std::string_view path);
std::error_code setReadOnly(std::string_view path);

std::error_code removeFile(std::string_view path);
struct FileIdentity;
// Fails with file_exists when the target exists. The copy is written to a partial file
// beside the target and only then given the target's name (never over an existing file),
// so a copy that fails or is killed half-way never leaves a short file under that name. The target
// gets the source's permissions. targetIdentity, when given, receives the identity of the new file.
std::error_code copyFile(std::string_view from, std::string_view to,
                         FileIdentity *targetIdentity = nullptr);
// Fails with file_exists when the target exists; works across file systems, where it
// copies as copyFile does, waits until the copy and its name are on disk (fsync), and
// only then removes the source. sameFile,
// when given, tells whether the target is the source's file under a new name (false
// after a copy between file systems).
std::error_code moveFile(std::string_view from, std::string_view to, bool *sameFile = nullptr);
// Whether a name is that of a partial file of copyFile.
bool isPartialFileName(std::string_view name);
// Removes the partial files a killed copy left in a folder; those of copies still going
// on are kept. Returns how many were removed.
std::size_t removeStalePartialFiles(std::string_view folder);
// Renames over an existing target in one step (for files written beside their target).
std::error_code replaceFile(std::string_view from, std::string_view to);
// Creates one directory; its parent must exist.
std::error_code createDirectory(std::string_view path);
// Creates a directory and whichever of its parents are missing; an existing directory
// is no error.
std::error_code createDirectories(std::string_view path);
// The path itself when it is a directory, otherwise its nearest parent that is one
// ("/" separators, no final one except for "/" itself); empty when none of a relative
// path's folders exists.
std::string nearestExistingDirectory(std::string_view path);

// What identifies a file on this machine, whatever name it is reached by.
struct FileIdentity
{
    unsigned long long device = 0;
    unsigned long long inode = 0;
    bool operator==(const FileIdentity &) const = default;
};
struct FileIdentityHash
{
    std::size_t operator()(const FileIdentity &id) const noexcept
    {
        return std::size_t(id.inode * 0x9E3779B97F4A7C15ull ^ id.device);
    }
};

struct FileStatus
{
    FileIdentity identity;
    bool isDirectory = false;
    bool isRegular = false;
};
// Follows symbolic links, as opening the path would.
std::error_code fileStatus(std::string_view path, FileStatus &status);

struct DirectoryEntry
{
    std::string name; // GBK
    bool isDirectory = false;
};

// Lists the entries whose names match the wildcard pattern ("*" and "?", case
// ignored as GBK lower case), sorted by name in byte order.
std::error_code listDirectory(std::string_view directory, std::string_view pattern,
                              std::vector<DirectoryEntry> &entries);
bool wildcardMatch(std::string_view pattern, std::string_view name);

// Replaces a file's contents as one step: the data goes to a temporary file beside
// it, which is then renamed over it, so a failure never leaves half a file. A
// read-only target is refused (permission_denied) as Windows would; the new file
// keeps the old one's permissions.
std::error_code replaceWholeFile(std::string_view path, std::string_view data);

// The real location of a path given as disk bytes (symbolic links, "." and ".."
// resolved), as disk bytes; empty when it does not exist.
std::string resolveDiskPath(std::string_view diskPath);

// Walking a tree by the names the operating system uses, without converting a path
// back and forth for every file (the import reads hundreds of thousands of them).
enum class DiskEntryType { Regular, Directory, Other };

struct DiskEntry
{
    std::string name; // GBK
    std::string diskName; // the bytes on disk
    DiskEntryType type = DiskEntryType::Other; // symbolic links are followed
    bool isLink = false;
    int linkError = 0; // Other: the errno of a link that leads nowhere, else 0
};

// Every entry of a directory given by its disk path except "." and "..", sorted by GBK
// name in byte order. A link whose target is missing is Other.
std::error_code listDiskDirectory(const std::string &diskDirectory,
                                  std::vector<DiskEntry> &entries);

// The device and inode of a directory (its target, for a link), to notice a loop.
std::error_code diskIdentity(const std::string &diskPath, std::uint64_t &device,
                             std::uint64_t &inode);

// Reads a whole file given by its disk path: as many bytes as its length when opened.
// Anything but a regular file is refused with errc::invalid_argument without waiting
// (a FIFO never blocks the reader); a file larger than the machine's memory and swap with
// errc::not_enough_memory before anything is allocated (so does readWholeFile).
std::error_code readRegularDiskFile(const std::string &diskPath, std::string &contents);

// Files of settings (the tree configuration, presets, the conversion file) are read
// whole, so only a regular file of at most SettingsFileLimit bytes is one: anything else
// fails with settingsFileError() codes, whose messages say so.
inline constexpr std::uint64_t SettingsFileLimit = std::uint64_t(64) << 20;
enum class SettingsFileError { NotRegular = 1, TooLarge = 2 };
const std::error_category &settingsFileCategory();
std::error_code checkSettingsFile(std::string_view path);
std::error_code readSettingsFile(std::string_view path, std::string &contents);

// Opens a descriptor for CTextLineFile-style access (flags of open(2)).
int openDescriptor(std::string_view path, int flags, std::error_code &error);

// The reason of an error as GBK text, for messages: the common system errors in
// Chinese, others in the system's words, followed by the raw code in brackets.
std::string errorText(const std::error_code &error);
// The same without the code, for messages that show the code themselves.
std::string errorReason(const std::error_code &error);

} // namespace FileSystem
