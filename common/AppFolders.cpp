#include "AppFolders.h"

#include "AppDirectory.h"
#include "Codec.h"
#include "CommonTexts.h"
#include "FileSystem.h"

#include <QDir>
#include <QStandardPaths>

#include <fcntl.h>
#include <mutex>
#include <unistd.h>
#include <vector>

namespace AppFolders {

namespace {

std::mutex overrideMutex;
std::string overrideFolder;

std::string executableFolder()
{
    static const std::string folder = [] {
        std::vector<char> buffer(4096);
        for (;;) {
            const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
            if (n < 0)
                return std::string();
            if (std::size_t(n) < buffer.size()) {
                std::string path =
                        FileSystem::fromDiskName(std::string_view(buffer.data(), std::size_t(n)));
                const std::size_t slash = FileSystem::lastSeparator(path);
                path.resize(slash == std::string::npos ? 0 : slash);
                return path;
            }
            buffer.resize(buffer.size() * 2);
        }
    }();
    return folder;
}

bool holdsConfigs(const std::string &folder)
{
    return FileSystem::isDirectory(FileSystem::join(folder, "Configs"));
}

bool writableByUser(const std::string &folder)
{
    // The effective user decides, as it does when the program later writes there.
    return ::faccessat(AT_FDCWD, FileSystem::toDiskPath(folder).c_str(), W_OK | X_OK, AT_EACCESS)
            == 0;
}

// "/usr/bin/../share/quillery" reads better as "/usr/share/quillery" in messages.
std::string cleaned(const std::string &path)
{
    return FileSystem::fromQtPath(QDir::cleanPath(FileSystem::toQtPath(path)));
}

std::string formatted(const char *utf8Format, const std::string &a, const std::string &b = {},
                      const std::string &c = {})
{
    std::string text = Gbk::literal(utf8Format);
    for (const std::string *argument : {&a, &b, &c}) {
        const std::size_t at = text.find("%s");
        if (at == std::string::npos)
            break;
        text.replace(at, 2, *argument);
    }
    return text;
}

// Creates a folder and the folders above it that are missing.
std::error_code makeFolders(const std::string &folder)
{
    if (folder.empty() || FileSystem::isDirectory(folder))
        return {};
    const std::size_t slash = FileSystem::lastSeparator(folder);
    if (slash != std::string::npos && slash > 0)
        if (const std::error_code error = makeFolders(folder.substr(0, slash)))
            return error;
    const std::error_code error = FileSystem::createDirectory(folder);
    if (error && !(error == std::errc::file_exists && FileSystem::isDirectory(folder)))
        return error;
    return {};
}

// Copies from under a temporary name beside the target, then renames without
// replacing: a default that another start of a program placed meanwhile wins.
std::error_code copyDefault(const std::string &from, const std::string &to)
{
    const std::string temporary = to + ".~part" + std::to_string(::getpid());
    FileSystem::removeFile(temporary);
    if (const std::error_code error = FileSystem::copyFile(from, temporary))
        return error;
    const std::error_code error = FileSystem::moveFile(temporary, to);
    if (error)
        FileSystem::removeFile(temporary);
    if (error == std::errc::file_exists)
        return {};
    return error;
}

bool copyMissing(const std::string &from, const std::string &to, std::string &problem)
{
    if (const std::error_code error = makeFolders(to)) {
        problem = formatted(CommonText::FolderNotCreated, to, FileSystem::errorText(error));
        return false;
    }
    std::vector<FileSystem::DirectoryEntry> entries;
    if (const std::error_code error = FileSystem::listDirectory(from, "*", entries)) {
        problem = formatted(CommonText::DefaultsUnreadable, from, FileSystem::errorText(error));
        return false;
    }
    for (const FileSystem::DirectoryEntry &entry : entries) {
        const std::string source = FileSystem::join(from, entry.name);
        const std::string target = FileSystem::join(to, entry.name);
        if (entry.isDirectory) {
            if (!copyMissing(source, target, problem))
                return false;
            continue;
        }
        if (FileSystem::exists(target))
            continue; // the user's own file, whatever it holds
        if (const std::error_code error = copyDefault(source, target)) {
            problem = formatted(CommonText::DefaultNotCopied, source, target,
                                FileSystem::errorText(error));
            return false;
        }
    }
    return true;
}

} // namespace

Layout DecideLayout(const std::string &programFolder, const std::string &userFolder,
                    const std::string &installedDefaults)
{
    Layout layout;
    layout.programFolder = programFolder;
    if (holdsConfigs(programFolder) && writableByUser(programFolder)) {
        layout.mode = Mode::Portable;
        layout.dataFolder = programFolder;
        layout.defaultsFolder = programFolder;
        return layout;
    }
    layout.mode = Mode::Installed;
    layout.dataFolder = userFolder;
    layout.defaultsFolder =
            holdsConfigs(programFolder) ? programFolder : cleaned(installedDefaults);
    return layout;
}

std::string UserDataFolder()
{
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (data.isEmpty())
        return std::string();
    return FileSystem::fromQtPath(data) + "/quillery";
}

Layout CurrentLayout()
{
    {
        const std::lock_guard lock(overrideMutex);
        if (!overrideFolder.empty()) {
            Layout layout;
            layout.programFolder = layout.dataFolder = layout.defaultsFolder = overrideFolder;
            return layout;
        }
    }
    static const Layout layout = [] {
        const std::string program = executableFolder();
        return DecideLayout(program, UserDataFolder(),
                            FileSystem::join(program, QUILLERY_DEFAULTS_FROM_PROGRAM));
    }();
    return layout;
}

bool PrepareDataFolder(const Layout &layout, std::string &problem)
{
    if (layout.mode == Mode::Portable)
        return true;
    if (layout.dataFolder.empty()) {
        problem = Gbk::literal(CommonText::NoUserFolder);
        return false;
    }
    if (!holdsConfigs(layout.defaultsFolder)) {
        problem = formatted(CommonText::DefaultsMissing, layout.defaultsFolder);
        return false;
    }
    std::vector<FileSystem::DirectoryEntry> entries;
    if (const std::error_code error =
                FileSystem::listDirectory(layout.defaultsFolder, "*", entries)) {
        problem = formatted(CommonText::DefaultsUnreadable, layout.defaultsFolder,
                            FileSystem::errorText(error));
        return false;
    }
    if (const std::error_code error = makeFolders(layout.dataFolder)) {
        problem = formatted(CommonText::FolderNotCreated, layout.dataFolder,
                            FileSystem::errorText(error));
        return false;
    }
    for (const FileSystem::DirectoryEntry &entry : entries) {
        // The sample archive is the user's to import or not.
        if (entry.name == "sample" || entry.name == "." || entry.name == "..")
            continue;
        const std::string source = FileSystem::join(layout.defaultsFolder, entry.name);
        const std::string target = FileSystem::join(layout.dataFolder, entry.name);
        if (entry.isDirectory) {
            if (!copyMissing(source, target, problem))
                return false;
        } else if (!FileSystem::exists(target)) {
            if (const std::error_code error = copyDefault(source, target)) {
                problem = formatted(CommonText::DefaultNotCopied, source, target,
                                    FileSystem::errorText(error));
                return false;
            }
        }
    }
    return true;
}

std::string DescribeFolders(const Layout &layout)
{
    std::string text = formatted(layout.mode == Mode::Portable ? CommonText::PortableMode
                                                               : CommonText::InstalledMode,
                                 layout.programFolder);
    text += '\n' + formatted(CommonText::DataFolderLine, layout.dataFolder);
    if (layout.mode == Mode::Installed)
        text += '\n' + formatted(CommonText::DefaultsFolderLine, layout.defaultsFolder);
    return text;
}

} // namespace AppFolders

void SetAppDirectoryOverride(const std::string &directory)
{
    std::string normalized = FileSystem::normalize(directory);
    while (normalized.size() > 1 && normalized.back() == '/')
        normalized.pop_back();
    const std::lock_guard lock(AppFolders::overrideMutex);
    AppFolders::overrideFolder = std::move(normalized);
}
