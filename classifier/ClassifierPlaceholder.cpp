#include "ClassifierPlaceholder.h"

#include "common/AppDirectory.h"
#include "common/IdPlaceholder.h"
#include "common/PlaceholderNotifier.h"
#include "common/TemplateExpansion.h"

int ResolveClassifierPlaceholder(void *, std::int32_t, const std::string &placeholder,
                                 std::string &value)
{
    if (placeholder == "|TITLE|" || IsIdPlaceholder(placeholder)
        || placeholder == "|NOT_FOUND_PATH|") {
        value.clear();
    } else if (placeholder == "|APP_PATH|") {
        value = AppDirectory();
    } else if (placeholder == "|NEWLINE|") {
        value = "\r";
    } else if (placeholder == "|ENTER|") {
        value = "\n";
    } else {
        NotifyUnknownPlaceholder(placeholder);
        return PlaceholderUnknown;
    }
    return PlaceholderResolved;
}
