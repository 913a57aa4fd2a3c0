#include "SearchQuery.h"

#include "BodyTokens.h"
#include "PostText.h"
#include "SearchTexts.h"
#include "VisibleText.h"

#include "common/Codec.h"

#include <QString>

#include <algorithm>

namespace {

bool isQuote(QChar c)
{
    return c == u'"' || c == QChar(0x201C) || c == QChar(0x201D) || c == QChar(0xFF02);
}

// The elements of one piece of query text, normalised as post text is.
std::vector<std::string> elementsOf(QStringView piece)
{
    BodyText::NormalTextBuilder builder(std::size_t(-1) / 2, BodyText::MaxWordChars, false);
    BodyText::Normaliser normaliser(builder);
    for (QChar c : piece)
        normaliser.put(c.unicode(), 0);
    normaliser.flush();
    builder.finish();
    std::vector<std::string> out;
    for (std::string_view e : BodyTokens::Elements(builder.text()))
        out.emplace_back(e);
    return out;
}

bool isWordElement(const std::string &element)
{
    return !BodyTokens::IsCjkElement(element);
}

// The index terms of a term's elements, in order; prefix is set when the last one is a
// single CJK character that may begin a longer run.
std::vector<std::string> termsOf(const SearchTerm &term, bool &prefix)
{
    std::vector<std::string> terms;
    prefix = false;
    for (std::size_t j = 0; j < term.elements.size(); ++j) {
        const std::string &e = term.elements[j];
        const bool last = j + 1 == term.elements.size();
        if (!BodyTokens::IsCjkElement(e)) {
            terms.push_back(e);
            continue;
        }
        const std::size_t n = BodyTokens::CjkLength(e);
        for (std::size_t i = 0; i + 1 < n; ++i)
            terms.push_back(e.substr(2 * i, 4));
        if (!last || n == 1)
            terms.push_back(e.substr(2 * (n - 1), 2));
        if (last && n == 1)
            prefix = true;
    }
    return terms;
}

} // namespace

bool ParseSearchQuery(const std::string &gbk, SearchQuery &query, std::string &problem)
{
    query.terms.clear();
    const QString text = Gbk::toQString(gbk);
    bool anyText = false;
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n) {
        if (text[i].isSpace()) {
            ++i;
            continue;
        }
        anyText = true;
        SearchTerm term;
        if (text[i] == u'-' || text[i] == QChar(0xFF0D)) {
            term.excluded = true;
            ++i;
        }
        QStringView piece;
        if (i < n && isQuote(text[i])) {
            qsizetype close = i + 1;
            while (close < n && !isQuote(text[close]))
                ++close;
            if (close == n) {
                problem = Gbk::literal(SearchTexts::QueryUnbalancedQuote);
                query.terms.clear();
                return false;
            }
            piece = QStringView(text).mid(i + 1, close - i - 1);
            i = close + 1;
        } else {
            qsizetype end = i;
            while (end < n && !text[end].isSpace() && !isQuote(text[end]))
                ++end;
            piece = QStringView(text).mid(i, end - i);
            i = end;
        }
        term.elements = elementsOf(piece);
        if (!term.elements.empty())
            query.terms.push_back(std::move(term));
    }
    if (query.terms.empty()) {
        problem =
                Gbk::literal(anyText ? SearchTexts::QueryOnlyPunctuation : SearchTexts::QueryEmpty);
        return false;
    }
    bool positive = false;
    for (const SearchTerm &t : query.terms)
        positive = positive || !t.excluded;
    if (!positive) {
        problem = Gbk::literal(SearchTexts::QueryOnlyExclusions);
        query.terms.clear();
        return false;
    }
    return true;
}

std::string TermPattern(const SearchTerm &term)
{
    std::string pattern;
    if (!term.elements.empty() && isWordElement(term.elements.front()))
        pattern += ' ';
    for (std::size_t j = 0; j < term.elements.size(); ++j) {
        if (j > 0)
            pattern += ' ';
        pattern += term.elements[j];
    }
    if (!term.elements.empty() && isWordElement(term.elements.back()))
        pattern += ' ';
    return pattern;
}

bool IsSingleCharacterTerm(const SearchTerm &term)
{
    return term.elements.size() == 1 && BodyTokens::IsCjkElement(term.elements[0])
            && BodyTokens::CjkLength(term.elements[0]) == 1;
}

// Terms hold no '"' (it separates), so quoting needs no escapes.
std::string Fts5Phrase(const SearchTerm &term)
{
    bool prefix = false;
    const std::vector<std::string> terms = termsOf(term, prefix);
    std::string phrase = "\"";
    for (std::size_t i = 0; i < terms.size(); ++i) {
        if (i > 0)
            phrase += ' ';
        phrase += terms[i];
    }
    phrase += '"';
    if (prefix)
        phrase += " *";
    return phrase;
}

std::string Fts5Character(const SearchTerm &term)
{
    return "\"" + term.elements[0] + "\"";
}

// Terms hold no "'" or "\\" (they separate), so quoting needs no escapes. PostgreSQL's
// index holds every CJK character of a post, so a lone character needs no prefix.
std::string TsQueryOf(const SearchTerm &term, bool &exact)
{
    bool prefix = false;
    const std::vector<std::string> terms = termsOf(term, prefix);
    exact = terms.size() == 1;
    std::string query;
    std::vector<std::string> seen;
    for (const std::string &t : terms) {
        if (std::find(seen.begin(), seen.end(), t) != seen.end())
            continue;
        seen.push_back(t);
        if (!query.empty())
            query += " & ";
        query += "'" + t + "'";
    }
    return query;
}
