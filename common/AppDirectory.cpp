#include "AppDirectory.h"

#include "FileSystem.h"

#include <mutex>
#include <unistd.h>
#include <vector>

namespace {

std::mutex overrideMutex;
std::string overrideDirectory;

std::string executablePath()
{
    static const std::string path = [] {
        std::vector<char> buffer(4096);
        for (;;) {
            const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
            if (n < 0)
                return std::string();
            if (std::size_t(n) < buffer.size())
                return FileSystem::fromDiskName(std::string_view(buffer.data(), std::size_t(n)));
            buffer.resize(buffer.size() * 2);
        }
    }();
    return path;
}

} // namespace

bool GetAppDirectory(std::string &directory, bool keepSeparator)
{
    std::string path;
    {
        const std::lock_guard lock(overrideMutex);
        if (!overrideDirectory.empty())
            path = FileSystem::join(overrideDirectory, "program");
    }
    if (path.empty())
        path = executablePath();
    const std::size_t separator = FileSystem::lastSeparator(path);
    if (separator == std::string::npos || separator == 0) {
        directory = path;
        if (separator == 0)
            directory.resize(keepSeparator ? 1 : 0);
        return false;
    }
    path.resize(keepSeparator ? separator + 1 : separator);
    directory = std::move(path);
    return true;
}

std::string AppDirectory()
{
    std::string directory;
    GetAppDirectory(directory, false);
    return directory;
}

std::string AppDirectoryWithSlash()
{
    std::string directory;
    GetAppDirectory(directory, true);
    return directory;
}

void SetAppDirectoryOverride(const std::string &directory)
{
    std::string normalized = FileSystem::normalize(directory);
    while (normalized.size() > 1 && normalized.back() == '/')
        normalized.pop_back();
    const std::lock_guard lock(overrideMutex);
    overrideDirectory = std::move(normalized);
}
