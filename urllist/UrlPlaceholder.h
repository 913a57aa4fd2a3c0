#pragma once

#include <cstdint>
#include <string>

// Garnet's resolver: the post ID travels in the kind argument. "|APP_PATH|" (with
// final separator), "|ENTER|", "|NEWLINE|", the ID placeholders; anything else is
// dropped silently.
int ResolveUrlPlaceholder(void *context, std::int32_t postId, const std::string &placeholder,
                          std::string &value);
