#include "ConnectionString.h"

#include "DbTexts.h"

#include "common/Codec.h"
#include "common/FileSystem.h"
#include "common/TextFormat.h"

#include <algorithm>

namespace {

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view trim(std::string_view text)
{
    while (!text.empty() && isSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isSpace(text.back()))
        text.remove_suffix(1);
    return text;
}

std::string describe(const char *format, std::string_view key)
{
    return FormatText(Gbk::literal(format).c_str(), std::string(key).c_str());
}

} // namespace

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
               return lower(x) == lower(y);
           });
}

bool ParseConnectionString(std::string_view text, std::vector<ConnectionStringItem> &items,
                           std::string &error)
{
    items.clear();
    const std::size_t n = text.size();
    std::size_t pos = 0;
    while (pos < n) {
        while (pos < n && isSpace(text[pos]))
            ++pos;
        if (pos == n)
            break;
        if (text[pos] == ';') {
            ++pos;
            continue;
        }
        const std::size_t keyBegin = pos;
        while (pos < n && text[pos] != '=' && text[pos] != ';')
            ++pos;
        const std::string_view key = trim(text.substr(keyBegin, pos - keyBegin));
        if (pos == n || text[pos] == ';') {
            error = describe(DbText::MissingEquals, key);
            return false;
        }
        if (key.empty()) {
            error = Gbk::literal(DbText::MissingKey);
            return false;
        }
        ++pos; // "="
        while (pos < n && text[pos] != ';' && isSpace(text[pos]))
            ++pos;

        ConnectionStringItem item;
        item.key = std::string(key);
        item.valueBegin = pos;
        if (pos < n && (text[pos] == '"' || text[pos] == '\'')) {
            const char quote = text[pos++];
            bool closed = false;
            while (pos < n) {
                if (text[pos] != quote) {
                    item.value += text[pos++];
                } else if (pos + 1 < n && text[pos + 1] == quote) {
                    item.value += quote;
                    pos += 2;
                } else {
                    ++pos;
                    closed = true;
                    break;
                }
            }
            item.valueEnd = pos;
            items.push_back(item);
            if (!closed) {
                error = describe(DbText::UnterminatedQuote, key);
                return false;
            }
            while (pos < n && isSpace(text[pos]))
                ++pos;
            if (pos < n && text[pos] != ';') {
                error = describe(DbText::TextAfterQuote, key);
                return false;
            }
        } else {
            const std::size_t end = std::min(text.find(';', pos), n);
            const std::string_view value = trim(text.substr(pos, end - pos));
            item.value = std::string(value);
            item.valueEnd = pos + value.size();
            items.push_back(item);
            pos = end;
        }
    }
    return true;
}

const ConnectionStringItem *FindConnectionItem(const std::vector<ConnectionStringItem> &items,
                                               std::initializer_list<std::string_view> names)
{
    for (auto it = items.rbegin(); it != items.rend(); ++it) {
        for (std::string_view name : names) {
            if (EqualsIgnoringAsciiCase(it->key, name))
                return &*it;
        }
    }
    return nullptr;
}

std::string MaskConnectionPassword(std::string_view text)
{
    std::vector<ConnectionStringItem> items;
    std::string ignored;
    ParseConnectionString(text, items, ignored);
    std::string masked(text);
    // From the back, so that the earlier spans stay valid.
    for (auto it = items.rbegin(); it != items.rend(); ++it) {
        if (EqualsIgnoringAsciiCase(it->key, "Password") || EqualsIgnoringAsciiCase(it->key, "Pwd"))
            masked.replace(it->valueBegin, it->valueEnd - it->valueBegin, "***");
    }
    return masked;
}

std::string WithSlashesInDataSource(std::string_view text)
{
    std::vector<ConnectionStringItem> items;
    std::string ignored;
    ParseConnectionString(text, items, ignored);
    std::string shown(text);
    for (const ConnectionStringItem &item : items) {
        // Same length: the spans of the other items stay valid.
        if (EqualsIgnoringAsciiCase(item.key, "Data Source"))
            shown.replace(item.valueBegin, item.valueEnd - item.valueBegin,
                          FileSystem::normalize(
                                  shown.substr(item.valueBegin, item.valueEnd - item.valueBegin)));
    }
    return shown;
}

std::string QuoteConnectionValue(std::string_view value)
{
    const bool plain = !value.empty() && trim(value) == value
            && value.find_first_of(";\"'") == std::string_view::npos;
    if (plain)
        return std::string(value);
    std::string quoted = "\"";
    for (char c : value) {
        quoted += c;
        if (c == '"')
            quoted += '"';
    }
    quoted += '"';
    return quoted;
}
