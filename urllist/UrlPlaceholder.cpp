#include "UrlPlaceholder.h"

#include "common/AppDirectory.h"
#include "common/IdPlaceholder.h"
#include "common/TemplateExpansion.h"

#include <charconv>

namespace {
std::string decimal(std::int64_t number)
{
    char digits[24];
    const auto result = std::to_chars(digits, digits + sizeof digits, number);
    return std::string(digits, result.ptr);
}
} // namespace

int ResolveUrlPlaceholder(void *, std::int32_t postId, const std::string &placeholder,
                          std::string &value)
{
    if (placeholder == "|APP_PATH|") {
        value = AppDirectoryWithSlash();
    } else if (placeholder == "|ENTER|") {
        value = "\n";
    } else if (placeholder == "|NEWLINE|") {
        value = "\r";
    } else if (IsIdPlaceholder(placeholder)) {
        const long long count = IdPlaceholderCount(placeholder);
        // Post N*1000 belongs with the 999 posts below it in the grouped forms.
        std::int64_t id = postId;
        if (count != 0 && id % 1000 == 0)
            id -= 1000;
        value = IdPlaceholderValue(decimal(id), count);
    } else {
        return PlaceholderUnknown;
    }
    return PlaceholderResolved;
}
