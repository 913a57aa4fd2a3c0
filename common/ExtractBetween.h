#pragma once

// The marker search shared by the import and the classifier: the value is the text
// between the first start marker and the first end marker after it. Both sides are
// expected lower-cased already (Gbk::toLowerInPlace), so the match ignores letter case.

#include <cstddef>
#include <optional>
#include <string_view>

struct MarkerSpan
{
    std::size_t begin = 0; // first byte of the value
    std::size_t end = 0; // one past its last byte (where the end marker starts)
};

// Scans character by character, so a match never starts on the trail byte of a GBK
// double-byte character. An empty start marker matches at 0; an empty end marker gives
// an empty value. Nothing is trimmed.
std::optional<MarkerSpan> ExtractBetween(std::string_view text, std::string_view startMarker,
                                         std::string_view endMarker);

// True when every byte is "0" to "9"; true for the empty text.
bool IsAllDigits(std::string_view text);
