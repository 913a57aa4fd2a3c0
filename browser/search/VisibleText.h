#pragma once

// The inside of post text extraction: markup to visible characters, visible characters
// to the normalised text of words and CJK runs. Fed in chunks of any size, so a post
// of any length passes in bounded memory.

#include "TextClasses.h"

#include <QString>
#include <QStringView>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace BodyText {

// Builds the normalised text: " e1 e2 ... en " in GBK, each element a word or a run of
// CJK characters, words longer than MaxWordChars cut into pieces (each later piece
// starting with "·", which no word holds). Stops at maxChars characters: a CJK run is
// cut there, a word that would pass the bound is left out whole.
class NormalTextBuilder
{
public:
    NormalTextBuilder(std::size_t maxChars, std::size_t maxWordChars, bool keepMap);

    // One normalised character that came from the display characters [from, to).
    void add(NormalChar c, std::uint32_t from, std::uint32_t to);
    void finish();

    bool full() const { return full_; }
    std::string &text() { return text_; }
    // With keepMap: for every character of text(), the display characters it came from.
    const std::vector<std::uint32_t> &mapFrom() const { return from_; }
    const std::vector<std::uint32_t> &mapTo() const { return to_; }

private:
    void closeElement();
    void append(std::uint16_t gbk, std::uint32_t from, std::uint32_t to);

    std::size_t maxChars_;
    std::size_t maxWordChars_;
    bool keepMap_;
    std::string text_;
    std::size_t chars_ = 0;
    std::size_t elementStart_ = 0; // byte offset
    std::size_t elementStartChars_ = 0;
    std::size_t pieceChars_ = 0;
    CharClass open_ = CharClass::Separator; // kind of the open element, Separator: none
    bool full_ = false;
    std::vector<std::uint32_t> from_;
    std::vector<std::uint32_t> to_;
};

// Visible characters to normalised ones: a character is held back until the next one
// shows that no combining mark follows it, then normalised with its marks.
class Normaliser
{
public:
    explicit Normaliser(NormalTextBuilder &builder);
    // One UTF-16 unit of visible text at display position pos.
    void put(char16_t c, std::uint32_t pos);
    void flush();

private:
    NormalTextBuilder &builder_;
    const CharTable &table_;
    char16_t pending_[8];
    std::size_t pendingCount_ = 0;
    std::uint32_t pendingFrom_ = 0;
    std::uint32_t pendingTo_ = 0;
    std::vector<NormalChar> items_;
};

// HTML and XML as a reader sees them: the text between tags, entities decoded, without
// comments, declarations, processing instructions, scripts and styles. A tag that
// breaks the flow of text (any but the inline ones) separates what stands on its two
// sides; CDATA sections are read as markup (the posts keep HTML in them).
// With keepDisplay it also keeps the visible text itself, blanks folded, for snippets.
class VisibleTextScanner
{
public:
    VisibleTextScanner(Normaliser &normaliser, bool keepDisplay);
    void feed(QStringView chunk);
    // Plain text (binary posts): no markup.
    void feedPlain(QStringView chunk);
    void finish();
    const QString &display() const { return display_; }

private:
    enum class State {
        Text,
        Entity,
        TagOpen,
        TagName,
        TagBody,
        Bang,
        Comment,
        Declaration,
        RawText
    };
    void visible(char16_t c);
    void visibleCode(char32_t c);
    void separate();
    void endTag();
    void endEntity(bool terminated);

    Normaliser &normaliser_;
    bool keepDisplay_;
    QString display_;
    std::uint32_t position_ = 0; // display position of the next visible character
    bool lastBlank_ = true;
    State state_ = State::Text;
    std::string buffer_; // entity, tag name, "<!" lookahead (ASCII, lower case)
    bool closingTag_ = false;
    char16_t quote_ = 0;
    int dashes_ = 0;
    int brackets_ = 0;
    bool inCdata_ = false;
    std::string rawEnd_; // "</script" while in a script or style
    std::size_t rawMatched_ = 0;
};

} // namespace BodyText
