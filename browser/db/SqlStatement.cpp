#include "SqlStatement.h"

#include <vector>

namespace {

enum class TokenKind { Word, Open, Close, Semicolon, Other };

struct Token
{
    TokenKind kind;
    qsizetype begin;
    qsizetype end;
};

bool isWordStart(QChar c)
{
    return c.isLetter() || c == u'_';
}

bool isWordPart(QChar c)
{
    return c.isLetterOrNumber() || c == u'_' || c == u'$';
}

// Index after a quoted run that starts at `pos` with `close` as its closing character;
// a doubled closing character stands for itself. An unterminated run ends the text.
qsizetype skipQuoted(const QString &s, qsizetype pos, QChar close)
{
    const qsizetype n = s.size();
    ++pos;
    while (pos < n) {
        if (s[pos] == close) {
            if (pos + 1 < n && s[pos + 1] == close) {
                pos += 2;
                continue;
            }
            return pos + 1;
        }
        ++pos;
    }
    return n;
}

// PostgreSQL's $tag$ ... $tag$; returns pos unchanged when no dollar quote starts here.
qsizetype skipDollarQuoted(const QString &s, qsizetype pos)
{
    qsizetype tagEnd = pos + 1;
    while (tagEnd < s.size() && (s[tagEnd].isLetterOrNumber() || s[tagEnd] == u'_'))
        ++tagEnd;
    if (tagEnd >= s.size() || s[tagEnd] != u'$' || (tagEnd > pos + 1 && s[pos + 1].isDigit()))
        return pos;
    const QString tag = s.mid(pos, tagEnd - pos + 1);
    const qsizetype close = s.indexOf(tag, tagEnd + 1);
    return close < 0 ? s.size() : close + tag.size();
}

std::vector<Token> tokenize(const QString &s)
{
    std::vector<Token> tokens;
    const qsizetype n = s.size();
    qsizetype pos = 0;
    while (pos < n) {
        const QChar c = s[pos];
        const qsizetype begin = pos;
        if (c.isSpace()) {
            ++pos;
            continue;
        }
        if (c == u'-' && pos + 1 < n && s[pos + 1] == u'-') {
            const qsizetype eol = s.indexOf(u'\n', pos);
            pos = eol < 0 ? n : eol + 1;
            continue;
        }
        if (c == u'/' && pos + 1 < n && s[pos + 1] == u'*') {
            const qsizetype close = s.indexOf(QStringLiteral("*/"), pos + 2);
            pos = close < 0 ? n : close + 2;
            continue;
        }
        TokenKind kind = TokenKind::Other;
        if (c == u'\'' || c == u'"' || c == u'`') {
            pos = skipQuoted(s, pos, c);
        } else if (c == u'[') {
            pos = skipQuoted(s, pos, u']');
        } else if (c == u'$' && skipDollarQuoted(s, pos) != pos) {
            pos = skipDollarQuoted(s, pos);
        } else if (isWordStart(c)) {
            kind = TokenKind::Word;
            while (pos < n && isWordPart(s[pos]))
                ++pos;
        } else {
            kind = c == u'('    ? TokenKind::Open
                    : c == u')' ? TokenKind::Close
                    : c == u';' ? TokenKind::Semicolon
                                : TokenKind::Other;
            ++pos;
        }
        tokens.push_back(Token {kind, begin, pos});
    }
    return tokens;
}

bool isWord(const QString &s, const Token &token, const char *word)
{
    return token.kind == TokenKind::Word
            && QStringView(s)
                       .mid(token.begin, token.end - token.begin)
                       .compare(QLatin1StringView(word), Qt::CaseInsensitive)
            == 0;
}

bool startsQuery(const QString &s, const Token &token)
{
    return isWord(s, token, "select") || isWord(s, token, "values");
}

bool startsStatement(const QString &s, const Token &token)
{
    for (const char *word :
         {"select", "values", "insert", "update", "delete", "replace", "merge"}) {
        if (isWord(s, token, word))
            return true;
    }
    return false;
}

} // namespace

SqlStatementShape AnalyzeSqlStatement(const QString &sql)
{
    const std::vector<Token> tokens = tokenize(sql);
    SqlStatementShape shape;

    qsizetype end = 0;
    for (const Token &token : tokens) {
        if (token.kind != TokenKind::Semicolon)
            end = token.end;
    }
    shape.text = sql.left(end);

    std::size_t first = 0;
    int depth = 0;
    while (first < tokens.size() && tokens[first].kind == TokenKind::Open) {
        ++first;
        ++depth;
    }
    if (first == tokens.size())
        return shape;
    const Token &lead = tokens[first];
    if (startsQuery(sql, lead) || isWord(sql, lead, "table")) {
        shape.isQuery = true;
    } else if (isWord(sql, lead, "with")) {
        // The statement proper is the first statement keyword outside the WITH's own
        // parentheses: WITH t AS (SELECT ...) DELETE ... is not a query.
        const int level = depth;
        for (std::size_t i = first + 1; i < tokens.size(); ++i) {
            if (tokens[i].kind == TokenKind::Open)
                ++depth;
            else if (tokens[i].kind == TokenKind::Close)
                --depth;
            else if (depth == level && startsStatement(sql, tokens[i])) {
                shape.isQuery = startsQuery(sql, tokens[i]);
                break;
            }
        }
    }
    return shape;
}

namespace {

bool isSymbol(const QString &s, const Token &token, QChar c)
{
    return token.kind == TokenKind::Other && token.end == token.begin + 1 && s[token.begin] == c;
}

// A name or a quoted name.
bool isName(const QString &s, const Token &token)
{
    if (token.kind == TokenKind::Word)
        return true;
    const QChar c = s[token.begin];
    return token.kind == TokenKind::Other && (c == u'"' || c == u'`' || c == u'[');
}

} // namespace

TableQueryShape AnalyzeTableQuery(const QString &query)
{
    TableQueryShape shape;
    const std::vector<Token> tokens = tokenize(query);
    std::size_t at = 0;
    auto next = [&]() -> const Token * { return at < tokens.size() ? &tokens[at++] : nullptr; };
    const Token *t = next();
    if (!t || !isWord(query, *t, "select"))
        return shape;
    if (!(t = next()) || !isSymbol(query, *t, u'*'))
        return shape;
    if (!(t = next()) || !isWord(query, *t, "from"))
        return shape;
    const Token *first = next();
    if (!first || !isName(query, *first) || isWord(query, *first, "where"))
        return shape;
    const Token *last = first;
    if (at + 1 < tokens.size() && isSymbol(query, tokens[at], u'.')
        && isName(query, tokens[at + 1])) {
        last = &tokens[at + 1];
        at += 2;
    }
    shape.table = query.mid(first->begin, last->end - first->begin);
    if (at == tokens.size()) {
        shape.simple = true;
        return shape;
    }
    if (!isWord(query, tokens[at], "where") || at + 1 == tokens.size())
        return shape;
    int depth = 0;
    for (std::size_t i = at + 1; i < tokens.size(); ++i) {
        const Token &token = tokens[i];
        if (token.kind == TokenKind::Open)
            ++depth;
        else if (token.kind == TokenKind::Close && --depth < 0)
            return shape;
        else if (token.kind == TokenKind::Semicolon)
            return shape;
        else if (depth == 0) {
            for (const char *word : {"order", "group", "having", "limit", "offset", "union",
                                     "intersect", "except", "window", "fetch", "for"}) {
                if (isWord(query, token, word))
                    return shape;
            }
        }
    }
    if (depth != 0)
        return shape;
    shape.condition = query.mid(tokens[at + 1].begin);
    shape.simple = true;
    return shape;
}
