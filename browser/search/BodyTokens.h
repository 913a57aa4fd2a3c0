#pragma once

// The index terms of a post's normalised text (PostText.h), the same for SQLite and
// PostgreSQL. Changing what any function here gives, or how the index stores terms
// (BodyIndex.h), changes TokenizerVersion, so an index made by other rules is refused
// instead of answering wrongly.
//
// A word is one term. A run of CJK characters c1..cn gives its overlapping pairs
// c1c2, c2c3, ..., then its last character cn alone; a one-character run gives that
// character. The lone last character closes the run: two runs never read as one in a
// phrase, and a phrase may begin with the end of a run.
//
// The index keeps, for each post, the set of its distinct terms and of its distinct
// CJK characters (TermSet); phrases are checked on the post's kept text.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace BodyTokens {

// 2: the index of segments (BodyIndex.h) replaced that of full-text tables.
// 3: posts' texts kept as they are, not zlib-compressed: checking a phrase on hundreds of
// them had cost more in unpacking than in everything else.
// 4: SQLite keeps the texts in parts of a page each, a text running across them: a text
// read out of a large part walked the part's chain of pages up to it.
inline constexpr int TokenizerVersion = 4;

// The elements of a normalised text, in order.
std::vector<std::string_view> Elements(std::string_view text);
bool IsCjkElement(std::string_view element);
// The characters of a CJK element (two bytes each).
inline std::size_t CjkLength(std::string_view element)
{
    return element.size() / 2;
}

struct IndexTokens
{
    std::string positional; // GBK terms in order, one blank between
    std::string characters; // GBK distinct CJK characters, one blank between
};
void MakeIndexTokens(std::string_view text, IndexTokens &tokens);

// The distinct terms of a text and its distinct CJK characters, sorted by bytes: what
// the index holds of it.
std::vector<std::string> TermSet(std::string_view text);

} // namespace BodyTokens
