#include "Codec.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <array>
#include <cstdint>
#include <cstring>
#include <memory>

namespace Gbk {

namespace {

// ICU converters are costly to open; each thread keeps its own stateless pair.
QStringDecoder &decoder()
{
    thread_local QStringDecoder d("GBK", QStringConverter::Flag::Stateless);
    return d;
}

QStringEncoder &encoder()
{
    thread_local QStringEncoder e("GBK", QStringConverter::Flag::Stateless);
    return e;
}

bool isAscii(std::string_view text)
{
    for (unsigned char c : text) {
        if (c >= 0x80)
            return false;
    }
    return true;
}

// Lower case of every double-byte code (lead << 8 | trail), or 0 when it has none.
class LowerTable
{
public:
    LowerTable()
        : table_(std::make_unique<std::array<std::uint16_t, 65536>>())
    {
        table_->fill(0);
        for (unsigned lead = 0x81; lead <= 0xFE; ++lead) {
            for (unsigned trail = 0x40; trail <= 0xFE; ++trail) {
                const char bytes[2] = {char(lead), char(trail)};
                const QString ch = decoder().decode(QByteArrayView(bytes, 2));
                if (ch.size() != 1 || ch.at(0) == QChar::ReplacementCharacter)
                    continue;
                const QString lower = ch.toLower();
                if (lower == ch)
                    continue;
                const QByteArray encoded = encoder().encode(lower);
                if (encoded.size() == 2 && isLeadByte(encoded.at(0))) {
                    (*table_)[lead << 8 | trail] = std::uint16_t(std::uint8_t(encoded.at(0)) << 8
                                                                 | std::uint8_t(encoded.at(1)));
                    leadHasLower_[lead] = true;
                }
            }
        }
    }
    // Most lead bytes (all of the Chinese characters) have no lower case at all, which
    // spares the look-up in the large table.
    bool leadHasLower(unsigned lead) const { return leadHasLower_[lead]; }
    std::uint16_t lower(unsigned lead, unsigned trail) const
    {
        return (*table_)[lead << 8 | trail];
    }

private:
    std::unique_ptr<std::array<std::uint16_t, 65536>> table_;
    std::array<bool, 256> leadHasLower_ {};
};

const LowerTable &lowerTable()
{
    static const LowerTable table;
    return table;
}

} // namespace

QString toQString(std::string_view gbk)
{
    if (isAscii(gbk))
        return QString::fromLatin1(gbk.data(), qsizetype(gbk.size()));
    return decoder().decode(QByteArrayView(gbk.data(), qsizetype(gbk.size())));
}

std::string fromQString(const QString &text)
{
    const QByteArray bytes = encoder().encode(text);
    return std::string(bytes.constData(), std::size_t(bytes.size()));
}

std::string toUtf8(std::string_view gbk)
{
    if (isAscii(gbk))
        return std::string(gbk);
    const QByteArray utf8 = toQString(gbk).toUtf8();
    return std::string(utf8.constData(), std::size_t(utf8.size()));
}

std::string fromUtf8(std::string_view utf8)
{
    if (isAscii(utf8))
        return std::string(utf8);
    return fromQString(QString::fromUtf8(utf8.data(), qsizetype(utf8.size())));
}

std::string_view prefixWithinBytes(std::string_view text, std::size_t maxBytes)
{
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t len = charLength(text, pos);
        if (pos + len > maxBytes)
            break;
        pos += len;
    }
    return text.substr(0, pos);
}

void dropLastChar(std::string &text)
{
    std::size_t pos = 0;
    std::size_t last = 0;
    while (pos < text.size()) {
        last = pos;
        pos += charLength(text, pos);
    }
    text.resize(last);
}

void toLowerInPlace(std::string &gbk)
{
    const LowerTable &table = lowerTable();
    const std::size_t size = gbk.size();
    char *const text = gbk.data();
    constexpr std::uint64_t High = 0x8080808080808080ull;
    std::size_t pos = 0;
    while (pos < size) {
        const auto c = static_cast<unsigned char>(text[pos]);
        if (c < 0x80) {
            // Eight ASCII bytes at a time where they come: the markup of a page.
            std::uint64_t word;
            if (pos + 8 <= size && (std::memcpy(&word, text + pos, 8), !(word & High))) {
                // The high bit of each byte that is at least 'A' and not past 'Z'.
                const std::uint64_t upper =
                        (word + 0x3f3f3f3f3f3f3f3full) & ~(word + 0x2525252525252525ull) & High;
                if (upper) {
                    word |= upper >> 2;
                    std::memcpy(text + pos, &word, 8);
                }
                pos += 8;
                continue;
            }
            if (c >= 'A' && c <= 'Z')
                text[pos] = char(c - 'A' + 'a');
            ++pos;
        } else if (charLength(gbk, pos) == 2) {
            if (table.leadHasLower(c)) {
                const auto trail = static_cast<unsigned char>(text[pos + 1]);
                if (const std::uint16_t lower = table.lower(c, trail)) {
                    text[pos] = char(lower >> 8);
                    text[pos + 1] = char(lower & 0xFF);
                }
            }
            pos += 2;
        } else {
            ++pos;
        }
    }
}

std::string toLower(std::string_view gbk)
{
    std::string result(gbk);
    toLowerInPlace(result);
    return result;
}

bool isValidUtf8(std::string_view bytes)
{
    std::size_t i = 0;
    const std::size_t n = bytes.size();
    while (i < n) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        std::size_t extra;
        std::uint32_t cp;
        if (c < 0x80) {
            ++i;
            continue;
        } else if (c >= 0xC2 && c <= 0xDF) {
            extra = 1;
            cp = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            extra = 2;
            cp = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            extra = 3;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (i + extra >= n)
            return false;
        for (std::size_t k = 1; k <= extra; ++k) {
            const auto t = static_cast<unsigned char>(bytes[i + k]);
            if ((t & 0xC0) != 0x80)
                return false;
            cp = cp << 6 | (t & 0x3F);
        }
        // Overlong forms, surrogates and values above U+10FFFF are not UTF-8.
        if ((extra == 2 && cp < 0x800) || (extra == 3 && (cp < 0x10000 || cp > 0x10FFFF))
            || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += extra + 1;
    }
    return true;
}

} // namespace Gbk
