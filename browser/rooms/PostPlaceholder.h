#pragma once

#include <cstdint>
#include <string>

// Kestrel's resolver. commonKind knows "|APP_PATH|" (without final separator),
// "|NEWLINE|", "|ENTER|" and "|TAB|"; notFoundKind adds "|NOT_FOUND_PATH|" with a
// const std::string* context; postKind adds the post placeholders with a
// PostPathContext* context. Unknown placeholders are reported and dropped.
int ResolvePostPlaceholder(void *context, std::int32_t kind, const std::string &placeholder,
                           std::string &value);

// The archive folder of a post path template: the template expanded up to its first
// post placeholder, cut at the separator right before it ("|APP_PATH|\htm\|ROOMID|\|ID|.htm"
// gives the program's "htm" folder). Empty when no folder is left, and when the
// placeholder sits inside a name ("Lumora_|ROOMID|"): no folder is then surely the archive's.
std::string PostArchiveFolder(const std::string &pathTemplate);
