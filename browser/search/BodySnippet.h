#pragma once

// The words around a search hit, for the result list: made from the post's file when
// its row is shown (never for every hit), in the post's own letters and punctuation.

#include "SearchQuery.h"

#include <cstddef>
#include <string>
#include <string_view>

struct BodySnippet
{
    std::string text; // GBK, blanks folded; "…" where it was cut
    std::size_t markBegin = 0; // the hit: bytes [markBegin, markEnd) of text
    std::size_t markEnd = 0;
    bool found = false; // false: the file no longer holds a hit; text is its beginning
};

// The first hit of any of the query's positive terms in the post's visible text, with
// about contextChars characters on each side.
BodySnippet MakeBodySnippet(std::string_view postBytes, const SearchQuery &query,
                            std::size_t contextChars = 30);

// The snippet with the hit between open and close ("【", "】" by default; GBK).
std::string MarkedSnippet(const BodySnippet &snippet, const std::string &open = {},
                          const std::string &close = {});
