#include "BodySnippet.h"

#include "PostDecoding.h"

#include "common/Codec.h"

#include <QString>

#include <algorithm>

namespace {

// Text shown from the start of a post when no hit is left in it.
constexpr std::size_t LeadChars = 60;

std::string gbkOf(QStringView text)
{
    return Gbk::fromQString(text.toString());
}

} // namespace

BodySnippet MakeBodySnippet(std::string_view postBytes, const SearchQuery &query,
                            std::size_t contextChars)
{
    BodyText::PostTextReader reader(true);
    constexpr std::size_t slice = 1 << 20;
    for (std::size_t at = 0; at < postBytes.size() && !reader.full(); at += slice)
        reader.feed(postBytes.substr(at, slice));
    reader.finish();
    // Blanks are folded and never lead; a block tag at the end may leave one behind.
    QString display = reader.display();
    while (display.endsWith(QLatin1Char(' ')))
        display.chop(1);
    // Every character of the normalised text is one GBK character of the BMP, so its
    // index in the decoded text is its index in the map.
    const QString normal = Gbk::toQString(reader.builder().text());
    const auto &from = reader.builder().mapFrom();
    const auto &to = reader.builder().mapTo();

    qsizetype best = -1;
    qsizetype bestEnd = 0;
    for (const SearchTerm &term : query.terms) {
        if (term.excluded)
            continue;
        const std::string pattern = TermPattern(term);
        const QString p = Gbk::toQString(pattern);
        const qsizetype at = normal.indexOf(p);
        if (at < 0 || (best >= 0 && at >= best))
            continue;
        best = at + (pattern.front() == ' ' ? 1 : 0);
        bestEnd = at + p.size() - (pattern.back() == ' ' ? 1 : 0);
    }
    BodySnippet snippet;
    if (best < 0 || bestEnd <= best || std::size_t(bestEnd) > from.size()) {
        const QString lead = display.left(qsizetype(LeadChars));
        snippet.text = gbkOf(lead);
        if (display.size() > lead.size())
            snippet.text += Gbk::literal("…");
        return snippet;
    }
    const qsizetype hitFrom = qsizetype(from[std::size_t(best)]);
    const qsizetype hitTo = qsizetype(to[std::size_t(bestEnd - 1)]);
    const qsizetype context = qsizetype(contextChars);
    const qsizetype start = std::max<qsizetype>(0, hitFrom - context);
    const qsizetype end = std::min<qsizetype>(display.size(), hitTo + context);
    const std::string ellipsis = Gbk::literal("…");
    std::string before = gbkOf(QStringView(display).mid(start, hitFrom - start));
    if (start > 0)
        before = ellipsis + before;
    const std::string hit = gbkOf(QStringView(display).mid(hitFrom, hitTo - hitFrom));
    std::string after = gbkOf(QStringView(display).mid(hitTo, end - hitTo));
    if (end < display.size())
        after += ellipsis;
    snippet.text = before + hit + after;
    snippet.markBegin = before.size();
    snippet.markEnd = before.size() + hit.size();
    snippet.found = true;
    return snippet;
}

std::string MarkedSnippet(const BodySnippet &snippet, const std::string &open,
                          const std::string &close)
{
    if (!snippet.found)
        return snippet.text;
    const std::string o = open.empty() ? Gbk::literal("【") : open;
    const std::string c = close.empty() ? Gbk::literal("】") : close;
    return snippet.text.substr(0, snippet.markBegin) + o
            + snippet.text.substr(snippet.markBegin, snippet.markEnd - snippet.markBegin) + c
            + snippet.text.substr(snippet.markEnd);
}
