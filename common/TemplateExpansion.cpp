#include "TemplateExpansion.h"

#include "ResultCodes.h"

#include <cstring>

int ExpandTemplate(const char *templateText, std::string &out, void *context, std::int32_t kind,
                   PlaceholderResolver resolver)
{
    if (!templateText || !resolver)
        return int(ResultCode::MissingArgument);

    std::string output;
    output.reserve(std::strlen(templateText) + 32);
    std::string placeholder;
    std::string value;
    bool inside = false;
    int status = int(ResultCode::Success);

    for (const char *p = templateText; *p; ++p) {
        if (*p != '|') {
            (inside ? placeholder : output) += *p;
        } else if (inside) {
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
        } else if (p[1] == '|') {
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
