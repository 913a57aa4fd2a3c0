#pragma once

// What the body search makes of one Unicode character: its compatibility form (NFKC),
// lower-cased, as GBK, and whether it belongs to a word, to a run of CJK characters or
// separates. Built once per process from Qt's Unicode tables and the GBK code page; the
// tokenizer, the query parser and the SQL of the PostgreSQL index all draw on it, so
// their idea of a character is one.
//
// Only characters that GBK can hold are kept: the archive's texts and queries are GBK,
// so a character GBK cannot hold can never be asked for and is a separator.

#include <cstdint>
#include <string>
#include <vector>

namespace BodyText {

enum class CharClass : std::uint8_t { Separator, Word, Cjk };

// One character of normalised text: its GBK code (one byte below 0x80, else lead << 8 |
// trail) and class. gbk == 0 for a separator.
struct NormalChar
{
    std::uint16_t gbk = 0;
    CharClass cls = CharClass::Separator;
};

class CharTable
{
public:
    static const CharTable &instance();

    // The normalised form of a BMP character that stands alone (no combining mark
    // follows): usually one NormalChar, several for a compatibility expansion
    // ("ﬁ" -> "fi", "①" -> "1"), none for a character that vanishes.
    void normalise(char16_t c, std::vector<NormalChar> &out) const;
    // The same for a character given as text (a base with its combining marks, a
    // surrogate pair): normalised as a whole.
    void normaliseSequence(const char16_t *chars, std::size_t count,
                           std::vector<NormalChar> &out) const;

    // A combining mark (or a Hangul vowel or final jamo) joins the character before it
    // under NFKC.
    bool isCombining(char16_t c) const { return (entries_[c].flags & Combining) != 0; }

    // The class of a character of the normalised GBK text, by its GBK code.
    CharClass classOfGbk(std::uint16_t gbk) const { return gbkClass_[gbk]; }

private:
    CharTable();

    enum Flag : std::uint8_t { Combining = 1, Expands = 2 };
    struct Entry
    {
        std::uint16_t gbk = 0; // normalised single character, 0 when separator
        CharClass cls = CharClass::Separator;
        std::uint8_t flags = 0;
        std::uint32_t expansion = 0; // index into expansions_ when Expands
    };

    NormalChar mapped(char32_t c) const;

    std::vector<Entry> entries_; // 65536
    std::vector<std::vector<NormalChar>> expansions_;
    std::vector<CharClass> gbkClass_; // 65536, by GBK code
    std::vector<std::uint16_t> toGbk_; // 65536, BMP code point -> GBK code, 0 none
};

// The class of a Unicode character before any mapping (its own letter-ness and script).
CharClass ClassOf(char32_t c);

} // namespace BodyText
