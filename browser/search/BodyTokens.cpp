#include "BodyTokens.h"

#include "TextClasses.h"

#include <algorithm>

namespace BodyTokens {

std::vector<std::string_view> Elements(std::string_view text)
{
    std::vector<std::string_view> out;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t end = text.find(' ', at);
        const std::size_t stop = end == std::string_view::npos ? text.size() : end;
        if (stop > at)
            out.push_back(text.substr(at, stop - at));
        at = stop + 1;
    }
    return out;
}

bool IsCjkElement(std::string_view element)
{
    if (element.size() < 2 || static_cast<unsigned char>(element[0]) < 0x80)
        return false;
    const auto code = std::uint16_t(static_cast<unsigned char>(element[0]) << 8
                                    | static_cast<unsigned char>(element[1]));
    return BodyText::CharTable::instance().classOfGbk(code) == BodyText::CharClass::Cjk;
}

namespace {

void addTerm(std::string &out, std::string_view term)
{
    if (!out.empty())
        out += ' ';
    out.append(term);
}

// Calls f with every term of an element, in order.
template<class F>
void forEachTerm(std::string_view element, F &&f)
{
    if (!IsCjkElement(element)) {
        f(element);
        return;
    }
    const std::size_t n = CjkLength(element);
    for (std::size_t i = 0; i + 1 < n; ++i)
        f(element.substr(2 * i, 4));
    f(element.substr(2 * (n - 1), 2));
}

} // namespace

void MakeIndexTokens(std::string_view text, IndexTokens &tokens)
{
    tokens.positional.clear();
    tokens.characters.clear();
    // The distinct characters by a table of all double-byte codes, cleared after use:
    // a post holds thousands of characters but only some hundreds of different ones.
    thread_local std::vector<bool> seen(65536, false);
    std::vector<std::uint16_t> chars;
    for (std::string_view element : Elements(text)) {
        forEachTerm(element, [&](std::string_view term) { addTerm(tokens.positional, term); });
        if (IsCjkElement(element)) {
            for (std::size_t i = 0; i + 1 < element.size(); i += 2) {
                const auto c = std::uint16_t(static_cast<unsigned char>(element[i]) << 8
                                             | static_cast<unsigned char>(element[i + 1]));
                if (!seen[c]) {
                    seen[c] = true;
                    chars.push_back(c);
                }
            }
        }
    }
    for (std::uint16_t c : chars)
        seen[c] = false;
    std::sort(chars.begin(), chars.end());
    tokens.characters.reserve(chars.size() * 3);
    for (std::uint16_t c : chars) {
        if (!tokens.characters.empty())
            tokens.characters += ' ';
        tokens.characters += char(c >> 8);
        tokens.characters += char(c & 0xFF);
    }
}

std::vector<std::string> TermSet(std::string_view text)
{
    std::vector<std::string> terms;
    for (std::string_view element : Elements(text)) {
        forEachTerm(element, [&](std::string_view term) { terms.emplace_back(term); });
        if (IsCjkElement(element)) {
            for (std::size_t i = 0; i + 1 < element.size(); i += 2)
                terms.emplace_back(element.substr(i, 2));
        }
    }
    std::sort(terms.begin(), terms.end());
    terms.erase(std::unique(terms.begin(), terms.end()), terms.end());
    return terms;
}

} // namespace BodyTokens
