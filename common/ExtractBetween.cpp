#include "ExtractBetween.h"

#include "Codec.h"

#include <algorithm>

namespace {

// First match of needle at or after `from` that starts on a character boundary.
// `from` must itself be a boundary.
std::optional<std::size_t> findOnBoundary(std::string_view text, std::string_view needle,
                                          std::size_t from)
{
    if (needle.empty())
        return from;
    std::size_t boundary = from; // the next character start at or after `from`
    while (true) {
        const std::size_t hit = text.find(needle, from);
        if (hit == std::string_view::npos)
            return std::nullopt;
        // Walk the character starts up to the hit; memchr-speed find does the scanning,
        // this walk only decides whether the hit is on a boundary.
        while (boundary < hit)
            boundary += Gbk::charLength(text, boundary);
        if (boundary == hit)
            return hit;
        from = hit + 1; // the hit began inside a double-byte character
    }
}

} // namespace

std::optional<MarkerSpan> ExtractBetween(std::string_view text, std::string_view startMarker,
                                         std::string_view endMarker)
{
    const auto start = findOnBoundary(text, startMarker, 0);
    if (!start)
        return std::nullopt;
    // The value starts right after the marker, which ends on a character boundary too.
    const std::size_t begin = *start + startMarker.size();
    const auto end = findOnBoundary(text, endMarker, begin);
    if (!end)
        return std::nullopt;
    return MarkerSpan {begin, *end};
}

bool IsAllDigits(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}
