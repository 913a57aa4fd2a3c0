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

// The distinct index terms whose posts, all together, hold every match of the term (a
// word, the pairs of a CJK run, the character of a one-character run), and whether
// they are exactly its matches (one word, or one run of one or two characters), or
// the pattern must then be checked on the post's text.
std::vector<std::string> IndexTermsOf(const SearchTerm &term, bool &exact);
