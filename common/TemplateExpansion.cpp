#include "TemplateExpansion.h"

#include "ResultCodes.h"

#include <cstring>

int ExpandTemplate(const char *templateText, std::string &out, void *context, std::int32_t kind,
                   PlaceholderResolver resolver)
{
    if (!templateText || !resolver)
        return int(ResultCode::MissingArgument);

    const char *const end = templateText + std::strlen(templateText);
    std::string output;
    output.reserve(std::size_t(end - templateText) + 32);
    std::string placeholder;
    std::string value;
    bool inside = false;
    int status = int(ResultCode::Success);

    // Whole runs between bars are copied at once: download lists expand one template
    // per post, over a million times in a row.
    for (const char *p = templateText; p < end;) {
        const auto *bar = static_cast<const char *>(std::memchr(p, '|', std::size_t(end - p)));
        (inside ? placeholder : output).append(p, bar ? bar : end);
        if (!bar)
            break;
        p = bar + 1;
        if (inside) {
            placeholder += '|';
            value.clear();
            const int result = resolver(context, kind, placeholder, value);
            if (result != PlaceholderResolved && result != PlaceholderUnknown) {
                status = int(ResultCode::GeneralFailure);
                inside = false;
                break;
            }
            if (result == PlaceholderResolved)
                output += value;
            placeholder.clear();
            inside = false;
        } else if (p < end && *p == '|') {
            output += '|';
            ++p;
        } else {
            placeholder.assign(1, '|');
            inside = true;
        }
    }
    if (inside)
        status = UnclosedPlaceholder;
    out = std::move(output);
    return status;
}
