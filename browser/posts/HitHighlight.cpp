#include "HitHighlight.h"

#include "browser/search/BodyTokens.h"
#include "browser/search/TextClasses.h"
#include "common/Codec.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace {

// A long word goes on in pieces that begin with this mark (GBK "·"): the piece joins the
// one before it without a separator.
constexpr std::string_view WordPieceMark = "\xA1\xA4";

QString escaped(const QString &text)
{
    static const QString special = QStringLiteral("\\^$.*+?()[]{}|/-");
    QString out;
    for (const QChar c : text) {
        if (special.contains(c))
            out += QLatin1Char('\\');
        out += c;
    }
    return out;
}

// A character of a word: a letter, digit or "_" that is not CJK (CJK characters make runs
// of their own, which touch words without a separator).
QString wordCharacter()
{
    static const QString word =
            QStringLiteral("(?:(?![%1])[\\p{L}\\p{N}_])")
                    .arg(QString::fromLatin1(BodyText::CharTable::instance().cjkRegexRanges()));
    return word;
}

QString termPattern(const SearchTerm &term)
{
    const QString separator = QStringLiteral("[^\\p{L}\\p{N}_]");
    QString pattern;
    bool previousWord = false;
    for (std::size_t i = 0; i < term.elements.size(); ++i) {
        std::string_view element = term.elements[i];
        const bool piece = i > 0 && element.substr(0, WordPieceMark.size()) == WordPieceMark;
        if (piece)
            element.remove_prefix(WordPieceMark.size());
        const bool word = !BodyTokens::IsCjkElement(element);
        if (i == 0 && word)
            pattern += QStringLiteral("(?<!%1)").arg(wordCharacter());
        // Two words or two runs need a separator between them to be two; a word and a run
        // may touch.
        if (i > 0 && !piece)
            pattern += separator + (word == previousWord ? QLatin1Char('+') : QLatin1Char('*'));
        pattern += escaped(Gbk::toQString(std::string(element)));
        previousWord = word;
    }
    if (previousWord)
        pattern += QStringLiteral("(?!%1)").arg(wordCharacter());
    return pattern;
}

} // namespace

QStringList HitPatterns(const SearchQuery &query)
{
    QStringList patterns;
    for (const SearchTerm &term : query.terms) {
        if (!term.excluded && !term.elements.empty())
            patterns << termPattern(term);
    }
    return patterns;
}

QString HitMarkScript(const QStringList &patterns)
{
    const QString data = QString::fromUtf8(
            QJsonDocument(QJsonArray::fromStringList(patterns)).toJson(QJsonDocument::Compact));
    // Text nodes are read in document order into one string; nodes of one block join
    // without a gap (a hit may cross <b>...</b>), blocks with a line break. Marks are set
    // from the last hit backwards, so splitting a node never moves an earlier hit.
    return QStringLiteral(
                   "(function(patterns) {"
                   "  const attr = '%1';"
                   "  for (const m of Array.from(document.querySelectorAll('[' + attr + ']'))) {"
                   "    const parent = m.parentNode;"
                   "    while (m.firstChild) parent.insertBefore(m.firstChild, m);"
                   "    parent.removeChild(m); parent.normalize();"
                   "  }"
                   "  const root = document.body || document.documentElement;"
                   "  if (!root) return 0;"
                   "  const skipped = new Set(['SCRIPT', 'STYLE', 'NOSCRIPT', 'TEXTAREA', "
                   "'TITLE', 'HEAD', 'TEMPLATE']);"
                   "  const blocks = new Map();"
                   "  const blockOf = function(node) {"
                   "    for (let e = node.parentElement; e; e = e.parentElement) {"
                   "      if (!blocks.has(e)) blocks.set(e, getComputedStyle(e).display !== "
                   "'inline');"
                   "      if (blocks.get(e)) return e;"
                   "    }"
                   "    return null;"
                   "  };"
                   "  const walker = document.createTreeWalker(root, NodeFilter.SHOW_TEXT, {"
                   "    acceptNode: function(node) {"
                   "      for (let e = node.parentElement; e; e = e.parentElement)"
                   "        if (skipped.has(e.tagName.toUpperCase())) return "
                   "NodeFilter.FILTER_REJECT;"
                   "      return NodeFilter.FILTER_ACCEPT;"
                   "    }});"
                   "  const nodes = [], starts = [];"
                   "  let text = '', lastBlock;"
                   "  for (let n = walker.nextNode(); n; n = walker.nextNode()) {"
                   "    const block = blockOf(n);"
                   "    if (nodes.length && block !== lastBlock) text += '\\n';"
                   "    lastBlock = block; starts.push(text.length); nodes.push(n);"
                   "    text += n.data;"
                   "  }"
                   "  const hits = [];"
                   "  for (const source of patterns) {"
                   "    let re;"
                   "    try { re = new RegExp(source, 'giu'); } catch (e) { continue; }"
                   "    for (let m = re.exec(text); m; m = re.exec(text)) {"
                   "      if (!m[0].length) { re.lastIndex++; continue; }"
                   "      hits.push([m.index, m.index + m[0].length]);"
                   "    }"
                   "  }"
                   "  hits.sort(function(a, b) { return a[0] - b[0] || b[1] - a[1]; });"
                   "  const kept = [];"
                   "  let end = -1;"
                   "  for (const h of hits) if (h[0] >= end) { kept.push(h); end = h[1]; }"
                   "  const ns = document.documentElement.namespaceURI || "
                   "'http://www.w3.org/1999/xhtml';"
                   "  let first = null, last = nodes.length - 1;"
                   "  for (let k = kept.length - 1; k >= 0; --k) {"
                   "    const s = kept[k][0], e = kept[k][1];"
                   "    while (last > 0 && starts[last] >= e) --last;"
                   "    for (let i = last; i >= 0 && starts[i] + nodes[i].data.length > s; --i) {"
                   "      const from = Math.max(s, starts[i]) - starts[i];"
                   "      const to = Math.min(e, starts[i] + nodes[i].data.length) - starts[i];"
                   "      if (to <= from) continue;"
                   "      let piece = nodes[i];"
                   "      if (to < piece.data.length) piece.splitText(to);"
                   "      if (from > 0) piece = piece.splitText(from);"
                   "      const mark = document.createElementNS(ns, 'mark');"
                   "      mark.setAttribute(attr, '');"
                   "      mark.setAttribute('style', 'background:#ffd54a;color:#000;"
                   "border-radius:2px');"
                   "      piece.parentNode.insertBefore(mark, piece);"
                   "      mark.appendChild(piece);"
                   "      first = mark;"
                   "    }"
                   "  }"
                   "  if (first) first.scrollIntoView({block: 'center'});"
                   "  return kept.length;"
                   "})(%2)")
            .arg(QString::fromLatin1(HitMarkAttribute), data);
}

QString UnmarkedPageHtmlExpression()
{
    return QStringLiteral("(function() {"
                          "  const copy = document.documentElement.cloneNode(true);"
                          "  for (const m of Array.from(copy.querySelectorAll('[%1]'))) {"
                          "    const parent = m.parentNode;"
                          "    while (m.firstChild) parent.insertBefore(m.firstChild, m);"
                          "    parent.removeChild(m); parent.normalize();"
                          "  }"
                          "  return copy.outerHTML;"
                          "})()")
            .arg(QString::fromLatin1(HitMarkAttribute));
}
