#pragma once

// Placeholder templates: names between bars ("|APP_PATH|") replaced by values that
// a program-specific resolver supplies. The scan is byte by byte, so a bar byte is a
// bar wherever it stands, also as the trail byte of a double-byte character.

#include <cstdint>
#include <string>

// The kinds that select Kestrel's placeholder sets; Sorrel always passes commonKind,
// Garnet passes the post ID instead.
constexpr std::int32_t commonKind = 1;
constexpr std::int32_t notFoundKind = 3;
constexpr std::int32_t postKind = 5;

// Statuses of ExpandTemplate besides the result codes 0, 31 and 87.
constexpr int UnclosedPlaceholder = 1;

// Resolver results: the value text is to be inserted, or the placeholder is unknown
// and dropped; anything else stops the expansion.
constexpr int PlaceholderResolved = 0;
constexpr int PlaceholderUnknown = 1;

using PlaceholderResolver = int (*)(void *context, std::int32_t kind,
                                    const std::string &placeholder, std::string &value);

// Returns 0, 1 (unclosed placeholder, dropped), 31 (resolver failure) or 87 (no
// template or no resolver; out untouched). For every other status out receives the
// text built so far.
int ExpandTemplate(const char *templateText, std::string &out, void *context, std::int32_t kind,
                   PlaceholderResolver resolver);

inline int ExpandTemplate(const std::string &templateText, std::string &out, void *context,
                          std::int32_t kind, PlaceholderResolver resolver)
{
    return ExpandTemplate(templateText.c_str(), out, context, kind, resolver);
}
