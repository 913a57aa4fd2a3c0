#include "TextFormat.h"

#include "Codec.h"

#include <cstdarg>
#include <cstdio>

std::string FormatText(const char *gbkFormat, ...)
{
    va_list args;
    va_start(args, gbkFormat);
    va_list copy;
    va_copy(copy, args);
    const int length = std::vsnprintf(nullptr, 0, gbkFormat, copy);
    va_end(copy);
    std::string result;
    if (length > 0) {
        result.resize(std::size_t(length) + 1);
        std::vsnprintf(result.data(), result.size(), gbkFormat, args);
        result.resize(std::size_t(length));
    }
    va_end(args);
    return result;
}

std::string ShortenedText(std::string_view gbk, std::size_t limit)
{
    if (gbk.size() <= limit)
        return std::string(gbk);
    return std::string(Gbk::prefixWithinBytes(gbk, limit)) + Gbk::literal("…");
}
