#pragma once

// The index terms of a post's normalised text (PostText.h), the same for SQLite and
// PostgreSQL. Changing what any function here gives changes TokenizerVersion, so an
// index made by other rules is refused instead of answering wrongly.
//
// A word is one term. A run of CJK characters c1..cn gives its overlapping pairs
// c1c2, c2c3, ..., then its last character cn alone; a one-character run gives that
// character. The lone last character closes the run: two runs never read as one in a
// phrase, and a phrase may begin with the end of a run.
//
// SQLite takes the terms in order (positions, for phrases) and, apart, the set of the
// distinct CJK characters of the post (single-character queries). PostgreSQL computes
// the same terms, and every CJK character of the post, from the stored text in SQL
// (PostgresTermsFunction); it checks phrases on the text itself.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace BodyTokens {

inline constexpr int TokenizerVersion = 1;

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
// PostgreSQL's function gives.
std::vector<std::string> TermSet(std::string_view text);

// CREATE FUNCTION of the PostgreSQL function that gives TermSet as a tsvector of a
// stored normalised text; its name carries the version, so the index expression of
// an older version never changes meaning.
std::string PostgresTermsFunctionName();
std::string PostgresTermsFunction();

} // namespace BodyTokens
