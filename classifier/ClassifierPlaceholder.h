#pragma once

#include <cstdint>
#include <string>

// Sorrel's resolver: "|TITLE|", the ID placeholders and "|NOT_FOUND_PATH|" are known
// but have no value (Sorrel's expansions carry no post); "|APP_PATH|" without final
// separator, "|NEWLINE|", "|ENTER|". Others are reported and dropped.
int ResolveClassifierPlaceholder(void *context, std::int32_t kind, const std::string &placeholder,
                                 std::string &value);
