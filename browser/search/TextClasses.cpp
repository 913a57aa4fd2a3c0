#include "TextClasses.h"

#include "common/Codec.h"

#include <QChar>
#include <QList>
#include <QString>

namespace BodyText {

namespace {

bool isCjkBlock(char32_t c)
{
    return (c >= 0x3000 && c <= 0x30FF) || (c >= 0x3100 && c <= 0x312F)
            || (c >= 0x31A0 && c <= 0x31FF) || (c >= 0x3400 && c <= 0x4DBF)
            || (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xAC00 && c <= 0xD7AF)
            || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0x20000 && c <= 0x3FFFF);
}

} // namespace

CharClass ClassOf(char32_t c)
{
    if (c == U'_')
        return CharClass::Word;
    if (!QChar::isLetterOrNumber(c))
        return CharClass::Separator;
    switch (QChar::script(c)) {
    case QChar::Script_Han:
    case QChar::Script_Hiragana:
    case QChar::Script_Katakana:
    case QChar::Script_Hangul:
    case QChar::Script_Bopomofo:
        return CharClass::Cjk;
    default:
        // The prolonged sound mark and iteration marks are common to both kana.
        return isCjkBlock(c) ? CharClass::Cjk : CharClass::Word;
    }
}

const CharTable &CharTable::instance()
{
    static const CharTable table;
    return table;
}

CharTable::CharTable()
    : entries_(65536)
    , gbkClass_(65536, CharClass::Separator)
    , toGbk_(65536, 0)
{
    for (char16_t c = 1; c < 0x80; ++c)
        toGbk_[c] = c;
    // Every double-byte code of the code page, decoded once: the first code of a
    // character wins (the code page has a few duplicates).
    for (unsigned lead = 0x81; lead <= 0xFE; ++lead) {
        for (unsigned trail = 0x40; trail <= 0xFE; ++trail) {
            if (trail == 0x7F)
                continue;
            const char bytes[2] = {char(lead), char(trail)};
            const QString ch = Gbk::toQString(std::string_view(bytes, 2));
            if (ch.size() != 1 || ch.at(0) == QChar::ReplacementCharacter)
                continue;
            const char16_t u = ch.at(0).unicode();
            if (toGbk_[u] == 0)
                toGbk_[u] = std::uint16_t(lead << 8 | trail);
        }
    }
    for (std::uint32_t c = 0; c < 65536; ++c) {
        const std::uint16_t g = toGbk_[c];
        if (g != 0)
            gbkClass_[g] = ClassOf(c);
    }
    for (std::uint32_t c = 0; c < 65536; ++c) {
        Entry &e = entries_[c];
        if (c >= 0xD800 && c <= 0xDFFF)
            continue; // surrogates: handled as pairs
        if (QChar::combiningClass(c) != 0 || (c >= 0x1160 && c <= 0x11FF))
            e.flags |= Combining;
        if (c < 0x80) {
            e.gbk = std::uint16_t(c >= 'A' && c <= 'Z' ? c + 32 : c);
            e.cls = ClassOf(e.gbk);
            if (e.cls == CharClass::Separator)
                e.gbk = 0;
            continue;
        }
        const char16_t unit = char16_t(c);
        const QString normal =
                QString(QChar(unit)).normalized(QString::NormalizationForm_KC).toLower();
        std::vector<NormalChar> items;
        for (char32_t d : normal.toUcs4())
            items.push_back(mapped(d));
        if (items.size() == 1) {
            e.gbk = items[0].gbk;
            e.cls = items[0].cls;
        } else {
            e.flags |= Expands;
            e.expansion = std::uint32_t(expansions_.size());
            expansions_.push_back(std::move(items));
        }
    }
    // The ranges only have to be right for what normalised text holds: GBK characters
    // of a word or a CJK run, and blanks. Characters that never stand there may fall
    // inside a range, which keeps the ranges few (a database's regular expression
    // slows down with every range).
    auto holds = [&](std::uint32_t c) { return c >= 0x80 && toGbk_[c] != 0; };
    std::uint32_t lastCjk = 0;
    bool open = false;
    for (std::uint32_t c = 0x80; c < 65536; ++c) {
        if (c >= 0xD800 && c <= 0xDFFF)
            continue;
        const CharClass cls = ClassOf(c);
        if (holds(c) && cls == CharClass::Word) {
            if (open)
                cjkRanges_.push_back(char16_t(lastCjk));
            open = false;
        } else if (holds(c) && cls == CharClass::Cjk) {
            if (!open)
                cjkRanges_.push_back(char16_t(c));
            open = true;
            lastCjk = c;
        }
    }
    if (open)
        cjkRanges_.push_back(char16_t(lastCjk));
}

NormalChar CharTable::mapped(char32_t c) const
{
    NormalChar n;
    if (c >= 0x10000)
        return n; // GBK holds nothing outside the BMP
    const std::uint16_t g = toGbk_[c];
    const CharClass cls = g != 0 ? ClassOf(c) : CharClass::Separator;
    if (cls != CharClass::Separator) {
        n.gbk = g;
        n.cls = cls;
    }
    return n;
}

void CharTable::normalise(char16_t c, std::vector<NormalChar> &out) const
{
    const Entry &e = entries_[c];
    if (e.flags & Expands) {
        const std::vector<NormalChar> &items = expansions_[e.expansion];
        out.insert(out.end(), items.begin(), items.end());
    } else {
        out.push_back({e.gbk, e.cls});
    }
}

void CharTable::normaliseSequence(const char16_t *chars, std::size_t count,
                                  std::vector<NormalChar> &out) const
{
    if (count == 1 && !(chars[0] >= 0xD800 && chars[0] <= 0xDFFF)) {
        normalise(chars[0], out);
        return;
    }
    const QString normal = QString::fromUtf16(chars, qsizetype(count))
                                   .normalized(QString::NormalizationForm_KC)
                                   .toLower();
    for (char32_t d : normal.toUcs4())
        out.push_back(mapped(d));
}

std::string CharTable::cjkRegexRanges() const
{
    static const char hex[] = "0123456789abcdef";
    auto escape = [](char16_t c) {
        std::string s = "\\u";
        for (int shift = 12; shift >= 0; shift -= 4)
            s += hex[(c >> shift) & 0xF];
        return s;
    };
    std::string out;
    for (std::size_t i = 0; i + 1 < cjkRanges_.size(); i += 2) {
        out += escape(cjkRanges_[i]);
        if (cjkRanges_[i + 1] != cjkRanges_[i])
            out += "-" + escape(cjkRanges_[i + 1]);
    }
    return out;
}

} // namespace BodyText
