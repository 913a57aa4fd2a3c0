#include "FileSystem.h"

#include <cerrno>

namespace FileSystem {

namespace {
// The path with "/" separators and without final ones ("/" stays "/").
std::string withoutFinalSeparator(std::string_view path)
{
    std::string result = normalize(path);
    while (result.size() > 1 && result.back() == '/')
        result.pop_back();
    return result;
}
} // namespace

std::error_code createDirectories(std::string_view path)
{
    const std::string target = withoutFinalSeparator(path);
    if (target.empty())
        return std::make_error_code(std::errc::no_such_file_or_directory);
    if (isDirectory(target))
        return {};
    // Parents first; only what is not there is made, so a file in the way is reported
    // as the system sees it (not a directory).
    const std::size_t separator = lastSeparator(target);
    if (separator != std::string::npos && separator > 0) {
        const std::string parent = target.substr(0, separator);
        if (!exists(parent)) {
            if (const std::error_code error = createDirectories(parent))
                return error;
        }
    }
    const std::error_code error = createDirectory(target);
    if (error && !(error == std::errc::file_exists && isDirectory(target)))
        return error;
    return {};
}

std::string nearestExistingDirectory(std::string_view path)
{
    std::string folder = withoutFinalSeparator(path);
    while (!folder.empty() && !isDirectory(folder)) {
        const std::size_t separator = lastSeparator(folder);
        if (separator == std::string::npos)
            return std::string();
        folder = separator == 0 ? std::string("/") : folder.substr(0, separator);
    }
    return folder;
}

} // namespace FileSystem
