#pragma once

// The ID placeholders shared by the resolvers: any placeholder whose name starts
// with "ID" ("|ID|", "|ID4|", "|ID-3|", even "|IDENT|"), with a signed count after it.

#include <string>
#include <string_view>

bool IsIdPlaceholder(std::string_view placeholder);

// The signed number after "ID": leading white space, a sign, digits; 0 without digits.
long long IdPlaceholderCount(std::string_view placeholder);

// n = 0: the whole number; n > 0: its first n characters; n < 0: its last -n.
std::string IdPlaceholderValue(std::string_view number, long long count);
