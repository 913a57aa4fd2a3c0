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

std::vector<std::string> IndexTermsOf(const SearchTerm &term, bool &exact)
{
    std::vector<std::string> terms;
    for (const std::string &e : term.elements) {
        if (!BodyTokens::IsCjkElement(e)) {
            terms.push_back(e);
            continue;
        }
        const std::size_t n = BodyTokens::CjkLength(e);
        if (n == 1)
            terms.push_back(e);
        for (std::size_t i = 0; i + 1 < n; ++i)
            terms.push_back(e.substr(2 * i, 4));
    }
    exact = term.elements.size() == 1
            && (!BodyTokens::IsCjkElement(term.elements[0])
                || BodyTokens::CjkLength(term.elements[0]) <= 2);
    std::sort(terms.begin(), terms.end());
    terms.erase(std::unique(terms.begin(), terms.end()), terms.end());
    return terms;
}
