#include "VisibleText.h"

#include <QChar>

#include <algorithm>
#include <array>
#include <string_view>

namespace BodyText {

namespace {

constexpr std::uint16_t ContinuationMark = 0xA1A4; // "·" in GBK

bool isAsciiAlnum(char16_t c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

char lowerAscii(char16_t c)
{
    return char(c >= 'A' && c <= 'Z' ? c + 32 : c);
}

// Tags inside a line of text: the text on their two sides reads as one.
bool isInlineTag(std::string_view name)
{
    static constexpr std::array<std::string_view, 34> names = {
            "a",      "abbr", "acronym", "b",    "bdi",  "bdo",  "big",   "cite", "code",
            "data",   "del",  "dfn",     "em",   "font", "i",    "img",   "ins",  "kbd",
            "label",  "mark", "nobr",    "q",    "s",    "samp", "small", "span", "strike",
            "strong", "sub",  "sup",     "time", "tt",   "u",    "var"};
    return std::find(names.begin(), names.end(), name) != names.end();
}

char32_t namedEntity(std::string_view name)
{
    struct Named
    {
        std::string_view name;
        char32_t code;
    };
    static constexpr Named table[] = {
            {"amp", U'&'},      {"lt", U'<'},       {"gt", U'>'},      {"quot", U'"'},
            {"apos", U'\''},    {"nbsp", 0xA0},     {"copy", 0xA9},    {"reg", 0xAE},
            {"trade", 0x2122},  {"hellip", 0x2026}, {"mdash", 0x2014}, {"ndash", 0x2013},
            {"lsquo", 0x2018},  {"rsquo", 0x2019},  {"ldquo", 0x201C}, {"rdquo", 0x201D},
            {"middot", 0xB7},   {"bull", 0x2022},   {"times", 0xD7},   {"divide", 0xF7},
            {"deg", 0xB0},      {"plusmn", 0xB1},   {"laquo", 0xAB},   {"raquo", 0xBB},
            {"yen", 0xA5},      {"euro", 0x20AC},   {"pound", 0xA3},   {"cent", 0xA2},
            {"sect", 0xA7},     {"para", 0xB6},     {"ensp", 0x2002},  {"emsp", 0x2003},
            {"thinsp", 0x2009}, {"shy", 0xAD},      {"zwj", 0x200D},   {"zwnj", 0x200C},
            {"larr", 0x2190},   {"rarr", 0x2192},   {"uarr", 0x2191},  {"darr", 0x2193},
            {"alpha", 0x3B1},   {"beta", 0x3B2},    {"gamma", 0x3B3},  {"pi", 0x3C0}};
    for (const Named &n : table) {
        if (n.name == name)
            return n.code;
    }
    return 0;
}

char32_t numericEntity(std::string_view digits)
{
    const bool hex = !digits.empty() && (digits[0] == 'x' || digits[0] == 'X');
    if (hex)
        digits.remove_prefix(1);
    if (digits.empty() || digits.size() > 8)
        return 0;
    char32_t value = 0;
    for (char c : digits) {
        int d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (hex && c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (hex && c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else
            return 0;
        value = value * (hex ? 16 : 10) + char32_t(d);
    }
    if (value == 0 || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return 0xFFFD;
    return value;
}

} // namespace

// ---- NormalTextBuilder ----

NormalTextBuilder::NormalTextBuilder(std::size_t maxChars, std::size_t maxWordChars, bool keepMap)
    : maxChars_(maxChars)
    , maxWordChars_(maxWordChars)
    , keepMap_(keepMap)
{
}

void NormalTextBuilder::append(std::uint16_t gbk, std::uint32_t from, std::uint32_t to)
{
    if (gbk < 0x80) {
        text_ += char(gbk);
    } else {
        text_ += char(gbk >> 8);
        text_ += char(gbk & 0xFF);
    }
    ++chars_;
    if (keepMap_) {
        from_.push_back(from);
        to_.push_back(to);
    }
}

void NormalTextBuilder::closeElement()
{
    if (open_ == CharClass::Separator)
        return;
    const std::uint32_t at = keepMap_ && !to_.empty() ? to_.back() : 0;
    append(' ', at, at);
    open_ = CharClass::Separator;
}

void NormalTextBuilder::add(NormalChar c, std::uint32_t from, std::uint32_t to)
{
    if (full_)
        return;
    if (c.cls == CharClass::Separator) {
        closeElement();
        return;
    }
    bool continuation = false;
    if (open_ != CharClass::Separator && open_ != c.cls)
        closeElement();
    if (open_ == CharClass::Word && pieceChars_ == maxWordChars_) {
        closeElement();
        continuation = true;
    }
    if (open_ == CharClass::Separator) {
        if (text_.empty())
            append(' ', from, from);
        elementStart_ = text_.size();
        elementStartChars_ = chars_;
        open_ = c.cls;
        pieceChars_ = 0;
    }
    // Room for the character, a continuation mark and the closing blank.
    if (chars_ + (continuation ? 3 : 2) > maxChars_) {
        full_ = true;
        // A CJK run may end anywhere (a part of a run is a run); a word may not.
        if (open_ == CharClass::Cjk && chars_ > elementStartChars_) {
            closeElement();
            return;
        }
        text_.resize(elementStart_);
        chars_ = elementStartChars_;
        if (keepMap_) {
            from_.resize(chars_);
            to_.resize(chars_);
        }
        open_ = CharClass::Separator;
        return;
    }
    if (continuation)
        append(ContinuationMark, from, from);
    append(c.gbk, from, to);
    ++pieceChars_;
}

void NormalTextBuilder::finish()
{
    closeElement();
    if (text_.size() <= 1) {
        text_.clear();
        from_.clear();
        to_.clear();
        chars_ = 0;
    }
}

// ---- Normaliser ----

Normaliser::Normaliser(NormalTextBuilder &builder)
    : builder_(builder)
    , table_(CharTable::instance())
{
}

void Normaliser::put(char16_t c, std::uint32_t pos)
{
    if (pendingCount_ > 0 && pendingCount_ < std::size(pending_)) {
        const bool lowSurrogate = c >= 0xDC00 && c <= 0xDFFF;
        const char16_t last = pending_[pendingCount_ - 1];
        const bool afterHigh = last >= 0xD800 && last <= 0xDBFF;
        if ((lowSurrogate && afterHigh) || (!lowSurrogate && table_.isCombining(c))) {
            pending_[pendingCount_++] = c;
            pendingTo_ = pos + 1;
            return;
        }
    }
    flush();
    pending_[0] = c;
    pendingCount_ = 1;
    pendingFrom_ = pos;
    pendingTo_ = pos + 1;
}

void Normaliser::flush()
{
    if (pendingCount_ == 0)
        return;
    items_.clear();
    table_.normaliseSequence(pending_, pendingCount_, items_);
    pendingCount_ = 0;
    for (const NormalChar &item : items_)
        builder_.add(item, pendingFrom_, pendingTo_);
}

// ---- VisibleTextScanner ----

VisibleTextScanner::VisibleTextScanner(Normaliser &normaliser, bool keepDisplay)
    : normaliser_(normaliser)
    , keepDisplay_(keepDisplay)
{
}

void VisibleTextScanner::visible(char16_t c)
{
    if (!keepDisplay_) {
        normaliser_.put(c, 0);
        return;
    }
    if (QChar::isSpace(c) || c < 0x20) {
        if (!lastBlank_) {
            display_ += QLatin1Char(' ');
            lastBlank_ = true;
        }
        normaliser_.put(u' ', std::uint32_t(display_.size()));
        return;
    }
    normaliser_.put(c, std::uint32_t(display_.size()));
    display_ += QChar(c);
    lastBlank_ = false;
}

void VisibleTextScanner::visibleCode(char32_t c)
{
    if (c > 0xFFFF) {
        visible(char16_t(0xD800 + ((c - 0x10000) >> 10)));
        visible(char16_t(0xDC00 + ((c - 0x10000) & 0x3FF)));
    } else {
        visible(char16_t(c));
    }
}

void VisibleTextScanner::separate()
{
    visible(u' ');
}

void VisibleTextScanner::endTag()
{
    if (!closingTag_ && (buffer_ == "script" || buffer_ == "style")) {
        rawEnd_ = "</" + buffer_;
        rawMatched_ = 0;
        state_ = State::RawText;
        return;
    }
    state_ = State::Text;
    if (!isInlineTag(buffer_))
        separate();
}

void VisibleTextScanner::endEntity(bool terminated)
{
    state_ = State::Text;
    char32_t code = 0;
    if (!buffer_.empty() && buffer_[0] == '#')
        code = terminated ? numericEntity(std::string_view(buffer_).substr(1)) : 0;
    else if (terminated)
        code = namedEntity(buffer_);
    else if (buffer_ == "amp" || buffer_ == "lt" || buffer_ == "gt" || buffer_ == "quot"
             || buffer_ == "nbsp")
        code = namedEntity(buffer_); // written without ";" by old pages, read as browsers do
    if (code != 0) {
        if (code != 0xAD)
            visibleCode(code);
        return;
    }
    visible(u'&');
    for (char c : buffer_)
        visible(char16_t(static_cast<unsigned char>(c)));
    if (terminated)
        visible(u';');
}

void VisibleTextScanner::feedPlain(QStringView chunk)
{
    for (QChar c : chunk)
        visible(c.unicode());
}

void VisibleTextScanner::feed(QStringView chunk)
{
    for (qsizetype i = 0; i < chunk.size(); ++i) {
        const char16_t c = chunk[i].unicode();
        switch (state_) {
        case State::Text:
            if (inCdata_ && c == u']') {
                if (++brackets_ > 2) {
                    visible(u']');
                    brackets_ = 2;
                }
                break;
            }
            if (inCdata_ && c == u'>' && brackets_ == 2) {
                inCdata_ = false;
                brackets_ = 0;
                break;
            }
            for (; brackets_ > 0; --brackets_)
                visible(u']');
            if (c == u'<') {
                state_ = State::TagOpen;
            } else if (c == u'&') {
                state_ = State::Entity;
                buffer_.clear();
            } else {
                visible(c);
            }
            break;
        case State::Entity:
            if ((isAsciiAlnum(c) || (c == u'#' && buffer_.empty())) && buffer_.size() < 32) {
                buffer_ += char(c);
            } else if (c == u';') {
                endEntity(true);
            } else {
                endEntity(false);
                --i; // read again as text
            }
            break;
        case State::TagOpen:
            buffer_.clear();
            if (c == u'!') {
                state_ = State::Bang;
            } else if (c == u'?') {
                state_ = State::Declaration;
            } else if (c == u'/') {
                closingTag_ = true;
                state_ = State::TagName;
            } else if (isAsciiAlnum(c) && !(c >= '0' && c <= '9')) {
                closingTag_ = false;
                buffer_ += lowerAscii(c);
                state_ = State::TagName;
            } else {
                state_ = State::Text;
                visible(u'<');
                --i;
            }
            break;
        case State::TagName:
            if ((isAsciiAlnum(c) || c == u'-' || c == u':' || c == u'_') && buffer_.size() < 32)
                buffer_ += lowerAscii(c);
            else if (c == u'>')
                endTag();
            else
                state_ = State::TagBody;
            break;
        case State::TagBody:
            if (quote_ != 0) {
                if (c == quote_)
                    quote_ = 0;
            } else if (c == u'"' || c == u'\'') {
                quote_ = c;
            } else if (c == u'>') {
                endTag();
            }
            break;
        case State::Bang: {
            buffer_ += c < 0x80 ? char(c) : '\x01';
            const std::string_view b = buffer_;
            if (b == "--") {
                state_ = State::Comment;
                dashes_ = 0;
            } else if (b == "[CDATA[") {
                inCdata_ = true;
                state_ = State::Text;
            } else if (!std::string_view("--").starts_with(b)
                       && !std::string_view("[CDATA[").starts_with(b)) {
                state_ = c == u'>' ? State::Text : State::Declaration;
            }
            break;
        }
        case State::Comment:
            if (c == u'-')
                ++dashes_;
            else if (c == u'>' && dashes_ >= 2)
                state_ = State::Text;
            else
                dashes_ = 0;
            break;
        case State::Declaration:
            if (c == u'>')
                state_ = State::Text;
            break;
        case State::RawText:
            if (char16_t(lowerAscii(c)) == char16_t(rawEnd_[rawMatched_])) {
                if (++rawMatched_ == rawEnd_.size()) {
                    buffer_ = rawEnd_.substr(2);
                    closingTag_ = true;
                    state_ = State::TagBody;
                }
            } else {
                rawMatched_ = c == u'<' ? 1 : 0;
            }
            break;
        }
    }
}

void VisibleTextScanner::finish()
{
    if (state_ == State::Entity)
        endEntity(false);
    else if (state_ == State::TagOpen)
        visible(u'<');
    for (; brackets_ > 0; --brackets_)
        visible(u']');
    state_ = State::Text;
    normaliser_.flush();
}

} // namespace BodyText
