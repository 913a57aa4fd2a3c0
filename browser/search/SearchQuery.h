#pragma once

// A body search query, parsed by the same rules that make a post's normalised text
// (PostText.h), so the two always meet.
//
// Terms are separated by blanks and all must match. "..." (or “...”) quotes a phrase,
// whose blanks then separate elements of one term; a term written as one piece that
// holds punctuation ("e-mail", "foo.bar()") is such a phrase too. "-" before a term
// excludes the posts that match it. Nothing in a query is special to a database: "%",
// "_", "'", "\" and every byte of a double-byte character are only text.
//
// A term matches a post exactly where its pattern is a substring of the post's
// normalised text: its elements joined by one blank, with one blank before a first
// element that is a word and after a last one that is a word. So a word matches whole
// words, a CJK run matches anywhere inside a run, and a phrase may begin with the end
// of a CJK run and end with the beginning of one.

#include <string>
#include <string_view>
#include <vector>

struct SearchTerm
{
    std::vector<std::string> elements; // GBK, normalised
    bool excluded = false;
};

struct SearchQuery
{
    std::vector<SearchTerm> terms;
};

// False, with a message (GBK) for the user in problem, for an empty query, one of only
// punctuation, an unbalanced quote, or one with nothing but excluded terms.
bool ParseSearchQuery(const std::string &gbk, SearchQuery &query, std::string &problem);

std::string TermPattern(const SearchTerm &term);

// The SQLite index expressions of a term (BodyIndex.cpp runs them): a term of one
// CJK character goes to the character table; any other to the positional table as an
// FTS5 phrase (quoted terms, a prefix mark when it ends in a single CJK character).
bool IsSingleCharacterTerm(const SearchTerm &term);
std::string Fts5Phrase(const SearchTerm &term);
std::string Fts5Character(const SearchTerm &term);

// PostgreSQL: the tsquery text that every post matching the term matches (its terms
// ANDed), and whether that is already exact (one term) or the pattern must be checked
// on the stored text.
std::string TsQueryOf(const SearchTerm &term, bool &exact);
