#include "ExtractBetween.h"

#include "Codec.h"

#include <algorithm>

namespace {

// A byte outside the lead range always ends a character (it is a character of its own
// or the second byte of a pair), so, counting characters from `from`, a position starts
// one exactly when the run of lead bytes right before it (back to `from`) has even length.
bool startsCharacter(std::string_view text, std::size_t from, std::size_t pos)
{
    std::size_t leads = 0;
    while (leads < pos - from && Gbk::isLeadByte(static_cast<unsigned char>(text[pos - leads - 1])))
        ++leads;
    return leads % 2 == 0;
}

// First match of needle at or after `from` that starts on a character boundary.
// `from` must itself be a boundary.
std::optional<std::size_t> findOnBoundary(std::string_view text, std::string_view needle,
                                          std::size_t from)
{
    if (needle.empty())
        return from;
    const std::size_t origin = from;
    while (true) {
        const std::size_t hit = text.find(needle, from);
        if (hit == std::string_view::npos)
            return std::nullopt;
        if (startsCharacter(text, origin, hit))
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
