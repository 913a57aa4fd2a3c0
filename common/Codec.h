#pragma once

// The one place where GBK text meets Unicode. Engine code keeps GBK bytes in
// std::string; these functions convert at the Qt and file-system edges.

#include <QString>

#include <cstddef>
#include <string>
#include <string_view>

namespace Gbk {

// Characters GBK cannot hold become "?"; invalid GBK bytes become U+FFFD.
QString toQString(std::string_view gbk);
std::string fromQString(const QString &text);

std::string toUtf8(std::string_view gbk);
std::string fromUtf8(std::string_view utf8);

// Converts a UTF-8 literal of the program's own texts to GBK bytes.
inline std::string literal(const char *utf8)
{
    return fromUtf8(utf8);
}

// Inline: the marker search and the lower-casing step through every character of
// every imported file with these.
inline bool isLeadByte(unsigned char byte)
{
    return byte >= 0x81 && byte <= 0xFE;
}

// Length in bytes of the character starting at text[pos]: 2 for a lead byte
// 0x81-0xFE followed by any trail byte, else 1. A lead byte at the end is one byte.
inline std::size_t charLength(std::string_view text, std::size_t pos)
{
    return pos + 1 < text.size() && isLeadByte(static_cast<unsigned char>(text[pos])) ? 2 : 1;
}

// Cuts text to at most maxBytes without splitting a double-byte character.
std::string_view prefixWithinBytes(std::string_view text, std::size_t maxBytes);

// Removes the last character (one or two bytes); the text must not be empty.
void dropLastChar(std::string &text);

// Lower-cases character by character: ASCII A-Z, and double-byte characters whose
// Unicode lower case is again one GBK double-byte character. Byte lengths never change.
std::string toLower(std::string_view gbk);
void toLowerInPlace(std::string &gbk);

bool isValidUtf8(std::string_view bytes);

} // namespace Gbk
