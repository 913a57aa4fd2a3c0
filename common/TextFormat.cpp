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

std::string EscapeControlCharacters(std::string_view text)
{
    static constexpr char Hex[] = "0123456789abcdef";
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte != 0x7F) {
            out += c;
            continue;
        }
        out += '\\';
        switch (c) {
        case '\t':
            out += 't';
            break;
        case '\n':
            out += 'n';
            break;
        case '\r':
            out += 'r';
            break;
        default:
            out += 'x';
            out += Hex[byte >> 4];
            out += Hex[byte & 0xF];
        }
    }
    return out;
}

std::string ShortenedText(std::string_view gbk, std::size_t limit)
{
    if (gbk.size() <= limit)
        return std::string(gbk);
    return std::string(Gbk::prefixWithinBytes(gbk, limit)) + Gbk::literal("…");
}
