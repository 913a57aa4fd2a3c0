#pragma once

// What the files of the file-system unit share among themselves; not for other code.

#include <cerrno>
#include <string_view>
#include <system_error>

namespace FileSystem::detail {

inline std::error_code lastError()
{
    return std::error_code(errno, std::generic_category());
}

// Writes all of data to a descriptor, resuming after signals and short writes.
std::error_code writeAll(int fd, std::string_view data);

} // namespace FileSystem::detail
