#pragma once

// ADO-style connection strings: "key=value" items separated by ";". Keys are compared
// without regard to ASCII case; a value may be quoted with " or ' (the quote doubled
// stands for itself), otherwise it runs to the next ";" and is trimmed. All texts are
// GBK; the special characters are ASCII and never occur as a GBK trail byte.

#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

struct ConnectionStringItem
{
    std::string key; // trimmed, as written
    std::string value; // unquoted
    // Byte span of the value in the original text, quotes included; an unterminated
    // quoted value runs to the end of the text.
    std::size_t valueBegin = 0;
    std::size_t valueEnd = 0;
};

// Splits a connection string into its items. Returns false with a GBK description of
// the first fault; the items before the fault (and an unterminated one) are still given.
bool ParseConnectionString(std::string_view text, std::vector<ConnectionStringItem> &items,
                           std::string &error);

// The last item whose key equals one of the names (ASCII case ignored), or nullptr.
const ConnectionStringItem *FindConnectionItem(const std::vector<ConnectionStringItem> &items,
                                               std::initializer_list<std::string_view> names);

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b);

// The text with the value of every "Password" or "Pwd" item replaced by "***", for
// every place a connection string is shown or stored. Works on malformed texts too.
std::string MaskConnectionPassword(std::string_view text);

// The text with "/" for every "\" separator in the value of the "Data Source" item
// (the embedded database's file), for showing it; the other items stay as they are.
std::string WithSlashesInDataSource(std::string_view text);

// A value written so that it reads back unchanged: quoted when it needs to be.
std::string QuoteConnectionValue(std::string_view value);
