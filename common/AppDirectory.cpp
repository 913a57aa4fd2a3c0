#include "AppDirectory.h"

#include "AppFolders.h"
#include "FileSystem.h"

bool GetAppDirectory(std::string &directory, bool keepSeparator)
{
    // The folder that holds the user's Configs/ and Data/: the program's own when it
    // runs portable, the user's data folder when it is installed.
    std::string path = AppFolders::CurrentLayout().dataFolder;
    path = path.empty() ? std::string() : FileSystem::join(path, "program");
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
